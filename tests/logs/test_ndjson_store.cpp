#include "logs/LogQuery.h"
#include "logs/NdjsonEvent.h"
#include "logs/NdjsonLogStore.h"
#include "logs/NdjsonOrder.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestEnv.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTest>

#include <algorithm>
#include <numeric>
#include <cmath>
#include <random>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {

// 2026-01-05 09:30:00 UTC.
constexpr double kBase = 1767605400.0;

// One event as `log show --style ndjson` writes it, at kBase + `offsetMicros`
// written in the +0100 zone.
QJsonObject ndEvent(const QString& type, qint64 offsetMicros)
{
    const qint64 us = qint64(kBase) * 1000000 + offsetMicros + 3600LL * 1000000;  // local time at +0100
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(us / 1000, Qt::UTC);
    const QString stamp = local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.")) +
                          QStringLiteral("%1").arg(us % 1000000, 6, 10, QLatin1Char('0')) + QStringLiteral("+0100");
    return QJsonObject{{"eventType", type},
                       {"timestamp", stamp},
                       {"machTimestamp", 1234567890},
                       {"traceID", 4382923},
                       {"bootUUID", "D4E5F6A7-1111-2222-3333-444455556666"},
                       {"timezoneName", ""}};
}

QJsonObject logEvent(qint64 offsetMicros, const QString& message, const QString& messageType = "Default",
                     const QString& processPath = "/usr/libexec/logd", const QString& subsystem = {},
                     const QString& senderPath = {})
{
    QJsonObject o = ndEvent("logEvent", offsetMicros);
    o["eventMessage"] = message;
    o["messageType"] = messageType;
    o["processImagePath"] = processPath;
    o["processID"] = 321;
    o["threadID"] = 1000;
    o["activityIdentifier"] = 0;
    o["subsystem"] = subsystem;
    o["category"] = subsystem.isEmpty() ? QString() : QStringLiteral("default");
    o["senderImagePath"] = senderPath.isEmpty() ? processPath : senderPath;
    o["formatString"] = "%{public}s";
    o["backtrace"] = QJsonObject{{"frames", QJsonArray{QJsonObject{{"imageOffset", 1234}}}}};
    return o;
}

// Whole microseconds of a date, to compare dates exactly.
qint64 micros(double seconds) { return std::llround(seconds * 1e6); }

QByteArray line(const QJsonObject& o) { return QJsonDocument(o).toJson(QJsonDocument::Compact); }

QString writeFile(const QString& path, const QList<QByteArray>& lines, const QByteArray& separator = "\n")
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    for (const QByteArray& l : lines)
        f.write(l + separator);
    return path;
}

QueryResult readAll(const QString& path, const QueryContext& context = {})
{
    return queryEntries(kDistantPast, kBase + 1e6, path, context);
}

}  // namespace

class TestNdjsonStore : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase() { TestEnv::useTemporaryHome(); }

    void timestamps()
    {
        double s = 0;
        QVERIFY(Ndjson::parseTimestamp("2026-01-05 09:30:00.123456+0100", s));
        QCOMPARE(s, 1767601800.123456);  // the double nearest to the written text
        QCOMPARE(micros(s), 1767601800123456LL);
        QVERIFY(Ndjson::parseTimestamp("2026-01-05 09:30:00.000001-0530", s));
        QCOMPARE(micros(s), 1767625200000001LL);
        QVERIFY(Ndjson::parseTimestamp("2026-01-05T09:30:00+01:00", s));
        QCOMPARE(s, kBase - 3600);
        QVERIFY(Ndjson::parseTimestamp("2026-01-05 09:30:00Z", s));
        QCOMPARE(s, kBase);
        // Across a day and a leap day boundary through the offset.
        QVERIFY(Ndjson::parseTimestamp("2024-03-01 00:30:00.5+0100", s));
        QCOMPARE(micros(s), 1709249400500000LL);
        for (const char* bad : {"2026-01-05 09:30:00.123456", "2026-02-29 09:30:00+0000", "2026-13-01 00:00:00Z",
                                "2026-01-05 24:00:00Z", "2026-01-05 09:30:00.+0100", "2026-01-05 09:30:00+2400",
                                "2026-01-05 09:30:00+0100 ", "2026-01-05 09:30:00+0160", "26-01-05 09:30:00Z", ""})
            QVERIFY2(!Ndjson::parseTimestamp(bad, s), bad);
    }

    void fieldMapping()
    {
        QJsonObject full = logEvent(123456, QString::fromUtf8("caf\u00e9 \"quoted\"\nsecond line \U0001F600"), "Error",
                                    "/System/Library/CoreServices/launchservicesd", "com.apple.launchservices",
                                    "/System/Library/Frameworks/CoreServices.framework/Versions/A/Frameworks/"
                                    "LaunchServices.framework/Versions/A/LaunchServices");
        full["processID"] = 4242;
        full["threadID"] = qint64(1) << 52;
        full["activityIdentifier"] = 777;
        full["category"] = "db";
        const QList<QPair<QString, int>> types{{"Default", 3}, {"Info", 2}, {"Debug", 1}, {"Error", 4},
                                               {"Fault", 5},   {"Notice", 0}, {"default", 0}};
        QList<QByteArray> lines{line(full)};
        for (int i = 0; i < types.size(); ++i)
            lines << line(logEvent(1000000 + i, "t", types[i].first));
        QJsonObject bare = ndEvent("logEvent", 2000000);  // only what an event needs
        bare["eventMessage"] = "";
        lines << line(bare);
        // null stands for an absent optional member.
        lines << R"({"eventType":"logEvent","timestamp":"2026-01-05 10:30:03+0100","eventMessage":"n","subsystem":null,)"
                 R"("processID":null,"messageType":null,"processImagePath":null,"unread":[null,true,false]})";
        const QString file = writeFile(path("fields.ndjson"), lines);

        const QueryResult r = readAll(file);
        QVERIFY2(r.ok(), r.ok() ? "" : qPrintable(describe(*r.error)));
        QCOMPARE(r.entries.size(), lines.size());
        const LogEntry& e = r.entries[0];
        QCOMPARE(micros(e.date), qint64(kBase) * 1000000 + 123456);
        QCOMPARE(e.level, 4);
        QCOMPARE(e.process, QStringLiteral("launchservicesd"));
        QCOMPARE(e.message, QString::fromUtf8("caf\u00e9 \"quoted\"\nsecond line \U0001F600"));
        QCOMPARE(e.subsystem, QStringLiteral("com.apple.launchservices"));
        QCOMPARE(e.category, QStringLiteral("db"));
        QCOMPARE(e.sender, QStringLiteral("LaunchServices"));
        QCOMPARE(e.processIdentifier, 4242);
        QCOMPARE(e.threadIdentifier, quint64(1) << 52);
        QCOMPARE(e.activityIdentifier, quint64(777));
        for (int i = 0; i < types.size(); ++i)
            QCOMPARE(r.entries[1 + i].level, types[i].second);
        const LogEntry& b = r.entries[1 + types.size()];
        QCOMPARE(micros(b.date), qint64(kBase + 2) * 1000000);
        QCOMPARE(b.level, 0);
        QVERIFY(b.process.isEmpty() && b.sender.isEmpty() && b.subsystem.isEmpty() && b.message.isEmpty());
        QCOMPARE(r.entries.last().message, QStringLiteral("n"));
        QCOMPARE(r.entries.last().processIdentifier, 0);

        // Large identifiers keep every bit; a negative PID is a PID, down to the smallest.
        const QString big = writeFile(path("big.ndjson"),
                                      {R"({"eventType":"logEvent","timestamp":"2026-01-05 09:30:00+0000",)"
                                       R"("eventMessage":"m","threadID":18446744073709551615,)"
                                       R"("activityIdentifier":9007199254740993,"processID":-2147483648})"});
        const QueryResult rb = readAll(big);
        QCOMPARE(rb.entries.size(), 1);
        QCOMPARE(rb.entries[0].threadIdentifier, ~quint64(0));
        QCOMPARE(rb.entries[0].activityIdentifier, quint64(9007199254740993ULL));
        QCOMPARE(rb.entries[0].processIdentifier, std::numeric_limits<qint32>::min());
    }

    void eventKinds()
    {
        const QStringList others{"activityCreateEvent", "activityTransitionEvent", "userActionEvent",
                                 "signpostEvent",       "stateEvent",              "timesyncEvent",
                                 "traceEvent",          "lossEvent",               "someFutureEvent"};
        QList<QByteArray> lines;
        int t = 0;
        lines << line(logEvent(t++ * 1000000, "first"));
        for (const QString& kind : others) {
            QJsonObject o = ndEvent(kind, t++ * 1000000);
            o["eventMessage"] = kind;  // text of a non-log event is not a log message
            lines << line(o);
        }
        QJsonObject signpost = ndEvent("signpostEvent", t++ * 1000000);  // no message at all: still an event
        signpost["signpostName"] = "Launch";
        lines << line(signpost);
        lines << line(logEvent(t++ * 1000000, "last"));
        lines << R"({"count":12,"finished":1})";  // what `log show` ends with
        const QString file = writeFile(path("kinds.ndjson"), lines);

        LogCapture log;
        const QueryResult r = readAll(file);
        QVERIFY(r.ok());
        QCOMPARE(r.entries.size(), 2);
        QCOMPARE(r.entries[0].message, QStringLiteral("first"));
        QCOMPARE(r.entries[1].message, QStringLiteral("last"));
        // Every event is a raw entry that was scanned; the closing line is none and no fault.
        QVERIFY(log.anyStartsWith(QStringLiteral("Query complete: 2 entries from %1 scanned in ").arg(t)));
        QVERIFY(!log.anyStartsWith(QStringLiteral("Skipped ")));
    }

    void badLinesSkippedAndCounted()
    {
        const QByteArray tenMB(10 * 1024 * 1024, 'x');
        QByteArray hugeEvent = line(logEvent(0, "placeholder"));
        hugeEvent.replace("placeholder", tenMB);  // valid JSON, but 10 MB
        const QList<QByteArray> bad{
            "this is not json",
            "[1,2,3]",
            "\"a string\"",
            "42",
            "null",
            R"({"eventType":"logEvent","timestamp":"2026-01-05 10:30:00+0100")",  // cut short
            line(logEvent(0, "x")) + " trailing",
            R"({"timestamp":"2026-01-05 10:30:00+0100","eventMessage":"no type"})",
            R"({"eventType":"logEvent","eventMessage":"no time"})",
            R"({"eventType":"logEvent","timestamp":"2026-01-05 10:30:00+0100"})",  // no message
            R"({"eventType":"logEvent","timestamp":"2026-01-05 10:30:00","eventMessage":"no offset"})",
            R"({"eventType":"logEvent","timestamp":1767605400,"eventMessage":"number time"})",
            R"({"eventType":"logEvent","timestamp":"2026-01-05 10:30:00+0100","eventMessage":5})",
            R"({"eventType":7,"timestamp":"2026-01-05 10:30:00+0100","eventMessage":"m"})",
            R"({"eventType":"logEvent","timestamp":"2026-01-05 10:30:00+0100","eventMessage":"m","processID":"12"})",
            R"({"eventType":"logEvent","timestamp":"2026-01-05 10:30:00+0100","eventMessage":"m","processID":1.5})",
            R"({"eventType":"logEvent","timestamp":"2026-01-05 10:30:00+0100","eventMessage":"m","processID":4294967296})",
            R"({"eventType":"logEvent","timestamp":"2026-01-05 10:30:00+0100","eventMessage":"m","threadID":-1})",
            R"({"eventType":"logEvent","timestamp":"2026-01-05 10:30:00+0100","eventMessage":"m","subsystem":true})",
            R"({"eventType":"logEvent","timestamp":"2026-01-05 10:30:00+0100","eventMessage":"m","category":["a"]})",
            "{\"eventType\":\"logEvent\",\"timestamp\":\"2026-01-05 10:30:00+0100\",\"eventMessage\":\"bad \xff\xfe\"}",
            "{\"eventType\":\"logEvent\",\"timestamp\":\"2026-01-05 10:30:00+0100\",\"eventMessage\":\"\xc0\xaf\"}",
            "{\"eventType\":\"logEvent\",\"timestamp\":\"2026-01-05 10:30:00+0100\",\"eventMessage\":\"m\","
            "\"formatString\":\"\xed\xa0\x80\"}",  // an encoded surrogate in a member that is not read
            R"({"eventType":"logEvent","timestamp":"2026-01-05 10:30:00+0100","eventMessage":"tab	raw"})",
            R"({"eventType":"logEvent","timestamp":"2026-01-05 10:30:00+0100","eventMessage":"\x41"})",
            R"({"eventType":"logEvent","timestamp":"2026-01-05 10:30:00+0100","eventMessage":"m",})",
            // A nested value that does not parse spoils the line, whatever follows it.
            R"({"x":{,"eventType":"logEvent","timestamp":"2026-01-05 10:30:00+0100","eventMessage":"m"})",
            R"({"x":{"k","eventType":"logEvent","timestamp":"2026-01-05 10:30:00+0100","eventMessage":"m"})",
            R"({"x":[,"eventType":"logEvent","timestamp":"2026-01-05 10:30:00+0100","eventMessage":"m"})",
            R"({"eventType":"logEvent","timestamp":"2026-01-05 10:30:00+0100","eventMessage":"m","deep":)"
                + QByteArray(200, '[') + QByteArray(200, ']') + "}",
            tenMB,
        };
        // Good lines around each bad one; the good line after a 10 MB line must survive whole.
        QList<QByteArray> lines;
        int good = 0;
        for (const QByteArray& b : bad) {
            lines << line(logEvent(good * 1000, QStringLiteral("good %1").arg(good)));
            ++good;
            lines << b;
        }
        lines << line(logEvent(good * 1000, QStringLiteral("good %1").arg(good)));
        ++good;
        lines << "" << "   ";  // blank lines are nothing
        lines << tenMB;       // a 10 MB last line without a line break
        const QString file = path("bad.ndjson");
        QByteArray all;
        for (int i = 0; i < lines.size(); ++i)
            all += lines[i] + (i + 1 < lines.size() ? (i % 2 ? "\r\n" : "\n") : "");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(all);
        f.close();

        LogCapture log;
        const QueryResult r = readAll(file);
        QVERIFY(r.ok());
        QCOMPARE(r.entries.size(), good);
        for (int i = 0; i < good; ++i)
            QCOMPARE(r.entries[i].message, QStringLiteral("good %1").arg(i));
        const qsizetype skipped = bad.size() + 1;
        QVERIFY2(log.contains(QStringLiteral("Skipped %1 malformed lines in %2").arg(skipped).arg(file)),
                 qPrintable(log.messages().join('\n')));
        QVERIFY(log.anyStartsWith(QStringLiteral("Query complete: %1 entries from %1 scanned in ").arg(good)));

        // Bad lines alone: no event at all, so not an empty log but an archive that cannot be read.
        const QString one = writeFile(path("one.jsonl"), {bad[0], "", bad[1], R"({"count":0,"finished":1})"});
        const QueryResult ri = readAll(one);
        QVERIFY(!ri.ok());
        QCOMPARE(describe(*ri.error),
                 "Failed to open archive \"one.jsonl\": No line of this file is a log event (2 lines could not be read).");
        // An empty file, or only the closing count line: an empty log.
        for (const QList<QByteArray>& empty : {QList<QByteArray>{}, QList<QByteArray>{R"({"count":0,"finished":1})"}}) {
            const QueryResult re = readAll(writeFile(path("empty.ndjson"), empty));
            QVERIFY(re.ok() && re.entries.isEmpty());
        }
        // A 10 MB event is kept; a line over 64 MiB is skipped, its size said, and the next one read,
        // also where it opens a part of a folder whose parts are merged.
        const QString longFile = path("Long.logarchive/long.ndjson");
        writeFile(path("Long.logarchive/other.ndjson"), {line(logEvent(2000000, "other part"))});
        {
            QFile lf(longFile);
            QVERIFY(lf.open(QIODevice::WriteOnly));
            const QByteArray mib(1 << 20, 'x');
            for (std::size_t i = 0; i < (Ndjson::kMaxLineBytes >> 20); ++i)
                lf.write(mib);
            lf.write("x\n" + hugeEvent + '\n');
            for (std::size_t i = 0; i < (Ndjson::kMaxLineBytes >> 20); ++i)  // and one between events
                lf.write(mib);
            lf.write("x\n" + line(logEvent(1, "after")));
        }
        {
            LogCapture l;
            const QueryResult rl = readAll(path("Long.logarchive"));
            QCOMPARE(rl.entries.size(), 3);
            QCOMPARE(rl.entries[0].message.size(), tenMB.size());
            QCOMPARE(rl.entries[1].message, QStringLiteral("after"));
            QCOMPARE(rl.entries[2].message, QStringLiteral("other part"));
            QVERIFY2(l.contains(QStringLiteral("Skipped a line of %1 bytes in %2 (longer than 64 MiB)")
                                    .arg(Ndjson::kMaxLineBytes + 1)
                                    .arg(longFile)),
                     qPrintable(l.messages().join('\n')));
        }
        // Events outside the range still make it a log.
        const QString early = writeFile(path("early.ndjson"), {line(logEvent(0, "m")), "junk"});
        const QueryResult rr = queryEntries(kBase + 10, kBase + 20, early, {});
        QVERIFY(rr.ok() && rr.entries.isEmpty());
    }

    void dateRangesTimeoutCancellation()
    {
        // One event a second from kBase; non-log events between them.
        QList<QByteArray> lines;
        for (int i = 0; i < 20; ++i) {
            lines << line(logEvent(qint64(i) * 1000000, QString::number(i)));
            lines << line(ndEvent("activityCreateEvent", qint64(i) * 1000000 + 1));
        }
        const QString file = writeFile(path("range.ndjson"), lines);
        QueryResult r = queryEntries(kBase + 3, kBase + 5, file);
        QVERIFY(r.ok());
        QCOMPARE(r.entries.size(), 3);  // both ends included
        QCOMPARE(r.entries.first().message, QStringLiteral("3"));
        QCOMPARE(r.entries.last().message, QStringLiteral("5"));
        r = queryEntries(kBase + 3.5, kBase + 3.9, file);
        QVERIFY(r.ok() && r.entries.isEmpty());
        r = queryEntries(kBase + 100, kBase + 200, file);
        QVERIFY(r.ok() && r.entries.isEmpty());

        // Malformed lines, then events before the range: both pause the read, so the time-out
        // and the cancellation are seen before any entry is kept.
        QList<QByteArray> slowLines(kCheckInterval, "junk");
        for (int i = 0; i < kCheckInterval; ++i)
            slowLines << line(logEvent(i * 1000, "early"));
        const QString slowFile = writeFile(path("slow.ndjson"), slowLines);
        QueryContext cancel;
        cancel.isCancelled = [] { return true; };
        r = readAll(slowFile, cancel);
        QCOMPARE(r.stop, QueryStop::cancelled);
        QVERIFY(r.entries.isEmpty());
        int calls = 0;
        QueryContext slow;
        slow.now = [&calls] { return calls++ == 0 ? 0.0 : 31.0; };
        Ndjson::forgetOrders();  // else the range is found by bisection, past every line
        r = queryEntries(kBase + 1000, kBase + 2000, slowFile, slow);
        QCOMPARE(r.stop, QueryStop::timeOut);
        QVERIFY(r.ok() && r.entries.isEmpty());
    }

    void manyOverlappingPartsUnderAFileLimit()
    {
        // 600 parts, each with an event at i s and at i + 40.5 s, so that about 40 spans overlap at
        // every point; named so that path order is the reverse of time order. 32 descriptors hold
        // the merge's own open files but not one for every overlapping part.
        const int parts = 600;
        const QString archive = path("Parts.logarchive");
        QDir().mkpath(archive);
        QList<QPair<double, QString>> expected;
        for (int i = 0; i < parts; ++i) {
            const QString a = QStringLiteral("%1-a").arg(i), b = QStringLiteral("%1-b").arg(i);
            writeFile(archive + QStringLiteral("/%1.ndjson").arg(parts - 1 - i, 4, 10, QLatin1Char('0')),
                      {line(logEvent(qint64(i) * 1000000, a, "Error")),
                       line(logEvent(qint64(i) * 1000000 + 40500000, b, "Error"))});
            expected << qMakePair(i, a) << qMakePair(i + 40.5, b);
        }
        std::sort(expected.begin(), expected.end());
        QProcess p;
        p.setChildProcessModifier([] {
            const rlimit limit{32, 32};
            ::setrlimit(RLIMIT_NOFILE, &limit);
        });
        p.start(TestEnv::cliPath(), {"logs", "--archive", archive, "--format", "json"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        const QList<QByteArray> out = p.readAllStandardOutput().trimmed().split('\n');
        QCOMPARE(out.size(), expected.size());
        for (qsizetype i = 0; i < out.size(); ++i)
            QCOMPARE(QJsonDocument::fromJson(out[i]).object()["message"].toString(), expected[i].second);
    }

    // Ranges read after the whole archive was loaded (which learns each file's
    // order) give exactly what a scan without that knowledge gives.
    void rangesMatchTheFullScan_data()
    {
        QTest::addColumn<QStringList>("layout");  // per file: ordered, shuffled, concatenated, late
        QTest::addColumn<bool>("modifyAfterLoad");
        QTest::addColumn<bool>("bisectsLastRange");
        QTest::newRow("ordered") << QStringList{"ordered"} << false << true;
        QTest::newRow("shuffled") << QStringList{"shuffled"} << false << false;
        QTest::newRow("concatenated") << QStringList{"concatenated"} << false << true;  // its ordered first half
        QTest::newRow("one late line at the end") << QStringList{"late"} << false << true;
        QTest::newRow("folder of parts") << QStringList{"ordered", "ordered", "concatenated"} << false << true;
        QTest::newRow("rewritten after the load") << QStringList{"ordered"} << true << false;
    }

    void rangesMatchTheFullScan()
    {
        QFETCH(QStringList, layout);
        QFETCH(bool, modifyAfterLoad);
        QFETCH(bool, bisectsLastRange);
        const int n = 2400;  // about 1 MB a file: many bisection steps
        const QString archive = path(QStringLiteral("Ranges-%1.logarchive").arg(QTest::currentDataTag()));
        std::mt19937 rng(7);
        for (int f = 0; f < layout.size(); ++f) {
            QList<int> order(n);
            std::iota(order.begin(), order.end(), 0);
            if (layout[f] == "shuffled")
                std::shuffle(order.begin(), order.end(), rng);
            else if (layout[f] == "concatenated")  // two exports of the same span back to back
                std::transform(order.begin(), order.end(), order.begin(), [](int i) { return i % (n / 2) * 2 + i / (n / 2); });
            else if (layout[f] == "late")
                order.last() = 5;
            QList<QByteArray> lines;
            for (int i = 0; i < n; ++i) {
                lines << line(logEvent(qint64(order[i]) * 1000000 + f * 1000, QStringLiteral("%1-%2").arg(f).arg(i), "Error"));
                if (i % 97 == 0)
                    lines << "{not json" << "";
            }
            writeFile(archive + QStringLiteral("/%1.ndjson").arg(f), lines);
        }
        Ndjson::forgetOrders();
        QVERIFY(readAll(archive).ok());
        if (modifyAfterLoad) {  // same size, the last line dated inside the middle range
            QThread::msleep(10);
            QFile file(archive + "/0.ndjson");
            QVERIFY(file.open(QIODevice::ReadWrite));
            file.seek(file.size() - line(logEvent(qint64(n - 1) * 1000000, "0-2399", "Error")).size() - 1);
            file.write(line(logEvent(qint64(1000) * 1000000, "0-2399", "Error")));
        }
        auto dump = [](const QueryResult& r) {
            QStringList out;
            for (const LogEntry& e : r.entries)
                out << QString::number(micros(e.date)) + ' ' + e.message;
            return out;
        };
        const QList<QPair<double, double>> ranges{
            {n * 0.9, n + 10.0}, {n * 0.4, n * 0.6}, {-100.0, -1.0}, {n + 1.0, n + 100.0}, {-1.0, n + 1.0}, {1200, 1200}};
        for (const auto& [from, to] : ranges) {
            LogCapture log;
            const QueryResult got = queryEntries(kBase + from, kBase + to, archive);
            const bool bisected = log.anyStartsWith("Found the range start in ");
            Ndjson::forgetOrders();
            const QueryResult scanned = queryEntries(kBase + from, kBase + to, archive);
            QCOMPARE(dump(got), dump(scanned));
            QCOMPARE(got.ok(), scanned.ok());
            if (from == n * 0.9)
                QCOMPARE(bisected, bisectsLastRange);
        }
    }

    void archiveFolders()
    {
        // A .logarchive folder holding exported files, read as one log in time order.
        const QString archive = path("FromMac.logarchive");
        writeFile(archive + "/part1.ndjson",
                  {line(logEvent(0, "a")), line(logEvent(2000000, "c")), "garbage", line(logEvent(4000000, "e"))});
        writeFile(archive + "/more/part2.JSONL", {line(logEvent(1000000, "b")), line(logEvent(3000000, "d"))});
        writeFile(archive + "/._part1.ndjson", {QByteArray::fromHex("00051607") + " AppleDouble"});  // a Mac's copy metadata
        writeFile(archive + "/Info.plist", {"<plist/>"});
        QVERIFY(isNdjsonSource(archive));
        LogCapture log;
        QueryResult r = readAll(archive);
        QVERIFY2(r.ok(), r.ok() ? "" : qPrintable(describe(*r.error)));
        QStringList messages;
        for (const LogEntry& e : r.entries)
            messages << e.message;
        QCOMPARE(messages, (QStringList{"a", "b", "c", "d", "e"}));
        QVERIFY(log.contains(QStringLiteral("Skipped 1 malformed lines in %1/part1.ndjson").arg(archive)));
        r = queryEntries(kBase + 1, kBase + 3, archive);
        QCOMPARE(r.entries.size(), 3);
        // Equal dates in several parts: in the order of the parts' first events, not of their names.
        const QString ties = path("Ties.logarchive");
        QStringList expected;
        for (int i = 0; i < 6; ++i) {
            writeFile(ties + QStringLiteral("/%1.ndjson").arg(9 - i),
                      {line(logEvent(i * 1000, QStringLiteral("first %1").arg(i))),
                       line(logEvent(10000000, QStringLiteral("tie %1").arg(i)))});
            expected << QStringLiteral("first %1").arg(i);
        }
        for (int i = 0; i < 6; ++i)
            expected << QStringLiteral("tie %1").arg(i);
        messages.clear();
        for (const LogEntry& e : readAll(ties).entries)
            messages << e.message;
        QCOMPARE(messages, expected);

        // Journal files make a folder a journal archive; other files make it no ndjson source.
        const QString journal = path("Journal.logarchive");
        writeFile(journal + "/system.journal", {"LPKSHHRH"});
        writeFile(journal + "/export.ndjson", {line(logEvent(0, "a"))});
        QVERIFY(!isNdjsonSource(journal));
        const QString plain = path("Plain.logarchive");
        writeFile(plain + "/notes.json", {"{}"});
        QVERIFY(!isNdjsonSource(plain));
        QVERIFY(isNdjsonSource(path("x.NDJSON")));
        QVERIFY(isNdjsonSource(path("x.jsonl")));
        QVERIFY(!isNdjsonSource(path("x.json")));

        // A file that is gone between choosing and reading.
        r = readAll(path("gone.ndjson"));
        QVERIFY(!r.ok());
        QVERIFY(std::holds_alternative<ArchiveError>(*r.error));
        QCOMPARE(std::get<ArchiveError>(*r.error).name(), QStringLiteral("gone.ndjson"));
        // An empty export reads as an empty archive.
        r = readAll(writeFile(path("empty.ndjson"), {}));
        QVERIFY(r.ok() && r.entries.isEmpty());
    }

    void onlyRegularFilesAreRead()
    {
        // A FIFO without a writer, a device, or such a part in a folder fail at once
        // instead of blocking or never ending.
        const QString folder = path("Pipe.logarchive");
        writeFile(folder + "/good.ndjson", {line(logEvent(0, "a"))});
        QVERIFY(mkfifo(QFile::encodeName(folder + "/pipe.ndjson").constData(), 0644) == 0);
        QVERIFY(mkfifo(QFile::encodeName(path("fifo.ndjson")).constData(), 0644) == 0);
        QVERIFY(QFile::link("/dev/zero", path("zero.ndjson")));
        const QList<QPair<QString, QString>> special{
            {path("fifo.ndjson"), "\"fifo.ndjson\": not a regular file"},
            {path("zero.ndjson"), "\"zero.ndjson\": not a regular file"},
            {folder, "\"Pipe.logarchive\": Cannot open \"pipe.ndjson\": not a regular file"},
        };
        for (const auto& [archive, text] : special) {
            const QueryResult r = readAll(archive);
            QVERIFY(!r.ok());
            QCOMPARE(describe(*r.error), "Failed to open archive " + text);
        }
    }
};

QTEST_GUILESS_MAIN(TestNdjsonStore)
#include "test_ndjson_store.moc"
