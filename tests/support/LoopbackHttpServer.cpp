#include "tests/support/LoopbackHttpServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <memory>
#include <utility>

struct LoopbackHttpServer::Connection {
    QTcpSocket* socket = nullptr;
    QByteArray buffer;
    bool done = false;  // one request per connection: every answer closes it
};

namespace {

bool hasHeaderIn(const LoopbackHttpServer::Headers& headers, const QByteArray& name)
{
    for (const auto& h : headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

}  // namespace

QByteArray LoopbackHttpServer::Request::header(const QByteArray& name) const
{
    for (const auto& h : headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    return {};
}

bool LoopbackHttpServer::Request::hasHeader(const QByteArray& name) const { return hasHeaderIn(headers, name); }

QList<QByteArray> LoopbackHttpServer::Request::headerNames() const
{
    QList<QByteArray> names;
    for (const auto& h : headers)
        names << h.first;
    return names;
}

using Response = LoopbackHttpServer::Response;

Response Response::json(int status, const QByteArray& body) { return withBody(status, "application/json", body); }

Response Response::withBody(int status, const QByteArray& contentType, const QByteArray& body)
{
    Response r{.status = status, .body = body};
    if (!contentType.isEmpty())
        r.headers.append({"Content-Type", contentType});
    return r;
}

Response Response::rawBytes(const QByteArray& bytes) { return {.action = Action::raw, .body = bytes}; }
Response Response::dropConnection() { return {.action = Action::drop}; }
Response Response::noAnswer() { return {.action = Action::hang}; }

Response Response::truncatedBody(int status, const QByteArray& partialBody, qint64 declaredLength)
{
    Response r = json(status, partialBody);
    r.action = Action::truncated;
    r.declaredLength = declaredLength;
    return r;
}

Response Response::endlessChunked(qint64 limit)
{
    return {.action = Action::endless, .headers = {{"Transfer-Encoding", "chunked"}}, .declaredLength = limit};
}

Response Response::trickle(int status, const QByteArray& body, int intervalMs)
{
    Response r = json(status, body);
    r.action = Action::trickle;
    r.intervalMs = intervalMs;
    return r;
}

LoopbackHttpServer::LoopbackHttpServer()
{
    m_fallback = Response::withBody(500, "text/plain", "no scripted response");
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("LoopbackHttpServer"));
    m_context = new QObject;
    m_context->moveToThread(m_thread);
    // The documented way to free objects of a thread: deferred deletion at finish.
    QObject::connect(m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread->start();
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

bool LoopbackHttpServer::start()
{
    bool ok = false;
    QMetaObject::invokeMethod(
        m_context,
        [this, &ok] {
            m_server = new QTcpServer(m_context);
            QObject::connect(m_server, &QTcpServer::newConnection, m_context, [this] { onNewConnection(); });
            ok = m_server->listen(QHostAddress::LocalHost, 0);
            m_port = ok ? m_server->serverPort() : 0;
        },
        Qt::BlockingQueuedConnection);
    return ok;
}

QString LoopbackHttpServer::baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }

void LoopbackHttpServer::enqueue(const Response& response)
{
    QMutexLocker lock(&m_mutex);
    m_queue.append(response);
}

void LoopbackHttpServer::setFallback(const Response& response)
{
    QMutexLocker lock(&m_mutex);
    m_fallback = response;
}

void LoopbackHttpServer::holdAnswersUntil(int count)
{
    QMutexLocker lock(&m_mutex);
    m_holdUntil = count;
}

QList<LoopbackHttpServer::Request> LoopbackHttpServer::requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

int LoopbackHttpServer::requestCount() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_requests.size());
}

void LoopbackHttpServer::clearRequests()
{
    QMutexLocker lock(&m_mutex);
    m_requests.clear();
}

bool LoopbackHttpServer::waitForRequests(int count, int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    while (requestCount() < count) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

LoopbackHttpServer::Response LoopbackHttpServer::nextResponse()
{
    QMutexLocker lock(&m_mutex);
    return m_queue.isEmpty() ? m_fallback : m_queue.takeFirst();
}

void LoopbackHttpServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        socket->setParent(m_context);
        auto* c = new Connection{socket, {}, false};
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, c] { onReadable(c); });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, [socket] { socket->deleteLater(); });
        QObject::connect(socket, &QObject::destroyed, [c] { delete c; });
    }
}

void LoopbackHttpServer::onReadable(Connection* c)
{
    c->buffer.append(c->socket->readAll());
    if (c->done)
        return;
    const qsizetype headerEnd = c->buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;
    Request request;
    const QList<QByteArray> lines = c->buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    request.method = requestLine.value(0);
    request.target = requestLine.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].endsWith('\r') ? lines[i].chopped(1) : lines[i];
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            request.headers.append({line.left(colon), line.mid(colon + 1).trimmed()});
    }
    const QByteArray rest = c->buffer.mid(headerEnd + 4);
    // The clients under test send bodies with a length, never chunked.
    const qint64 length = request.header("Content-Length").toLongLong();
    if (rest.size() < length)
        return;
    request.body = rest.left(length);
    c->done = true;
    bool hold = false;
    {
        QMutexLocker lock(&m_mutex);
        m_requests.append(request);
        hold = m_requests.size() < m_holdUntil;
        if (!hold)
            m_holdUntil = 0;
    }
    m_held.append({c->socket, c});
    if (hold)
        return;
    for (const auto& [socket, held] : std::exchange(m_held, {}))
        if (socket)
            respond(held, request);
}

void LoopbackHttpServer::respond(Connection* c, const Request&)
{
    const Response r = nextResponse();
    QTcpSocket* socket = c->socket;
    auto headBytes = [&r](qint64 contentLength) {
        QByteArray head = "HTTP/1.1 " + QByteArray::number(r.status) + " Status\r\n";
        for (const auto& h : r.headers)
            head += h.first + ": " + h.second + "\r\n";
        if (!hasHeaderIn(r.headers, "Content-Length") && !hasHeaderIn(r.headers, "Transfer-Encoding"))
            head += "Content-Length: " + QByteArray::number(contentLength) + "\r\n";
        if (!hasHeaderIn(r.headers, "Connection"))
            head += "Connection: close\r\n";
        return head + "\r\n";
    };
    switch (r.action) {
    case Response::Action::hang:
        return;
    case Response::Action::drop:
        socket->abort();
        socket->deleteLater();
        return;
    case Response::Action::raw:
        socket->write(r.body);
        break;
    case Response::Action::truncated:
        socket->write(headBytes(r.declaredLength) + r.body);
        break;
    case Response::Action::answer:
        socket->write(headBytes(r.body.size()) + r.body);
        break;
    case Response::Action::endless: {
        socket->write(headBytes(0));
        m_streamed = 0;
        auto feed = [socket, sent = &m_streamed, limit = r.declaredLength] {
            static const QByteArray chunk = "10000\r\n" + QByteArray(0x10000, 'a') + "\r\n";
            // Counts only what a connected peer could still take.
            while (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < 4 * chunk.size()
                   && *sent < limit && socket->write(chunk) > 0)
                *sent += 0x10000;
            if (*sent >= limit && socket->bytesToWrite() == 0)
                socket->disconnectFromHost();
        };
        QObject::connect(socket, &QTcpSocket::bytesWritten, socket, feed);
        feed();
        return;
    }
    case Response::Action::trickle: {
        socket->write(headBytes(r.body.size()));
        auto* timer = new QTimer(socket);
        auto next = std::make_shared<qsizetype>(0);
        QObject::connect(timer, &QTimer::timeout, socket, [socket, timer, next, body = r.body] {
            if (*next >= body.size()) {
                timer->stop();
                socket->disconnectFromHost();
                return;
            }
            socket->write(body.mid((*next)++, 1));
        });
        timer->start(r.intervalMs);
        return;
    }
    }
    socket->flush();
    socket->disconnectFromHost();
}
