// Scanning report folders: reading files, the fallback between the two
// parsers, the "Retired" subfolder, the order, bad files, and the fetcher's
// published state.

#include "crashes/CrashLogFetcher.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <sys/stat.h>
#include <unistd.h>

namespace {

void writeFile(const QString& path, const QByteArray& data, const QDateTime& mtime = {})
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(data), data.size());
    QVERIFY(f.flush());  // a later flush would move the modification time again
    if (mtime.isValid())
        QVERIFY(f.setFileTime(mtime, QFileDevice::FileModificationTime));
}

QByteArray ipsFile(const QString& app, const QString& captureTime = {})
{
    QJsonObject body{{"procName", app}, {"exception", QJsonObject{{"type", "EXC_BAD_ACCESS"}}}};
    if (!captureTime.isEmpty())
        body["captureTime"] = captureTime;
    return R"({"bug_type":"309","name":")" + app.toUtf8() + "\"}\n" + QJsonDocument(body).toJson();
}

QStringList names(const CrashReportList& list)
{
    QStringList out;
    for (const CrashReport& r : list)
        out << (r.isRetired ? "Retired/" : "") + r.fileName;
    return out;
}

const QDateTime kDay(QDate(2024, 3, 1), QTime(12, 0), Qt::UTC);

}  // namespace

class TestCrashScan : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::useTemporaryHome(); }

    void parserChoiceIgnoresTheExtension()
    {
        QTemporaryDir dir;
        // A .crash file holding a JSON object is structured.
        writeFile(dir.filePath("json.crash"), R"({"procName":"Notes","osVersion":"macOS 14"})", kDay);
        auto r = CrashLogFetcher::parseReport(dir.filePath("json.crash"), false);
        QVERIFY(r);
        QCOMPARE(r->appName, QString("Notes"));
        QCOMPARE(r->osVersion, QString("macOS 14"));
        QCOMPARE(r->stackTrace, QString("No structured stack trace available."));
        QCOMPARE(r->date, kDay);  // modification time stands in for the missing timestamp

        // An .ips file that is not JSON is read as text.
        writeFile(dir.filePath("text.ips"), "Exception Type: EXC_CRASH\n", kDay.addSecs(60));
        r = CrashLogFetcher::parseReport(dir.filePath("text.ips"), true);
        QVERIFY(r);
        QCOMPARE(r->appName, QString("text.ips"));
        QCOMPARE(r->exceptionType, QString("EXC_CRASH"));
        QVERIFY(r->stackTrace.isEmpty());
        QVERIFY(r->isRetired);
        QCOMPARE(r->date, kDay.addSecs(60));
        QCOMPARE(r->filePath, dir.filePath("text.ips"));

        // A header line without "bug_type" and a body: two JSON values, so text.
        writeFile(dir.filePath("two.ips"), "{\"type\":\"309\"}\n{\"procName\":\"Mail\"}\nProcess: Mail [4]\n");
        r = CrashLogFetcher::parseReport(dir.filePath("two.ips"), false);
        QCOMPARE(r->appName, QString("Mail"));
        QCOMPARE(r->stackTrace, QString());

        // A UTF-8 byte-order mark neither hides the JSON nor reaches the raw text.
        writeFile(dir.filePath("bom.ips"), "\xEF\xBB\xBF{\"procName\":\"Bom\"}");
        r = CrashLogFetcher::parseReport(dir.filePath("bom.ips"), false);
        QCOMPARE(r->appName, QString("Bom"));
        QCOMPARE(r->rawContent, QString("{\"procName\":\"Bom\"}"));
    }

    void folderScanAndOrder()
    {
        QTemporaryDir dir;
        const QString d = dir.path();
        writeFile(d + "/b.ips", ipsFile("Bravo", "2024-03-02T10:00:00.000Z"));
        writeFile(d + "/UPPER.IPS", ipsFile("Upper", "2024-03-01T10:00:00.000Z"));
        writeFile(d + "/c.Crash", "Process: Charlie [1]\n", kDay);          // equal dates below
        writeFile(d + "/a.crash", "Process: Alpha [1]\n", kDay);
        writeFile(d + "/notes.txt", "Process: Ignored\n");
        writeFile(d + "/ips", "Process: Ignored\n");
        writeFile(d + "/x.ips.bak", "Process: Ignored\n");
        writeFile(d + "/sub/deep.ips", ipsFile("Deep"));                     // no recursion
        writeFile(d + "/Retired/r.ips", ipsFile("Old", "2024-03-03T10:00:00.000Z"));
        writeFile(d + "/Retired/same.crash", "Process: Same [1]\n", kDay);
        writeFile(d + "/Retired/Retired/nested.ips", ipsFile("Nested"));      // only one level

        CrashReportList main = CrashLogFetcher::scanDirectory(d, false);
        QCOMPARE(names(main), QStringList({"UPPER.IPS", "a.crash", "b.ips", "c.Crash"}));
        for (const CrashReport& r : main)
            QVERIFY(!r.isRetired);

        const CrashReportList all = CrashLogFetcher::collectReports(d);
        QCOMPARE(names(all), QStringList({"Retired/r.ips", "b.ips", "a.crash", "c.Crash", "Retired/same.crash",
                                          "UPPER.IPS"}));
        QCOMPARE(all[0].appName, QString("Old"));
        QVERIFY(all[0].isRetired);

        // Missing folders list as empty; a file named Retired adds nothing.
        QVERIFY(CrashLogFetcher::scanDirectory(d + "/missing", false).isEmpty());
        QVERIFY(CrashLogFetcher::collectReports(d + "/missing").isEmpty());
        QTemporaryDir other;
        writeFile(other.filePath("Retired"), "Process: x\n");
        writeFile(other.filePath("one.crash"), "Process: One\n");
        QCOMPARE(names(CrashLogFetcher::collectReports(other.path())), QStringList({"one.crash"}));
    }

    void badFilesAreSkippedOrParsed()
    {
        QTemporaryDir dir;
        const QString d = dir.path();
        writeFile(d + "/good.ips", ipsFile("Good", "2024-03-02T10:00:00.000Z"));
        // Invalid UTF-8 in several shapes: a stray byte, an overlong form, an
        // encoded surrogate, a sequence cut at the end of the file.
        writeFile(d + "/bad1.ips", "{\"procName\":\"\xff\"}");
        writeFile(d + "/bad2.crash", "Process: \xC0\xAF\n");
        writeFile(d + "/bad3.crash", "Process: \xED\xA0\x80\n");
        writeFile(d + "/bad4.crash", "Process: Cut \xE2\x82");
        writeFile(d + "/empty.ips", "");
        QDir().mkpath(d + "/folder.ips");
        QVERIFY(QFile::link(d + "/nowhere", d + "/dangling.ips"));
        QVERIFY(::mkfifo(QFile::encodeName(d + "/pipe.crash").constData(), 0600) == 0);  // must not block
        QVERIFY(QFile::link("/dev/zero", d + "/zero.crash"));                           // must not read forever
        // Nesting far past the JSON parser's limit, at the top and inside an object.
        writeFile(d + "/deep1.ips", QByteArray(200000, '['));
        writeFile(d + "/deep2.ips", "{\"procName\":\"Deep\",\"threads\":" + QByteArray(200000, '[')
                                        + QByteArray(200000, ']') + "}");
        // Moderate nesting inside members that expect other types.
        writeFile(d + "/nested.ips", "{\"procName\":{\"a\":" + QByteArray(200, '[') + QByteArray(200, ']')
                                         + "},\"faultingThread\":[[0]],\"threads\":[{\"frames\":[[{}]]}]}");

        CrashReportList all = CrashLogFetcher::collectReports(d);
        std::sort(all.begin(), all.end(), [](auto& a, auto& b) { return a.fileName < b.fileName; });
        QCOMPARE(names(all), QStringList({"deep1.ips", "deep2.ips", "empty.ips", "good.ips", "nested.ips"}));
        for (const CrashReport& r : all) {
            if (r.fileName.startsWith("deep") || r.fileName == "empty.ips") {
                QCOMPARE(r.appName, r.fileName);  // read as text
                QVERIFY(r.stackTrace.isEmpty());
            }
        }
        const CrashReport nested = all[4];
        QCOMPARE(nested.appName, QString("nested.ips"));
        QVERIFY(!nested.faultingThread);
        QCOMPARE(nested.stackTrace, QString("No structured stack trace available."));
        QVERIFY(!CrashLogFetcher::parseReport(d + "/bad4.crash", false));
        QVERIFY(!CrashLogFetcher::parseReport(d + "/folder.ips", false));
    }

    void largeFile()
    {
        QTemporaryDir dir;
        // 50 MB of text after a Process line: read once, only the first lines examined.
        QByteArray big = "Process: Big [1]\nException Type: EXC_RESOURCE\n";
        const QByteArray line = QByteArray(99, 'x') + '\n';
        big.reserve(50 * 1024 * 1024 + 64);
        while (big.size() < 50 * 1024 * 1024)
            big += line;
        big += "Process: Late\n";
        writeFile(dir.filePath("big.crash"), big);
        // 50 MB structured: one long symbol name.
        QByteArray json = "{\"bug_type\":\"309\"}\n{\"procName\":\"BigJson\",\"threads\":[{\"frames\":[{\"symbol\":\"";
        json += QByteArray(50 * 1024 * 1024, 's');
        json += "\",\"imageName\":\"img\"}]}]}";
        writeFile(dir.filePath("big.ips"), json);
        writeFile(dir.filePath("small.crash"), "Process: Small\n");

        const CrashReportList all = CrashLogFetcher::scanDirectory(dir.path(), false);
        QCOMPARE(names(all), QStringList({"big.crash", "big.ips", "small.crash"}));
        QCOMPARE(all[0].appName, QString("Big"));
        QCOMPARE(all[0].exceptionType, QString("EXC_RESOURCE"));
        QCOMPARE(all[0].rawContent.size(), qsizetype(big.size()));
        QCOMPARE(all[1].appName, QString("BigJson"));
        QVERIFY(all[1].stackTrace.endsWith("sss + 0"));
    }

    void unreadableFile()
    {
        if (::geteuid() == 0)
            QSKIP("running as root: chmod 000 does not stop root from reading (the read-failure path is "
                  "covered by the dangling link and the folder in badFilesAreSkippedOrParsed)");
        QTemporaryDir dir;
        writeFile(dir.filePath("locked.ips"), ipsFile("Locked"));
        writeFile(dir.filePath("open.ips"), ipsFile("Open"));
        QVERIFY(QFile::setPermissions(dir.filePath("locked.ips"), QFileDevice::Permissions()));
        QCOMPARE(names(CrashLogFetcher::scanDirectory(dir.path(), false)), QStringList({"open.ips"}));
        QVERIFY(!CrashLogFetcher::parseReport(dir.filePath("locked.ips"), false));
    }

    void fetcherPublishesScans()
    {
        QCOMPARE(CrashLogFetcher::defaultReportsDirectory(), QDir::homePath() + "/Library/Logs/DiagnosticReports");
        QTemporaryDir dir;
        writeFile(dir.filePath("a.ips"), ipsFile("Alpha", "2024-03-01T10:00:00.000Z"));
        writeFile(dir.filePath("Retired/b.crash"), "Process: Beta\n", kDay.addDays(1));

        CrashLogFetcher fetcher;
        QCOMPARE(fetcher.reportsDirectory(), CrashLogFetcher::defaultReportsDirectory());
        fetcher.setReportsDirectory(dir.path());
        QSignalSpy loading(&fetcher, &CrashLogFetcher::isLoadingChanged);
        QSignalSpy reports(&fetcher, &CrashLogFetcher::reportsChanged);
        LogCapture log;

        fetcher.scan();
        QVERIFY(fetcher.isLoading());  // returns at once
        QVERIFY(fetcher.reports().isEmpty());
        QTRY_VERIFY(!fetcher.isLoading());
        QCOMPARE(loading.count(), 2);
        QCOMPARE(names(fetcher.reports()), QStringList({"Retired/b.crash", "a.ips"}));
        QVERIFY(!fetcher.errorMessage());
        QVERIFY(log.contains("Found 2 crash reports"));
        const QUuid firstId = fetcher.reports()[0].id;

        // A rescan empties the list while it runs and gives new ids.
        reports.clear();
        fetcher.scan();
        QVERIFY(fetcher.reports().isEmpty());
        QTRY_VERIFY(!fetcher.isLoading());
        QCOMPARE(reports.count(), 2);
        QCOMPARE(fetcher.reports().size(), 2);
        QVERIFY(fetcher.reports()[0].id != firstId);

        // Empty result: the message; the next scan clears it at its start.
        QVERIFY(QFile::remove(dir.filePath("a.ips")));
        QVERIFY(QFile::remove(dir.filePath("Retired/b.crash")));
        log.clear();
        fetcher.scan();
        QTRY_VERIFY(!fetcher.isLoading());
        QCOMPARE(fetcher.errorMessage(), std::optional<QString>("No crash reports found in ~/Library/Logs/DiagnosticReports/"));
        QVERIFY(log.contains("Found 0 crash reports"));
        writeFile(dir.filePath("c.crash"), "Process: Gamma\n");
        fetcher.scan();
        QVERIFY(!fetcher.errorMessage());
        QTRY_VERIFY(!fetcher.isLoading());
        QCOMPARE(fetcher.reports().size(), 1);

        // A missing folder is an empty result too.
        fetcher.setReportsDirectory(dir.filePath("missing"));
        fetcher.scan();
        QTRY_VERIFY(!fetcher.isLoading());
        QVERIFY(fetcher.reports().isEmpty());
        QVERIFY(fetcher.errorMessage());
    }

    void fetcherGoneBeforeTheScanEnds()
    {
        QTemporaryDir dir;
        for (int i = 0; i < 200; ++i)
            writeFile(dir.filePath(QString("r%1.ips").arg(i)), ipsFile("App"));
        {
            CrashLogFetcher fetcher;
            fetcher.setReportsDirectory(dir.path());
            fetcher.scan();
        }
        // The orphaned task finishes with nothing to publish to.
        QTest::qWait(300);
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
    }
};

QTEST_GUILESS_MAIN(TestCrashScan)
#include "test_crash_scan.moc"
