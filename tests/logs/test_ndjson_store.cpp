#include "logs/LogQuery.h"
#include "logs/ndjson/NdjsonEvent.h"
#include "logs/ndjson/NdjsonLogStore.h"
#include "logs/ndjson/NdjsonOrder.h"
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
#include <QTest>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

constexpr double kBase = 1767605400.0;  // 2026-01-05 09:30:00 UTC

// One event as `log show --style ndjson` writes it, at kBase + `offsetMicros`, in the +0100 zone.
QJsonObject ndEvent(const QString& type, qint64 offsetMicros)
{
    const qint64 us = (qint64(kBase) + 3600) * 1000000 + offsetMicros;
    const QString stamp = QDateTime::fromMSecsSinceEpoch(us / 1000, Qt::UTC).toString("yyyy-MM-dd HH:mm:ss.") +
                          QStringLiteral("%1+0100").arg(us % 1000000, 6, 10, QLatin1Char('0'));
    return {{"eventType", type}, {"timestamp", stamp}, {"machTimestamp", 1234567890}, {"traceID", 4382923}, {"bootUUID", "D4E5F6A7-1111-2222-3333-444455556666"}, {"timezoneName", ""}};
}

QJsonObject logEvent(qint64 offsetMicros, const QString& message, const QString& messageType = "Default")
{
    QJsonObject o = ndEvent("logEvent", offsetMicros);
    const QJsonObject more{{"eventMessage", message}, {"messageType", messageType}, {"processImagePath", "/usr/libexec/logd"}, {"processID", 321}, {"threadID", 1000}, {"activityIdentifier", 0}, {"subsystem", ""}, {"category", ""}, {"senderImagePath", "/usr/libexec/logd"}, {"formatString", "%{public}s"}, {"backtrace", QJsonObject{{"frames", QJsonArray{QJsonObject{{"imageOffset", 1234}}}}}}};
    for (auto it = more.begin(); it != more.end(); ++it)
        o.insert(it.key(), it.value());
    return o;
}

// Whole microseconds of a date, to compare dates exactly.
qint64 micros(double seconds) { return std::llround(seconds * 1e6); }

QByteArray line(const QJsonObject& o) { return QJsonDocument(o).toJson(QJsonDocument::Compact); }

QString writeFile(const QString& path, const QList<QByteArray>& lines)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    for (const QByteArray& l : lines)
        f.write(l + '\n');
    return path;
}

QueryResult readAll(const QString& path, const QueryContext& context = {})
{
    return queryEntries(kDistantPast, kBase + 1e6, path, context);
}

QStringList messages(const QueryResult& r)
{
    QStringList out;
    for (const LogEntry& e : r.entries)
        out << e.message;
    return out;
}

bool emptyLog(const QueryResult& r) { return r.ok() && r.entries.isEmpty(); }

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
        QVERIFY(s == 1767601800.123456);  // the nearest double
        // Across a day and a leap day boundary through the offset in the last.
        const QList<QPair<const char*, qint64>> good{{"2026-01-05 09:30:00.000001-0530", 1767625200000001},
                                                     {"2026-01-05T09:30:00+01:00", 1767601800000000},
                                                     {"2026-01-05 09:30:00Z", 1767605400000000},
                                                     {"2024-03-01 00:30:00.5+0100", 1709249400500000}};
        for (const auto& [text, us] : good) {
            QVERIFY2(Ndjson::parseTimestamp(text, s), text);
            QVERIFY2(micros(s) == us, text);
        }
        for (const char* bad : {"2026-01-05 09:30:00.123456", "2026-02-29 09:30:00+0000", "2026-13-01 00:00:00Z",
                                "2026-01-05 24:00:00Z", "2026-01-05 09:30:00.+0100", "2026-01-05 09:30:00+2400",
                                "2026-01-05 09:30:00+0100 ", "2026-01-05 09:30:00+0160", "26-01-05 09:30:00Z", "",
                                "2026-04-31 00:00:00Z", "2026-06-31 00:00:00Z", "2026-09-31 00:00:00Z", "2026-11-31 00:00:00Z"})
            QVERIFY2(!Ndjson::parseTimestamp(bad, s), bad);
    }

    void fieldMapping()
    {
        QJsonObject full = logEvent(123456, QString::fromUtf8("caf\u00e9 \"quoted\"\nsecond line \U0001F600"), "Error");
        full["processImagePath"] = "/System/Library/CoreServices/launchservicesd";
        full["senderImagePath"] = "/System/Library/Frameworks/CoreServices.framework/Versions/A/LaunchServices";
        full["subsystem"] = "com.apple.launchservices";
        full["processID"] = 4242;
        full["threadID"] = qint64(1) << 52;
        full["activityIdentifier"] = 777;
        full["category"] = "db";
        const QStringList types{"Default", "Info", "Debug", "Error", "Fault", "Notice", "default"};
        QList<QByteArray> lines{line(full)};
        for (int i = 0; i < types.size(); ++i)
            lines << line(logEvent(1000000 + i, "t", types[i]));
        QJsonObject bare = ndEvent("logEvent", 2000000);  // only what an event needs
        bare["eventMessage"] = "";
        lines << line(bare);
        // null stands for an absent optional member; large identifiers keep every bit, a PID down to the smallest.
        lines << R"({"eventType":"logEvent","timestamp":"2026-01-05 10:30:03+0100","eventMessage":"n","subsystem":null,)"
                 R"("processID":null,"messageType":null,"processImagePath":null,"unread":[null,true,false]})"
              << R"({"eventType":"logEvent","timestamp":"2026-01-05 09:30:04+0000","eventMessage":"m","threadID":)"
                 R"(18446744073709551615,"activityIdentifier":9007199254740993,"processID":-2147483648})"
              // A byte that is no UTF-8 spoils a character, not the event; escapes around it still count.
              << "{\"eventType\":\"logEvent\",\"timestamp\":\"2026-01-05 10:30:05+0100\",\"eventMessage\":\"bad \xff\\n\xc0\","
                 "\"subsystem\":\"s\xed\xa0\x80\"}";
        // Other events are scanned but their text is no log message, even with no text at all;
        // the line `log show` ends with is no event and no fault.
        for (const char* kind : {"activityCreateEvent", "signpostEvent", "timesyncEvent", "someFutureEvent"}) {
            QJsonObject o = ndEvent(kind, 5000000);
            o["eventMessage"] = kind;
            lines << line(o);
        }
        lines << line(ndEvent("signpostEvent", 5000000)) << R"({"count":12,"finished":1})";
        LogCapture log;
        const QueryResult r = readAll(writeFile(path("fields.ndjson"), lines));
        QVERIFY2(r.ok(), r.ok() ? "" : qPrintable(describe(*r.error)));
        QVERIFY(log.anyStartsWith(QStringLiteral("Query complete: 12 entries from %1 scanned in ").arg(lines.size() - 1)));
        QVERIFY(!log.anyStartsWith(QStringLiteral("Skipped ")));
        QStringList got;
        for (const LogEntry& e : r.entries)
            got << QStringList{QString::number(micros(e.date)), QString::number(e.level), e.process, e.message,
                               e.subsystem, e.category, e.sender, e.senderImagePath,
                               QString::number(e.processIdentifier),
                               QString::number(e.threadIdentifier), QString::number(e.activityIdentifier)}
                       .join('|');
        const QString t = "|logd|t|||logd|/usr/libexec/logd|321|1000|0";
        QCOMPARE(got, (QStringList{QString::fromUtf8("1767605400123456|4|launchservicesd|caf\u00e9 \"quoted\"\nsecond line "
                                                     "\U0001F600|com.apple.launchservices|db|LaunchServices|"
                                                     "/System/Library/Frameworks/CoreServices.framework/Versions/A/LaunchServices|4242|"
                                                     "4503599627370496|777"),
                                   "1767605401000000|3" + t, "1767605401000001|2" + t, "1767605401000002|1" + t,
                                   "1767605401000003|4" + t, "1767605401000004|5" + t, "1767605401000005|0" + t,
                                   "1767605401000006|0" + t, "1767605402000000|0|||||||0|0|0",
                                   "1767605403000000|0||n|||||0|0|0",
                                   "1767605404000000|0||m|||||-2147483648|18446744073709551615|9007199254740993",
                                   QString::fromUtf8("1767605405000000|0||bad \uFFFD\n\uFFFD|s\uFFFD\uFFFD\uFFFD||||0|0|0")}));
    }

    void badLinesSkippedAndCounted()
    {
        const QByteArray tenMB(10 * 1024 * 1024, 'x');
        QByteArray hugeEvent = line(logEvent(0, "placeholder"));
        hugeEvent.replace("placeholder", tenMB);  // valid JSON, but 10 MB
        const QByteArray h = R"({"eventType":"logEvent","timestamp":"2026-01-05 10:30:00+0100",)";
        const QList<QByteArray> bad{
            "this is not json", "[1,2,3]", "\"a string\"", "42", "null", h.chopped(1) /* cut short */,
            line(logEvent(0, "x")) + " trailing", h.chopped(1) + "}" /* no message */,
            R"({"timestamp":"2026-01-05 10:30:00+0100","eventMessage":"no type"})",
            R"({"eventType":"logEvent","eventMessage":"no time"})",
            R"({"eventType":"logEvent","timestamp":"2026-01-05 10:30:00","eventMessage":"no offset"})",
            R"({"eventType":"logEvent","timestamp":1767605400,"eventMessage":"number time"})",
            R"({"eventType":7,"timestamp":"2026-01-05 10:30:00+0100","eventMessage":"m"})",
            h + R"("eventMessage":5})", h + R"("eventMessage":"m","processID":"12"})", h + R"("eventMessage":"m","processID":1.5})",
            h + R"("eventMessage":"m","processID":4294967296})", h + R"("eventMessage":"m","threadID":-1})",
            h + R"("eventMessage":"m","subsystem":true})", h + R"("eventMessage":"m","category":["a"]})",
            h + "\"eventMessage\":\"tab\traw\"}", h + R"("eventMessage":"\x41"})", h + R"("eventMessage":"m",})",
            // A nested value that does not parse spoils the line, whatever follows it.
            R"({"x":{,)" + h.mid(1) + R"("eventMessage":"m"})", R"({"x":{"k",)" + h.mid(1) + R"("eventMessage":"m"})",
            R"({"x":[,)" + h.mid(1) + R"("eventMessage":"m"})",
            h + R"("eventMessage":"m","deep":)" + QByteArray(200, '[') + QByteArray(200, ']') + "}", tenMB};
        // Good lines around each bad one, ends alternating LF and CRLF; the good line after a 10 MB line survives whole.
        QList<QByteArray> lines;
        QStringList good;
        for (qsizetype i = 0; i <= bad.size(); ++i) {
            good << QStringLiteral("good %1").arg(i);
            lines << line(logEvent(i * 1000, good.last())) << bad.value(i, "");
        }
        lines << "   " << tenMB;  // blank lines are nothing; a 10 MB last line without a line break
        const QString file = path("bad.ndjson");
        QByteArray all;
        for (int i = 0; i < lines.size(); ++i)
            all += lines[i] + (i + 1 < lines.size() ? (i % 2 ? "\r\n" : "\n") : "");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(all), all.size());
        f.close();
        LogCapture log;
        const QueryResult r = readAll(file);
        QCOMPARE(messages(r), good);
        QVERIFY2(log.contains(QStringLiteral("Skipped %1 malformed lines in %2").arg(bad.size() + 1).arg(file)),
                 qPrintable(log.messages().join('\n')));
        QCOMPARE(r.skipped.lines, bad.size() + 1);
        QVERIFY(log.anyStartsWith(QStringLiteral("Query complete: %1 entries from %1 scanned in ").arg(good.size())));

        // Bad lines alone: no event at all, so not an empty log but an archive that cannot be read.
        const QueryResult ri = readAll(writeFile(path("one.jsonl"), {bad[0], "", bad[1], R"({"count":0,"finished":1})"}));
        QCOMPARE(ri.ok() ? QString() : describe(*ri.error),
                 "Failed to open archive \"one.jsonl\": No line of this file is a log event (2 lines could not be read).");
        // An empty file, or only the closing count line: an empty log.
        QVERIFY(emptyLog(readAll(writeFile(path("empty.ndjson"), {}))));
        QVERIFY(emptyLog(readAll(writeFile(path("count.ndjson"), {R"({"count":0,"finished":1})"}))));
        // A 10 MB event is kept; a line over 64 MiB is skipped, its size said, and the next one read,
        // also where it opens a part of a folder whose parts are merged.
        const QString longFile = path("Long.logarchive/long.ndjson");
        writeFile(path("Long.logarchive/other.ndjson"), {line(logEvent(2000000, "other part"))});
        {
            QFile lf(longFile);
            QVERIFY(lf.open(QIODevice::WriteOnly));
            const QByteArray mib(1 << 20, 'x');
            for (int round = 0; round < 2; ++round) {  // before the first event and between events
                for (std::size_t i = 0; i < (Ndjson::kMaxLineBytes >> 20); ++i)
                    lf.write(mib);
                lf.write("x\n" + (round ? line(logEvent(1, "after")) : QByteArray(hugeEvent + "\n")));
            }
        }
        LogCapture l;
        const QStringList got = messages(readAll(path("Long.logarchive")));
        QCOMPARE(got, (QStringList{QString::fromLatin1(tenMB), "after", "other part"}));
        QVERIFY2(l.contains(QStringLiteral("Skipped a line of %1 bytes in %2 (longer than 64 MiB)")
                                .arg(Ndjson::kMaxLineBytes + 1)
                                .arg(longFile)),
                 qPrintable(l.messages().join('\n')));
        // Events outside the range still make it a log.
        QVERIFY(emptyLog(queryEntries(kBase + 10, kBase + 20, writeFile(path("early.ndjson"), {line(logEvent(0, "m")), "junk"}))));
    }

    void dateRangesTimeoutCancellation()
    {
        // One event a second from kBase; non-log events between them.
        QList<QByteArray> lines;
        for (int i = 0; i < 20; ++i)
            lines << line(logEvent(qint64(i) * 1000000, QString::number(i))) << line(ndEvent("activityCreateEvent", qint64(i) * 1000000 + 1));
        const QString file = writeFile(path("range.ndjson"), lines);
        QCOMPARE(messages(queryEntries(kBase + 3, kBase + 5, file)), (QStringList{"3", "4", "5"}));  // both ends included
        QVERIFY(emptyLog(queryEntries(kBase + 3.5, kBase + 3.9, file)));
        QVERIFY(emptyLog(queryEntries(kBase + 100, kBase + 200, file)));

        // Malformed lines, then events before the range: both pause the read, so the time-out
        // and the cancellation are seen before any entry is kept.
        QList<QByteArray> slowLines(kCheckInterval, "junk");
        for (int i = 0; i < kCheckInterval; ++i)
            slowLines << line(logEvent(i * 1000, "early"));
        const QString slowFile = writeFile(path("slow.ndjson"), slowLines);
        QueryContext cancel;
        cancel.isCancelled = [] { return true; };
        QueryResult r = readAll(slowFile, cancel);
        QCOMPARE(r.stop, QueryStop::cancelled);
        QVERIFY(r.entries.isEmpty());
        int calls = 0;
        QueryContext slow;
        slow.now = [&calls] { return calls++ == 0 ? 0.0 : 31.0; };
        Ndjson::forgetOrders();  // else the range is found by bisection, past every line
        r = queryEntries(kBase + 1000, kBase + 2000, slowFile, slow);
        QCOMPARE(r.stop, QueryStop::timeOut);
        QVERIFY(emptyLog(r));
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
        p.setChildProcessModifier([] { const rlimit limit{32, 32}; ::setrlimit(RLIMIT_NOFILE, &limit); });
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
                    lines << "{not json"
                          << "";
            }
            writeFile(archive + QStringLiteral("/%1.ndjson").arg(f), lines);
        }
        Ndjson::forgetOrders();
        QVERIFY(readAll(archive).ok());
        if (modifyAfterLoad) {  // same size and modification time, the last line dated inside the middle range
            const QString first = archive + "/0.ndjson";
            const Ndjson::FileStamp before = Ndjson::stampOf(first);
            QVERIFY(Ndjson::knownOrderedPrefix(first, before) > 0);
            QThread::msleep(10);
            QFile file(first);
            QVERIFY(file.open(QIODevice::ReadWrite));
            file.seek(file.size() - line(logEvent(qint64(n - 1) * 1000000, "0-2399", "Error")).size() - 1);
            file.write(line(logEvent(qint64(1000) * 1000000, "0-2399", "Error")));
            file.close();
            const timespec times[2] = {{0, UTIME_OMIT}, {before.modifiedNs / 1000000000, before.modifiedNs % 1000000000}};
            QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(first).constData(), times, 0), 0);
            // Only the change time tells now; with that too forged, the content does.
            Ndjson::FileStamp forged = Ndjson::stampOf(first);
            QVERIFY(forged.changedNs != before.changedNs);
            forged.changedNs = before.changedNs;
            QCOMPARE(forged, before);
            QCOMPARE(Ndjson::knownOrderedPrefix(first, forged), 0);
        }
        auto dump = [](const QueryResult& r) {
            QStringList out = messages(r);
            for (qsizetype i = 0; i < out.size(); ++i)
                out[i] += ' ' + QString::number(micros(r.entries[i].date));
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
        LogCapture log;
        QCOMPARE(messages(readAll(archive)), (QStringList{"a", "b", "c", "d", "e"}));
        QVERIFY(log.contains(QStringLiteral("Skipped 1 malformed lines in %1/part1.ndjson").arg(archive)));
        QCOMPARE(messages(queryEntries(kBase + 1, kBase + 3, archive)), (QStringList{"b", "c", "d"}));
        const std::optional<DateRange> span = archiveSpan(archive);  // over both files, by one read
        QVERIFY(span);
        QVERIFY(span->start == kBase);
        QVERIFY(span->end == kBase + 4);
        QueryContext stopped;  // a search cancelled (another archive opened, or quitting) finds nothing
        stopped.isCancelled = [] { return true; };
        QVERIFY(!archiveSpan(archive, stopped));

        // Journal files make a folder a journal archive; other files make it no ndjson source.
        // A file is one by its first line, whatever its name.
        writeFile(path("Journal.logarchive/system.journal"), {"LPKSHHRH"});
        writeFile(path("Journal.logarchive/export.ndjson"), {line(logEvent(0, "a"))});
        writeFile(path("Plain.logarchive/notes.json"), {"{}"});
        writeFile(path("renamed by mail.txt"), {line(logEvent(0, "a"))});
        writeFile(path("x.jsonl"), {"{\"other\": 1}", line(logEvent(0, "a"))});
        QList<bool> sources;
        for (const char* name : {"FromMac.logarchive", "Journal.logarchive", "Plain.logarchive", "renamed by mail.txt",
                                 "x.jsonl", "x.NDJSON"})
            sources << isNdjsonSource(path(name));
        QCOMPARE(sources, (QList<bool>{true, false, false, true, false, false}));
        // A file that is gone between choosing and reading.
        const QueryResult r = readAll(path("gone.ndjson"));
        QVERIFY(!r.ok());
        QVERIFY(std::holds_alternative<ArchiveError>(*r.error));
        QCOMPARE(std::get<ArchiveError>(*r.error).name(), QStringLiteral("gone.ndjson"));
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
        const QList<QPair<QString, QString>> notFiles{
            {path("fifo.ndjson"), "\"fifo.ndjson\": not a regular file"},
            {path("zero.ndjson"), "\"zero.ndjson\": not a regular file"},
            {folder, "\"Pipe.logarchive\": Cannot open \"pipe.ndjson\": not a regular file"},
        };
        for (const auto& [archive, text] : notFiles) {
            const QueryResult r = readAll(archive);
            QCOMPARE(r.ok() ? QString() : describe(*r.error), "Failed to open archive " + text);
        }
    }
};

QTEST_GUILESS_MAIN(TestNdjsonStore)
#include "test_ndjson_store.moc"
