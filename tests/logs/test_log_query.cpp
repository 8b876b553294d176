#include "logs/LogQuery.h"
#include "logs/VisibleText.h"
#include "logs/journal/JournalLogStore.h"
#include "tests/support/Entries.h"
#include "tests/support/JournalFixture.h"
#include "tests/support/LogCapture.h"
#include "tests/support/MemoryLogStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using JournalFixture::Record;

static bool writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

class TestLogQuery : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    static LogEntry entry(const QString& process, const QString& subsystem, const QString& sender)
    {
        return makeEntry(0, 3, process, {}, subsystem, sender);
    }

private slots:
    void capKeepsOldestAndCountsRawEntries()
    {
        MemoryStoreProvider p;
        // 60,000 log messages with a non-log entry after every fifth one.
        for (int i = 0; i < 60000; ++i) {
            p.store->raw.push_back(MemoryLogStore::log(1000 + i, 3, "proc", QString::number(i)));
            if (i % 5 == 4)
                p.store->raw.push_back(MemoryLogStore::nonLog(1000 + i + 0.5, RawEntryKind::signpost));
        }
        LogCapture log;
        QueryContext ctx;
        ctx.provider = &p;
        const QueryResult r = queryEntries(kDistantPast, 1e9, QStringLiteral("/x.logarchive"), ctx);
        QVERIFY(r.ok());
        QCOMPARE(r.stop, QueryStop::entryCap);
        QCOMPARE(r.entries.size(), 50000);
        QCOMPARE(r.entries.first().message, QStringLiteral("0"));
        QCOMPARE(r.entries.last().message, QStringLiteral("49999"));
        // The 50,000th message is preceded by 9,999 non-log entries.
        QVERIFY2(log.contains("Hit 50,000 entry cap after scanning 59999 raw entries"), qPrintable(log.messages().join('\n')));
        QVERIFY(log.anyStartsWith("Query complete: 50000 entries from 59999 scanned in "));
    }

    void timeoutAndCancellationSeenAtCheckIntervals()
    {
        MemoryStoreProvider p;
        for (int i = 0; i < 100000; ++i)
            p.store->raw.push_back(i % 2 ? MemoryLogStore::log(i, 4, "p", "m") : MemoryLogStore::nonLog(i));
        // A slow store: every yielded entry takes 1/1024 s of the clock (exact in binary).
        double clock = 0;
        p.store->onYield = [&clock](qsizetype n) { clock = double(n + 1) / 1024.0; };
        LogCapture log;
        QueryContext ctx;
        ctx.provider = &p;
        ctx.now = [&clock] { return clock; };
        const QueryResult r = queryEntries(kDistantPast, 0, QString(), ctx);
        QVERIFY(r.ok());  // a time-out is no error
        QCOMPARE(r.stop, QueryStop::timeOut);
        // 30 s pass at entry 30,720 but the test happens at 40,000, before that entry is looked at:
        // the log messages at odd positions below 39,999 are kept.
        QCOMPARE(r.entries.size(), 19999);
        QVERIFY2(log.contains("Query timeout after 39.1s — returning 19999 entries (scanned 40000)"),
                 qPrintable(log.messages().join('\n')));
        QVERIFY(log.contains("Query complete: 19999 entries from 40000 scanned in 39.1s"));

        // Cancelled when asked the second time: at once, without completion.
        LogCapture cancelLog;
        int asked = 0;
        ctx.isCancelled = [&asked] { return ++asked >= 2; };
        const QueryResult c = queryEntries(kDistantPast, 0, QString(), ctx);
        QCOMPARE(asked, 2);
        QCOMPARE(c.stop, QueryStop::cancelled);
        QCOMPARE(c.entries.size(), 9999);
        QVERIFY(cancelLog.contains("Query cancelled after scanning 20000 entries"));
        QVERIFY(!cancelLog.anyStartsWith("Query complete"));
    }

    void archiveErrors()
    {
        using F = QueryFailure;
        const StoreError corrupt{"The archive is corrupt"}, incomplete{"file is incomplete"}, other{"Corrupt or Incomplete"},
            unavailable{"no journal", StoreError::Cause::unavailable}, refused{"Failed to read \"a\": Permission denied"};
        // The permission hint only where permissions failed; damage is told as damage.
        const QString unable = "Unable to read archive \"%1\". The archive is damaged or incomplete.\n\n"
                               "Underlying error: %2";
        const QString permission = "Unable to read archive \"%1\". The archive may have permission issues.\n\n"
                                   "Try: sudo chmod -R a+r %2\n\nUnderlying error: %3";
        const QString rel = QDir::currentPath() + "/rel/x.logarchive", corrupted = corrupt.description;
        // Text checks are case-sensitive; a trailing slash keeps the real name; a relative path is made absolute;
        // the live store's own errors pass unchanged; nothing at the path gives the platform's reason, no chmod.
        const struct {
            bool readable;
            std::optional<StoreError> open, enumerate;
            QString path, text;
            F kind;
            std::optional<QString> absent = {};
        } cases[]{
            {false, {}, {}, "/gone/x.logarchive", "Failed to open archive \"x.logarchive\": No such file or directory", F::archiveOpenFailed, "No such file or directory"},
            {false, {}, {}, "/var/tmp/Admin Logs.logarchive", "Cannot read archive \"Admin Logs.logarchive\". If it was created "
                                                              "with sudo, run:\nsudo chmod -R a+r '/var/tmp/Admin Logs.logarchive'",
             F::archiveNotReadable},
            {true, corrupt, {}, "/a/b.logarchive", unable.arg("b.logarchive", corrupted), F::archiveOpenFailed},
            {true, corrupt, {}, "/a/b.logarchive/", unable.arg("b.logarchive", corrupted), F::archiveOpenFailed},
            {true, corrupt, {}, "rel/x.logarchive", unable.arg("x.logarchive", corrupted), F::archiveOpenFailed},
            {true, incomplete, {}, "/a/b.logarchive", unable.arg("b.logarchive", "file is incomplete"), F::archiveOpenFailed},
            {true, other, {}, "/a/b.logarchive", "Failed to open archive \"b.logarchive\": Corrupt or Incomplete", F::archiveOpenFailed},
            {true, refused, {}, "rel/b c", permission.arg("b c", "'" + rel.chopped(12) + "b c'", refused.description), F::archiveOpenFailed},
            {true, other, {}, {}, "Corrupt or Incomplete", F::storeError},
            {true, unavailable, {}, {}, "no journal", F::liveStoreUnavailable},
            {true, {}, StoreError{"enumeration refused"}, {}, "enumeration refused", F::storeError},
        };
        MemoryStoreProvider p;
        QueryContext ctx;
        ctx.provider = &p;
        LogCapture log;
        for (const auto& c : cases) {
            p.readable = c.readable;
            p.openError = c.open;
            p.store->enumerateError = c.enumerate;
            p.absent = c.absent;
            const QueryResult r = queryEntries(c.path.isEmpty() ? 0 : kDistantPast, 1, c.path, ctx);
            QVERIFY(!r.ok());
            QCOMPARE(describe(*r.error), c.text);
            QCOMPARE(failureKind(*r.error), c.kind);
            QCOMPARE(p.opens == 0, !c.readable);  // an unreadable archive is not opened at all
        }
        QVERIFY(log.contains("Archive not readable: /var/tmp/Admin Logs.logarchive"));
        QVERIFY(log.contains("OSLogStore(url:) failed: The archive is corrupt — path: /a/b.logarchive"));
        QVERIFY(platformLogStoreProvider().absentReason("/nonexistent-dir/x.logarchive"));
        QVERIFY(!platformLogStoreProvider().absentReason(QDir::tempPath()));
    }

    void commandsQuoteThePath()
    {
        const QList<QPair<QString, QString>> cases{
            {"/var/log/a-b_c.1+2,3:4@5%6~/x.logarchive", "/var/log/a-b_c.1+2,3:4@5%6~/x.logarchive"},
            {"/tmp/it's.logarchive", "'/tmp/it'\\''s.logarchive'"},
            {"/tmp/$(reboot).logarchive", "'/tmp/$(reboot).logarchive'"},
            {QString::fromUtf8("/tmp/caf\u00e9"), QString::fromUtf8("'/tmp/caf\u00e9'")},
        };
        for (const auto& [path, word] : cases)
            QCOMPARE(ArchiveError::shellQuoted(path), word);
    }

    void readErrorPartWay()
    {
        MemoryStoreProvider p;
        for (int i = 0; i < 10; ++i)
            p.store->raw.push_back(MemoryLogStore::log(i, 4, "p", "m"));
        QueryContext ctx;
        ctx.provider = &p;
        // Damage after some records: what was read is kept.
        p.store->failAfter = 4;
        QueryResult r = queryEntries(kDistantPast, 0, QStringLiteral("/x/a.logarchive"), ctx);
        QVERIFY(r.ok());
        QCOMPARE(r.entries.size(), 4);
        QCOMPARE(r.stop, QueryStop::readError);
        // Damage before any record: a failure, not an empty success.
        p.store->failAfter = 0;
        r = queryEntries(kDistantPast, 0, QStringLiteral("/x/a.logarchive"), ctx);
        QVERIFY(!r.ok());
        QCOMPARE(describe(*r.error), QStringLiteral("Failed to open archive \"a.logarchive\": simulated read error"));
        QCOMPARE(failureKind(*r.error), QueryFailure::archiveOpenFailed);
    }

    void journalFields()
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
        QByteArray binary("bad \xff\xfe utf8 \xc3(");
        binary.append('\0');
        binary.append("\x01 after nul\nsecond line");
        // A name of megabytes is cut where every store's entries pass.
        Record huge = JournalFixture::message(1767605502, QByteArray(5000, 'p'), "big");
        huge.set("_HOSTNAME", QByteArray(10 << 20, 'h'));
        // The sender is the executable's name (its image the path), else _COMM; an entry without TID has no thread.
        Record exe = JournalFixture::message(1767605501, "bin", binary);
        exe.set("_EXE", "/usr/lib/x/bin-helper").set("_COMM", "bin-hel").set("TID", "x1");
        const QList<Record> records{full, commOnly, noMessage, JournalFixture::message(1767605500, "", "no priority", -1),
                                    exe, huge};

        const QString archive = JournalFixture::makeArchive(m_dir.path(), "Fields.logarchive", records);
        const std::optional<DateRange> span = archiveSpan(archive);  // the journal's head and tail
        QVERIFY(span);
        QCOMPARE(qRound64(span->start * 1e6), 1767605400123456LL);
        QVERIFY(span->end == 1767605502.0);
        LogCapture log;
        const QueryResult r = queryEntries(kDistantPast, 0, archive);  // the whole archive: no range
        QVERIFY2(r.ok(), r.ok() ? "" : qPrintable(describe(*r.error)));
        QVERIFY(log.anyStartsWith(QStringLiteral("Query complete: 5 entries from %1 scanned in ").arg(records.size())));
        QStringList got;
        for (const LogEntry& e : r.entries)
            got << QStringList{QString::number(qint64(e.date * 1e6)), QString::number(e.level), e.process, e.message,
                               QString::number(e.processIdentifier),
                               e.threadKnown ? QString::number(e.threadIdentifier) : QStringLiteral("-"), e.subsystem,
                               e.category, e.sender + e.senderImagePath, QString::number(e.activityIdentifier), e.host}
                       .join('|');
        // 20 digits of TID still fit; an unreadable PRIORITY is undefined; bytes that are not UTF-8 are replaced.
        const QString replaced = QStringLiteral("bad \uFFFD\uFFFD utf8 \uFFFD(") + QChar(0) + QStringLiteral("\x01 after nul\nsecond line");
        QCOMPARE(got, (QStringList{"1767605400123456|4|diskmond|disk almost full|4242|18446744073709551615|com.apple.iokit.storage|"
                                   "space|libstorage.dylib|77|web-01",
                                   "1767605401000000|0|bash|from comm|0|-|||bash|0|", "1767605500000000|0||no priority|0|-||||0|",
                                   "1767605501000000|2|bin|" + replaced + "|0|-|||bin-helper/usr/lib/x/bin-helper|0|",
                                   "1767605502000000|2|" + QString(4096, 'p') + "|big|0|-||||0|" + QString(4096, 'h')}));
        QVERIFY(std::all_of(r.entries.begin(), r.entries.end(), [](const LogEntry& e) { return e.fromLinux(); }));
        QVERIFY(r.entries[0].date == 1767605400.123456);
        // A range includes both ends.
        const QueryResult range = queryEntries(1767605401, 1767605500, archive);
        QCOMPARE(range.entries.size(), 2);
        QCOMPARE(range.entries[0].message + '|' + range.entries[1].message, QStringLiteral("from comm|no priority"));
        QVERIFY(queryEntries(1767700000, 1767800000, archive).entries.isEmpty());
    }

    void badArchivesGiveClearErrors()
    {
        // A folder of none of the formats: the message names what each looks for.
        const QString notJournal = m_dir.path() + "/Notes.logarchive";
        QVERIFY(QDir().mkpath(notJournal));
        QVERIFY(writeFile(notJournal + "/readme.txt", "hello"));
        QueryResult r = queryEntries(kDistantPast, 0, notJournal);
        QVERIFY(!r.ok());
        QCOMPARE(describe(*r.error),
                 QStringLiteral("Failed to open archive \"Notes.logarchive\": The folder holds no log files Vellacord reads "
                                "(tracev3 files, journal files or ndjson files (.ndjson, .jsonl))."));

        // A truncated journal file and one of random bytes.
        const QString good = JournalFixture::makeArchive(m_dir.path(), "Good.logarchive",
                                                         {JournalFixture::message(1767600000, "a", "b")});
        QFile src(good + "/system.journal");
        const QByteArray bytes = src.open(QIODevice::ReadOnly) ? src.readAll() : QByteArray();
        for (const QByteArray& damaged : {bytes.left(3000), bytes.left(bytes.size() / 2), QByteArray(4096, 'x')}) {
            const QString path = m_dir.path() + "/Damaged.logarchive";
            QDir(path).removeRecursively();
            QVERIFY(QDir().mkpath(path));
            QVERIFY(writeFile(path + "/system.journal", damaged));
            r = queryEntries(kDistantPast, 0, path);
            QVERIFY(!r.ok());
            QVERIFY2(describe(*r.error).startsWith("Unable to read archive \"Damaged.logarchive\"."),
                     qPrintable(describe(*r.error)));
            QVERIFY(describe(*r.error).endsWith("Underlying error: The journal files are corrupt or incomplete."));
        }
    }

    void levelForPriority()
    {
        // The journal's syslog scale; what is no priority (a lone minus is not 0, a fault) is undefined.
        const QList<QPair<QByteArray, int>> priorities{{"0", 5}, {"2", 5}, {"3", 4}, {"4", 3}, {"5", 3}, {"6", 2}, {"7", 1}, {"07", 1}, {"8", 0}, {"-1", 0}, {"-", 0}, {"", 0}, {"3 ", 0}};
        for (const auto& [text, level] : priorities)
            QVERIFY2(JournalLogStore::levelForPriority(text) == level, text.constData());
    }

    void labelsAndSources()
    {
        const QStringList labels{"Undefined", "Debug", "Info", "Notice", "Error", "Fault", "Unknown"};
        for (int level = -1; level <= 6; ++level)
            QCOMPARE(LogEntry::levelLabelFor(level), labels[level < 0 ? 6 : level]);
        QCOMPARE(Source::label(SourceType::all), QStringLiteral("All Types"));

        using S = SourceType;
        struct Case {
            LogEntry e;
            bool hardware, system, user;
        };
        const QList<Case> cases{
            {entry("Kernel", "", "x"), true, false, false},
            {entry("KERNEL_TASK", "", "x"), true, false, false},
            {entry("kernel_task2", "", "x"), false, false, true},
            {entry("powerd", "com.apple.iokit.power", ""), true, true, false},
            {entry("x", "COM.APPLE.FOO", "libfoo.dylib"), false, false, true},
            {entry("x", "com.apple", "libfoo.dylib"), false, false, true},
            {entry("x", "", "com.apple.CoreFoundation"), false, true, false},
            {entry("x", "org.example.Driver", ""), true, false, false},  // "driver" in any case
        };
        for (const Case& c : cases) {
            const QList<bool> got{Source::matches(S::all, c.e), Source::matches(S::hardware, c.e), Source::matches(S::system, c.e),
                                  Source::matches(S::user, c.e)};
            QVERIFY2(got == (QList<bool>{true, c.hardware, c.system, c.user}), qPrintable(c.e.process + "/" + c.e.subsystem + "/" + c.e.sender));
        }
    }

    // Names as labels show them: one line, nothing that reorders the text, at most 4 KiB.
    void visibleNames()
    {
        const QString pair = QString::fromUtf8("\U0001F600");
        const struct {
            QString in, shown;
        } cases[]{
            {"sshd", "sshd"},
            {QString::fromUtf8("web\u202Eexe.01"), "web<U+202E>exe.01"},
            {QString::fromUtf8("\u061C\u200E\u200F\u202A\u202D\u2066\u2069\u2029\u2028"),
             QString::fromUtf8("<U+061C><U+200E><U+200F><U+202A><U+202D><U+2066><U+2069>\u21B5\u21B5")},
            {QString::fromUtf8("a\tb\n\x1b\x7f\u009b\u2065\u206A\u202F"), QString::fromUtf8("a\u2409b\u240A\u241B\u2421\uFFFD\u2065\u206A\u202F")},
            {QString(4095, 'x') + pair, QString(4095, 'x')},  // never half a pair
            {QString(4094, 'x') + pair + "y", QString(4094, 'x') + pair},
        };
        for (const auto& c : cases)
            QCOMPARE(VisibleText::shownName(c.in), c.shown);
        QCOMPARE(VisibleText::showingBidiControls(QString::fromUtf8("a\u202Eb\n")), QString::fromUtf8("a<U+202E>b\n"));
        const QString plain = QStringLiteral("plain");
        QCOMPARE(VisibleText::showingBidiControls(plain).constData(), plain.constData());  // shared, not copied
    }
};

QTEST_GUILESS_MAIN(TestLogQuery)
#include "test_log_query.moc"
