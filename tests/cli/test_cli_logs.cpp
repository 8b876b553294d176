#include "tests/support/JournalFixture.h"
#include "tests/support/TestEnv.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using TestEnv::CliRun;
static CliRun cli(const QStringList& args) { return TestEnv::runCli(args); }

class TestCliLogs : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_archive;

private slots:
    void initTestCase()
    {
        TestEnv::useTemporaryHome();
        QList<JournalFixture::Record> records{
            JournalFixture::message(1767605400.5, "backupd", "backup failed", 3),
            JournalFixture::message(1767605401.25, "ker\x1b]0;x\x07nel",
                                    "thermal\tevent\r\n\x1b[31mred\x01\x7f \\n \xc2\x9b caf\xc3\xa9", 6),
        };
        records[0].set("_PID", "77").set("SUBSYSTEM", "com.example.backup");
        m_archive = JournalFixture::makeArchive(m_dir.path(), "Two.logarchive", records);
    }

    void rowsAndJson()
    {
        CliRun r = cli({"logs", "--archive", m_archive, "--level", "fault,error,notice,info,debug"});
        const QStringList lines = r.lines();
        QVERIFY(r.code == 0 && lines.size() == 2);
        const QString local = QDateTime::fromMSecsSinceEpoch(1767605400500).toString("yyyy-MM-dd HH:mm:ss");
        QCOMPARE(lines[0], local + "\tError\tbackupd\tbackup failed");
        // Rows escape control characters (C1 too) in every field; a backslash stays.
        QVERIFY2(lines[1].endsWith(QString::fromUtf8(
                     "\tInfo\tker\\x1b]0;x\\x07nel\tthermal\\tevent\\r\\n\\x1b[31mred\\x01\\x7f \\n \\u009b caf\xc3\xa9")),
                 qPrintable(lines[1]));

        r = cli({"logs", "--archive", m_archive, "--format", "json", "--level", "fault,error,notice,info,debug"});
        QVERIFY(r.code == 0 && r.lines().size() == 2);
        // The record's fields are EntryExport's; here: one JSON line per listed entry.
        QCOMPARE(QJsonDocument::fromJson(r.lines()[0].toUtf8())["processIdentifier"].toInt(), 77);

        // Optional columns, in the list's order, with those of --filter added.
        r = cli({"logs", "--archive", m_archive, "--format", "csv", "--columns", "Subsystem,PID", "--filter", "Sender="});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.section("\r\n", 0, 1), QStringLiteral("Time,Severity,Process,PID,Sender,Subsystem,Message\r\n"
                                                             "2026-01-05T09:30:00.500Z,Error,backupd,77,,com.example.backup,backup failed"));
        r = cli({"logs", "--archive", m_archive, "--columns", "PID"});
        QCOMPARE(r.lines().value(0), local + "\tError\tbackupd\t77\tbackup failed");
        QCOMPARE(cli({"logs", "--columns", "PID,Nonsense"}).code, 2);

        // A range narrowing an archive runs exactly one store query.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_LOGGING_RULES", "com.corvistra.Vellacord.*=true");
        r = TestEnv::runCli(
            {"logs", "--archive", m_archive, "--start", "2026-01-05T09:30:01Z", "--end", "2026-01-05T10:00:00Z", "--level", "info"}, env);
        QVERIFY(r.code == 0 && r.lines().size() == 1);
        QCOMPARE(r.err.count("Opening OSLogStore from archive: "), 1);
        QCOMPARE(r.err.count("Query complete: "), 1);
        QVERIFY2(r.err.contains("Query complete: 1 entries from 1 scanned"), qPrintable(r.err));
    }

    void failuresAndEmptyResults()
    {
        const QString notJournal = m_dir.path() + "/Empty.logarchive";
        QDir().mkpath(notJournal);
        CliRun r = cli({"logs", "--archive", notJournal});
        QVERIFY(r.code == 1 && r.out.isEmpty());
        QCOMPARE(r.err.trimmed(),
                 QStringLiteral("Failed to read logs: Failed to open archive \"Empty.logarchive\": The folder holds no journal files."));

        JournalFixture::Record meta;
        meta.realtimeUsec = 1767605400000000;
        meta.set("COREDUMP_PID", "1");
        const QString noMessages = JournalFixture::makeArchive(m_dir.path(), "Meta.logarchive", {meta});
        r = cli({"logs", "--archive", noMessages});
        QVERIFY(r.code == 0 && r.err.trimmed() == QStringLiteral("No log entries found in this archive."));

        // A range outside the archive is an empty result too; --last narrows an archive to the
        // hours before now, long after these records.
        for (const QStringList& range : {QStringList{"--start", "2020-01-01T00:00:00Z", "--end", "2020-01-02T00:00:00Z"},
                                         QStringList{"--last", "24h"}}) {
            r = cli(QStringList{"logs", "--archive", m_archive} + range);
            QVERIFY(r.code == 0 && r.out.isEmpty());
        }

        // More records than the cap: the oldest 50,000, said on stderr, and still a success.
        QFile big(m_dir.path() + "/big.ndjson");
        QVERIFY(big.open(QIODevice::WriteOnly));
        for (int i = 0; i < 60000; ++i)
            big.write(R"({"eventType":"logEvent","timestamp":"2026-01-05 09:30:00.)" + QByteArray::number(100000 + i) +
                      R"(+0000","eventMessage":"m","messageType":"Error"})" "\n");
        big.close();
        r = cli({"logs", "--archive", big.fileName(), "--format", "json"});
        QVERIFY(r.code == 0 && r.lines().size() == 50000);
        QVERIFY2(r.err.contains("Showing the first 50,000 entries. Narrow the time range to see later ones.\n"),
                 qPrintable(r.err.right(300)));

        for (const QStringList& bad : {QStringList{"logs", "--last", "2h"}, QStringList{"logs", "--format", "xml"},
                                       QStringList{"logs", "--start", "yesterday", "--end", "today"}, QStringList{"nonsense"}})
            QCOMPARE(cli(bad).code, 2);
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
        QVERIFY(r.code == 0 && r.lines().size() == 1);
        QVERIFY2(r.out.endsWith("\tError\tapp\tweb-01\tfault on web-01\n"), qPrintable(r.out));  // the filtered column shown
    }
};

QTEST_GUILESS_MAIN(TestCliLogs)
#include "test_cli_logs.moc"
