// Parsing rules of crash reports, on texts built here: structured (.ips) and
// plain-text (.crash) forms, decided independently of any file.

#include "crashes/CrashParser.h"
#include "logs/VisibleText.h"
#include "tests/crashes/ClassicReport.h"

#include <QtTest>

namespace {

const QDateTime kFallback = QDateTime(QDate(2023, 6, 1), QTime(8, 0), Qt::UTC);

std::optional<CrashReport> structured(const QByteArray& bytes, const QString& fileName = QStringLiteral("r.ips"))
{
    return CrashParser::parseStructuredReport(QString::fromUtf8(bytes), bytes, fileName, "/r/" + fileName,
                                              kFallback, false);
}

// A header line and a body, as the system writes .ips files.
QByteArray ips(const QJsonObject& body)
{
    return R"({"app_name":"Header","bug_type":"309"})"
           "\n" +
           QJsonDocument(body).toJson(QJsonDocument::Compact);
}

CrashReport plain(const QString& text, const QString& fileName = QStringLiteral("r.crash"))
{
    return CrashParser::parsePlainReport(text, fileName, "/r/" + fileName, kFallback, true);
}

// An object of the given members, those left undefined omitted.
QJsonObject obj(std::initializer_list<std::pair<const char*, QJsonValue>> members)
{
    QJsonObject o;
    for (const auto& [k, v] : members)
        if (!v.isUndefined())
            o[k] = v;
    return o;
}

QJsonObject frame(const QJsonValue& image, const QJsonValue& symbol, const QJsonValue& offset)
{
    return obj({{"imageName", image}, {"symbol", symbol}, {"imageOffset", offset}});
}

QJsonObject withThreads(QJsonObject body, int threadCount, int framesInEach)
{
    QJsonArray threads;
    for (int t = 0; t < threadCount; ++t) {
        QJsonArray frames;
        for (int i = 0; i < framesInEach; ++i)
            frames.append(frame(QString("img%1").arg(t), QString("sym%1").arg(i), i * 16));
        threads.append(QJsonObject{{"frames", frames}});
    }
    body["threads"] = threads;
    return body;
}

}  // namespace

class TestCrashParser : public QObject {
    Q_OBJECT
private slots:
    void crashTypeLabel()
    {
        CrashReport r;
        r.exceptionType = "EXC_BAD_INSTRUCTION";
        r.crashReason = "SEGV";
        QCOMPARE(r.crashTypeLabel(), QString("EXC_BAD_INSTRUCTION"));
        r.exceptionType.clear();
        // Case-sensitive; the first rule in order wins.
        const QList<QPair<QString, QString>> cases{
            {"abort() called", "Abort"}, {"Abort trap: 6", "Unknown"}, {"segfault at 0", "Segfault"}, {"Namespace SIGNAL, Code 11 SEGV", "Segfault"}, {"EXC_BAD_ACCESS (code=1)", "Bad Access"}, {"EXC_CRASH", "Crash"}, {"abort after EXC_BAD_ACCESS", "Abort"}, {"SEGV with EXC_CRASH", "Segfault"}, {"", "Unknown"}};
        for (const auto& [reason, label] : cases) {
            r.crashReason = reason;
            QVERIFY2(r.crashTypeLabel() == label, qPrintable(reason));
        }
    }

    // A report may hold megabytes in one name: each is kept only as long as it can be shown.
    void hugeFieldsAreCut_data()
    {
        QTest::addColumn<QByteArray>("report");
        QTest::addColumn<int>("field");  // appName, crashReason, exceptionType, stackTrace
        const QString big(10 << 20, 'x');
        const QJsonArray frames{frame("img", big, 0)};
        QTest::newRow("procName") << ips(obj({{"procName", big}})) << 0;
        QTest::newRow("exception subtype") << ips(obj({{"exception", obj({{"subtype", big}})}})) << 1;
        QTest::newRow("exception type") << ips(obj({{"exception", obj({{"type", big}})}})) << 2;
        QTest::newRow("frame symbol") << ips(obj({{"threads", QJsonArray{obj({{"frames", frames}})}}})) << 3;
        QTest::newRow("frame image") << ips(obj({{"threads", QJsonArray{obj({{"frames", QJsonArray{frame(big, "s", 0)}}})}}})) << 3;
        QTest::newRow("plain process") << "Process: " + big.toUtf8() << 0;
        QTest::newRow("plain reason") << "Termination Reason: " + big.toUtf8() << 1;
    }
    void hugeFieldsAreCut()
    {
        QFETCH(QByteArray, report);
        QFETCH(int, field);
        const CrashReport r = structured(report).value_or(plain(QString::fromUtf8(report)));
        const QString* fields[] = {&r.appName, &r.crashReason, &r.exceptionType, &r.stackTrace};
        QCOMPARE(fields[field]->count('x'), VisibleText::maxFieldChars);
    }

    void headerLineDecidesTheDocument()
    {
        const QJsonObject body{{"procName", "Mail"}};
        const auto app = [](const QByteArray& bytes) { return structured(bytes).value_or(CrashReport()).appName; };
        // With a "bug_type" header the body alone is parsed, the header kept in the raw text; without one a
        // whole-file object (several lines) is; a single-line object naming bug_type is the whole document.
        QVERIFY(structured(ips(body))->rawContent.startsWith(R"({"app_name":"Header")"));
        QCOMPARE(app(ips(body)) + app(QJsonDocument(body).toJson(QJsonDocument::Indented)) + app(R"({"bug_type":"309","name":"Solo"})"),
                 QString("MailMailSolo"));

        // A header without the quoted word "bug_type" makes the whole file the document (two values
        // fail), a quoted "bug_type" anywhere on it counts; bodies that are not objects or not JSON fail.
        QVERIFY(structured(R"({"x":"bug_type"})"
                           "\n"
                           R"({"procName":"Mail"})"));
        for (const char* bad : {"{\"type\":\"309\"}\n{\"procName\":\"Mail\"}", "{\"bug_type_x\":\"309\"}\n{}",
                                "bug_type: 309\n{}", "{\"bug_type\":\"309\"}\n[{}]", "{\"bug_type\":\"309\"}\n",
                                "{\"bug_type\":\"309\"}\n{\"procName\":", "Process: Finder [1]\n", ""})
            QVERIFY2(!structured(bad), bad);
    }

    void stringLookupRule()
    {
        QCOMPARE(structured(ips({{"procName", ""}, {"name", 7}, {"app_name", "Third"}}))->appName, QString("Third"));
        QCOMPARE(structured(ips({{"procName", QJsonArray{"x"}}, {"name", "Second"}, {"app_name", "Third"}}))->appName,
                 QString("Second"));
        auto r = structured(ips({{"procName", QJsonValue::Null}}), "fallback.ips");
        QCOMPARE(r->appName, QString("fallback.ips"));

        QCOMPARE(structured(ips({{"CFBundleShortVersionString", 14}, {"app_version", ""}, {"bundleVersion", "1.2 (3)"}}))
                     ->appVersion,
                 QString("1.2 (3)"));
        QCOMPARE(structured(ips({{"CFBundleShortVersionString", "2.0"}, {"bundleVersion", "9"}}))->appVersion, QString("2.0"));

        r = structured(ips({{"osVersion", QJsonObject{{"train", "macOS 14.2"}}}, {"os_version", "macOS 14.2.1"}, {"modelCode", ""}, {"hardware_model", "MacBookPro18,3"}}));
        QCOMPARE(r->osVersion + '|' + r->deviceModel, QString("macOS 14.2.1|MacBookPro18,3"));

        r = structured(ips({}));
        QVERIFY(r->nothingParsed);
        QVERIFY(!structured(ips({{"procName", "Mail"}}))->nothingParsed);
        QCOMPARE(QStringList({r->appName, r->fileName, r->filePath, r->appVersion, r->osVersion, r->deviceModel, r->crashReason,
                              r->exceptionType, r->stackTrace}),
                 QStringList({"r.ips", "r.ips", "/r/r.ips", "", "", "", "", "", "No structured stack trace available."}));
        QVERIFY(!r->faultingThread);
        QCOMPARE(r->date, kFallback);
        QVERIFY(!r->id.isNull());
        QVERIFY(structured(ips({}))->id != r->id);
    }

    void exceptionAndTerminationReasons()
    {
        const QJsonObject term{{"reason", "Namespace SIGNAL, Code 6"}};
        auto reason = [&](const QJsonValue& exception, const QJsonValue& termination = QJsonValue::Undefined) {
            return structured(ips(obj({{"exception", exception}, {"termination", termination}})))->crashReason;
        };
        QCOMPARE(reason(QJsonObject{{"signal", "SIGSEGV"}, {"subtype", "KERN_INVALID_ADDRESS"}}),
                 QString::fromUtf8("SIGSEGV \u2014 KERN_INVALID_ADDRESS"));
        QCOMPARE(reason(QJsonObject{{"subtype", "KERN_INVALID_ADDRESS"}}), QString("KERN_INVALID_ADDRESS"));
        QCOMPARE(reason(QJsonObject{{"type", "EXC_CRASH"}}, term), QString("Namespace SIGNAL, Code 6"));
        QCOMPARE(reason(QJsonObject{{"signal", "SIGKILL"}}, term), QString("SIGKILL"));        // a signal keeps it out
        QCOMPARE(reason(QJsonValue("EXC_CRASH"), term), QString("Namespace SIGNAL, Code 6"));  // not an object
        QCOMPARE(reason(QJsonValue::Undefined, QJsonObject{{"reason", ""}}), QString());
        QCOMPARE(reason(QJsonValue::Undefined, QJsonValue("Namespace SIGNAL")), QString());

        auto r = structured(ips({{"exception", QJsonObject{{"type", "EXC_BAD_ACCESS"}, {"signal", 11}}}}));
        QCOMPARE(r->exceptionType + '|' + r->crashReason, QString("EXC_BAD_ACCESS|"));
        QCOMPARE(structured(ips({{"exception", QJsonArray{QJsonObject{{"type", "EXC_CRASH"}}}}}))->exceptionType, QString());
    }

    void faultingThreadAndStackTrace()
    {
        // Faulting thread stated: its frames, in the printf layout.
        auto r = structured(ips(withThreads({{"faultingThread", 1}}, 3, 2)));
        QCOMPARE(r->faultingThread, std::optional<qint64>(1));
        QCOMPARE(r->stackTrace, QString("Thread 1 (Faulting Thread):\n   0  img1                            sym0 + 0\n"
                                        "   1  img1                            sym1 + 16"));

        // Absent or mistyped: thread 0 is traced, the field stays absent; out of range: no trace.
        const QString none("No structured stack trace available.");
        for (const QJsonValue& v : {QJsonValue(), QJsonValue("1"), QJsonValue(1.5), QJsonValue(true), QJsonValue(QJsonArray{1}),
                                    QJsonValue(2), QJsonValue(3), QJsonValue(-1)}) {
            r = structured(ips(withThreads(v.isNull() ? QJsonObject() : QJsonObject{{"faultingThread", v}}, 2, 1)));
            const bool index = v.isDouble() && v.toDouble() != 1.5;
            QCOMPARE(r->faultingThread, index ? std::optional<qint64>(v.toInt()) : std::nullopt);
            QVERIFY(index ? r->stackTrace == none : r->stackTrace.startsWith("Thread 0 (Faulting Thread):\n   0  img0 "));
        }
        // A threads value, thread or frame of the wrong shape spoils the trace.
        for (const QJsonValue& threads :
             {QJsonValue(QJsonObject{{"frames", QJsonArray{}}}), QJsonValue(QJsonArray{QJsonObject{{"frames", QJsonArray{}}}, 5}),
              QJsonValue(QJsonArray{QJsonObject{}}), QJsonValue(QJsonArray{QJsonObject{{"frames", "x"}}}),
              QJsonValue(QJsonArray{QJsonObject{{"frames", QJsonArray{frame("a", "b", 1), "c"}}}})})
            QCOMPARE(structured(ips({{"threads", threads}}))->stackTrace, none);
        QCOMPARE(structured(ips({{"threads", QJsonArray{QJsonObject{{"frames", QJsonArray{}}}}}}))->stackTrace,
                 QString("Thread 0 (Faulting Thread):"));

        // 45 frames: header plus frames 0 to 29.
        const QStringList lines = structured(ips(withThreads({}, 1, 45)))->stackTrace.split('\n');
        QCOMPARE(lines.size(), 31);
        QCOMPARE(lines.last(), QString("  29  img0                            sym29 + 464"));
    }

    void currentStructuredLayout()
    {
        // As the system writes them today: a one-line header, then a pretty-printed body
        // whose frames point into usedImages and give the offset into the symbol.
        const QByteArray header = R"({"timestamp":"2026-05-26 16:11:45.00 +0800","app_version":"9.9",)"
                                  R"x("os_version":"macOS 26.4 (25E1)","bug_type":"309"})x";
        const auto f = [](int offset, const QJsonValue& symbol, const QJsonValue& location, int image) {
            return obj({{"imageOffset", offset}, {"symbol", symbol}, {"symbolLocation", location}, {"imageIndex", image}});
        };
        const QJsonValue none = QJsonValue::Undefined;
        QJsonArray frames{f(32788, "objc_release", 16, 1), f(4096, none, none, 0), f(8, "start", none, 2), f(8, "x", 1, 9),
                          f(8, "y", 1, 3)};
        const QJsonObject body{
            {"modelCode", "Mac14,2"},
            {"captureTime", "2026-05-26 16:11:42.4349 +0800"},
            {"osVersion", QJsonObject{{"train", "macOS 26.5"}, {"build", "25F71"}}},
            {"bundleInfo", QJsonObject{{"CFBundleShortVersionString", "1.0"}}},
            {"threads", QJsonArray{QJsonObject{{"frames", frames}}}},
            {"usedImages", QJsonArray{QJsonObject{{"path", "/Applications/Notes.app/Contents/MacOS/Notes"}},
                                      QJsonObject{{"name", "libobjc.A.dylib"}, {"path", "/usr/lib/libobjc.A.dylib"}},
                                      QJsonObject{{"name", 5}}, QJsonObject{}}},
        };
        auto r = structured(header + "\n" + QJsonDocument(body).toJson(QJsonDocument::Indented));
        QCOMPARE(r->appVersion + '|' + r->osVersion + '|' + r->deviceModel, QString("1.0|macOS 26.5 (25F71)|Mac14,2"));
        QCOMPARE(r->date, QDateTime(QDate(2026, 5, 26), QTime(8, 11, 42, 434), Qt::UTC));
        QCOMPARE(r->stackTrace.split('\n').mid(1),
                 QStringList({"   0  libobjc.A.dylib                 objc_release + 16",
                              "   1  Notes                           ??? + 4096",
                              "   2  ???                             start + 8",
                              "   3  ???                             x + 1",
                              "   4  ???                             y + 1"}));

        // Without the body's versions and dates, the header line's.
        r = structured(header + "\n" + R"({"osVersion":{"build":"25F71"},"bundleInfo":{}})");
        QCOMPARE(r->appVersion + '|' + r->osVersion, QString("9.9|macOS 26.4 (25E1)"));
        QCOMPARE(r->date, QDateTime(QDate(2026, 5, 26), QTime(8, 11, 45), Qt::UTC));
        QCOMPARE(structured(R"({"bug_type":"309"})"
                            "\n"
                            R"({"osVersion":{"train":"macOS 26.5"}})")
                     ->osVersion,
                 QString("macOS 26.5"));
    }

    void reportDates()
    {
        auto dateOf = [](const QJsonObject& body) { return structured(ips(body))->date; };
        const QDateTime t(QDate(2024, 1, 15), QTime(10, 23, 45, 123), Qt::UTC);
        QCOMPARE(dateOf({{"timestamp", "2024-01-15T10:23:45.123Z"}}), t);
        QCOMPARE(dateOf({{"timestamp", "2024-01-15T05:53:45.123-04:30"}}), t);
        QCOMPARE(dateOf({{"captureTime", "2024-01-15T10:23:45.1Z"}}), t.addMSecs(-23));
        QCOMPARE(dateOf({{"captureTime", "2024-01-15T10:23:45.123456Z"}}), t);
        // Unparseable or mistyped timestamp: the capture time decides.
        QCOMPARE(dateOf({{"timestamp", "2024-01-15T10:23:45Z"}, {"captureTime", "2024-01-15T10:23:45.123Z"}}), t);
        // The spaced form, in the body's timestamp before the capture time.
        QCOMPARE(dateOf({{"timestamp", "2024-01-15 02:23:45.123 -0800"}, {"captureTime", "2020-01-01T00:00:00.0Z"}}), t);
        QCOMPARE(dateOf({{"timestamp", "bad"}, {"captureTime", "2024-01-15 02:23:45.1234 -0800"}}), t);
        QCOMPARE(dateOf({{"timestamp", "2024-01-15 04:24:45.123 -0559"}}), t);  // the largest offset minutes
        QCOMPARE(dateOf({{"timestamp", "bad"}, {"captureTime", "bad"}}), kFallback);
        // The header line's timestamp comes last, before the file's time.
        const QByteArray headed = R"({"bug_type":"309","timestamp":"2024-01-15 18:23:45.12 +0800"})"
                                  "\n";
        QCOMPARE(structured(headed + R"({"captureTime":"bad"})")->date, t.addMSecs(-3));
        QCOMPARE(structured(headed + R"({"captureTime":"2024-01-15T10:23:45.123Z"})")->date, t);

        for (const char* good : {"2024-01-15 10:23:45 +0000", "2024-01-15 10:23:45.0 +0000",
                                 "2024-01-15 10:23:45.000000 +0000", "2024-01-15 11:53:45 +0130"})
            QVERIFY2(CrashParser::parseSpacedDateTime(good) == QDateTime(QDate(2024, 1, 15), QTime(10, 23, 45), Qt::UTC), good);
        for (const char* bad : {"2024-01-15 10:23:45.1234567 +0000", "2024-01-15 10:23:45. +0000", "2024-01-15 10:23:45 +2400",
                                "2024-01-15 10:23:45 +0000 ", "2024-01-15 10:23:45"})
            QVERIFY2(!CrashParser::parseSpacedDateTime(bad), bad);

        for (const char* bad : {"2024-01-15T10:23:45.Z", "2024-01-15T10:23:45.123", "2023-02-29T10:23:45.1Z",
                                "2024-01-15T10:23:45.1Z ", "2024-01-15T10:23:45.1+25:00", ""})
            QVERIFY2(!CrashParser::parseInternetDateTime(bad), bad);
        QCOMPARE(*CrashParser::parseInternetDateTime("2024-02-29T23:59:59.999Z"),
                 QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59, 999), Qt::UTC));
    }

    void plainTextReports()
    {
        CrashReport r = plain("Process:               Finder [512]\n"
                              "Path:                  /System/Library/CoreServices/Finder.app\n"
                              "Version:               1.0 (494.1)\n"
                              "\tException Type:  EXC_CRASH (SIGABRT)  \n"
                              "Exception Codes: 0x0000000000000000, 0x0000000000000000\n"
                              "Termination Reason:    Namespace SIGNAL, Code 6 Abort trap: 6\n");
        // The later line wins.
        QCOMPARE(QStringList({r.appName, r.exceptionType, r.crashReason, r.appVersion, r.stackTrace, r.osVersion, r.deviceModel}),
                 QStringList({"Finder", "EXC_CRASH (SIGABRT)", "Namespace SIGNAL, Code 6 Abort trap: 6", "1.0 (494.1)", "", "", ""}));
        QCOMPARE(r.date, kFallback);
        QVERIFY(r.isRetired);
        QVERIFY(!r.faultingThread);
        QVERIFY(r.rawContent.startsWith("Process:"));
        QVERIFY(r.rawContent.endsWith("trap: 6\n"));

        r = plain("Hardware Model:  Mac14,2\nDate/Time: 2026-05-26 16:11:45.0021 +0800\n"
                  "OS Version:\tmacOS 26.5 (25F71) \nVersion: \n");
        QCOMPARE(r.deviceModel + '|' + r.osVersion + '|' + r.appVersion, QString("Mac14,2|macOS 26.5 (25F71)|"));
        QCOMPARE(r.date, QDateTime(QDate(2026, 5, 26), QTime(8, 11, 45, 2), Qt::UTC));
        QCOMPARE(plain("Date/Time: yesterday\n").date, kFallback);

        // Exception Codes after Termination Reason wins; colons inside the value survive.
        r = plain("Termination Reason: Namespace SIGNAL\nException Codes: KERN_INVALID_ADDRESS at 0x0: a:b\n");
        QCOMPARE(r.crashReason + '|' + r.appName, QString("KERN_INVALID_ADDRESS at 0x0: a:b|r.crash"));

        // Unicode spaces are trimmed; every "Process:" is removed; no bracket keeps the whole rest.
        r = plain(QString::fromUtf8("\u00a0\u2003Process:\u3000Process: Xcode Helper \u2009\nException Type:\n"));
        QCOMPARE(r.appName + '|' + r.exceptionType, QString("Xcode Helper|"));
        // A label that does not start the (trimmed) line is not read.
        r = plain("Parent Process: launchd [1]\nInfo: Exception Type: X\n");
        QCOMPARE(r.appName + '|' + r.exceptionType, QString("r.crash|"));

        // Only the first 30 lines count (blank lines included).
        const QString text = QString(29, '\n') + "Process: Line30 [1]\nProcess: Line31 [2]\nException Type: EXC_LATE\n";
        r = plain(text);
        QCOMPARE(r.appName + '|' + r.exceptionType, QString("Line30|"));
        QCOMPARE(r.rawContent, text);

        QCOMPARE(plain("").appName, QString("r.crash"));
        QCOMPARE(plain("Process: [12]").appName, QString());
    }

    // Past the header lines: the crashed thread's backtrace, and the reason
    // of "Application Specific Information" when the codes tell nothing.
    void classicReports_data()
    {
        QTest::addColumn<QString>("report");
        QTest::addColumn<int>("thread");  // -1: none
        QTest::addColumn<QStringList>("trace");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("nothingParsed");
        const QString exception = "*** -[__NSArrayM objectAtIndex:]: index 4 beyond bounds [0 .. 3]";
        QTest::newRow("classic") << kClassic << 0
                                 << QStringList{"Thread 0 (Faulting Thread):",
                                                "   0  libsystem_kernel.dylib          __pthread_kill + 10",
                                                "   1  libsystem_pthread.dylib         pthread_kill + 263",
                                                "   2  libsystem_c.dylib               abort + 123",
                                                "   3  Preview                         0x10f200000 + 801296"}
                                 << exception << false;
        const QString section = "Application Specific Information:\nabort() called\n";
        QTest::newRow("codes kept") << "Exception Codes: KERN_INVALID_ADDRESS at 0x8\n" + section << -1 << QStringList()
                                    << "KERN_INVALID_ADDRESS at 0x8" << false;
        QTest::newRow("termination kept") << "Exception Codes: 0x0, 0x0\nTermination Reason: Namespace SIGNAL, Code 6\n" + section
                                          << -1 << QStringList() << "Namespace SIGNAL, Code 6" << false;
        QTest::newRow("zero codes alone") << "Exception Codes: 0x0, 0\n"
                                          << -1 << QStringList() << "0x0, 0" << false;
        QTest::newRow("no codes, reason on its line") << "Application Specific Information: dyld: launch\n"
                                                      << -1
                                                      << QStringList() << "dyld: launch" << false;
        QTest::newRow("header names the thread")
            << "Thread 2 Crashed:\n7   Google Chrome Framework   0x0000000112c4e7f1 ChromeMain + 12\n8   ???\n9   x 0x1\nThread 3:\n0 y 0x2 z\n"
            << 2
            << QStringList{"Thread 2 (Faulting Thread):", "   7  Google Chrome Framework         ChromeMain + 12", "   8  ???",
                           "   9  x                               ???"}
            << "" << false;
        QTest::newRow("other thread's header, registers") << "Crashed Thread: 3\nThread 0 Crashed:\n0 a 0x1 b\n\nThread 3 crashed with ARM\n"
                                                          << 3 << QStringList() << "" << false;
        QString deep = "Thread 0 Crashed:\n";
        for (int i = 0; i < 40; ++i)
            deep += QString("%1   lib  0x%2 f%1 + 1\n").arg(i).arg(i + 16, 0, 16);
        QStringList deepTrace{"Thread 0 (Faulting Thread):"};
        for (int i = 0; i < 30; ++i)
            deepTrace << QString("  %1  lib                             f%2 + 1").arg(i, 2).arg(i);
        QTest::newRow("30 frames at most") << deep << 0 << deepTrace << "" << false;
        QTest::newRow("nothing") << "Hello\nDate/Time: 2023-03-14 09:26:53 +0100\n"
                                 << -1 << QStringList() << "" << true;
    }
    void classicReports()
    {
        QFETCH(QString, report);
        QFETCH(int, thread);
        QFETCH(QStringList, trace);
        QFETCH(QString, reason);
        QFETCH(bool, nothingParsed);
        const CrashReport r = plain(report);
        QCOMPARE(r.faultingThread, thread < 0 ? std::nullopt : std::optional<qint64>(thread));
        QCOMPARE(r.stackTrace, trace.join('\n'));
        QCOMPARE(r.crashReason, reason);
        QCOMPARE(r.nothingParsed, nothingParsed);
    }
};

QTEST_GUILESS_MAIN(TestCrashParser)
#include "test_crash_parser.moc"
