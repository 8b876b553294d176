#include "tests/support/LoopbackHttpServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QThread>
#include <QTimer>

#include <utility>

static const QPair<QByteArray, QByteArray>* find(const LoopbackHttpServer::Headers& headers, const QByteArray& name)
{
    for (const auto& h : headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return &h;
    return nullptr;
}

QByteArray LoopbackHttpServer::Request::header(const QByteArray& name) const
{
    const auto* h = find(headers, name);
    return h ? h->second : QByteArray();
}

LoopbackHttpServer::LoopbackHttpServer()
    : m_thread(new QThread), m_context(new QObject), m_fallback(Response::withBody(500, "text/plain", "no scripted response"))
{
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
    auto listen = [this, &ok] {
        m_server = new QTcpServer(m_context);
        QObject::connect(m_server, &QTcpServer::newConnection, m_context, [this] {
            while (QTcpSocket* socket = m_server->nextPendingConnection()) {
                socket->setParent(m_context);
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { onReadable(socket); });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        ok = m_server->listen(QHostAddress::LocalHost, 0);
        m_port = ok ? m_server->serverPort() : 0;
    };
    QMetaObject::invokeMethod(m_context, listen, Qt::BlockingQueuedConnection);
    return ok;
}

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

// One request per connection (every answer closes it); the clients under test send well-formed
// requests with a Content-Length body, never chunked.
void LoopbackHttpServer::onReadable(QTcpSocket* socket)
{
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    if (socket->property("done").toBool())
        return;
    socket->setProperty("buffer", buffer);
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;
    Request request;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    request.method = requestLine.value(0);
    request.target = requestLine.value(1);
    for (const QByteArray& line : lines.mid(1))
        if (const qsizetype colon = line.indexOf(':'); colon > 0)
            request.headers.append({line.left(colon), line.mid(colon + 1).trimmed()});
    const qint64 length = request.header("Content-Length").toLongLong();
    if (buffer.size() - headerEnd - 4 < length)
        return;
    request.body = buffer.mid(headerEnd + 4, length);
    socket->setProperty("done", true);
    {
        QMutexLocker lock(&m_mutex);
        m_requests.append(request);
        m_held.append(socket);
        if (m_requests.size() < m_holdUntil)
            return;
        m_holdUntil = 0;
    }
    for (const QPointer<QTcpSocket>& held : std::exchange(m_held, {}))
        if (held)
            respond(held);
}

void LoopbackHttpServer::respond(QTcpSocket* socket)
{
    Response r;
    {
        QMutexLocker lock(&m_mutex);
        r = m_queue.isEmpty() ? m_fallback : m_queue.takeFirst();
    }
    QByteArray head = "HTTP/1.1 " + QByteArray::number(r.status) + " Status\r\n";
    for (const auto& h : r.headers)
        head += h.first + ": " + h.second + "\r\n";
    if (!find(r.headers, "Content-Length") && !find(r.headers, "Transfer-Encoding"))
        head += "Content-Length: " + QByteArray::number(r.action == Response::Action::truncated ? r.declaredLength : r.body.size()) + "\r\n";
    if (!find(r.headers, "Connection"))
        head += "Connection: close\r\n";
    head += "\r\n";
    using A = Response::Action;
    if (r.action == A::hang)
        return;
    if (r.action == A::drop)
        return socket->abort(), socket->deleteLater();
    if (r.action == A::endless) {
        socket->write(head);
        m_streamed = 0;
        auto feed = [socket, sent = &m_streamed, limit = r.declaredLength] {
            static const QByteArray chunk = "10000\r\n" + QByteArray(0x10000, 'a') + "\r\n";
            // Counts only what a connected peer could still take.
            while (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < 4 * chunk.size() && *sent < limit && socket->write(chunk) > 0)
                *sent += 0x10000;
            if (*sent >= limit && socket->bytesToWrite() == 0)
                socket->disconnectFromHost();
        };
        QObject::connect(socket, &QTcpSocket::bytesWritten, socket, feed);
        return feed();
    }
    if (r.action == A::trickle) {
        socket->write(head);
        auto* timer = new QTimer(socket);
        QObject::connect(timer, &QTimer::timeout, socket, [socket, timer, next = qsizetype(0), body = r.body]() mutable {
            if (next < body.size())
                return void(socket->write(body.mid(next++, 1)));
            timer->stop();
            socket->disconnectFromHost();
        });
        return timer->start(r.intervalMs);
    }
    socket->write(r.action == A::raw ? r.body : head + r.body);
    socket->flush();
    socket->disconnectFromHost();
}
