#include "tests/support/Entries.h"
#include "ai/AISettings.h"
#include "ai/ExplainController.h"
#include "ai/ExplainerError.h"
#include "ai/ExplanationCache.h"
#include "logs/Platform.h"
#include "processnames/ProcessNameResolver.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TestEnv.h"

#include <QtTest>

using Response = LoopbackHttpServer::Response;
using State = ExplainController::State;
using Subjects = ExplainController::Subjects;

// The explain state machine of the detail panes, against a loopback provider.
class TestExplainController : public QObject {
    Q_OBJECT

    LoopbackHttpServer server;
    QTemporaryDir namesDir;

    static LogEntry entry(const QString& process, const QString& message) { return makeEntry(0, 4, process, message); }

    static CrashReport crash(const QString& app)
    {
        CrashReport r;
        r.id = QUuid::createUuid();
        r.appName = app;
        r.fileName = app + "-" + r.id.toString(QUuid::WithoutBraces) + ".ips";
        return r;
    }

    static Response answer(const QString& text)
    {
        return Response::json(200, "{\"content\":[{\"type\":\"text\",\"text\":\"" + text.toUtf8().replace("\n", "\\n") + "\"}]}");
    }

    // State, whether a click would explain, and the text or error shown ("cached" when from the cache).
    static QString seen(const ExplainController& c)
    {
        static const char* names[] = {"idle", "explaining", "explained", "failed"};
        return QString("%1%2 %3%4").arg(names[int(c.state())], c.canExplain() ? "+" : "",
                                        c.explanation().value_or(c.error().value_or("-")), c.wasCached() ? " cached" : "");
    }

private slots:
    void initTestCase()
    {
        TestEnv::useTemporaryHome();
        QVERIFY(server.start());
        qputenv("VELLACORD_ANTHROPIC_URL", server.baseUrl().toUtf8());
    }

    void init()
    {
        TestEnv::clearSettings();
        ExplanationCache::resetShared();
        CrashExplanationCache::resetShared();
        QFile::remove(Platform::appSupportDir() + "/explanations.json");
        QDir(Platform::appSupportDir() + "/CrashExplanations").removeRecursively();
        server.clearRequests();
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
        QVERIFY(!c.hasAPIKey() && !c.isCached());
        c.explain();
        QCOMPARE(seen(c), QStringLiteral("idle -"));

        // Cached: explainable without a key, answered at once from the cache.
        ExplanationCache::shared().store(ExplanationCache::cacheKey(e), QStringLiteral("The SMC is fine."));
        QVERIFY(c.isCached() && c.canExplain());
        c.explain();
        QCOMPARE(seen(c), QStringLiteral("explained+ The SMC is fine. cached"));
        QCOMPARE(server.requestCount(), 0);
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
        server.enqueue(answer("Bluetooth LE timed out.\n\nPROCESS_NAMES: {\\\"bluetoothd\\\": \\\"Bluetooth Daemon\\\"}"));
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
        QVERIFY(c.isCached());
        QCOMPARE(server.requestCount(), 1);

        // A failure belongs to its entry and caches nothing.
        server.enqueue(Response::json(401, "refused"));
        c.setEntry(other);
        c.explain();
        QTRY_VERIFY(!c.isExplaining());
        QCOMPARE(seen(c), "failed+ " + ExplainerError::apiError(401, "refused").description());
        QVERIFY(!ExplanationCache::shared().isCached(other));
        c.setEntry(first);  // the last explained entry is now the other one
        QCOMPARE(c.state(), State::idle);

        // The controller may go before its answer: the answer is still cached.
        const LogEntry third = entry("mds", "index busy");
        server.enqueue(answer("Spotlight is indexing."));
        auto* gone = new ExplainController(Subjects::logEntries, &settings, &names);
        gone->setEntry(third);
        gone->explain();
        delete gone;
        QTRY_VERIFY(ExplanationCache::shared().isCached(third));

        // Reset (the pane closed) while a request runs: a new pane's state at
        // once; the answer is cached but not shown.
        const LogEntry fourth = entry("mds", "index full");
        server.enqueue(answer("Spotlight is full."));
        c.setEntry(fourth);
        c.explain();
        c.reset();
        QCOMPARE(seen(c), QStringLiteral("idle -"));
        c.setEntry(fourth);
        QTRY_VERIFY(ExplanationCache::shared().isCached(fourth));
        QCOMPARE(c.state(), State::idle);
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
        server.enqueue(answer(text));
        c.explain();
        QCOMPARE(seen(c), QStringLiteral("explaining -"));
        QTRY_VERIFY(!c.isExplaining());
        QCOMPARE(seen(c), "explained+ " + text);
        QCOMPARE(CrashExplanationCache::shared().load(a), std::optional<QString>(text));
        QVERIFY(server.requests().first().body.contains("Crash Report for: Safari"));

        // Shown again, or by another pane: from the cache, no request.
        ExplainController again(Subjects::crashReports, &settings);
        again.setCrash(a);
        QCOMPARE(seen(again), "explained+ " + text + " cached");
        QCOMPARE(server.requestCount(), 1);

        // Another report while the request runs: idle at once; the answer is
        // cached under its own report and not shown for the other.
        const CrashReport b = crash("Mail");
        again.setCrash(b);
        server.enqueue(answer("About Mail"));
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

QTEST_GUILESS_MAIN(TestExplainController)
#include "test_explain_controller.moc"
