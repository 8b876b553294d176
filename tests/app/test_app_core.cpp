#include "app/AppTheme.h"
#include "app/ArchiveChoice.h"
#include "app/UpdateChecker.h"
#include "base/Platform.h"
#include "tests/support/JournalFixture.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TestEnv.h"

#include "tests/support/LogCapture.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using Response = LoopbackHttpServer::Response;
Q_DECLARE_METATYPE(LoopbackHttpServer::Response)

namespace {

QByteArray manifest(const QByteArray& version, const QByteArray& build, const QByteArray& extra = {})
{
    return "{\"currentVersion\": \"" + version + "\", \"currentBuild\": " + build + ", \"downloadURL\": \"https://example.test/Vellacord-" + version + ".dmg\", \"releaseNotes\": \"Faster search.\"" + extra + "}";
}

struct Outcome {
    bool updateAvailable = false;
    QString latestVersion, downloadURL, releaseNotes;
    int notifications = 0;  // change signals of the four properties together
    QStringList values() const { return {latestVersion, downloadURL, releaseNotes}; }
    bool unchanged() const
    {
        return !updateAvailable && latestVersion.isEmpty() && downloadURL.isEmpty() && releaseNotes.isEmpty() && notifications == 0;
    }
};

Outcome waitFor(UpdateChecker& checker)
{
    Outcome o;
    for (auto signal : {&UpdateChecker::updateAvailableChanged, &UpdateChecker::latestVersionChanged,
                        &UpdateChecker::downloadURLChanged, &UpdateChecker::releaseNotesChanged})
        QObject::connect(&checker, signal, &checker, [&o] { ++o.notifications; });
    QSignalSpy finished(&checker, &UpdateChecker::checkFinished);
    if (!finished.wait(15000))
        qWarning("the check did not finish");
    return {checker.updateAvailable(), checker.latestVersion(), checker.downloadURL(), checker.releaseNotes(),
            o.notifications};
}

}  // namespace

// The shell's rules without widgets: the release check, the stored theme and what the open command accepts.
class TestAppCore : public QObject {
    Q_OBJECT

    LoopbackHttpServer m_server;

    QUrl manifestURL() const { return QUrl(m_server.baseUrl() + QStringLiteral("/Vellacord/version.json")); }

    // One check of the running 1.0.0 build 3 (unless given) against the loopback server answering `response`.
    Outcome check(const Response& response, const QString& localBuild = QStringLiteral("3"))
    {
        m_server.clearRequests();
        m_server.enqueue(response);
        UpdateChecker checker(UpdateChecker::Source{manifestURL(), QStringLiteral("1.0.0"), localBuild});
        return waitFor(checker);
    }

private slots:
    void initTestCase()
    {
        TestEnv::useTemporaryHome();
        QVERIFY(m_server.start());
    }

    void isNewerComparesNumbersThenBuilds()
    {
        // Missing pieces are 0 and pieces compare as numbers, the version before the build; pieces that are not
        // decimals (3b, " 5", beyond 64 bits) are dropped, empty ones skipped; an empty version is all zeros.
        const struct {
            const char* manifest;
            qint64 build;
            const char* local;
            qint64 localBuild;
            bool newer;
        } cases[] = {
            {"1.2", 16, "1.2.0", 15, true},
            {"1.2", 15, "1.2.0", 15, false},
            {"1.2", 14, "1.2", 15, false},
            {"1.9", 99, "1.10", 1, false},
            {"1.10", 1, "1.9", 99, true},
            {"1.3", 5, "1.2", 20, true},
            {"1.3b.0", 0, "1.0", 0, false},
            {"1.3b.0.1", 0, "1.0", 0, true},
            {"", 2, "", 1, true},
            {"1..2", 0, "1.2", 0, false},
            {"1.99999999999999999999", 0, "1.1", 0, false},
        };
        for (const auto& c : cases)
            QVERIFY2(isNewer(QString::fromLatin1(c.manifest), c.build, QString::fromLatin1(c.local), c.localBuild) == c.newer,
                     qPrintable(QStringLiteral("%1 (%2) vs %3 (%4)").arg(c.manifest).arg(c.build).arg(c.local).arg(c.localBuild)));
    }

    void decimalsAndBuildNumbers()
    {
        for (const auto& [text, value] : {std::pair{"42", 42LL}, {"+7", 7LL}, {"-7", -7LL}, {"9223372036854775807", std::numeric_limits<qint64>::max()}, {"-9223372036854775808", std::numeric_limits<qint64>::min()}})
            QCOMPARE(parseDecimal(QString::fromLatin1(text)), std::optional<qint64>(value));
        for (const char* bad : {"", "+", "-", " 1", "1 ", "1e3", "0x10", "١٢", "9223372036854775808", "--1"})
            QVERIFY2(!parseDecimal(QString::fromUtf8(bad)), bad);
        QCOMPARE((QList<qint64>{UpdateChecker::localBuildNumber("128"), UpdateChecker::localBuildNumber("12a"),
                                UpdateChecker::localBuildNumber(QString())}),
                 (QList<qint64>{128, 0, 0}));
    }

    void manifestDecoding()
    {
        const auto ok = VersionPayload::decode(manifest("1.4.2", "42", ", \"minimumOS\": 13"));
        QVERIFY(ok);
        QCOMPARE(ok->currentBuild, 42);
        QCOMPARE((QStringList{ok->currentVersion, ok->downloadURL, ok->releaseNotes}),
                 (QStringList{"1.4.2", "https://example.test/Vellacord-1.4.2.dmg", "Faster search."}));
        QCOMPARE(VersionPayload::decode(manifest("1", "42.0"))->currentBuild, 42);
        // A build that is not an integral number below 2^63; fields missing or of the wrong type; not an object.
        for (const QByteArray& bad : {manifest("1", "\"42\""), manifest("1", "42.5"), manifest("1", "1e30"),
                                      manifest("1", "9223372036854775808"),
                                      QByteArray(R"({"currentVersion": 1.4, "currentBuild": 1, "downloadURL": "u", "releaseNotes": ""})"),
                                      QByteArray(R"({"currentVersion": "1.4", "currentBuild": 1, "releaseNotes": ""})"),
                                      QByteArray(R"({"currentVersion": "1.4", "currentBuild": 1, "downloadURL": "u"})"),
                                      "[" + manifest("1", "42") + "]", manifest("1", "42").chopped(1), QByteArray()})
            QVERIFY2(!VersionPayload::decode(bad), bad.constData());
    }

    // The banner shows the version as it is: only a short plain text is taken; anything else makes the
    // manifest a bad one.
    void shownVersions_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("taken");
        QTest::newRow("dotted") << "1.4.2" << true;
        QTest::newRow("words and accents") << QString::fromUtf8("2.0 b\xc3\xaata") << true;
        QTest::newRow("32 characters") << QString(32, '9') << true;
        QTest::newRow("33 characters") << QString(33, '9') << false;
        QTest::newRow("line feed") << "1.4\nDownload now at evil.test" << false;
        QTest::newRow("tab") << "1.4\t" << false;
        QTest::newRow("DEL") << "1.4\x7f" << false;
        QTest::newRow("C1 control") << "1.4\u0085" << false;
        QTest::newRow("line separator") << "1.4\u2028" << false;
        QTest::newRow("right-to-left override") << "1.4\u202E" << false;
        QTest::newRow("isolate") << "\u20661.4" << false;
    }

    void shownVersions()
    {
        QFETCH(QString, version);
        QFETCH(bool, taken);
        const QJsonObject o{{"currentVersion", version}, {"currentBuild", 9}, {"downloadURL", "https://example.test/"}, {"releaseNotes", "Notes."}};
        QCOMPARE(bool(VersionPayload::decode(QJsonDocument(o).toJson())), taken);
        QCOMPARE(isShowableVersion(version), taken);
    }

    // A manifest far too large, or one that never ends arriving, is given up as a bad one, and said so.
    // The address comes from the environment, as in the application.
    void givesUpOnManifest_data()
    {
        QTest::addColumn<Response>("response");
        QTest::addColumn<int>("deadlineMs");
        QTest::addColumn<QString>("reason");
        const QString tooLarge = QStringLiteral("is larger than 64 KiB");
        QTest::newRow("endless body") << Response::endlessChunked(qint64(64) << 20) << 20000 << tooLarge;
        QTest::newRow("1 GB declared") << Response::truncatedBody(200, manifest("9.0", "1"), qint64(1) << 30) << 20000
                                       << tooLarge;
        // A byte every 50 ms: the whole manifest would take seconds.
        QTest::newRow("slow loris") << Response::trickle(200, manifest("9.0", "1"), 50) << 300
                                    << QStringLiteral("did not arrive within 0.3 s");
    }

    void givesUpOnManifest()
    {
        QFETCH(Response, response);
        QFETCH(int, deadlineMs);
        QFETCH(QString, reason);
        // Qt may send the previous row's request again after it gave up on it,
        // and that one would take a queued answer: every request gets this one.
        m_server.setFallback(response);
        qputenv("VELLACORD_UPDATE_URL", manifestURL().toString().toUtf8());
        UpdateChecker::Source source = UpdateChecker::defaultSource();
        qunsetenv("VELLACORD_UPDATE_URL");
        source.localVersion = QStringLiteral("1.0.0");
        source.deadlineMs = deadlineMs;
        LogCapture log;
        UpdateChecker checker(source);
        QVERIFY(waitFor(checker).unchanged());
        QCOMPARE(log.messages(), QStringList{"Gave up the update check: the manifest at " + manifestURL().toString() + ' ' + reason});
        // Bounded by the reads the client holds back, not by the server's patience.
        QVERIFY2(response.action != Response::Action::endless || m_server.streamedBytes() < response.declaredLength / 2,
                 qPrintable(QString::number(m_server.streamedBytes())));
        m_server.setFallback(Response::withBody(500, "text/plain", "no scripted response"));
    }

    void releaseValuesPublished()
    {
        const Outcome o = check(Response::json(200, manifest("1.4.2", "7")));
        QVERIFY(o.updateAvailable);
        QCOMPARE(o.notifications, 4);
        QCOMPARE(o.values(), (QStringList{"1.4.2", "https://example.test/Vellacord-1.4.2.dmg", "Faster search."}));
        QCOMPARE(m_server.requestCount(), 1);
        QCOMPARE(m_server.requests().first().method + ' ' + m_server.requests().first().target, "GET /Vellacord/version.json");
        // The running release (1.0 build 3 against 1.0.0 build 3) is no update.
        QVERIFY(!check(Response::json(200, manifest("1.0", "3"))).updateAvailable);
    }

    void badAnswersChangeNothing()
    {
        const QByteArray body = manifest("9.0", "1");
        const QList<Response> answers{
            Response::json(200, "{\"currentVersion\": \"9.0\", "), Response::json(200, manifest("9.0", "\"12\"")),
            Response::withBody(404, "text/html", "<html><body>Not Found</body></html>"), Response::json(200, {}),
            Response::dropConnection(),
            // A complete-looking manifest on a connection closed before the announced length arrived.
            Response::truncatedBody(200, body, body.size() + 50), Response::rawBytes("this is not HTTP\r\n\r\n")};
        for (qsizetype i = 0; i < answers.size(); ++i)
            QVERIFY2(check(answers[i]).unchanged(), qPrintable(QString::number(i)));
    }

    void unreachableOrUnusableAddressChangesNothing()
    {
        QTcpServer probe;  // a port with nothing listening
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const QUrl dead(QStringLiteral("http://127.0.0.1:%1/Vellacord/version.json").arg(probe.serverPort()));
        probe.close();
        m_server.clearRequests();
        for (const QUrl& url : {dead, QUrl(), QUrl(QStringLiteral("file:///etc/hostname"))}) {
            UpdateChecker checker(UpdateChecker::Source{url, "1.0", "0"});
            QVERIFY2(waitFor(checker).unchanged(), qPrintable(url.toString()));
        }
        QCOMPARE(m_server.requestCount(), 0);
    }

    void checkerGoneBeforeTheAnswer()
    {
        m_server.clearRequests();
        m_server.enqueue(Response::noAnswer());
        auto* checker = new UpdateChecker(UpdateChecker::Source{manifestURL(), "1.0", "0"});
        QVERIFY(m_server.waitForRequests(1));
        delete checker;  // must neither crash nor leave a reply pointing at it
        QTest::qWait(50);
    }

    void downloadAddressesOpenedOnlyOnTheWeb()
    {
        for (const char* ok : {"https://example.test/Vellacord.dmg", "http://example.test/download", "HTTPS://Example.test/x"})
            QVERIFY2(isSafeDownloadURL(QUrl(QString::fromLatin1(ok), QUrl::StrictMode)), ok);
        for (const char* bad : {"file:///Applications/Calculator.app", "javascript:alert(1)", "ftp://example.test/a",
                                "/relative/path", "example.test/page", "https://", "", "https://exa mple.test/"})
            QVERIFY2(!isSafeDownloadURL(QUrl(QString::fromLatin1(bad), QUrl::StrictMode)), bad);
        QCOMPARE(UpdateChecker::bannerText(QStringLiteral("1.4.2")), QStringLiteral("Vellacord 1.4.2 is available"));
        QCOMPARE(UpdateChecker::downloadButtonText(), QStringLiteral("Download"));
    }

    void storedThemeAndMenuLabels()
    {
        TestEnv::clearSettings();
        QCOMPARE(Theme::stored(), AppTheme::system);
        for (const char* s : {"Dark", "LIGHT", "", "system", "sepia"}) {
            Platform::settings().setValue("colorScheme", QString::fromLatin1(s));
            QCOMPARE(Theme::stored(), AppTheme::system);
        }
        // An unrecognised value is not rewritten.
        QCOMPARE(Platform::settings().value("colorScheme").toString(), QStringLiteral("sepia"));
        Theme::store(AppTheme::light);
        QCOMPARE(Platform::settings().value("colorScheme").toString(), "light");
        QCOMPARE(Theme::stored(), AppTheme::light);
        Theme::store(AppTheme::dark);
        QCOMPARE(Theme::stored(), AppTheme::dark);

        QStringList labels;
        for (AppTheme t : Theme::all())
            labels << Theme::menuItemLabel(t, Theme::fromStored(QStringLiteral("Dark")));
        QCOMPARE(labels, (QStringList{"\u2713 System", "   Light", "   Dark"}));
        QCOMPARE(Theme::menuItemLabel(AppTheme::dark, AppTheme::dark), QStringLiteral("\u2713 Dark"));
    }

    void archiveChoice()
    {
        for (const char* ok : {"/tmp/Logs.LOGARCHIVE", "/tmp/a.b.logarchive/", "/home/u/Desktop/mac.ndjson",
                               "/tmp/Mac Export.JSONL", "/tmp/x.NdJson"})
            QVERIFY2(ArchiveChoice::isLogArchive(QString::fromUtf8(ok)), ok);
        for (const char* bad : {"/tmp/Logs", "/tmp/logarchive", "/tmp/x.logarchive.zip", "/tmp/.ndjson", "/tmp/x.json",
                                "/tmp/x.ndjson.gz", "/tmp/ndjson", "/tmp/x.jsonlines"})
            QVERIFY2(!ArchiveChoice::isLogArchive(QString::fromUtf8(bad)), bad);
        QCOMPARE(ArchiveChoice::notAnArchiveText(QStringLiteral("/home/u/Desktop/Stuff/")),
                 QStringLiteral("Please select a .logarchive bundle. The selected item \"Stuff\" is not a valid log "
                                "archive."));
        // By what they hold, whatever their names: a collector's journal folder.
        QTemporaryDir dir;
        const QString collector = JournalFixture::makeArchive(dir.path(), "remote", {JournalFixture::message(1767600000, "a", "b")});
        QVERIFY(ArchiveChoice::isLogArchive(collector));
    }
};

QTEST_GUILESS_MAIN(TestAppCore)
#include "test_app_core.moc"
