// The provider client against a real HTTP server on loopback: the exact
// request of each provider and what the user sees for each kind of answer.

#include "ai/AIExplainer.h"
#include "ai/SharedNetwork.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TestEnv.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QTimer>

using Response = LoopbackHttpServer::Response;
Q_DECLARE_METATYPE(LoopbackHttpServer::Response)

namespace {

AIResult<QString> sendAndWait(const AISettings& settings, const QString& system, const QString& message, int maxTokens)
{
    std::optional<AIResult<QString>> result;
    QEventLoop loop;
    AIExplainer::send(settings, system, message, maxTokens, &loop, [&](const AIResult<QString>& r) {
        result = r;
        loop.quit();
    });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    return result.value_or(AIResult<QString>(AIError::transport(QStringLiteral("test: no completion"))));
}

QString describe(const AIResult<QString>& r) { return r.ok() ? QStringLiteral("OK: ") + r.value() : r.error().description(); }

QJsonObject bodyObject(const LoopbackHttpServer::Request& r) { return QJsonDocument::fromJson(r.body).object(); }

QByteArray anthropicAnswer(const QString& text)
{
    return QJsonDocument(QJsonObject{{"content", QJsonArray{QJsonObject{{"type", "text"}, {"text", text}}}}})
        .toJson(QJsonDocument::Compact);
}

QByteArray openAIAnswer(const QJsonValue& content)
{
    return QJsonDocument(QJsonObject{{"choices", QJsonArray{QJsonObject{{"message", QJsonObject{{"content", content}}}}}}})
        .toJson(QJsonDocument::Compact);
}

// Positions of `names` among the request's header names, which must all be there, in this order.
void verifyHeaderOrder(const LoopbackHttpServer::Request& r, const QList<QByteArray>& names)
{
    const QList<QByteArray> sent = r.headerNames();
    qsizetype last = -1;
    for (const QByteArray& n : names) {
        const qsizetype at = sent.indexOf(n);  // exact letter case
        QVERIFY2(at >= 0, n.constData());
        QVERIFY2(at > last, n.constData());
        last = at;
    }
}

}  // namespace

class TestAIClient : public QObject {
    Q_OBJECT
    std::unique_ptr<LoopbackHttpServer> m_server;

private slots:
    void initTestCase()
    {
        TestEnv::useTemporaryHome();
        m_server = std::make_unique<LoopbackHttpServer>();
        QVERIFY(m_server->start());
        qputenv("VELLACORD_ANTHROPIC_URL", m_server->baseUrl().toUtf8());
        qputenv("VELLACORD_OPENAI_URL", m_server->baseUrl().toUtf8() + "/ignored/path");
    }

    void init() { m_server->clearRequests(); }

    void endpoints()
    {
        QCOMPARE(AIExplainer::anthropicEndpoint().toString(), m_server->baseUrl() + "/v1/messages");
        QCOMPARE(AIExplainer::openAIEndpoint().toString(), m_server->baseUrl() + "/v1/chat/completions");
        const QByteArray saved = qgetenv("VELLACORD_ANTHROPIC_URL");
        qunsetenv("VELLACORD_ANTHROPIC_URL");
        QCOMPARE(AIExplainer::anthropicEndpoint().toString(), QStringLiteral("https://api.anthropic.com/v1/messages"));
        qputenv("VELLACORD_ANTHROPIC_URL", saved);
    }

    void anthropicRequestAndAnswer()
    {
        m_server->enqueue(Response::json(200, anthropicAnswer("  It is fine.\n")));
        AISettings settings(AIProvider::anthropic, QStringLiteral(" sk-ant key\t"));
        const auto r = sendAndWait(settings, "system text", "user \"text\"\nline 2", 1024);
        QCOMPARE(describe(r), QStringLiteral("OK:   It is fine.\n"));  // not trimmed

        QCOMPARE(m_server->requestCount(), 1);
        const auto req = m_server->requests().first();
        QCOMPARE(req.method + ' ' + req.target, QByteArray("POST /v1/messages"));
        verifyHeaderOrder(req, {"content-type", "x-api-key", "anthropic-version"});
        QCOMPARE(req.header("content-type"), QByteArray("application/json"));
        QCOMPARE(req.header("x-api-key"), QByteArray("sk-ant key"));  // the server trims header values
        QVERIFY(!req.hasHeader("Authorization"));

        const QJsonObject body = bodyObject(req);
        QCOMPARE(body.keys(), (QStringList{"max_tokens", "messages", "model", "system"}));
        QCOMPARE(body["model"].toString(), QStringLiteral("claude-sonnet-4-20250514"));
        QVERIFY(req.body.contains("\"max_tokens\":1024"));  // a JSON integer
        QCOMPARE(body["system"].toString(), QStringLiteral("system text"));
        QCOMPARE(body["messages"].toArray(), (QJsonArray{QJsonObject{{"role", "user"}, {"content", "user \"text\"\nline 2"}}}));
    }

    void keyAsSent_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("pasted with a line break") << QStringLiteral("sk-1\n") << QByteArray("sk-1");
        QTest::newRow("CR LF and a header") << QStringLiteral("sk-1\r\nX-Evil: 1") << QByteArray("sk-1X-Evil: 1");
        QTest::newRow("NUL, tab and DEL inside") << QString::fromUtf8("s\0k\t-\x7f" "1", 8) << QByteArray("sk-1");
        QTest::newRow("spaces around, one inside") << QStringLiteral("  key with spaces ") << QByteArray("key with spaces");
        QTest::newRow("other characters as typed") << QStringLiteral("ключ·é") << QStringLiteral("ключ·é").toUtf8();
    }

    void keyAsSent()
    {
        // The server's header parser trims values and splits lines: a key that
        // broke the header would show up as another header or a cut value.
        QFETCH(QString, stored);
        QFETCH(QByteArray, sent);
        m_server->enqueue(Response::json(200, openAIAnswer("ok")));
        m_server->enqueue(Response::json(200, anthropicAnswer("ok")));
        QCOMPARE(describe(sendAndWait(AISettings(AIProvider::openai, stored), "s", "u", 5)), QStringLiteral("OK: ok"));
        QCOMPARE(describe(sendAndWait(AISettings(AIProvider::anthropic, stored), "s", "u", 5)), QStringLiteral("OK: ok"));
        const auto requests = m_server->requests();
        QCOMPARE(requests[0].header("Authorization"), "Bearer " + sent);
        QCOMPARE(requests[1].header("x-api-key"), sent);
        for (const auto& request : requests)
            QVERIFY(!request.hasHeader("X-Evil"));
    }

    void openAIRequestAndAnswer()
    {
        m_server->enqueue(Response::json(200, openAIAnswer("Answer\n\n")));
        AISettings settings(AIProvider::openai, QStringLiteral("sk-openai"));
        const auto r = sendAndWait(settings, "the system prompt", "the user message", 2048);
        QCOMPARE(describe(r), QStringLiteral("OK: Answer\n\n"));

        const auto req = m_server->requests().first();
        QCOMPARE(req.method + ' ' + req.target, QByteArray("POST /v1/chat/completions"));
        verifyHeaderOrder(req, {"Content-Type", "Authorization"});
        QCOMPARE(req.header("Content-Type"), QByteArray("application/json"));
        QCOMPARE(req.header("Authorization"), QByteArray("Bearer sk-openai"));
        QVERIFY(!req.hasHeader("x-api-key") && !req.hasHeader("anthropic-version"));

        const QJsonObject body = bodyObject(req);
        QCOMPARE(body.keys(), (QStringList{"max_tokens", "messages", "model"}));  // no top-level "system"
        QCOMPARE(body["model"].toString(), QStringLiteral("gpt-4o"));
        QVERIFY(req.body.contains("\"max_tokens\":2048"));
        QCOMPARE(body["messages"].toArray(), (QJsonArray{QJsonObject{{"role", "system"}, {"content", "the system prompt"}},
                                                         QJsonObject{{"role", "user"}, {"content", "the user message"}}}));
    }

    void missingKeySendsNothing()
    {
        for (const QString& key : {QString(), QStringLiteral(" \t ")}) {
            AISettings settings(AIProvider::anthropic, key);
            std::optional<AIResult<QString>> result;
            AIExplainer::send(settings, "s", "u", 1, nullptr, [&](const AIResult<QString>& r) { result = r; });
            QVERIFY(!result);  // completions never run inside the call
            QTRY_VERIFY(result);
            QCOMPARE(result->error().description(), QStringLiteral("No API key configured. Open Settings to add one."));
            std::optional<AIResult<AnalysisItemList>> analysis;
            AIExplainer::analyze({}, settings, nullptr, [&](const AIResult<AnalysisItemList>& r) { analysis = r; });
            QTRY_VERIFY(analysis);
            QCOMPARE(analysis->error().description(), result->error().description());
        }
        QTest::qWait(50);
        QCOMPARE(m_server->requestCount(), 0);
    }

    void statusCodesOtherThan200()
    {
        AISettings anthropic(AIProvider::anthropic, QStringLiteral("k"));
        const QByteArray errorJson = R"({"error":{"message":"invalid x-api-key"}})";
        m_server->enqueue(Response::json(401, errorJson));
        QCOMPARE(describe(sendAndWait(anthropic, "s", "u", 1)), "API error (401): " + QString::fromUtf8(errorJson));

        // Success-class codes other than 200 still fail, body shown as it came.
        m_server->enqueue(Response::json(201, anthropicAnswer("created")));
        QCOMPARE(describe(sendAndWait(anthropic, "s", "u", 1)), "API error (201): " + QString::fromUtf8(anthropicAnswer("created")));

        // A redirect is not followed: the key would travel to another host.
        Response redirect = Response::withBody(302, "text/plain", "moved");
        redirect.headers.append({"Location", (m_server->baseUrl() + "/elsewhere").toUtf8()});
        m_server->enqueue(redirect);
        m_server->clearRequests();
        QCOMPARE(describe(sendAndWait(anthropic, "s", "u", 1)), QStringLiteral("API error (302): moved"));
        QCOMPARE(m_server->requestCount(), 1);

        AISettings openai(AIProvider::openai, QStringLiteral("k"));
        m_server->enqueue(Response::withBody(500, "text/plain", QByteArray("caf\xc3\xa9 \xff\xfe broken")));
        QCOMPARE(describe(sendAndWait(openai, "s", "u", 1)), QStringLiteral("API error (500): Unknown error"));
        m_server->enqueue(Response::withBody(429, "text/plain", QByteArray("caf\xc3\xa9")));
        QCOMPARE(describe(sendAndWait(openai, "s", "u", 1)), QString::fromUtf8("API error (429): caf\xc3\xa9"));
    }

    void answersThatDoNotFitThePath_data()
    {
        QTest::addColumn<int>("provider");
        QTest::addColumn<QByteArray>("body");
        const int a = int(AIProvider::anthropic), o = int(AIProvider::openai);
        QTest::newRow("anthropic empty content") << a << QByteArray(R"({"content":[]})");
        QTest::newRow("anthropic first block without text")
            << a << QByteArray(R"({"content":[{"type":"tool_use","id":"x"},{"type":"text","text":"late"}]})");
        QTest::newRow("anthropic text not a string") << a << QByteArray(R"({"content":[{"text":42}]})");
        QTest::newRow("anthropic content not an array") << a << QByteArray(R"({"content":"text"})");
        QTest::newRow("anthropic content missing") << a << QByteArray(R"({"choices":[]})");
        QTest::newRow("anthropic top-level array") << a << QByteArray(R"([{"text":"x"}])");
        QTest::newRow("anthropic block not an object") << a << QByteArray(R"({"content":["text"]})");
        QTest::newRow("openai null content") << o << openAIAnswer(QJsonValue::Null);
        QTest::newRow("openai choices empty") << o << QByteArray(R"({"choices":[]})");
        QTest::newRow("openai message missing") << o << QByteArray(R"({"choices":[{"index":0}]})");
        QTest::newRow("openai message not an object") << o << QByteArray(R"({"choices":[{"message":"hi"}]})");
        QTest::newRow("openai an anthropic answer") << o << anthropicAnswer("x");
    }

    void answersThatDoNotFitThePath()
    {
        QFETCH(int, provider);
        QFETCH(QByteArray, body);
        m_server->enqueue(Response::json(200, body));
        AISettings settings(AIProvider(provider), QStringLiteral("k"));
        const auto r = sendAndWait(settings, "s", "u", 1);
        QVERIFY(!r.ok());
        QCOMPARE(r.error().description(), QStringLiteral("Failed to parse API response."));
    }

    void answersThatAreNotJSON()
    {
        AISettings settings(AIProvider::anthropic, QStringLiteral("k"));
        const QList<QByteArray> bodies{"<html>502 Bad Gateway</html>", "", QByteArray("{\"content\":[{\"text\":\"\xff\"}]}")};
        for (const QByteArray& body : bodies) {
            m_server->enqueue(Response::withBody(200, "text/html", body));
            const auto r = sendAndWait(settings, "s", "u", 1);
            QVERIFY2(!r.ok(), body.constData());
            QCOMPARE(r.error().origin(), AIError::Origin::jsonReader);
            QVERIFY2(r.error().description().startsWith("The response is not valid JSON ("), qPrintable(r.error().description()));
        }
    }

    void transportFailures_data()
    {
        QTest::addColumn<Response>("response");
        QTest::addColumn<QString>("error");
        // Qt's HTTP/1.1 layer sends a request again once when the connection closes
        // before any byte of the answer, so the fallback drops every attempt.
        QTest::newRow("dropped") << Response::dropConnection() << "Connection closed";  // the HTTP client's own text
        QTest::newRow("body shorter than declared") << Response::truncatedBody(200, anthropicAnswer("cut").left(20), 400)
                                                    << QString();
        QTest::newRow("not HTTP") << Response::rawBytes("SSH-2.0-OpenSSH_9.2\r\n") << QString();
    }

    void transportFailures()
    {
        QFETCH(Response, response);
        QFETCH(QString, error);
        m_server->setFallback(response);
        const auto r = sendAndWait(AISettings(AIProvider::anthropic, QStringLiteral("k")), "s", "u", 1);
        m_server->setFallback(Response::withBody(500, "text/plain", "no scripted response"));
        QVERIFY(!r.ok());
        QCOMPARE(r.error().origin(), AIError::Origin::transport);
        QVERIFY(!r.error().description().isEmpty());
        if (!error.isEmpty())
            QCOMPARE(r.error().description(), error);
        QVERIFY(m_server->requestCount() <= 2);
    }

    void nothingListening()
    {
        quint16 closedPort = 0;
        {
            LoopbackHttpServer gone;
            QVERIFY(gone.start());
            closedPort = gone.port();
        }
        qputenv("VELLACORD_ANTHROPIC_URL", QByteArray("http://127.0.0.1:") + QByteArray::number(closedPort));
        const auto r = sendAndWait(AISettings(AIProvider::anthropic, QStringLiteral("k")), "s", "u", 1);
        qputenv("VELLACORD_ANTHROPIC_URL", m_server->baseUrl().toUtf8());
        QCOMPARE(r.error().origin(), AIError::Origin::transport);
        QVERIFY2(r.error().description().contains("refused", Qt::CaseInsensitive), qPrintable(r.error().description()));
    }

    void boundedAnswers_data()
    {
        QTest::addColumn<Response>("response");
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<QString>("error");
        const QString tooLarge = QStringLiteral("Response too large");
        const QString timedOut = QStringLiteral("The request timed out.");
        QTest::newRow("endless chunked body") << Response::endlessChunked(qint64(64) << 20) << 20000 << tooLarge;
        QTest::newRow("one piece over 8 MiB") << Response::json(200, QByteArray((8 << 20) + 1, ' ')) << 20000 << tooLarge;
        QTest::newRow("silence") << Response::noAnswer() << 300 << timedOut;
        QTest::newRow("trickle past the deadline") << Response::trickle(200, anthropicAnswer("slow"), 25) << 300 << timedOut;
    }

    void boundedAnswers()
    {
        QFETCH(Response, response);
        QFETCH(int, timeoutMs);
        QCOMPARE(AIExplainer::requestTimeoutMs(), 60000);
        AIExplainer::setRequestTimeoutMs(timeoutMs);
        AISettings settings(AIProvider::anthropic, QStringLiteral("k"));
        m_server->enqueue(response);
        const auto r = sendAndWait(settings, "s", "u", 1);
        AIExplainer::setRequestTimeoutMs(AIExplainer::defaultRequestTimeoutMs);
        QVERIFY(!r.ok());
        QTEST(r.error().description(), "error");
        // Hung up near the cap, not after taking in all there was.
        if (response.action == Response::Action::endless)
            QVERIFY2(m_server->streamedBytes() < response.declaredLength / 2, qPrintable(QString::number(m_server->streamedBytes())));
    }

    void concurrentRequestsAndDestroyedContext()
    {
        AISettings settings(AIProvider::anthropic, QStringLiteral("k"));
        m_server->enqueue(Response::json(200, anthropicAnswer("one")));
        m_server->enqueue(Response::json(200, anthropicAnswer("two")));
        QStringList answers;
        bool orphanCalled = false;
        {
            QObject gone;
            AIExplainer::send(settings, "s", "u", 1, &gone, [&](const AIResult<QString>&) { orphanCalled = true; });
        }
        AIExplainer::send(settings, "s", "u", 1, nullptr, [&](const AIResult<QString>& r) { answers << describe(r); });
        QTRY_COMPARE(m_server->requestCount(), 2);
        QTRY_COMPARE(answers.size(), 1);
        QTest::qWait(100);
        QVERIFY(!orphanCalled);  // its context is gone: no call into a dead caller
        QVERIFY(answers.first().startsWith("OK: "));
    }
};

QTEST_GUILESS_MAIN(TestAIClient)
#include "test_ai_client.moc"
