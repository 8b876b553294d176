// `vellacord-cli patterns` as a child process on an archive written here: the
// rows and JSON lines, most frequent first, control characters escaped as
// `logs` escapes them, and the formats it refuses. The masking rules and the
// counting are the library's and tested there.

#include "tests/support/TestEnv.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestCliPatterns : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_archive;

    static QString local(const char* iso)
    {
        return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODateWithMs).toLocalTime().toString("yyyy-MM-dd HH:mm:ss");
    }

private slots:
    void initTestCase()
    {
        TestEnv::useTemporaryHome();
        m_archive = m_dir.filePath("patterns.ndjson");
        QFile f(m_archive);
        QVERIFY(f.open(QIODevice::WriteOnly));
        const auto event = [&](const char* time, const char* type, const char* message) {
            f.write(QByteArray(R"({"eventType":"logEvent","timestamp":"2026-01-05 09:30:)") + time +
                    R"(+0000","messageType":")" + type + R"(","processImagePath":"/usr/sbin/backupd","eventMessage":")" +
                    message + "\"}\n");
        };
        event("00.100000", "Error", "disk 1 full");
        event("01.200000", "Fault", "disk 22 full");
        event("02.300000", "Error", "disk 3 full");
        event("03.400000", "Error", "VM Started");
        event("04.500000", "Error", R"(tab\there \u001b[31m)");
        event("05.600000", "Info", "VM Paused");  // not listed: fault and error by default
    }

    void output_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("rows") << QStringList{} << 0
                              << "3\tFault 1 Error 2\t" + local("2026-01-05T09:30:00.100Z") + '\t' +
                                     local("2026-01-05T09:30:02.300Z") + "\tdisk ‹n› full\n" + "1\tError 1\t" +
                                     local("2026-01-05T09:30:03.400Z") + '\t' + local("2026-01-05T09:30:03.400Z") +
                                     "\tVM Started\n" + "1\tError 1\t" + local("2026-01-05T09:30:04.500Z") + '\t' +
                                     local("2026-01-05T09:30:04.500Z") + "\ttab\\there \\x1b[31m\n"
                              << QString();
        QTest::newRow("json, the logs flags apply")
            << QStringList{"--format", "json", "--search", "DISK"} << 0
            << R"({"count":3,"first":"2026-01-05T09:30:00.100Z","last":"2026-01-05T09:30:02.300Z","levels":{"Error":2,"Fault":1},"pattern":"disk ‹n› full"})"
               "\n"
            << QString();
        QTest::newRow("csv refused") << QStringList{"--format", "csv"} << 2 << QString()
                                     << "vellacord-cli patterns: --format must be rows or json\n";
        QTest::newRow("a logs usage error") << QStringList{"--level", "loud"} << 2 << QString() << "--level takes";
    }

    void output()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const TestEnv::CliRun r = TestEnv::runCli(QStringList{"patterns", "--archive", m_archive} + args);
        QCOMPARE(r.out, out);
        QVERIFY2(err.isEmpty() ? r.err.isEmpty() : r.err.contains(err), qPrintable(r.err));
        QCOMPARE(r.code, code);
    }
};

QTEST_GUILESS_MAIN(TestCliPatterns)
#include "test_cli_patterns.moc"
