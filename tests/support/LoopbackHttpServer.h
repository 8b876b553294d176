#pragma once

// A small HTTP/1.1 server on 127.0.0.1 for tests. It runs in its own thread, so it answers even while
// the test blocks (e.g. on a child process). It records every request and answers each from a queue of
// scripted responses, then from a fallback (default: 500 with a short text body).

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QTcpSocket>

#include <atomic>

class QThread;
class QTcpServer;

class LoopbackHttpServer {
public:
    using Headers = QList<QPair<QByteArray, QByteArray>>;

    struct Request {
        QByteArray method, target;  // target: path and query as sent
        Headers headers;            // names as sent, in order
        QByteArray body{};
        // First value of a header, compared without letter case; empty when absent.
        QByteArray header(const QByteArray& name) const;
    };

    struct Response {
        enum class Action {
            answer,     // status line, headers, body; then close
            raw,        // write `body` bytes as they are; then close
            drop,       // close the connection without a byte
            truncated,  // headers announcing `declaredLength` bytes, then part of the body, then close
            hang,       // never answer; keep the connection open
            endless,    // 200 with a chunked body that goes on until `declaredLength` bytes, then close
            trickle,    // headers, then `body` one byte every `intervalMs`; then close
        };
        Action action = Action::answer;
        int status = 200;
        Headers headers{};  // Content-Length and Connection are added unless given
        QByteArray body{};
        qint64 declaredLength = 0;
        int intervalMs = 0;

        static Response withBody(int status, const QByteArray& contentType, const QByteArray& body)
        {
            return {.status = status, .headers = {{"Content-Type", contentType}}, .body = body};
        }
        static Response json(int status, const QByteArray& body) { return withBody(status, "application/json", body); }
        static Response rawBytes(const QByteArray& bytes) { return {.action = Action::raw, .body = bytes}; }
        static Response dropConnection() { return {.action = Action::drop}; }
        static Response truncatedBody(int status, const QByteArray& partialBody, qint64 declaredLength)
        {
            Response r = json(status, partialBody);
            r.action = Action::truncated;
            r.declaredLength = declaredLength;
            return r;
        }
        static Response noAnswer() { return {.action = Action::hang}; }
        // Far more than any client should take; `limit` only keeps a broken client's test finite.
        static Response endlessChunked(qint64 limit)
        {
            return {.action = Action::endless, .headers = {{"Transfer-Encoding", "chunked"}}, .declaredLength = limit};
        }
        static Response trickle(int status, const QByteArray& body, int intervalMs)
        {
            Response r = json(status, body);
            r.action = Action::trickle;
            r.intervalMs = intervalMs;
            return r;
        }
    };

    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    bool start();  // listens on 127.0.0.1 at a free port
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }

    void enqueue(const Response& response);
    void setFallback(const Response& response);
    // Answers nothing until `count` requests have arrived, then all at once.
    void holdAnswersUntil(int count);

    QList<Request> requests() const;
    int requestCount() const;
    void clearRequests();
    // Body bytes the last endless answer handed to the socket.
    qint64 streamedBytes() const { return m_streamed; }
    // Waits (processing the caller's events meanwhile) until `count` requests arrived.
    bool waitForRequests(int count, int timeoutMs = 10000) const;

private:
    void onReadable(QTcpSocket* socket);
    void respond(QTcpSocket* socket);

    QThread* m_thread = nullptr;
    QObject* m_context = nullptr;  // lives in m_thread; parent of the server and the sockets
    QTcpServer* m_server = nullptr;
    quint16 m_port = 0;

    mutable QMutex m_mutex;
    QList<Request> m_requests;
    QList<Response> m_queue;
    Response m_fallback;
    int m_holdUntil = 0;
    std::atomic<qint64> m_streamed = 0;
    QList<QPointer<QTcpSocket>> m_held;  // server thread only
};
