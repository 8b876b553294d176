// The command-line crash commands: `crashes` as rows and JSON lines over a
// folder and its "Retired" subfolder, the empty-folder message, and `crash FILE`.

#include "tests/support/TestEnv.h"

#include <QtTest>

namespace {

using TestEnv::CliRun;
const auto cli = [](const QStringList& args) { return TestEnv::runCli(args); };

void writeFile(const QString& path, const QByteArray& data, const QDateTime& mtime)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(data), data.size());
    QVERIFY(f.flush());
    QVERIFY(f.setFileTime(mtime, QFileDevice::FileModificationTime));
}

const QByteArray kIps = R"({"bug_type":"309","app_name":"Safari"}
{"procName":"Safari","CFBundleShortVersionString":"17.2","timestamp":"2024-01-15T10:23:45.123Z",)"
                        R"("exception":{"type":"EXC_BAD_ACCESS","signal":"SIGSEGV","subtype":"KERN_INVALID_ADDRESS"},)"
                        R"("threads":[{"frames":[{"imageName":"WebKit","symbol":"crash","imageOffset":42}]}]})";

}  // namespace

class TestCrashCli : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        TestEnv::useTemporaryHome();
        const QDateTime older(QDate(2023, 6, 1), QTime(8, 0), Qt::UTC);
        writeFile(m_dir.filePath("Safari-2024.ips"), kIps, older);
        writeFile(m_dir.filePath("Retired/Finder.crash"),
                  "Process:  Finder [512]\nTermination Reason: Namespace SIGNAL, Code 11 SEGV\n",
                  QDateTime(QDate(2024, 2, 1), QTime(9, 30), Qt::UTC));
        writeFile(m_dir.filePath("notes.txt"), "Process: Notes\n", older);
    }

    void listRowsAndJson()
    {
        CliRun r = cli({"crashes", "--dir", m_dir.path()});
        const auto local = [](const QDateTime& d) { return d.toLocalTime().toString("yyyy-MM-dd HH:mm:ss"); };
        // Newest first; the archived report is marked; the .txt file is not a report.
        QCOMPARE(QString::number(r.code) + '\n' + r.out,
                 "0\n" + local(QDateTime(QDate(2024, 2, 1), QTime(9, 30), Qt::UTC)) + "\tFinder (archived)\tSegfault\tFinder.crash\n"
                     + local(QDateTime(QDate(2024, 1, 15), QTime(10, 23, 45, 123), Qt::UTC))
                     + "\tSafari\tEXC_BAD_ACCESS\tSafari-2024.ips\n");

        r = cli({"crashes", "--dir", m_dir.path(), "--format", "json"});
        QCOMPARE(r.code, 0);
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        const QJsonObject finder = QJsonDocument::fromJson(lines[0].toUtf8()).object();
        QVERIFY(finder["isRetired"].toBool() && finder["faultingThread"].isNull());
        QCOMPARE(finder["crashReason"].toString(), QString("Namespace SIGNAL, Code 11 SEGV"));
        const QJsonObject safari = QJsonDocument::fromJson(lines[1].toUtf8()).object();
        QCOMPARE(QStringList({safari["date"].toString(), safari["appVersion"].toString(), safari["crashReason"].toString(),
                              safari["filePath"].toString(), safari["rawContent"].toString()}),
                 QStringList({"2024-01-15T10:23:45.123Z", "17.2", QString::fromUtf8("SIGSEGV \u2014 KERN_INVALID_ADDRESS"),
                              QDir(m_dir.path()).absoluteFilePath("Safari-2024.ips"), QString::fromUtf8(kIps)}));

        r = cli({"crashes", "--dir", m_dir.path(), "--format", "xml"});
        QVERIFY(r.code == 2 && r.out.isEmpty());
        QVERIFY(r.err.startsWith("vellacord-cli crashes: --format must be rows or json\n"));
    }

    void emptyFolder()
    {
        QTemporaryDir empty;
        for (const QString& dir : {empty.path(), empty.filePath("missing")}) {
            const CliRun r = cli({"crashes", "--dir", dir});
            QVERIFY(r.code == 0 && r.out.isEmpty());
            QVERIFY2(r.err.contains("No crash reports found in ~/Library/Logs/DiagnosticReports/"), qPrintable(r.err));
        }
    }

    void oneFile()
    {
        CliRun r = cli({"crash", m_dir.filePath("Safari-2024.ips")});
        QVERIFY(r.code == 0 && r.out.startsWith("{\n    \""));  // pretty, not one line
        const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(o["stackTrace"].toString() + '|' + o["crashTypeLabel"].toString(),
                 QString("Thread 0 (Faulting Thread):\n   0  WebKit                          crash + 42|EXC_BAD_ACCESS"));
        QCOMPARE(o["isRetired"], QJsonValue(false));
        QCOMPARE(QJsonDocument::fromJson(cli({"crash", m_dir.filePath("Retired/Finder.crash")}).out.toUtf8())
                     .object()["isRetired"].toBool(), true);

        // Unreadable input fails with a reason and prints nothing on stdout.
        writeFile(m_dir.filePath("bad.ips"), "Process: \xff\n", QDateTime::currentDateTimeUtc());
        const QList<QPair<QString, QString>> bad{{m_dir.filePath("bad.ips"), "the file is not valid UTF-8 text"},
                                                 {m_dir.filePath("none.ips"), "no such file"},
                                                 {m_dir.filePath("Retired"), "it is a folder"},
                                                 {"/dev/null", "not a regular file"}};
        for (const auto& [path, reason] : bad) {
            r = cli({"crash", path});
            QCOMPARE(QString::number(r.code) + r.out + r.err, "1vellacord-cli crash: cannot read crash report '" + path + "': " + reason + "\n");
        }
        QFile::remove(m_dir.filePath("bad.ips"));
        for (const QStringList& args : {QStringList{"crash"}, QStringList{"crash", "a.ips", "b.ips"}}) {
            r = cli(args);
            QVERIFY(r.code == 2 && r.out.isEmpty() && r.err.startsWith("vellacord-cli crash: expected exactly one FILE\n"));
        }
    }
};

QTEST_GUILESS_MAIN(TestCrashCli)
#include "test_crash_cli.moc"
