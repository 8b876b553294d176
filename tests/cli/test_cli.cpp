// The command-line tool as a child process: options reach the list it prints,
// the output formats, exit codes and usage errors; explain and analyze against
// a loopback AI provider started here. The matching rules, requests, prompts and
// cache rules are the libraries' and tested there.

#include "ai/ExplainerError.h"
#include "ai/ExplanationCache.h"
#include "base/Platform.h"
#include "tests/support/JournalFixture.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TestEnv.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sys/stat.h>

using Response = LoopbackHttpServer::Response;

namespace {

using TestEnv::CliRun;

// One column of the row lines (-1: the message, 2: the process).
QStringList column(const CliRun& r, int section)
{
    QStringList out;
    for (const QString& line : r.lines())
        out.append(line.section('\t', section, section));
    return out;
}

const QString kAll = QStringLiteral("fault,error,notice,info,debug");
const QStringList kDefaultRows{"backup failed", "page load error", "push NETWORK down"};

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

class TestCli : public QObject {
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
    CliRun logs(const QStringList& args) { return cli(QStringList{"logs", "--archive", m_archive} + args); }

    // The archive's rows in time order, every level listed.
    static int rowOf(const QString& process)
    {
        return QStringList{"backupd", "kernel", "Safari", "apsd", "zeta", "Alpha"}.indexOf(process);
    }

    QStringList explainArgs(const QString& process) const
    {
        return {"explain", "--archive", m_archive, "--level", kAll, "--index", QString::number(rowOf(process))};
    }

private slots:
    void initTestCase()
    {
        TestEnv::useTemporaryHome();
        QVERIFY(m_server.start());
        const double t0 = 1767605400.5;
        using JournalFixture::message;
        QList<JournalFixture::Record> records{
            message(t0 + 0, "backupd", "backup failed", 3),
            message(t0 + 1, "kernel", "thermal event", 6),
            message(t0 + 2, "Safari", "page load error", 3),
            message(t0 + 3, "apsd", "push NETWORK down", 2),
            message(t0 + 4, "zeta", "notice here", 5),
            message(t0 + 5, "Alpha", "debug chatter", 7),
        };
        records[0].set("_PID", "12").set("SUBSYSTEM", "com.example.backup").set("SENDER", "backupd");
        records[1].set("_PID", "0").set("SUBSYSTEM", "com.apple.iokit.power");
        records[2].set("_PID", "120").set("SUBSYSTEM", "com.apple.WebKit").set("SENDER", "WebKit");
        records[3].set("_PID", "21").set("SUBSYSTEM", "com.apple.apsd");
        records[4].set("_PID", "312").set("SENDER", "libzeta.dylib");
        records[5].set("_PID", "5").set("SENDER", "com.apple.Alpha");
        m_archive = JournalFixture::makeArchive(m_dir.path(), "Filters.logarchive", records);
    }

    void init()
    {
        m_server.clearRequests();
        TestEnv::clearSettings();
    }

    void formats()
    {
        const QString local = QDateTime::fromMSecsSinceEpoch(1767605400500).toString("yyyy-MM-dd HH:mm:ss");
        QCOMPARE(logs({}).lines().value(0), local + "\tError\tbackupd\tbackup failed");
        CliRun r = logs({"--format", "json"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.lines().size(), 3);
        // The record's fields are EntryExport's; here: one JSON line per listed entry.
        QCOMPARE(QJsonDocument::fromJson(r.lines()[0].toUtf8())["processIdentifier"].toInt(), 12);

        // Optional columns, in the list's order, with those of --filter added.
        r = logs({"--format", "csv", "--columns", "Subsystem,PID", "--filter", "Sender="});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.section("\r\n", 0, 1), QStringLiteral("Time,Severity,Process,PID,Sender,Subsystem,Message\r\n"
                                                             "2026-01-05T09:30:00.500Z,Error,backupd,12,backupd,com.example.backup,backup failed"));
        QCOMPARE(logs({"--columns", "PID"}).lines().value(0), local + "\tError\tbackupd\t12\tbackup failed");

        // Rows escape control characters (C1 too) in every field; a backslash stays.
        const QString hostile = JournalFixture::makeArchive(
            m_dir.path(), "Hostile.logarchive",
            {JournalFixture::message(1767605400.5, "ker\x1b]0;x\x07nel", "thermal\tevent\r\n\x1b[31mred\x01\x7f \\n \xc2\x9b caf\xc3\xa9", 3)});
        r = cli({"logs", "--archive", hostile});
        QVERIFY2(r.out.endsWith(QString::fromUtf8(
                     "\tError\tker\\x1b]0;x\\x07nel\tthermal\\tevent\\r\\n\\x1b[31mred\\x01\\x7f \\n \\u009b caf\xc3\xa9\n")),
                 qPrintable(r.out));

        // A range narrowing an archive runs exactly one store query.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_LOGGING_RULES", "com.corvistra.Vellacord.*=true");
        r = TestEnv::runCli(
            {"logs", "--archive", m_archive, "--start", "2026-01-05T09:30:01Z", "--end", "2026-01-05T09:30:03Z", "--level", "info"}, env);
        QCOMPARE(r.code, 0);
        QCOMPARE(r.lines().size(), 1);
        QCOMPARE(r.err.count("Opening OSLogStore from archive: "), 1);
        QCOMPARE(r.err.count("Query complete: "), 1);
        QVERIFY2(r.err.contains("Query complete: 2 entries from 2 scanned"), qPrintable(r.err));
    }

    void failuresAndEmptyResults()
    {
        const QString notJournal = m_dir.path() + "/Empty.logarchive";
        QDir().mkpath(notJournal);
        CliRun r = cli({"logs", "--archive", notJournal});
        QVERIFY2(r.code == 1, qPrintable(r.err));
        QVERIFY2(r.out.isEmpty(), qPrintable(r.err));
        QVERIFY2(r.err.contains("\"Empty.logarchive\""), qPrintable(r.err));

        // --last counts back from the archive's last record (these are years old): all of them.
        QCOMPARE(column(logs({"--last", "1h"}), -1), kDefaultRows);
        // A range without records: an empty result, the fetcher's note on stderr.
        r = logs({"--start", "2020-01-01T00:00:00Z", "--end", "2020-01-02T00:00:00Z"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.isEmpty());
        QVERIFY(!r.err.isEmpty());

        // More records than the cap: the oldest 50,000, said on stderr, and still a success.
        QFile big(m_dir.path() + "/big.ndjson");
        QVERIFY(big.open(QIODevice::WriteOnly));
        for (int i = 0; i < 60000; ++i)
            big.write(R"({"eventType":"logEvent","timestamp":"2026-01-05 09:30:00.)" + QByteArray::number(100000 + i) +
                      R"(+0000","eventMessage":"m","messageType":"Error"})"
                      "\n");
        big.close();
        r = cli({"logs", "--archive", big.fileName(), "--format", "json"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.lines().size(), 50000);
        // With how much of the archive that is.
        QVERIFY2(r.err.startsWith("Showing the first 50,000 entries, from "), qPrintable(r.err.right(300)));
        QVERIFY2(r.err.contains(", of an archive that runs from "), qPrintable(r.err.right(300)));

        for (const QStringList& bad :
             {QStringList{"--last", "2h"}, {"--format", "xml"}, {"--start", "yesterday", "--end", "today"}, {"--level", "fault,warning"}, {"--type", "System"}, {"--filter", "pid=12"}, {"--filter", "PID"}, {"--sort", "Activity"}, {"--columns", "PID,Nonsense"}})
            QVERIFY2(cli(QStringList{"logs"} + bad).code == 2, qPrintable(bad.join(' ')));
        QCOMPARE(cli({"nonsense"}).code, 2);
    }

    void options_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("section");
        QTest::addColumn<QStringList>("expected");
        auto row = [](const char* tag, const QStringList& args, const QStringList& expected, int section = -1) {
            QTest::newRow(tag) << args << section << expected;
        };
        row("defaults: fault and error", {}, kDefaultRows);
        row("level", {"--level", "Debug, info"}, {"thermal event", "debug chatter"});
        row("level ALL", {"--level", "ALL", "--type", "hardware"}, {"thermal event"});
        row("no level", {"--level", ""}, {});
        row("type", {"--level", kAll, "--type", "user"}, {"backup failed", "notice here"});
        row("process", {"--process", "Safari"}, {"page load error"});
        row("subsystem", {"--level", kAll, "--subsystem", "com.apple.apsd"}, {"push NETWORK down"});
        row("search", {"--level", kAll, "--search", "network"}, {"push NETWORK down"});
        row("two column filters", {"--level", kAll, "--filter", "PID=12", "--filter", "Sender=WEB"}, {"page load error"});
        row("sort", {"--level", kAll, "--sort", "Process"}, {"Alpha", "apsd", "backupd", "kernel", "Safari", "zeta"}, 2);
        row("time descending", {"--level", kAll, "--descending"}, {"Alpha", "zeta", "apsd", "Safari", "kernel", "backupd"}, 2);
        row("hide process and subsystem", {"--level", kAll, "--hide-process", "kernel", "--hide-process", "zeta", "--hide-subsystem", "com.apple.WebKit", "--hide-process", ""},
            {"backup failed", "push NETWORK down", "debug chatter"});
        row("hide pattern", {"--hide-pattern", "page load error"}, {"backup failed", "push NETWORK down"});
        row("exclude message or process", {"--level", kAll, "--exclude", "network", "--exclude", "ALPHA", "--exclude", "thermal"},
            {"backup failed", "page load error", "notice here"});
    }

    void options()
    {
        QFETCH(QStringList, args);
        QFETCH(int, section);
        const CliRun r = logs(args);
        QCOMPARE(r.code, 0);
        QTEST(column(r, section), "expected");
    }

    // --hide-pattern in typed placeholders, and grep -C's groups from the
    // unfiltered list: other levels and hidden processes are neighbours too.
    void hidePatternAndContext()
    {
        using JournalFixture::message;
        QList<JournalFixture::Record> records;
        const char* texts[] = {"boot", "x", "disk 4 full", "y\x1b[2J", "z", "w", "v", "disk 19 full", "u", "t"};
        for (int i = 0; i < 10; ++i)
            records << message(1767605400 + i, i == 6 ? "noise" : "app", texts[i], i == 3 ? 7 : 3);
        const QString archive = JournalFixture::makeArchive(m_dir.path(), "Context.logarchive", records);
        const auto run = [&](const QStringList& args) { return cli(QStringList{"logs", "--archive", archive} + args); };
        QCOMPARE(column(run({"--hide-pattern", "disk <n> full", "--hide-process", "noise"}), -1),
                 QStringList({"boot", "x", "z", "w", "u", "t"}));
        const CliRun r = run({"--search", "disk", "--hide-process", "noise", "--context", "1"});
        QCOMPARE(r.code, 0);
        QCOMPARE(column(r, -1), QStringList({"x", "disk 4 full", "y\\x1b[2J", "--", "v", "disk 19 full", "u"}));
        QCOMPARE(column(run({"--search", "disk", "--context", "3"}), -1).count("--"), 0);  // groups that meet merge
        QCOMPARE(column(run({"--search", "boot", "--context", "0"}), -1), QStringList{"boot"});
        for (const QStringList& bad : {QStringList{"--context", "1", "--format", "json"}, {"--context", "-1"}, {"--context", "x"}})
            QCOMPARE(run(bad).code, 2);
    }

    void processesCommand()
    {
        // Shipped friendly names first; raw names in plain code-point order.
        CliRun r = cli({"processes", "--archive", m_archive});
        QCOMPARE(r.code, 0);
        QVERIFY(r.err.isEmpty());
        QCOMPARE(column(r, 1), QStringList({"Safari", "apsd", "backupd"}));
        QVERIFY(column(r, 0)[1] != QStringLiteral("apsd"));
        // The own selection does not narrow the options, and stays among them; other filters do.
        QCOMPARE(column(cli({"processes", "--archive", m_archive, "--process", "zeta"}), 1),
                 QStringList({"Safari", "apsd", "backupd", "zeta"}));
        QCOMPARE(cli({"processes", "--archive", m_archive, "--level", kAll, "--subsystem", "com.apple.WebKit"}).lines(), QStringList{"Safari\tSafari"});
    }

    // Two machines send their journals to a collector on loopback; the collector's
    // folder is opened like any archive and each host is listed and filtered.
    void fleetThroughJournalRemote()
    {
        const QString collected = m_dir.path() + "/Fleet.logarchive";
        QDir().mkpath(collected);
        QTcpServer probe;  // a free port, released for the collector
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const QString port = QString::number(probe.serverPort());
        probe.close();
        QProcess remote;
        remote.start("/usr/lib/systemd/systemd-journal-remote", {"--listen-http=" + port, "--output=" + collected + "/"});
        QVERIFY(remote.waitForStarted());
        QTcpSocket s;
        QTRY_VERIFY_WITH_TIMEOUT((s.abort(), s.connectToHost("127.0.0.1", port.toUShort()), s.waitForConnected(200)), 10000);
        s.abort();
        for (const char* host : {"web-01", "db-01"}) {
            JournalFixture::Record rec = JournalFixture::message(1767605400 + qstrlen(host), "app", QByteArray("fault on ") + host, 3);
            const QString file = m_dir.path() + "/" + host + "/system.journal";
            QCOMPARE(JournalFixture::writeJournal(m_dir.path() + "/" + host, {rec.set("_HOSTNAME", host)}), QString());
            QProcess upload;
            upload.start("/usr/lib/systemd/systemd-journal-upload",
                         {"--follow=no", "--url=http://127.0.0.1:" + port, "--file=" + file});
            QVERIFY(upload.waitForFinished(30000));
            QCOMPARE(upload.exitCode(), 0);
        }
        remote.terminate();  // the collector closes its files on SIGTERM
        QVERIFY(remote.waitForFinished(10000));

        CliRun r = cli({"logs", "--archive", collected, "--sort", "Host", "--format", "json"});
        QStringList hosts;
        for (const QString& line : r.lines())
            hosts << QJsonDocument::fromJson(line.toUtf8()).object()["host"].toString();
        QCOMPARE(hosts, QStringList({"db-01", "web-01"}));
        r = cli({"logs", "--archive", collected, "--filter", "Host=WEB"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.lines().size(), 1);
        QVERIFY2(r.out.endsWith("\tError\tapp\tweb-01\tfault on web-01\n"), qPrintable(r.out));  // the filtered column shown
    }

    // Explain and analyze: which entry is asked about, what is printed where, and the exit codes.
    void explainMissThenHit()
    {
        m_server.enqueue(anthropicAnswer(
            "Zeta took note.\n\nPROCESS_NAMES: {\"zeta\": \"Zeta Daemon\", \"sshd\": \"Harmless Helper\"}"));
        const QStringList args = explainArgs("zeta") + QStringList{"--provider", "Anthropic"};
        QCOMPARE(outcome(cli(args)), QStringLiteral("0|Zeta took note.\n|"));
        QCOMPARE(m_server.requestCount(), 1);
        QVERIFY(m_server.requests().first().body.contains("Message: notice here"));

        // Stored without the process-name block; only the explained entry's own name learned.
        const QString dir = Platform::appSupportDir();
        const QJsonObject cache = readJsonFile(dir + "/explanations.json");
        QCOMPARE(cache.size() == 1 ? cache.begin().value().toObject()["explanation"].toString() : QString(), QStringLiteral("Zeta took note."));
        QCOMPARE(readJsonFile(dir + "/learned_processes.json"), (QJsonObject{{"zeta", "Zeta Daemon"}}));

        // The second run is answered from the cache: no request, even without a key.
        QCOMPARE(outcome(cli(args, QByteArray())), QStringLiteral("0|Zeta took note.\n|"));
        QCOMPARE(m_server.requestCount(), 1);
    }

    void explainFailures()
    {
        QStringList args = explainArgs("kernel") + QStringList{"--provider", "OpenAI"};
        const QByteArray refused = R"({"error":{"message":"Incorrect API key"}})";
        m_server.enqueue(Response::json(401, refused));
        QCOMPARE(outcome(cli(args)), "1||" + ExplainerError::apiError(401, refused).description() + "\n");

        // Nothing was cached: the next run asks again.
        m_server.enqueue(openAIAnswer("  Thermal events are normal.  "));
        QCOMPARE(outcome(cli(args)), QStringLiteral("0|Thermal events are normal.\n|"));
        QCOMPARE(m_server.requestCount(), 2);

        // No key (a blank one is none): the error on stderr, nothing sent.
        m_server.clearRequests();
        args[6] = QString::number(rowOf("Safari"));
        for (const QByteArray& key : {QByteArray(), QByteArray("  \t")})
            QCOMPARE(outcome(cli(args, key)), "1||" + ExplainerError::noAPIKey().description() + "\n");

        const QStringList all{"explain", "--archive", m_archive, "--level", kAll};
        QCOMPARE(outcome(cli(all + QStringList{"--index", "6"})),
                 QStringLiteral("1||vellacord-cli explain: index 6 is out of range: the list has 6 entries (0 to 5)\n"));
        // The index counts in the filtered rows: with info alone, row 0 is the kernel entry (whose
        // explanation is cached by now), and row 1 does not exist.
        QCOMPARE(outcome(cli({"explain", "--archive", m_archive, "--level", "info", "--index", "0"}, QByteArray())),
                 QStringLiteral("0|Thermal events are normal.\n|"));
        QCOMPARE(outcome(cli({"explain", "--archive", m_archive, "--level", "info", "--index", "1"})),
                 QStringLiteral("1||vellacord-cli explain: index 1 is out of range: the list has 1 entry (0 to 0)\n"));
        for (const QStringList& bad : {QStringList{"--index", "-1"}, QStringList{}})
            QCOMPARE(cli(all + bad).code, 2);
        QCOMPARE(outcome(cli(all + QStringList{"--index", "0", "--provider", "Gemini"})),
                 QStringLiteral("2||vellacord-cli explain: --provider must be Anthropic or OpenAI\n"));
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
        QCOMPARE(cli(explainArgs("Safari"), QByteArray()).code, 0);
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
        m_server.enqueue(anthropicAnswer("Indexing.\nPROCESS_NAMES: {\"zeta\": \"Spotlight indexer\"}"));
        QProcessEnvironment env = cliEnv();
        env.insert("QT_LOGGING_RULES", "com.corvistra.Vellacord.*=true");
        // A read that blocks or runs away is cut short here rather than by ctest.
        const CliRun r = TestEnv::runCli(explainArgs("zeta"), env, 10000);
        QFile::remove(path);
        QFile::remove(dir + "/learned_processes.json");
        QVERIFY2(outcome(r).startsWith("0|Indexing.\n|"), qPrintable(r.err));
        QVERIFY2(r.err.contains("Ignored " + path + ": not a regular file"), qPrintable(r.err));
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
        for (const char* process : {"backupd", "kernel", "Safari", "apsd"}) {
            runs.push_back(std::make_unique<QProcess>());
            runs.back()->setProcessEnvironment(cliEnv());
            runs.back()->start(TestEnv::cliPath(), explainArgs(process));
        }
        for (const auto& run : runs) {
            QVERIFY(run->waitForFinished(20000));
            QCOMPARE(run->exitCode(), 0);
        }
        QCOMPARE(readJsonFile(cacheFile).size(), 4);
    }

    void analyzeFindings()
    {
        const int backup = rowOf("backupd");
        const QString answer = QStringLiteral("ENTRY: %1\nTITLE: Backups failing\nCONCERN: Data is not protected.\n\n"
                                              "ENTRY: 42\nTITLE: Odd pattern\nCONCERN: Worth a look.")
                                   .arg(backup);
        const QStringList args{"analyze", "--archive", m_archive, "--level", kAll};
        m_server.enqueue(openAIAnswer(answer));
        QCOMPARE(outcome(cli(args + QStringList{"--provider", "openai"})),
                 QStringLiteral("0|Backups failing\tData is not protected.\t%1\nOdd pattern\tWorth a look.\t-\n|").arg(backup));
        m_server.enqueue(anthropicAnswer(" \n\n "));
        QCOMPARE(outcome(cli(args)), QStringLiteral("0||No notable issues found\n"));
        m_server.enqueue(Response::withBody(200, "text/html", "<html>proxy</html>"));
        const CliRun r = cli(args);
        QCOMPARE(r.code, 1);
        QVERIFY(r.out.isEmpty());
        QVERIFY(!r.err.isEmpty());  // the reader's error
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
