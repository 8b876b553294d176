#include "logs/JournalLogStore.h"
#include "logs/LogQuery.h"
#include "tests/support/JournalFixture.h"
#include "tests/support/LogCapture.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using JournalFixture::Record;

static bool writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

class TestJournalStore : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void fieldMapping()
    {
        Record full;
        full.realtimeUsec = 1767605400123456;  // 2026-01-05 09:30:00.123456 UTC
        full.set("MESSAGE", "disk almost full").set("PRIORITY", "3").set("SYSLOG_IDENTIFIER", "diskmond").set("_COMM", "diskmond-bin");
        full.set("_PID", "4242").set("TID", "18446744073709551615").set("SUBSYSTEM", "com.apple.iokit.storage").set("CATEGORY", "space");
        full.set("SENDER", "libstorage.dylib").set("ACTIVITY", "77").set("_HOSTNAME", "web-01");
        Record commOnly;
        commOnly.realtimeUsec = 1767605401000000;
        commOnly.set("MESSAGE", "from comm").set("_COMM", "bash").set("PRIORITY", "banana");
        Record noMessage;  // metadata, not a log message
        noMessage.realtimeUsec = 1767605402000000;
        noMessage.set("COREDUMP_PID", "1");
        const QList<Record> records{full, commOnly, noMessage, JournalFixture::message(1767605500, "", "no priority", -1)};

        const QString archive = JournalFixture::makeArchive(m_dir.path(), "Fields.logarchive", records);
        LogCapture log;
        const QueryResult r = queryEntries(kDistantPast, wallClockNow(), archive);
        QVERIFY2(r.ok(), r.ok() ? "" : qPrintable(describe(*r.error)));
        QVERIFY(log.anyStartsWith(QStringLiteral("Query complete: 3 entries from %1 scanned in ").arg(records.size())));
        QStringList got;
        for (const LogEntry& e : r.entries)
            got << QStringList{QString::number(qint64(e.date * 1e6)), QString::number(e.level), e.process, e.message,
                               QString::number(e.processIdentifier), QString::number(e.threadIdentifier), e.subsystem,
                               e.category, e.sender, QString::number(e.activityIdentifier), e.host}
                       .join('|');
        // 20 digits of TID still fit; an unreadable PRIORITY is undefined.
        QCOMPARE(got, (QStringList{"1767605400123456|4|diskmond|disk almost full|4242|18446744073709551615|com.apple.iokit.storage|"
                                   "space|libstorage.dylib|77|web-01",
                                   "1767605401000000|0|bash|from comm|0|0||||0|", "1767605500000000|0||no priority|0|0||||0|"}));
        QVERIFY(r.entries[0].date == 1767605400.123456);
    }

    void dateRangeBothEndsIncluded()
    {
        QList<Record> records;
        for (int i = 0; i < 20; ++i)
            records.append(JournalFixture::message(1767600000 + i, "tick", QByteArray::number(i)));
        const QString archive = JournalFixture::makeArchive(m_dir.path(), "Range.logarchive", records);
        QueryResult r = queryEntries(1767600005, 1767600009, archive);
        QVERIFY(r.ok() && r.entries.size() == 5);
        QCOMPARE(r.entries.first().message + r.entries.last().message, QStringLiteral("59"));
        QCOMPARE(queryEntries(kDistantPast, 0, archive).entries.size(), 20);  // whole archive, no predicate
        r = queryEntries(1767700000, 1767800000, archive);
        QVERIFY(r.ok() && r.entries.isEmpty());
    }

    void binaryMessageIsKeptWithReplacement()
    {
        QByteArray garbage("bad \xff\xfe utf8 \xc3(");
        garbage.append('\0');
        garbage.append("\x01\x02 after nul\nsecond line");
        Record rec = JournalFixture::message(1767600000, "bin", garbage);
        const QString archive = JournalFixture::makeArchive(m_dir.path(), "Binary.logarchive", {rec});
        const QueryResult r = queryEntries(kDistantPast, 0, archive);
        QVERIFY(r.ok());
        QCOMPARE(r.entries.size(), 1);
        const QString m = r.entries[0].message;
        QVERIFY(m.startsWith(QStringLiteral("bad ")));
        QVERIFY(m.contains(QChar::ReplacementCharacter));
        QVERIFY(m.endsWith(QStringLiteral("after nul\nsecond line")));
    }

    void badArchivesGiveClearErrors()
    {
        // A folder without journal files.
        const QString notJournal = m_dir.path() + "/Notes.logarchive";
        QVERIFY(QDir().mkpath(notJournal) && writeFile(notJournal + "/readme.txt", "hello"));
        QueryResult r = queryEntries(kDistantPast, 0, notJournal);
        QVERIFY(!r.ok());
        QCOMPARE(describe(*r.error),
                 QStringLiteral("Failed to open archive \"Notes.logarchive\": The folder holds no journal files."));

        // A truncated journal file and one of random bytes.
        const QString good = JournalFixture::makeArchive(m_dir.path(), "Good.logarchive",
                                                         {JournalFixture::message(1767600000, "a", "b")});
        QFile src(good + "/system.journal");
        const QByteArray bytes = src.open(QIODevice::ReadOnly) ? src.readAll() : QByteArray();
        for (const QByteArray& damaged : {bytes.left(3000), bytes.left(bytes.size() / 2), QByteArray(4096, 'x')}) {
            const QString path = m_dir.path() + "/Damaged.logarchive";
            QDir(path).removeRecursively();
            QVERIFY(QDir().mkpath(path) && writeFile(path + "/system.journal", damaged));
            r = queryEntries(kDistantPast, 0, path);
            QVERIFY(!r.ok());
            QVERIFY2(describe(*r.error).startsWith("Unable to read archive \"Damaged.logarchive\"."),
                     qPrintable(describe(*r.error)));
            QVERIFY(describe(*r.error).endsWith("Underlying error: The journal files are corrupt or incomplete."));
        }

        // A path that does not exist fails to open with the platform's reason.
        r = queryEntries(kDistantPast, 0, m_dir.path() + "/Gone.logarchive");
        QVERIFY(!r.ok());
        QCOMPARE(describe(*r.error), QStringLiteral("Failed to open archive \"Gone.logarchive\": No such file or directory"));

        // A plain file is not a folder of journal files.
        const QString file = m_dir.path() + "/File.logarchive";
        QVERIFY(writeFile(file, "x"));
        r = queryEntries(kDistantPast, 0, file);
        QVERIFY(!r.ok());
        QVERIFY(describe(*r.error).startsWith("Failed to open archive \"File.logarchive\": "));
    }

    void levelForPriority()
    {
        // The journal's syslog scale; what is no priority (a lone minus is not 0, a fault) is undefined.
        const QList<QPair<QByteArray, int>> priorities{{"0", 5}, {"1", 5}, {"2", 5}, {"3", 4},  {"4", 3},  {"5", 3},
                                                       {"6", 2}, {"7", 1}, {"07", 1}, {"8", 0}, {"-1", 0}, {"-", 0},
                                                       {"", 0},  {"3 ", 0}};
        for (const auto& [text, level] : priorities)
            QVERIFY2(JournalLogStore::levelForPriority(text) == level, text.constData());
    }
};

QTEST_GUILESS_MAIN(TestJournalStore)
#include "test_journal_store.moc"
