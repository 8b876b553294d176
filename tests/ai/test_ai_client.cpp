// The provider client against a real HTTP server on loopback: the exact
// request of each provider and what the user sees for each kind of answer;
// then the explain state machine of the detail panes on top of it.

#include "ai/AIExplainer.h"
#include "ai/AISettings.h"
#include "ai/ExplainController.h"
#include "ai/ExplainerError.h"
#include "ai/ExplanationCache.h"
#include "ai/SharedNetwork.h"
#include "base/Platform.h"
#include "processnames/ProcessNameResolver.h"
#include "tests/support/Entries.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TestEnv.h"

#include <QtTest>

using Response = LoopbackHttpServer::Response;
using State = ExplainController::State;
using Subjects = ExplainController::Subjects;
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

QByteArray compact(const QJsonObject& o) { return QJsonDocument(o).toJson(QJsonDocument::Compact); }
QByteArray anthropicAnswer(const QString& text)
{
    return compact({{"content", QJsonArray{QJsonObject{{"type", "text"}, {"text", text}}}}});
}
QByteArray openAIAnswer(const QJsonValue& content)
{
    return compact({{"choices", QJsonArray{QJsonObject{{"message", QJsonObject{{"content", content}}}}}}});
}

// The request's headers that some provider sets, in the order sent (exact letter case).
QByteArray providerHeaders(const LoopbackHttpServer::Request& r)
{
    static const QList<QByteArray> names{"content-type", "Content-Type", "x-api-key", "anthropic-version",
                                         "Authorization", "X-Fake-Key"};
    QList<QByteArray> out;
    for (const auto& h : r.headers)
        if (names.contains(h.first))
            out << h.first + ": " + h.second;
    return out.join('|');
}

// A provider the client was never told about: its row alone decides where the
// request goes, what it says and how the answer reads.
const AIProvider fakeProvider{
    QStringLiteral("Fake"),
    QStringLiteral("https://fake.invalid/v2/ask"),
    "VELLACORD_FAKE_URL",
    QStringLiteral("fake-1"),
    [](const AIProvider& self, const QByteArray& key, const AIPrompt& p) {
        return AIRequest{{{"X-Fake-Key", key}, {"Content-Type", "text/json"}},
                         {{"model", self.model}, {"limit", p.maxTokens}, {"ask", p.system + '|' + p.user}}};
    },
    [](const QJsonValue& top) -> AIResult<QString> {
        const QJsonValue reply = top.toObject().value("reply");
        if (!reply.isString())
            return ExplainerError::parseError();
        return reply.toString();
    },
    {},
    {}};

const AIProvider& provider(const QString& name)
{
    return name == fakeProvider.name ? fakeProvider : *AIProviders::named(name);
}

LogEntry entry(const QString& process, const QString& message) { return makeEntry(0, 4, process, message); }

CrashReport crash(const QString& app)
{
    CrashReport r;
    r.id = QUuid::createUuid();
    r.appName = app;
    r.fileName = app + "-" + r.id.toString(QUuid::WithoutBraces) + ".ips";
    return r;
}

Response answer(const QString& text) { return Response::json(200, anthropicAnswer(text)); }

// State, whether a click would explain, and the text or error shown ("cached" when from the cache).
QString seen(const ExplainController& c)
{
    static const char* names[] = {"idle", "explaining", "explained", "failed"};
    return QString("%1%2 %3%4").arg(names[int(c.state())], c.canExplain() ? "+" : "", c.explanation().value_or(c.error().value_or("-")), c.wasCached() ? " cached" : "");
}

}  // namespace

class TestAIClient : public QObject {
    Q_OBJECT
    std::unique_ptr<LoopbackHttpServer> m_server;
    QTemporaryDir namesDir;
    const AISettings anthropicKey{provider("Anthropic"), QStringLiteral("k")};
    AIResult<QString> send() { return sendAndWait(anthropicKey, "s", "u", 1); }

private slots:
    void initTestCase()
    {
        TestEnv::useTemporaryHome();
        m_server = std::make_unique<LoopbackHttpServer>();
        QVERIFY(m_server->start());
        qputenv("VELLACORD_ANTHROPIC_URL", m_server->baseUrl().toUtf8());
        qputenv("VELLACORD_OPENAI_URL", m_server->baseUrl().toUtf8() + "/ignored/path");
        qputenv("VELLACORD_FAKE_URL", m_server->baseUrl().toUtf8());
    }

    void init()
    {
        TestEnv::clearSettings();
        ExplanationCache::resetShared();
        CrashExplanationCache::resetShared();
        QFile::remove(Platform::appSupportDir() + "/explanations.json");
        QDir(Platform::appSupportDir() + "/CrashExplanations").removeRecursively();
        m_server->clearRequests();
    }

    void endpoints()
    {
        // The overrides (every other test uses them) keep only scheme, host and port.
        const QByteArray saved = qgetenv("VELLACORD_ANTHROPIC_URL");
        qunsetenv("VELLACORD_ANTHROPIC_URL");
        QCOMPARE(provider("Anthropic").endpoint().toString(), QStringLiteral("https://api.anthropic.com/v1/messages"));
        qputenv("VELLACORD_ANTHROPIC_URL", saved);
    }

    void requestAndAnswer_data()
    {
        QTest::addColumn<QString>("provider");
        QTest::addColumn<int>("maxTokens");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("text");  // not trimmed
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QByteArray>("headers");  // the server trims values
        QTest::addColumn<QJsonObject>("body");
        const QJsonObject user{{"role", "user"}, {"content", "user \"text\"\nline 2"}};
        QTest::newRow("Anthropic")
            << "Anthropic" << 1024 << anthropicAnswer("  It is fine.\n") << "  It is fine.\n"
            << QByteArray("POST /v1/messages")
            << QByteArray("content-type: application/json|x-api-key: sk-ant key|anthropic-version: 2023-06-01")
            << QJsonObject{{"max_tokens", 1024}, {"model", "claude-sonnet-4-20250514"}, {"system", "system text"}, {"messages", QJsonArray{user}}};
        QTest::newRow("OpenAI")
            << "OpenAI" << 2048 << openAIAnswer("Answer\n\n") << "Answer\n\n"
            << QByteArray("POST /v1/chat/completions")
            << QByteArray("Content-Type: application/json|Authorization: Bearer sk-ant key")
            << QJsonObject{{"max_tokens", 2048}, {"model", "gpt-4o"}, {"messages", QJsonArray{QJsonObject{{"role", "system"}, {"content", "system text"}}, user}}};
        QTest::newRow("a row of the test's own")
            << "Fake" << 7 << compact({{"reply", "Fake says hi"}}) << "Fake says hi" << QByteArray("POST /v2/ask")
            << QByteArray("X-Fake-Key: sk-ant key|Content-Type: text/json")
            << QJsonObject{{"model", "fake-1"}, {"limit", 7}, {"ask", "system text|user \"text\"\nline 2"}};
    }

    void requestAndAnswer()
    {
        QFETCH(QString, provider);
        QFETCH(int, maxTokens);
        QFETCH(QByteArray, answer);
        m_server->enqueue(Response::json(200, answer));
        AISettings settings(::provider(provider), QStringLiteral(" sk-ant key\t"));
        const auto r = sendAndWait(settings, "system text", "user \"text\"\nline 2", maxTokens);
        QFETCH(QString, text);
        QCOMPARE(describe(r), "OK: " + text);

        QCOMPARE(m_server->requestCount(), 1);
        const auto req = m_server->requests().first();
        QTEST(req.method + ' ' + req.target, "target");
        QTEST(providerHeaders(req), "headers");
        QVERIFY(req.body.contains(':' + QByteArray::number(maxTokens) + ','));  // a JSON integer
        QTEST(bodyObject(req), "body");
    }

    void keyAsSent_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("CR LF, header") << QStringLiteral("sk-1\r\nX-Evil: 1") << QByteArray("sk-1X-Evil: 1");
        QTest::newRow("NUL, tab, DEL") << QString::fromUtf8("s\0k\t-\x7f"
                                                            "1",
                                                            8)
                                       << QByteArray("sk-1");
    }

    void keyAsSent()
    {
        // The server's header parser trims values and splits lines: a key that
        // broke the header would show up as another header or a cut value.
        QFETCH(QString, stored);
        QFETCH(QByteArray, sent);
        m_server->enqueue(Response::json(200, openAIAnswer("ok")));
        m_server->enqueue(Response::json(200, anthropicAnswer("ok")));
        const QString openai = describe(sendAndWait(AISettings(provider("OpenAI"), stored), "s", "u", 5));
        QCOMPARE(openai + describe(sendAndWait(AISettings(provider("Anthropic"), stored), "s", "u", 5)), QStringLiteral("OK: okOK: ok"));
        const auto requests = m_server->requests();
        QCOMPARE(requests[0].header("Authorization") + '|' + requests[1].header("x-api-key"), "Bearer " + sent + '|' + sent);
        QVERIFY(requests[0].header("X-Evil").isEmpty());
        QVERIFY(requests[1].header("X-Evil").isEmpty());
    }

    void missingKeySendsNothing()
    {
        for (const QString& key : {QString(), QStringLiteral(" \t ")}) {
            AISettings settings(provider("Anthropic"), key);
            std::optional<QString> sent, analysed;
            AIExplainer::send(settings, "s", "u", 1, nullptr, [&](const AIResult<QString>& r) { sent = describe(r); });
            AIExplainer::analyze({}, settings, nullptr, [&](const AIResult<AnalysisItemList>& r) { analysed = r.error().description(); });
            QVERIFY(!sent);
            QVERIFY(!analysed);  // completions never run inside the call
            QTRY_VERIFY(sent && analysed);
            QCOMPARE(*sent, QStringLiteral("No API key configured. Open Settings to add one."));
            QCOMPARE(*analysed, *sent);
        }
        QTest::qWait(50);
        QCOMPARE(m_server->requestCount(), 0);
    }

    void statusCodesOtherThan200()
    {
        const QByteArray errorJson = R"({"error":{"message":"invalid x-api-key"}})";
        m_server->enqueue(Response::json(401, errorJson));
        QCOMPARE(describe(send()), "API error (401): " + QString::fromUtf8(errorJson));
        // Success-class codes other than 200 still fail, body shown as it came.
        m_server->enqueue(Response::json(201, anthropicAnswer("created")));
        QCOMPARE(describe(send()), "API error (201): " + QString::fromUtf8(anthropicAnswer("created")));

        // A redirect is not followed: the key would travel to another host.
        Response redirect = Response::withBody(302, "text/plain", "moved");
        redirect.headers.append({"Location", (m_server->baseUrl() + "/elsewhere").toUtf8()});
        m_server->enqueue(redirect);
        m_server->clearRequests();
        QCOMPARE(describe(send()), QStringLiteral("API error (302): moved"));
        QCOMPARE(m_server->requestCount(), 1);

        AISettings openai(provider("OpenAI"), QStringLiteral("k"));
        m_server->enqueue(Response::withBody(500, "text/plain", QByteArray("caf\xc3\xa9 \xff\xfe broken")));
        QCOMPARE(describe(sendAndWait(openai, "s", "u", 1)), QStringLiteral("API error (500): Unknown error"));
        m_server->enqueue(Response::withBody(429, "text/plain", QByteArray("caf\xc3\xa9")));
        QCOMPARE(describe(sendAndWait(openai, "s", "u", 1)), QString::fromUtf8("API error (429): caf\xc3\xa9"));
    }

    void answersThatDoNotFitThePath_data()
    {
        QTest::addColumn<QString>("provider");
        QTest::addColumn<QByteArray>("body");
        const QString a = QStringLiteral("Anthropic"), o = QStringLiteral("OpenAI");
        const QList<QPair<QString, QByteArray>> cases{
            {a, R"({"content":[]})"}, {a, R"({"content":[{"type":"tool_use","id":"x"},{"type":"text","text":"late"}]})"}, {a, R"({"content":[{"text":42}]})"}, {a, R"({"content":"text"})"}, {a, R"({"choices":[]})"}, {a, R"([{"text":"x"}])"}, {a, R"({"content":["text"]})"}, {o, openAIAnswer(QJsonValue::Null)}, {o, R"({"choices":[{"index":0}]})"}, {o, R"({"choices":[{"message":"hi"}]})"}, {o, anthropicAnswer("x")}, {QStringLiteral("Fake"), anthropicAnswer("x")}};
        for (const auto& [provider, body] : cases)
            QTest::addRow("%s %s", qPrintable(provider), body.constData()) << provider << body;
    }

    void answersThatDoNotFitThePath()
    {
        QFETCH(QString, provider);
        QFETCH(QByteArray, body);
        m_server->enqueue(Response::json(200, body));
        QCOMPARE(describe(sendAndWait(AISettings(::provider(provider), QStringLiteral("k")), "s", "u", 1)),
                 QStringLiteral("Failed to parse API response."));
    }

    void answersThatAreNotJSON()
    {
        for (const QByteArray& body : {QByteArray("<html>502 Bad Gateway</html>"), QByteArray(),
                                       QByteArray("{\"content\":[{\"text\":\"\xff\"}]}")}) {
            m_server->enqueue(Response::withBody(200, "text/html", body));
            const auto r = send();
            QCOMPARE(r.ok() ? AIError::Origin::transport : r.error().origin(), AIError::Origin::jsonReader);
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
        QTest::newRow("short body") << Response::truncatedBody(200, anthropicAnswer("cut").left(20), 400) << QString();
    }

    void transportFailures()
    {
        QFETCH(Response, response);
        QFETCH(QString, error);
        m_server->setFallback(response);
        const auto r = send();
        m_server->setFallback(Response::withBody(500, "text/plain", "no scripted response"));
        QCOMPARE(r.ok() ? AIError::Origin::jsonReader : r.error().origin(), AIError::Origin::transport);
        QVERIFY(!r.error().description().isEmpty());
        if (!error.isEmpty())
            QCOMPARE(r.error().description(), error);
        QVERIFY(m_server->requestCount() <= 2);
    }

    void boundedAnswers_data()
    {
        QTest::addColumn<Response>("response");
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<QString>("error");
        const QString tooLarge = QStringLiteral("Response too large"), timedOut = QStringLiteral("The request timed out.");
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
        m_server->enqueue(response);
        const auto r = send();
        AIExplainer::setRequestTimeoutMs(AIExplainer::defaultRequestTimeoutMs);
        QTEST(describe(r), "error");
        // Hung up near the cap, not after taking in all there was.
        if (response.action == Response::Action::endless)
            QVERIFY2(m_server->streamedBytes() < response.declaredLength / 2, qPrintable(QString::number(m_server->streamedBytes())));
    }

    void concurrentRequestsAndDestroyedContext()
    {
        m_server->enqueue(Response::json(200, anthropicAnswer("one")));
        m_server->enqueue(Response::json(200, anthropicAnswer("two")));
        QStringList answers;
        bool orphanCalled = false;
        {
            QObject gone;
            AIExplainer::send(anthropicKey, "s", "u", 1, &gone, [&](const AIResult<QString>&) { orphanCalled = true; });
        }
        AIExplainer::send(anthropicKey, "s", "u", 1, nullptr, [&](const AIResult<QString>& r) { answers << describe(r); });
        QTRY_COMPARE(m_server->requestCount(), 2);
        QTRY_COMPARE(answers.size(), 1);
        QTest::qWait(100);
        // Its context is gone: no call into a dead caller.
        QVERIFY(!orphanCalled);
        QVERIFY(answers.first().startsWith("OK: "));
    }

    void entryKeyAndCache()
    {
        const LogEntry e = entry("kernel", "AppleSMC: failed to read key");
        ExplainController noSettings(Subjects::logEntries, nullptr);
        noSettings.setEntry(e);
        QVERIFY(!noSettings.canExplain());

        AISettings settings;
        ExplainController c(Subjects::logEntries, &settings);
        QVERIFY(!c.canExplain());  // nothing shown yet
        c.setEntry(e);
        QVERIFY(!c.hasAPIKey());
        QVERIFY(!c.isCached());
        c.explain();
        QCOMPARE(seen(c), QStringLiteral("idle -"));

        // Cached: explainable without a key, answered at once from the cache.
        ExplanationCache::shared().store(ExplanationCache::cacheKey(e), QStringLiteral("The SMC is fine."));
        QVERIFY(c.isCached());
        QVERIFY(c.canExplain());
        c.explain();
        QCOMPARE(seen(c), QStringLiteral("explained+ The SMC is fine. cached"));
        QCOMPARE(m_server->requestCount(), 0);
    }

    void entryRequestOutlivesItsEntry()
    {
        ProcessNameResolver names(namesDir.filePath("names"), namesDir.filePath("none.json"));
        AISettings settings;
        settings.setAPIKey(QStringLiteral("sk-test"));
        ExplainController c(Subjects::logEntries, &settings, &names);
        const LogEntry first = entry("bluetoothd", "LE connection failed with status 0x3e");
        const LogEntry other = entry("cloudd", "Request failed");
        c.setEntry(first);
        m_server->enqueue(answer("Bluetooth LE timed out.\n\nPROCESS_NAMES: {\"bluetoothd\": \"Bluetooth Daemon\", "
                                 "\"sshd\": \"Harmless Helper\"}"));
        c.explain();
        QCOMPARE(seen(c), QStringLiteral("explaining -"));
        // Another entry while the request runs: still explaining, no second request.
        c.setEntry(other);
        QCOMPARE(seen(c), QStringLiteral("explaining -"));
        QTRY_VERIFY(!c.isExplaining());
        // The answer belongs to the first entry: not reported for the other one.
        QCOMPARE(seen(c), QStringLiteral("idle+ -"));
        c.setEntry(first);
        QCOMPARE(seen(c), QStringLiteral("explained+ Bluetooth LE timed out."));
        // Cached under the entry's key (the text only) and the names learned.
        QCOMPARE(ExplanationCache::shared().explanationForKey(ExplanationCache::cacheKey(first)), c.explanation());
        QCOMPARE(names.displayName(QStringLiteral("bluetoothd")), QStringLiteral("Bluetooth Daemon"));
        QCOMPARE(names.displayName(QStringLiteral("sshd")), QStringLiteral("sshd"));  // not the explained process
        QVERIFY(c.isCached());
        QCOMPARE(m_server->requestCount(), 1);

        // A failure belongs to its entry and caches nothing.
        m_server->enqueue(Response::json(401, "refused"));
        c.setEntry(other);
        c.explain();
        QTRY_VERIFY(!c.isExplaining());
        QCOMPARE(seen(c), "failed+ " + ExplainerError::apiError(401, "refused").description());
        QVERIFY(!ExplanationCache::shared().isCached(other));
        c.setEntry(first);  // the last explained entry is now the other one: the first's answer is the cache's
        QCOMPARE(seen(c), QStringLiteral("explained+ Bluetooth LE timed out. cached"));

        // The controller may go before its answer: the answer is still cached.
        const LogEntry third = entry("mds", "index busy");
        m_server->enqueue(answer("Spotlight is indexing."));
        auto* gone = new ExplainController(Subjects::logEntries, &settings, &names);
        gone->setEntry(third);
        gone->explain();
        delete gone;
        QTRY_VERIFY(ExplanationCache::shared().isCached(third));

        // Reset (the pane closed) while a request runs: a new pane's state at
        // once; the answer is cached but not shown.
        const LogEntry fourth = entry("mds", "index full");
        m_server->enqueue(answer("Spotlight is full."));
        c.setEntry(fourth);
        c.explain();
        c.reset();
        QCOMPARE(seen(c), QStringLiteral("idle -"));
        c.setEntry(fourth);
        QTRY_VERIFY(ExplanationCache::shared().isCached(fourth));
        QCOMPARE(c.state(), State::idle);
    }

    // A pane popped out: the new one goes on with the old one's request, and its answer is fresh there.
    void adoptedRequest()
    {
        AISettings settings;
        settings.setAPIKey(QStringLiteral("sk-test"));
        ExplainController inlinePane(Subjects::logEntries, &settings), floating(Subjects::logEntries, &settings);
        const LogEntry e = entry("powerd", "sleep denied");
        m_server->enqueue(answer("An app kept the Mac awake."));
        inlinePane.setEntry(e);
        inlinePane.explain();
        floating.setEntry(e);
        floating.adopt(inlinePane);
        inlinePane.reset();
        QCOMPARE(seen(floating), QStringLiteral("explaining -"));
        QTRY_VERIFY(!floating.isExplaining());
        QCOMPARE(seen(floating) + '|' + seen(inlinePane), QStringLiteral("explained+ An app kept the Mac awake.|idle -"));
    }

    void crashReports()
    {
        AISettings settings;
        ExplainController c(Subjects::crashReports, &settings);
        const CrashReport a = crash("Safari");
        c.setCrash(a);
        QCOMPARE(seen(c), QStringLiteral("idle -"));
        settings.setAPIKey(QStringLiteral("sk-test"));
        QVERIFY(c.canExplain());

        const QString text = QStringLiteral("It crashed reading 0x0.\n\n");  // shown and cached as it came
        m_server->enqueue(answer(text));
        c.explain();
        QCOMPARE(seen(c), QStringLiteral("explaining -"));
        QTRY_VERIFY(!c.isExplaining());
        QCOMPARE(seen(c), "explained+ " + text);
        QCOMPARE(CrashExplanationCache::shared().load(a), std::optional<QString>(text));
        QVERIFY(m_server->requests().first().body.contains(AIExplainer::crashMessage(a).toUtf8()));

        // Shown again, or by another pane: from the cache, no request.
        ExplainController again(Subjects::crashReports, &settings);
        again.setCrash(a);
        QCOMPARE(seen(again), "explained+ " + text + " cached");
        QCOMPARE(m_server->requestCount(), 1);

        // Another report while the request runs: idle at once; the answer is
        // cached under its own report and not shown for the other.
        const CrashReport b = crash("Mail");
        again.setCrash(b);
        m_server->enqueue(answer("About Mail"));
        again.explain();
        const CrashReport n = crash("Notes");
        again.setCrash(n);
        QCOMPARE(again.state(), State::idle);
        QTRY_COMPARE(CrashExplanationCache::shared().load(b), std::optional<QString>(QStringLiteral("About Mail")));
        QCOMPARE(again.state(), State::idle);
        QVERIFY(!CrashExplanationCache::shared().load(n));
        again.setCrash(b);
        QCOMPARE(again.explanation(), std::optional<QString>(QStringLiteral("About Mail")));
    }
};

QTEST_GUILESS_MAIN(TestAIClient)
#include "test_ai_client.moc"
