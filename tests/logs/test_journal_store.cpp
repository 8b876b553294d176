#include "logs/JournalLogStore.h"
#include "logs/LogQuery.h"
#include "tests/support/JournalFixture.h"
#include "tests/support/LogCapture.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using JournalFixture::Record;

class TestJournalStore : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void fieldMapping()
    {
        Record full;
        full.realtimeUsec = 1767605400123456;  // 2026-01-05 09:30:00.123456 UTC
        full.set("MESSAGE", "disk almost full")
            .set("PRIORITY", "3")
            .set("SYSLOG_IDENTIFIER", "diskmond")
            .set("_COMM", "diskmond-bin")
            .set("_PID", "4242")
            .set("TID", "18446744073709551615")
            .set("SUBSYSTEM", "com.apple.iokit.storage")
            .set("CATEGORY", "space")
            .set("SENDER", "libstorage.dylib")
            .set("ACTIVITY", "77")
            .set("_HOSTNAME", "web-01");
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
        QCOMPARE(r.entries.size(), 3);
        QVERIFY(log.anyStartsWith(QStringLiteral("Query complete: %1 entries from %2 scanned in ")
                                      .arg(r.entries.size()).arg(records.size())));

        const LogEntry& e = r.entries[0];
        QCOMPARE(e.date, 1767605400.123456);
        QCOMPARE(e.level, 4);
        QCOMPARE(e.process, QStringLiteral("diskmond"));
        QCOMPARE(e.message, QStringLiteral("disk almost full"));
        QCOMPARE(e.processIdentifier, 4242);
        QCOMPARE(e.threadIdentifier, ~quint64(0));  // 20 digits still fit
        QCOMPARE(e.subsystem, QStringLiteral("com.apple.iokit.storage"));
        QCOMPARE(e.category, QStringLiteral("space"));
        QCOMPARE(e.sender, QStringLiteral("libstorage.dylib"));
        QCOMPARE(e.activityIdentifier, quint64(77));
        QCOMPARE(e.host, QStringLiteral("web-01"));

        const LogEntry& c = r.entries[1];
        QCOMPARE(c.process, QStringLiteral("bash"));
        QCOMPARE(c.level, 0);  // unreadable PRIORITY
        QCOMPARE(c.processIdentifier, 0);
        QVERIFY(c.subsystem.isEmpty() && c.sender.isEmpty() && c.category.isEmpty() && c.host.isEmpty());

        QCOMPARE(r.entries.last().level, 0);
        QCOMPARE(r.entries.last().process, QString());
    }

    void dateRangeBothEndsIncluded()
    {
        QList<Record> records;
        for (int i = 0; i < 20; ++i)
            records.append(JournalFixture::message(1767600000 + i, "tick", QByteArray::number(i)));
        const QString archive = JournalFixture::makeArchive(m_dir.path(), "Range.logarchive", records);
        QueryResult r = queryEntries(1767600005, 1767600009, archive);
        QVERIFY(r.ok());
        QCOMPARE(r.entries.size(), 5);
        QCOMPARE(r.entries.first().message, QStringLiteral("5"));
        QCOMPARE(r.entries.last().message, QStringLiteral("9"));
        r = queryEntries(kDistantPast, 0, archive);  // whole archive, no predicate
        QCOMPARE(r.entries.size(), 20);
        r = queryEntries(1767700000, 1767800000, archive);
        QVERIFY(r.ok());
        QVERIFY(r.entries.isEmpty());
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
        QVERIFY(QDir().mkpath(notJournal));
        QFile f(notJournal + "/readme.txt");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("hello");
        f.close();
        QueryResult r = queryEntries(kDistantPast, 0, notJournal);
        QVERIFY(!r.ok());
        QCOMPARE(describe(*r.error),
                 QStringLiteral("Failed to open archive \"Notes.logarchive\": The folder holds no journal files."));

        // A truncated journal file and one of random bytes.
        const QString good = JournalFixture::makeArchive(m_dir.path(), "Good.logarchive",
                                                         {JournalFixture::message(1767600000, "a", "b")});
        QFile src(good + "/system.journal");
        QVERIFY(src.open(QIODevice::ReadOnly));
        const QByteArray bytes = src.readAll();
        for (const QByteArray& damaged : {bytes.left(3000), bytes.left(bytes.size() / 2), QByteArray(4096, 'x')}) {
            const QString path = m_dir.path() + "/Damaged.logarchive";
            QDir(path).removeRecursively();
            QDir().mkpath(path);
            QFile out(path + "/system.journal");
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(damaged);
            out.close();
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
        QFile pf(file);
        QVERIFY(pf.open(QIODevice::WriteOnly));
        pf.write("x");
        pf.close();
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
