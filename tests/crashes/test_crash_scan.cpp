// Scanning report folders: reading files, the fallback between the two
// parsers, the "Retired" subfolder, the order, bad files, the fetcher's
// published state; and the command-line `crashes` and `crash FILE` over them.

#include "crashes/CrashLogFetcher.h"
#include "tests/crashes/ReportFile.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestEnv.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray ipsFile(const QString& app, const QString& captureTime = {})
{
    return "{\"bug_type\":\"309\"}\n{\"procName\":\"" + app.toUtf8() + "\",\"captureTime\":\"" + captureTime.toUtf8() + "\"}";
}

QStringList names(const CrashReportList& list)
{
    QStringList out;
    for (const CrashReport& r : list)
        out << (r.isRetired ? "Retired/" : "") + r.fileName;
    return out;
}
QStringList names(const CrashScan& scan) { return names(scan.reports); }

// How a special file of the unread table is made.
enum class Make { fifo,
                  brokenLink,
                  selfLink,
                  folder,
                  deviceLink,
                  notUtf8,
                  sparse,
                  retiredToItself };

void make(Make how, const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    switch (how) {
    case Make::fifo: QCOMPARE(::mkfifo(native.constData(), 0600), 0); break;
    case Make::brokenLink: QVERIFY(QFile::link(path + ".gone", path)); break;
    case Make::selfLink: QCOMPARE(::symlink(native.constData(), native.constData()), 0); break;
    case Make::folder: QVERIFY(QDir().mkpath(path)); break;
    case Make::deviceLink: QVERIFY(QFile::link("/dev/zero", path)); break;
    case Make::notUtf8: writeReportFile(path, "Process: \xC0\xAF\n"); break;
    case Make::retiredToItself: QVERIFY(QFile::link(".", path)); break;
    case Make::sparse: {
        // 100 GB without a byte on disk, dated like a report.
        writeReportFile(path, {});
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QCOMPARE(::ftruncate(f.handle(), qint64(100) << 30), 0);
        f.close();
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime(QDate(2024, 3, 1), QTime(12, 0), Qt::UTC), QFileDevice::FileModificationTime));
        break;
    }
    }
}

const QDateTime kDay(QDate(2024, 3, 1), QTime(12, 0), Qt::UTC);

using TestEnv::CliRun;
CliRun cli(const QStringList& args) { return TestEnv::runCli(args); }

const QByteArray kIps = R"({"bug_type":"309","app_name":"Safari"}
{"procName":"Safari","CFBundleShortVersionString":"17.2","timestamp":"2024-01-15T10:23:45.123Z",)"
                        R"("exception":{"type":"EXC_BAD_ACCESS","signal":"SIGSEGV"},)"
                        R"("threads":[{"frames":[{"imageName":"WebKit","symbol":"crash","imageOffset":42}]}]})";

}  // namespace

Q_DECLARE_METATYPE(Make)

class TestCrashScan : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::useTemporaryHome(); }

    void parserChoiceIgnoresTheExtension()
    {
        QTemporaryDir dir;
        writeReportFile(dir.filePath("json.crash"), R"({"procName":"Notes"})", kDay);
        const auto read = [](const QString& path, bool retired, bool digest = false, bool raw = false) {
            return CrashLogFetcher::readReport(path, retired, digest, raw).report;
        };
        auto r = read(dir.filePath("json.crash"), false);
        // The modification time stands in for the missing timestamp.
        QCOMPARE(r->appName, "Notes");
        QCOMPARE(r->date, kDay);
        QVERIFY(r->contentDigest.isEmpty());

        writeReportFile(dir.filePath("text.ips"), "Exception Type: EXC_CRASH\n", kDay.addSecs(60));
        r = read(dir.filePath("text.ips"), true, true);
        QCOMPARE(r->exceptionType, "EXC_CRASH");
        QVERIFY(r->stackTrace.isEmpty());
        QVERIFY(r->isRetired);
        QCOMPARE(r->date, kDay.addSecs(60));
        QCOMPARE(r->filePath + '|' + r->contentDigest,
                 dir.filePath("text.ips") + '|' + QCryptographicHash::hash("Exception Type: EXC_CRASH\n", QCryptographicHash::Sha256).toHex());

        // A UTF-8 byte-order mark neither hides the JSON nor reaches the raw text;
        // the raw text is kept only when asked for.
        writeReportFile(dir.filePath("bom.ips"), "\xEF\xBB\xBF{\"procName\":\"Bom\"}");
        r = read(dir.filePath("bom.ips"), false, false, true);
        QCOMPARE(r->appName + '|' + r->rawContent, QString("Bom|{\"procName\":\"Bom\"}"));
        QVERIFY(read(dir.filePath("bom.ips"), false)->rawContent.isEmpty());
    }

    void folderScanAndOrder()
    {
        QTemporaryDir dir;
        const QString d = dir.path();
        writeReportFile(d + "/b.ips", ipsFile("Bravo", "2024-03-02T10:00:00.000Z"));
        writeReportFile(d + "/UPPER.IPS", ipsFile("Upper", "2024-03-01T10:00:00.000Z"));
        writeReportFile(d + "/c.Crash", "Process: Charlie [1]\n", kDay);  // equal dates below
        writeReportFile(d + "/a.crash", "Process: Alpha [1]\n", kDay);
        for (const char* ignored : {"/notes.txt", "/ips", "/.crash", "/x.ips.bak", "/sub/deep.ips", "/Retired/Retired/nested.ips"})
            writeReportFile(d + ignored, "Process: Ignored\n");
        writeReportFile(d + "/Retired/r.ips", ipsFile("Old", "2024-03-03T10:00:00.000Z"));
        writeReportFile(d + "/Retired/same.crash", "Process: Same [1]\n", kDay);

        QCOMPARE(names(CrashLogFetcher::scanDirectory(d, false)),
                 QStringList({"UPPER.IPS", "a.crash", "b.ips", "c.Crash"}));
        QCOMPARE(names(CrashLogFetcher::collectReports(d)),
                 QStringList({"Retired/r.ips", "b.ips", "a.crash", "c.Crash", "Retired/same.crash", "UPPER.IPS"}));

        const CrashScan missing = CrashLogFetcher::collectReports(d + "/missing");
        QVERIFY(missing.reports.isEmpty());
        QVERIFY(missing.folderMissing);
        QCOMPARE(missing.folderError, std::optional<QString>("No such folder: " + d + "/missing"));
        const std::atomic_bool stop{true};
        QVERIFY(CrashLogFetcher::collectReports(d, false, &stop).reports.isEmpty());
    }

    void badFilesAreSkippedOrParsed()
    {
        QTemporaryDir dir;
        const QString d = dir.path();
        writeReportFile(d + "/good.ips", ipsFile("Good"));
        // Invalid UTF-8: a stray byte, an encoded surrogate, a cut sequence.
        writeReportFile(d + "/bad1.ips", "{\"procName\":\"\xff\"}");
        writeReportFile(d + "/bad3.crash", "Process: \xED\xA0\x80\n");
        writeReportFile(d + "/bad4.crash", "Process: Cut \xE2\x82");
        writeReportFile(d + "/empty.ips", "");
        // Nesting far past the JSON parser's limit, at the top and inside an object.
        writeReportFile(d + "/deep1.ips", QByteArray(200000, '['));
        writeReportFile(d + "/deep2.ips", "{\"procName\":\"Deep\",\"threads\":" + QByteArray(200000, '[') + QByteArray(200000, ']') + "}");
        // Moderate nesting inside members that expect other types.
        writeReportFile(d + "/nested.ips", "{\"procName\":{\"a\":" + QByteArray(200, '[') + QByteArray(200, ']') + "},\"faultingThread\":[[0]],\"threads\":[{\"frames\":[[{}]]}]}");

        const CrashScan scan = CrashLogFetcher::collectReports(d);
        CrashReportList all = scan.reports;
        std::sort(all.begin(), all.end(), [](auto& a, auto& b) { return a.fileName < b.fileName; });
        QCOMPARE(scan.unread.size(), 3);
        QCOMPARE(names(all), QStringList({"deep1.ips", "deep2.ips", "empty.ips", "good.ips", "nested.ips"}));
        QStringList seen;  // the first three read as text
        for (const CrashReport& r : all)
            seen << r.appName + '|' + r.stackTrace + (r.faultingThread ? "|thread" : "");
        QCOMPARE(seen, (QStringList{"deep1.ips|", "deep2.ips|", "empty.ips|", "Good|No structured stack trace available.",
                                    "nested.ips|No structured stack trace available."}));
    }

    void largeFiles()
    {
        QTemporaryDir dir;
        // 50 MB of text after a Process line: read whole, only the first lines examined.
        QByteArray big = "Process: Big [1]\nException Type: EXC_RESOURCE\n";
        big += QByteArray(99, 'x').append('\n').repeated(500000) + "Process: Late\n";
        writeReportFile(dir.filePath("big.crash"), big);
        writeReportFile(dir.filePath("big.ips"), "{\"bug_type\":\"309\"}\n{\"threads\":[{\"frames\":[{\"symbol\":\"" + QByteArray(50 << 20, 's') + "\"}]}]}");
        const CrashReportList all = CrashLogFetcher::scanDirectory(dir.path(), false).reports;
        QCOMPARE(all[0].appName, "Big");
        QVERIFY(all[0].rawContent.isEmpty());
        QVERIFY(all[1].stackTrace.endsWith("sss + 0"));
        QString reason;
        QCOMPARE(CrashLogFetcher::readReportText(dir.filePath("big.crash"), &reason).value_or(QString()).size(), big.size());
    }

    // Files that cannot be read are listed in the scan's result with their
    // reason, never waited on; one too large is also listed as a row.
    void unreadFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Make>("how");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QStringList>("listed");
        const QStringList good{"good.ips"};
        QTest::newRow("FIFO") << "pipe.ips" << Make::fifo << "not a regular file" << good;
        QTest::newRow("link to a device") << "zero.crash" << Make::deviceLink << "not a regular file" << good;
        QTest::newRow("broken link") << "gone.ips" << Make::brokenLink << "a broken symlink" << good;
        QTest::newRow("link loop") << "loop.ips" << Make::selfLink << "a symlink loop" << good;
        QTest::newRow("folder") << "folder.ips" << Make::folder << "a folder" << good;
        QTest::newRow("not UTF-8") << "bad.crash" << Make::notUtf8 << "not valid UTF-8 text" << good;
        QTest::newRow("100 GB") << "huge.ips" << Make::sparse << "too large to read: 107374 MB" << QStringList{"good.ips", "huge.ips"};
        QTest::newRow("Retired loop") << "Retired" << Make::selfLink << "a symlink loop" << good;
        QTest::newRow("Retired broken") << "Retired" << Make::brokenLink << "a broken symlink" << good;
        QTest::newRow("Retired to itself") << "Retired" << Make::retiredToItself << QString() << good;
    }
    void unreadFiles()
    {
        QFETCH(QString, name);
        QFETCH(Make, how);
        QFETCH(QString, reason);
        QFETCH(QStringList, listed);
        QTemporaryDir dir;
        writeReportFile(dir.filePath("good.ips"), ipsFile("Good", "2024-03-02T10:00:00.000Z"));
        make(how, dir.filePath(name));
        const CrashScan scan = CrashLogFetcher::collectReports(dir.path());
        QCOMPARE(names(scan), listed);
        const QList<UnreadReport> unread{{dir.filePath(name), reason}};
        QCOMPARE(scan.unread, reason.isEmpty() ? QList<UnreadReport>() : unread);
        if (listed.size() > 1) {  // the too-large one, by the file's time
            QCOMPARE(scan.reports[1].unreadReason, reason);
            QCOMPARE(scan.reports[1].date, kDay);
            QVERIFY(scan.reports[1].appName.isEmpty());
        }
    }

    void fetcherPublishesScans()
    {
        QTemporaryDir dir;
        writeReportFile(dir.filePath("a.ips"), ipsFile("Alpha", "2024-03-01T10:00:00.000Z"));
        writeReportFile(dir.filePath("Retired/b.crash"), "Process: Beta\n", kDay.addDays(1));

        CrashLogFetcher fetcher;
        fetcher.setReportsDirectory(dir.path());
        QSignalSpy loading(&fetcher, &CrashLogFetcher::isLoadingChanged);
        LogCapture log;

        fetcher.scan();
        QVERIFY(fetcher.isLoading());  // returns at once
        QTRY_VERIFY(!fetcher.isLoading());
        QCOMPARE(names(fetcher.reports()), QStringList({"Retired/b.crash", "a.ips"}));
        // The user's own: name keys.
        QCOMPARE(loading.count(), 2);
        QVERIFY(fetcher.reports()[0].contentDigest.isEmpty());
        QVERIFY(!fetcher.errorMessage());
        QVERIFY(log.contains("Found 2 crash reports"));

        // A new scan stops the one running, which publishes nothing.
        QSignalSpy published(&fetcher, &CrashLogFetcher::reportsChanged);
        fetcher.scan();  // clears the list
        fetcher.scan();
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        QCOMPARE(published.count(), 2);
        QCOMPARE(fetcher.reports().size(), 2);

        // Another folder: its reports carry digests; the user's own opened by path does not.
        QTemporaryDir bundle;
        writeReportFile(bundle.filePath("a.ips"), ipsFile("Foreign"));
        const auto scanOf = [&](const std::optional<QString>& folder) {
            fetcher.setOpenedFolder(folder);
            fetcher.scan();
            QTRY_VERIFY(!fetcher.isLoading());
        };
        scanOf(bundle.path());
        QCOMPARE(fetcher.reports()[0].appName, "Foreign");
        QCOMPARE(fetcher.reports()[0].contentDigest.size(), 64);
        scanOf(dir.path() + "/");
        QVERIFY(fetcher.reports()[0].contentDigest.isEmpty());

        // A scan of a folder closed meanwhile publishes nothing; the current one does.
        fetcher.setOpenedFolder(bundle.path());
        fetcher.scan();
        fetcher.setOpenedFolder(std::nullopt);
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        QVERIFY(fetcher.isLoading());
        QVERIFY(fetcher.reports().isEmpty());

        // Empty results: the message; the next scan clears it at its start.
        QTemporaryDir empty;
        log.clear();
        scanOf(empty.path());
        QCOMPARE(fetcher.errorMessage(),
                 std::optional<QString>("No crash reports found in " + QDir::toNativeSeparators(empty.path()) + "/"));
        QVERIFY(log.contains("Found 0 crash reports"));
        writeReportFile(empty.filePath("c.crash"), "Process: Gamma\n");
        fetcher.scan();
        QVERIFY(!fetcher.errorMessage());
        QTRY_VERIFY(!fetcher.isLoading());
        fetcher.setReportsDirectory(dir.filePath("missing"));
        scanOf(std::nullopt);
        QCOMPARE(fetcher.errorMessage(), std::optional<QString>(CrashLogFetcher::ownFolderEmptyText(
                                             dir.filePath("missing"), QSysInfo::kernelType() == "darwin")));
    }

    void fetcherGoneBeforeTheScanEnds()
    {
        QTemporaryDir dir;
        for (int i = 0; i < 100; ++i)
            writeReportFile(dir.filePath(QString("r%1.ips").arg(i)), ipsFile("App"));
        {
            CrashLogFetcher fetcher;
            fetcher.setReportsDirectory(dir.path());
            fetcher.scan();
        }
        // The orphaned task finishes with nothing to publish to.
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
    }

    // The command-line tool over a folder and its "Retired" subfolder, and over one file.
    void cliCommands()
    {
        QTemporaryDir dir;
        const QDateTime finderTime(QDate(2024, 2, 1), QTime(9, 30), Qt::UTC);
        writeReportFile(dir.filePath("Safari-2024.ips"), kIps, kDay);
        writeReportFile(dir.filePath("Retired/Finder.crash"), "Process:  Finder [512]\nTermination Reason: Namespace SIGNAL, Code 11 SEGV\n",
                        finderTime);
        CliRun r = cli({"crashes", "--dir", dir.path()});
        const auto local = [](const QDateTime& d) { return d.toLocalTime().toString("yyyy-MM-dd HH:mm:ss"); };
        // Newest first; the archived report is marked.
        QCOMPARE(QString::number(r.code) + '\n' + r.out,
                 "0\n" + local(finderTime) + "\tFinder (archived)\tSegfault\tFinder.crash\n" + local(QDateTime(QDate(2024, 1, 15), QTime(10, 23, 45, 123), Qt::UTC)) + "\tSafari\tEXC_BAD_ACCESS\tSafari-2024.ips\n");

        r = cli({"crashes", "--dir", dir.path(), "--format", "json"});
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(r.code, 0);
        QCOMPARE(lines.size(), 2);
        const QJsonObject finder = QJsonDocument::fromJson(lines[0].toUtf8()).object();
        QVERIFY(finder["isRetired"].toBool());
        QVERIFY(finder["faultingThread"].isNull());
        const QJsonObject safari = QJsonDocument::fromJson(lines[1].toUtf8()).object();
        QCOMPARE(QStringList({safari["date"].toString(), safari["appVersion"].toString(), safari["filePath"].toString(),
                              safari["rawContent"].toString()}),
                 QStringList({"2024-01-15T10:23:45.123Z", "17.2", QDir(dir.path()).absoluteFilePath("Safari-2024.ips"), QString::fromUtf8(kIps)}));
        r = cli({"crashes", "--dir", dir.path(), "--format", "xml"});
        QCOMPARE(r.code, 2);
        QVERIFY(r.out.isEmpty());
        QVERIFY(r.err.startsWith("vellacord-cli crashes: --format must be rows or json\n"));
        r = cli({"crashes", "--dir", dir.filePath("missing")});
        QCOMPARE(QString::number(r.code) + r.out + r.err, "1vellacord-cli crashes: No such folder: " + dir.filePath("missing") + "\n");

        r = cli({"crash", dir.filePath("Safari-2024.ips")});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.startsWith("{\n    \""));  // pretty, not one line
        const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(o["stackTrace"].toString() + '|' + o["crashTypeLabel"].toString(),
                 QString("Thread 0 (Faulting Thread):\n   0  WebKit                          crash + 42|EXC_BAD_ACCESS"));
        QCOMPARE(o["isRetired"], QJsonValue(false));
        QCOMPARE(QJsonDocument::fromJson(cli({"crash", dir.filePath("Retired/Finder.crash")}).out.toUtf8()).object()["isRetired"].toBool(),
                 true);

        // Unreadable input fails with a reason and prints nothing on stdout.
        writeReportFile(dir.filePath("bad.ips"), "Process: \xff\n");
        const QList<QPair<QString, QString>> bad{{dir.filePath("bad.ips"), "not valid UTF-8 text"},
                                                 {dir.filePath("none.ips"), "no such file"},
                                                 {dir.filePath("Retired"), "a folder"},
                                                 {"/dev/null", "not a regular file"}};
        for (const auto& [path, reason] : bad) {
            r = cli({"crash", path});
            QCOMPARE(QString::number(r.code) + r.out + r.err, "1vellacord-cli crash: cannot read crash report '" + path + "': " + reason + "\n");
        }
        for (const QStringList& args : {QStringList{"crash"}, QStringList{"crash", "a.ips", "b.ips"}}) {
            r = cli(args);
            QCOMPARE(r.code, 2);
            QVERIFY(r.out.isEmpty());
            QVERIFY(r.err.startsWith("vellacord-cli crash: expected exactly one FILE\n"));
        }
    }
};

QTEST_GUILESS_MAIN(TestCrashScan)
#include "test_crash_scan.moc"
