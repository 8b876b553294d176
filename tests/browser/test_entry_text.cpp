#include "tests/support/Entries.h"
#include "ai/AISettings.h"
#include "browser/DetailWindowState.h"
#include "browser/EntryExport.h"
#include "browser/EntryText.h"
#include "tests/support/TestEnv.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <thread>

using EntryExport::Format;

namespace {

LogEntry exported(double date, const QString& process, const QString& message, int pid)
{
    return makeEntry(date, 4, process, message, QStringLiteral("com.example, \"quoted\""), {}, {}, pid);
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

// The texts made of entries: for the clipboard, the web search, the dates, and the export files.
class TestEntryText : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    const QList<OptionalColumn> m_columns{OptionalColumn::pid, OptionalColumn::subsystem};
    LogEntryList m_entries{
        exported(1767605400.5, QStringLiteral("backupd"), QStringLiteral("plain, with \"quotes\""), 77),
        exported(1767605401.25, QStringLiteral("@evil"),
                 QString::fromUtf8("=HYPERLINK(\"x\")\r\nline two\ttab caf\xc3\xa9"), 5),
        exported(1767605402, QStringLiteral("kernel"), QStringLiteral("-1 retries; +2"), 0),
    };

    QString write(Format f)
    {
        const QString path = m_dir.filePath(EntryExport::fileType(f).suffix + ".out");
        const auto failure = EntryExport::writeAtomically(path, EntryExport::document(f, m_entries, m_columns));
        return failure ? QString() : path;
    }

    static LogEntry entry(const QString& process, const QString& subsystem, const QString& sender)
    {
        return makeEntry(0, 0, process, QStringLiteral("hello"), subsystem, sender);
    }

private slots:
    void initTestCase() { TestEnv::useTemporaryHome(); }

    void searchWeb()
    {
        // The subsystem loses every "com.apple." and goes when it equals the process; without one, the
        // sender when it differs from the process.
        const LogEntry cases[] = {entry("launchd", "com.apple.xpc.launchd", "libxpc"), entry("launchd", "com.apple.launchd", "x"),
                                  entry("p", "com.apple.a.com.apple.b", ""), entry("bluetoothd", "", "bluetoothd"),
                                  entry("bluetoothd", "", "CoreBluetooth")};
        QStringList terms;
        for (const LogEntry& e : cases)
            terms << EntryText::searchTerms(e).join(' ');
        QCOMPARE(terms, QStringList({"macos launchd xpc.launchd", "macos launchd", "macos p a.b", "macos bluetoothd",
                                     "macos bluetoothd CoreBluetooth"}));
        // Space and "#" are encoded; query characters such as & / ? stay; the engine address is trimmed.
        const LogEntry e = entry("Safari Web", "", "WebKit&Co/x?y#z");
        QCOMPARE(EntryText::encodedQuery(e), QStringLiteral("macos%20Safari%20Web%20WebKit&Co/x?y%23z"));
        QCOMPARE(EntryText::searchWebURL(e, QStringLiteral(" \thttps://www.google.com/search?q= \t")).toString(QUrl::FullyEncoded),
                 QStringLiteral("https://www.google.com/search?q=macos%20Safari%20Web%20WebKit&Co/x?y%23z"));
        // Not an address at all: nothing to open.
        QVERIFY(!EntryText::searchWebURL(e, QStringLiteral("not a url ")).isValid());
    }

    void rowTextAndDates()
    {
        const double date = QDateTime(QDate(2026, 1, 5), QTime(9, 30, 7, 250)).toMSecsSinceEpoch() / 1000.0;
        const LogEntry e = makeEntry(date, 4, QStringLiteral("kernel"), QStringLiteral("disk full\nsecond line"));
        QCOMPARE(EntryText::rowText(e), QStringLiteral("2026-01-05 09:30:07\tError\tkernel\tdisk full\nsecond line"));
    }

    // Local times in a zone set through TZ: across both DST changes, odd
    // fractions (truncated, as the double holds them), and dates the fast
    // path leaves to QDateTime. Each row runs on a fresh thread, which takes
    // the zone anew.
    void localTimes_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QString>("utc");
        QTest::addColumn<double>("fraction");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const char* zone, const char* utc, double fraction, const char* expected) {
            QTest::newRow(name) << QByteArray(zone) << QString::fromLatin1(utc) << fraction << QString::fromLatin1(expected);
        };
        row("before spring gap", "Europe/Berlin", "2026-03-29T00:59:59", 0.9999, "2026-03-29 01:59:59.999");
        row("after spring gap", "Europe/Berlin", "2026-03-29T01:00:00", 0, "2026-03-29 03:00:00.000");
        row("before the epoch", "Europe/Berlin", "1970-01-01T00:00:00", -0.0005, "1970-01-01 00:59:59.999");
        row("year 9999", "Europe/Berlin", "9999-06-01T00:00:00", 0, "9999-06-01 02:00:00.000");
        row("45 minutes ahead", "Asia/Kathmandu", "2026-01-05T12:00:00", 0, "2026-01-05 17:45:00.000");
    }

    void localTimes()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QString, utc);
        QFETCH(double, fraction);
        QFETCH(QString, expected);
        const QByteArray oldZone = qgetenv("TZ");
        qputenv("TZ", zone);
        const double date = QDateTime::fromString(utc + u'Z', Qt::ISODate).toSecsSinceEpoch() + fraction;
        QString detail, row, swept;
        std::thread([&] {
            detail = EntryText::detailTimeString(date);
            row = EntryText::timeString(date);
            // Every ~7 h for two years back, then forward, as QDateTime writes them.
            for (const int dir : {-1, 1}) {
                for (int k = 1; k < 2500 && swept.isEmpty(); ++k) {
                    const double d = date + dir * k * 26017.123;
                    const QDateTime local = QDateTime::fromMSecsSinceEpoch(qint64(std::floor(d * 1000)));
                    if (EntryText::detailTimeString(d) != local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")))
                        swept = local.toString(Qt::ISODateWithMs);
                }
            }
        }).join();
        oldZone.isNull() ? qunsetenv("TZ") : qputenv("TZ", oldZone);
        QCOMPARE(detail, expected);
        QCOMPARE(row, expected.left(19));
        QCOMPARE(swept, QString());
    }

    void detailWindowState()
    {
        DetailWindowState s;
        auto* owner = new QObject;
        auto* settings = new AISettings(owner);
        s.setServices(nullptr, settings);
        QCOMPARE(s.aiSettings(), settings);
        delete owner;
        QCOMPARE(s.aiSettings(), nullptr);  // services of a window that has gone read as absent
    }

    void csvReadBackBySpreadsheetReader()
    {
        const QString path = write(Format::csv);
        QVERIFY(!path.isEmpty());
        QProcess py;
        py.start("python3", {"-c",
                             "import csv, json, sys\n"
                             "print(json.dumps(list(csv.reader(open(sys.argv[1], newline='', encoding='utf-8')))))",
                             path});
        QVERIFY(py.waitForFinished(20000));
        QCOMPARE(py.exitCode(), 0);
        const QJsonArray rows = QJsonDocument::fromJson(py.readAllStandardOutput()).array();
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[0].toVariant().toStringList(), QStringList({"Time", "Severity", "Process", "PID", "Subsystem", "Message"}));
        QCOMPARE(rows[1].toVariant().toStringList(),
                 QStringList({"2026-01-05T09:30:00.500Z", "Error", "backupd", "77", "com.example, \"quoted\"",
                              "plain, with \"quotes\""}));
        // Formula starts are defused; line breaks and tabs survive inside the cell.
        QCOMPARE(rows[2].toVariant().toStringList(),
                 QStringList({"2026-01-05T09:30:01.250Z", "Error", "'@evil", "5", "com.example, \"quoted\"",
                              QString::fromUtf8("'=HYPERLINK(\"x\")\r\nline two\ttab caf\xc3\xa9")}));
        QCOMPARE(rows[3].toArray().last().toString(), QStringLiteral("'-1 retries; +2"));
    }

    void jsonLinesAndTextRows()
    {
        const QList<QByteArray> lines = readAll(write(Format::jsonLines)).split('\n');
        QCOMPARE(lines.size(), m_entries.size() + 1);  // each record ends with a line feed
        for (qsizetype i = 0; i < m_entries.size(); ++i) {
            const QJsonObject o = QJsonDocument::fromJson(lines[i]).object();
            QCOMPARE(o["id"].toString(), m_entries[i].id.toString(QUuid::WithoutBraces));
            QCOMPARE(o["message"].toString(), m_entries[i].message);
            QCOMPARE(o["processIdentifier"].toInt(), m_entries[i].processIdentifier);
        }
        QCOMPARE(QJsonDocument::fromJson(lines[1]).object()["date"].toString(), QStringLiteral("2026-01-05T09:30:01.250Z"));

        const QStringList rows = QString::fromUtf8(readAll(write(Format::text))).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), m_entries.size());
        QCOMPARE(rows[1], EntryText::timeString(m_entries[1].date) +
                              QString::fromUtf8("\tError\t@evil\t5\tcom.example, \"quoted\"\t"
                                                "=HYPERLINK(\"x\")\\r\\nline two\\ttab caf\xc3\xa9"));
    }

    void target_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("chosen");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("format");
        const int text = int(Format::text), csv = int(Format::csv), json = int(Format::jsonLines);
        QTest::newRow("typed csv wins") << "a.CSV" << text << "a.CSV" << csv;
        QTest::newRow("typed ndjson") << "a.ndjson" << csv << "a.ndjson" << json;
        QTest::newRow("typed txt") << "d.csv/a.txt" << json << "d.csv/a.txt" << text;
        QTest::newRow("no extension") << "d.csv/a" << json << "d.csv/a.jsonl" << json;
        QTest::newRow("unknown extension") << "a.bak" << csv << "a.bak" << csv;
    }
    void target()
    {
        QFETCH(QString, typed);
        QFETCH(int, chosen);
        const EntryExport::Target t = EntryExport::target(typed, Format(chosen));
        QTEST(t.path, "path");
        QTEST(int(t.format), "format");
    }

    void failedWriteLeavesOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("old.csv");
        QVERIFY(!EntryExport::writeAtomically(path, "old contents\n"));
        // A file size limit fails the write even for root, like a full disk.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = 4096;
        setrlimit(RLIMIT_FSIZE, &small);
        const auto failure = EntryExport::writeAtomically(path, QByteArray(64 * 1024, 'x'));
        setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY(failure && !failure->isEmpty());
        QCOMPARE(readAll(path), QByteArray("old contents\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({"old.csv"}));  // no temporary left
        QCOMPARE(EntryExport::writeAtomically(dir.path(), "x"), std::optional<QString>("it is a folder"));
    }
};

QTEST_GUILESS_MAIN(TestEntryText)
#include "test_entry_text.moc"
