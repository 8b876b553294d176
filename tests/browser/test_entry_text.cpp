#include "ai/AISettings.h"
#include "base/AtomicFile.h"
#include "browser/DetailWindowState.h"
#include "browser/EntryExport.h"
#include "browser/EntryText.h"
#include "tests/support/Entries.h"
#include "tests/support/TestEnv.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <thread>

using EntryExport::Format;

namespace {

LogEntry exported(double date, const QString& process, const QString& message, int pid)
{
    LogEntry e = makeEntry(date, 4, process, message, QStringLiteral("com.example, \"quoted\""), {}, {}, pid);
    if (pid == 77)
        e.senderImagePath = QStringLiteral("/usr/libexec/backupd");
    return e;
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
    const QList<ColumnId> m_columns{ColumnId::pid, ColumnId::image, ColumnId::subsystem};
    LogEntryList m_entries{
        exported(1767605400.5, QStringLiteral("backupd"), QStringLiteral("plain, with \"quotes\""), 77),
        exported(1767605401.25, QStringLiteral("@evil"),
                 QString::fromUtf8("=HYPERLINK(\"x\")\r\nline two\ttab caf\xc3\xa9"), 5),
        exported(1767605402, QStringLiteral("kernel"), QStringLiteral("-1 retries; +2"), 0),
    };

    QString write(Format f)
    {
        const QString path = m_dir.filePath(EntryExport::fileType(f).suffix + ".out");
        const auto failure = AtomicFile::write(path, EntryExport::document(f, m_entries, m_columns),
                                               AtomicFile::LinkPolicy::refuseLinks);
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
        // All but the unreserved characters are encoded, so that no name ends the value or adds a parameter;
        // the engine address is trimmed.
        const LogEntry e = entry("Safari Web", "", QString::fromUtf8("WebKit&Co/x?y#z=1+2%41\u00e9\n"));
        QCOMPARE(EntryText::searchWebURL(e, QStringLiteral(" \thttps://www.google.com/search?q= \t")).toString(QUrl::FullyEncoded),
                 QStringLiteral("https://www.google.com/search?q=macos%20Safari%20Web%20WebKit%26Co%2Fx%3Fy%23z%3D1%2B2%2541%C3%A9%0A"));
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
        QCOMPARE(rows[0].toVariant().toStringList(), QStringList({"Time", "Severity", "Process", "PID", "Image", "Subsystem", "Message"}));
        QCOMPARE(rows[1].toVariant().toStringList(),
                 QStringList({"2026-01-05T09:30:00.500Z", "Error", "backupd", "77", "/usr/libexec/backupd",
                              "com.example, \"quoted\"",
                              "plain, with \"quotes\""}));
        // Formula starts are defused; line breaks and tabs survive inside the cell.
        QCOMPARE(rows[2].toVariant().toStringList(),
                 QStringList({"2026-01-05T09:30:01.250Z", "Error", "'@evil", "5", "", "com.example, \"quoted\"",
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
        QCOMPARE(QJsonDocument::fromJson(lines[0]).object()["senderImagePath"].toString(), m_entries[0].senderImagePath);

        const QStringList rows = QString::fromUtf8(readAll(write(Format::text))).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), m_entries.size());
        QCOMPARE(rows[1], EntryText::timeString(m_entries[1].date) +
                              QString::fromUtf8("\tError\t@evil\t5\t\tcom.example, \"quoted\"\t"
                                                "=HYPERLINK(\"x\")\\r\\nline two\\ttab caf\xc3\xa9"));
    }

    // Every format writes every date that has a text, truncated toward the past to what it shows.
    void datesAtTheEdges_data()
    {
        QTest::addColumn<double>("date");
        QTest::addColumn<QString>("row");  // in UTC
        QTest::addColumn<QString>("iso");
        QTest::newRow("year 1") << -62135596800.0 << "0001-01-01 00:00:00"
                                << "0001-01-01T00:00:00.000Z";
        QTest::newRow("a microsecond before 1970") << -0.000001 << "1969-12-31 23:59:59"
                                                   << "1969-12-31T23:59:59.999Z";
        QTest::newRow("1970") << 0.0 << "1970-01-01 00:00:00"
                              << "1970-01-01T00:00:00.000Z";
        QTest::newRow("year 9999") << 253402300799.5 << "9999-12-31 23:59:59"
                                   << "9999-12-31T23:59:59.500Z";
        // A double holds 9999-12-31 23:59:59.999999 as the next year's first instant.
        QTest::newRow("9999-12-31 23:59:59.999999") << 253402300799.999999 << "10000-01-01 00:00:00"
                                                    << "10000-01-01T00:00:00.000Z";
        QTest::newRow("not a number") << std::nan("") << ""
                                      << "";
    }

    void datesAtTheEdges()
    {
        QFETCH(double, date);
        QFETCH(QString, row);
        QFETCH(QString, iso);
        const LogEntryList entries{makeEntry(date, 4, QStringLiteral("p"), QStringLiteral("m"))};
        const QByteArray oldZone = qgetenv("TZ");
        qputenv("TZ", "UTC");
        QByteArray text, csv, json;
        std::thread([&] {  // a fresh thread takes the zone anew
            text = EntryExport::document(Format::text, entries, {});
            csv = EntryExport::document(Format::csv, entries, {});
            json = EntryExport::document(Format::jsonLines, entries, {});
        })
            .join();
        oldZone.isNull() ? qunsetenv("TZ") : qputenv("TZ", oldZone);
        QCOMPARE(QString::fromUtf8(text), row + "\tError\tp\tm\n");
        QCOMPARE(QString::fromUtf8(csv.mid(csv.indexOf('\n') + 1)), iso + ",Error,p,m\r\n");
        QCOMPARE(QJsonDocument::fromJson(json).object()["date"].toString(), iso);
    }

    void csvFormulaGuard_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QByteArray>("record");
        for (const auto& [name, start] : {std::pair{"=", "="}, {"+", "+"}, {"-", "-"}, {"@", "@"}, {"tab", "\t"}, {"CR", "\r"}})
            QTest::newRow(name) << QString::fromLatin1(start) + "SUM(A1)"
                                << "'" + QByteArray(start) + "SUM(A1)";
        QTest::newRow("line feed inside") << "a\nb" << QByteArray("\"a\nb\"");
        QTest::newRow("plain") << "a=b" << QByteArray("a=b");
        QTest::newRow("empty") << "" << QByteArray();
    }

    void csvFormulaGuard()
    {
        QFETCH(QString, cell);
        QFETCH(QByteArray, record);
        // A carriage return also quotes the cell.
        const bool quoted = cell.startsWith('\r');
        QCOMPARE(EntryExport::csvRecord({cell}), (quoted ? '"' + record + '"' : record) + "\r\n");
    }

    // The CLI's rows escape what a terminal acts on or what reorders the line; other text stays.
    void escapedControls_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("escaped");
        QTest::newRow("right-to-left override") << "web\u202Eexe.01"
                                                << "web\\u202eexe.01";
        QTest::newRow("isolates and marks") << "\u2066a\u2069\u200F\u061C"
                                            << "\\u2066a\\u2069\\u200f\\u061c";
        QTest::newRow("C0 and C1") << "a\x1b[31m\u009b\u0080\x7f"
                                   << "a\\x1b[31m\\u009b\\u0080\\x7f";
        QTest::newRow("Hebrew and Arabic letters") << "\u05D0\u0627"
                                                   << "\u05D0\u0627";
    }

    void escapedControls()
    {
        QFETCH(QString, text);
        QTEST(EntryExport::escapedControls(text), "escaped");
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
};

QTEST_GUILESS_MAIN(TestEntryText)
#include "test_entry_text.moc"
