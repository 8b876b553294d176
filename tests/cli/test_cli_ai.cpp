// explain and analyze end to end: the CLI as a child process, its AI provider
// a loopback server started here.

#include "ai/ExplainerError.h"
#include "ai/ExplanationCache.h"
#include "logs/Platform.h"
#include "tests/support/JournalFixture.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TestEnv.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sys/stat.h>

using Response = LoopbackHttpServer::Response;

namespace {

using TestEnv::CliRun;

Response okAnswer(const QJsonObject& o) { return Response::json(200, QJsonDocument(o).toJson(QJsonDocument::Compact)); }
Response anthropicAnswer(const QString& text) { return okAnswer({{"content", QJsonArray{QJsonObject{{"type", "text"}, {"text", text}}}}}); }
Response openAIAnswer(const QString& text) { return okAnswer({{"choices", QJsonArray{QJsonObject{{"message", QJsonObject{{"content", text}}}}}}}); }

QJsonObject readJsonFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object() : QJsonObject();
}

// Exit status, standard output and standard error in one text, to compare a run whole.
QString outcome(const CliRun& r) { return QString::number(r.code) + '|' + r.out + '|' + r.err; }

}  // namespace

class TestCliAI : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_archive;
    LoopbackHttpServer m_server;

    QProcessEnvironment cliEnv(const QByteArray& apiKey = "test-key") const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VELLACORD_ANTHROPIC_URL", m_server.baseUrl());
        env.insert("VELLACORD_OPENAI_URL", m_server.baseUrl());
        env.remove("VELLACORD_API_KEY");
        if (!apiKey.isNull())
            env.insert("VELLACORD_API_KEY", QString::fromUtf8(apiKey));
        return env;
    }

    CliRun cli(const QStringList& args, const QByteArray& apiKey = "test-key") { return TestEnv::runCli(args, cliEnv(apiKey)); }

    // The archive's rows in time order, every level listed.
    static int rowOf(const QString& process) { return QStringList{"backupd", "kernel", "syncd", "mdworker"}.indexOf(process); }

    QStringList explainArgs(const QString& process) const
    {
        return {"explain", "--archive", m_archive, "--level", "fault,error,notice,info,debug", "--index", QString::number(rowOf(process))};
    }

private slots:
    void initTestCase()
    {
        TestEnv::useTemporaryHome();
        QVERIFY(m_server.start());
        using JournalFixture::message;
        m_archive = JournalFixture::makeArchive(m_dir.path(), "AI.logarchive",
                                                {message(1767605400.5, "backupd", "backup failed", 3), message(1767605401.25, "kernel", "thermal event", 6),
                                                 message(1767605402.0, "syncd", "sync stalled", 4), message(1767605403.0, "mdworker", "index rebuilt", 7)});
    }

    void init()
    {
        m_server.clearRequests();
        TestEnv::clearSettings();
    }

    // Requests, prompts, error texts and the cache rules are the AI library's and tested
    // there; here: which entry is asked about, what is printed where, and the exit codes.
    void explainMissThenHit()
    {
        m_server.enqueue(anthropicAnswer(
            "The backup could not finish.\n\nPROCESS_NAMES: {\"backupd\": \"Other name\", \"vellacord-helperd\": \"Vellacord helper\"}"));
        const QStringList args = explainArgs("backupd") + QStringList{"--provider", "Anthropic"};
        QCOMPARE(outcome(cli(args)), QStringLiteral("0|The backup could not finish.\n|"));
        QCOMPARE(m_server.requestCount(), 1);
        QCOMPARE(m_server.requests().first().target, QByteArray("/v1/messages"));
        QVERIFY(m_server.requests().first().body.contains("Message: backup failed"));

        // Stored without the process-name block; the new name learned, the shipped one kept.
        const QString dir = Platform::appSupportDir();
        const QJsonObject cache = readJsonFile(dir + "/explanations.json");
        QCOMPARE(cache.size() == 1 ? cache.begin().value().toObject()["explanation"].toString() : QString(), QStringLiteral("The backup could not finish."));
        QCOMPARE(readJsonFile(dir + "/learned_processes.json"), (QJsonObject{{"vellacord-helperd", "Vellacord helper"}}));

        // The second run is answered from the cache: no request, even without a key.
        QCOMPARE(outcome(cli(args, QByteArray())), QStringLiteral("0|The backup could not finish.\n|"));
        QCOMPARE(m_server.requestCount(), 1);
    }

    void explainFailures()
    {
        QStringList args = explainArgs("kernel") + QStringList{"--provider", "OpenAI"};
        const QByteArray refused = R"({"error":{"message":"Incorrect API key"}})";
        m_server.enqueue(Response::json(401, refused));
        QCOMPARE(outcome(cli(args)), "1||" + ExplainerError::apiError(401, refused).description() + "\n");
        QCOMPARE(m_server.requests().first().target, QByteArray("/v1/chat/completions"));

        // Nothing was cached: the next run asks again.
        m_server.enqueue(openAIAnswer("  Thermal events are normal.  "));
        QCOMPARE(outcome(cli(args)), QStringLiteral("0|Thermal events are normal.\n|"));
        QCOMPARE(m_server.requestCount(), 2);

        // No key (a blank one is none): the error on stderr, nothing sent.
        m_server.clearRequests();
        args[6] = QString::number(rowOf("syncd"));
        for (const QByteArray& key : {QByteArray(), QByteArray("  \t")})
            QCOMPARE(outcome(cli(args, key)), "1||" + ExplainerError::noAPIKey().description() + "\n");

        const QStringList all{"explain", "--archive", m_archive, "--level", "fault,error,notice,info,debug"};
        QCOMPARE(outcome(cli(all + QStringList{"--index", "4"})),
                 QStringLiteral("1||vellacord-cli explain: index 4 is out of range: the list has 4 entries (0 to 3)\n"));
        // The index counts in the filtered rows: with info alone, row 0 is the kernel entry (whose
        // explanation is cached by now), and row 1 does not exist.
        QCOMPARE(outcome(cli({"explain", "--archive", m_archive, "--level", "info", "--index", "0"}, QByteArray())),
                 QStringLiteral("0|Thermal events are normal.\n|"));
        QCOMPARE(outcome(cli({"explain", "--archive", m_archive, "--level", "info", "--index", "1"})),
                 QStringLiteral("1||vellacord-cli explain: index 1 is out of range: the list has 1 entry (0 to 0)\n"));
        for (const QStringList& bad : {QStringList{"--index", "-1"}, QStringList{}, QStringList{"--index", "0", "--provider", "Gemini"}})
            QCOMPARE(cli(all + bad).code, 2);
        QCOMPARE(m_server.requestCount(), 0);
    }

    void providerAndKeyFromTheSettingsStore()
    {
        Platform::settings().setValue("aiProvider", "OpenAI");
        Platform::settings().setValue("aiAPIKey", "stored-key");
        Platform::settings().sync();
        ExplanationCache::resetShared();
        QFile::remove(Platform::appSupportDir() + "/explanations.json");
        m_server.enqueue(openAIAnswer("From the store."));
        QCOMPARE(cli(explainArgs("syncd"), QByteArray()).code, 0);
        QCOMPARE(m_server.requests().first().header("Authorization"), QByteArray("Bearer stored-key"));
        // The override neither replaced nor added settings.
        Platform::settings().sync();
        QCOMPARE(Platform::settings().allKeys(), (QStringList{"aiAPIKey", "aiProvider"}));
        QCOMPARE(Platform::settings().value("aiAPIKey").toString(), QStringLiteral("stored-key"));
    }

    void stateFilesThatAreNotRegularFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("fifo");
        QTest::newRow("explanations.json as a link to /dev/zero") << "explanations.json" << false;
        QTest::newRow("learned_processes.json as a FIFO") << "learned_processes.json" << true;
        QTest::newRow("ProcessNames.json as a FIFO") << "ProcessNames.json" << true;
    }

    void stateFilesThatAreNotRegularFiles()
    {
        QFETCH(QString, file);
        QFETCH(bool, fifo);
        const QString dir = Platform::appSupportDir();
        QFile::remove(dir + "/explanations.json");
        const QString path = dir + "/" + file;
        QFile::remove(path);
        QVERIFY(fifo ? mkfifo(QFile::encodeName(path).constData(), 0600) == 0 : QFile::link("/dev/zero", path));
        m_server.enqueue(anthropicAnswer("Indexing.\nPROCESS_NAMES: {\"mdworker\": \"Spotlight indexer\"}"));
        QProcessEnvironment env = cliEnv();
        env.insert("QT_LOGGING_RULES", "com.corvistra.Vellacord.*=true");
        // A read that blocks or runs away is cut short here rather than by ctest.
        const CliRun r = TestEnv::runCli(explainArgs("mdworker"), env, 10000);
        QFile::remove(path);
        QFile::remove(dir + "/learned_processes.json");
        QVERIFY2(outcome(r).startsWith("0|Indexing.\n|") && r.err.contains("Ignored " + path + ": not a regular file"), qPrintable(r.err));
        QVERIFY(!QFileInfo("/dev/zero").isFile());  // the write replaced the link, not what it points to
    }

    void concurrentExplainsKeepEveryRecord()
    {
        const QString cacheFile = Platform::appSupportDir() + "/explanations.json";
        QFile::remove(cacheFile);
        // No answer until all four have read the cache and asked.
        m_server.holdAnswersUntil(4);
        for (int i = 0; i < 4; ++i)
            m_server.enqueue(anthropicAnswer(QStringLiteral("Answer %1.").arg(i)));
        std::vector<std::unique_ptr<QProcess>> runs;
        for (const char* process : {"backupd", "kernel", "syncd", "mdworker"}) {
            runs.push_back(std::make_unique<QProcess>());
            runs.back()->setProcessEnvironment(cliEnv());
            runs.back()->start(TestEnv::cliPath(), explainArgs(process));
        }
        for (const auto& run : runs)
            QVERIFY(run->waitForFinished(20000) && run->exitCode() == 0);
        QCOMPARE(readJsonFile(cacheFile).size(), 4);
    }

    void analyzeFindings()
    {
        const int backup = rowOf("backupd");
        const QString answer = QStringLiteral("ENTRY: %1\nTITLE: Backups failing\nCONCERN: Data is not protected.\n\n"
                                              "ENTRY: 42\nTITLE: Odd pattern\nCONCERN: Worth a look.")
                                   .arg(backup);
        const QStringList args{"analyze", "--archive", m_archive, "--level", "fault,error,notice,info,debug"};
        m_server.enqueue(openAIAnswer(answer));
        QCOMPARE(outcome(cli(args + QStringList{"--provider", "openai"})),
                 QStringLiteral("0|Backups failing\tData is not protected.\t%1\nOdd pattern\tWorth a look.\t-\n|").arg(backup));
        QCOMPARE(m_server.requests().first().target, QByteArray("/v1/chat/completions"));
        m_server.enqueue(anthropicAnswer(" \n\n "));
        QCOMPARE(outcome(cli(args)), QStringLiteral("0||No notable issues found\n"));
        m_server.enqueue(Response::withBody(200, "text/html", "<html>proxy</html>"));
        const CliRun r = cli(args);
        QVERIFY(r.code == 1 && r.out.isEmpty() && !r.err.isEmpty());  // the reader's error
    }
};

QTEST_GUILESS_MAIN(TestCliAI)
#include "test_cli_ai.moc"
