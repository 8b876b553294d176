#include "tests/support/Entries.h"
#include "browser/EntryExport.h"
#include "browser/EntryText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using EntryExport::Format;

namespace {

LogEntry entry(double date, const QString& process, const QString& message, int pid)
{
    return makeEntry(date, 4, process, message, QStringLiteral("com.example, \"quoted\""), {}, {}, pid);
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TestEntryExport : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    const QList<OptionalColumn> m_columns{OptionalColumn::pid, OptionalColumn::subsystem};
    LogEntryList m_entries{
        entry(1767605400.5, QStringLiteral("backupd"), QStringLiteral("plain, with \"quotes\""), 77),
        entry(1767605401.25, QStringLiteral("@evil"),
              QString::fromUtf8("=HYPERLINK(\"x\")\r\nline two\ttab caf\xc3\xa9"), 5),
        entry(1767605402, QStringLiteral("kernel"), QStringLiteral("-1 retries; +2"), 0),
    };

    QString write(Format f)
    {
        const QString path = m_dir.filePath(EntryExport::fileType(f).suffix + ".out");
        const auto failure = EntryExport::writeAtomically(path, EntryExport::document(f, m_entries, m_columns));
        return failure ? QString() : path;
    }

private slots:
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

QTEST_GUILESS_MAIN(TestEntryExport)
#include "test_entry_export.moc"
