#include "logs/LogQuery.h"
#include "tests/support/LogCapture.h"
#include "tests/support/MemoryLogStore.h"

#include <QDir>
#include <QTest>

class TestLogQuery : public QObject {
    Q_OBJECT

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
        // Ids are fresh per record.
        QVERIFY(r.entries[0].id != r.entries[1].id);
        QVERIFY(!r.entries[0].id.isNull());
    }

    void predicateUnlessDistantPast()
    {
        MemoryStoreProvider p;
        for (int i = 0; i < 10; ++i)
            p.store->raw.push_back(MemoryLogStore::log(100 + i, 3, "p", QString::number(i)));
        QueryContext ctx;
        ctx.provider = &p;
        // The range reaches the store (whose own tests check both ends)...
        QueryResult r = queryEntries(102, 105, QString(), ctx);
        QCOMPARE(r.stop, QueryStop::complete);
        QCOMPARE(r.entries.size(), 4);
        // ...unless it starts in the distant past: no predicate, so even entries after `end` are read.
        r = queryEntries(kDistantPast, 101, QString(), ctx);
        QCOMPARE(r.entries.size(), 10);
    }

    void timeoutSeenOnlyAtCheckInterval()
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
    }

    void cancellationReturnsAtOnceWithoutCompletion()
    {
        MemoryStoreProvider p;
        for (int i = 0; i < 35000; ++i)
            p.store->raw.push_back(MemoryLogStore::log(i, 4, "p", "m"));
        LogCapture log;
        int asked = 0;
        QueryContext ctx;
        ctx.provider = &p;
        ctx.isCancelled = [&asked] { return ++asked >= 2; };
        const QueryResult r = queryEntries(kDistantPast, 0, QString(), ctx);
        QCOMPARE(asked, 2);
        QCOMPARE(r.stop, QueryStop::cancelled);
        QCOMPARE(r.entries.size(), 19999);
        QVERIFY(log.contains("Query cancelled after scanning 20000 entries"));
        QVERIFY(!log.anyStartsWith("Query complete"));
    }

    void archiveErrors()
    {
        using F = QueryFailure;
        const StoreError corrupt{"The archive is corrupt"}, incomplete{"file is incomplete"}, other{"Corrupt or Incomplete"},
            unavailable{"no journal", StoreError::Cause::unavailable};
        const QString unable = "Unable to read archive \"%1\". The archive may have permission issues.\n\n"
                               "Try: sudo chmod -R a+r %2\n\nUnderlying error: %3";
        const QString rel = QDir::currentPath() + "/rel/x.logarchive", corrupted = corrupt.description;
        // Text checks are case-sensitive; a trailing slash keeps the real name; a relative path is made absolute;
        // the live store's own errors pass unchanged; nothing at the path gives the platform's reason, no chmod.
        const struct { bool readable; std::optional<StoreError> open, enumerate; QString path, text; F kind; } cases[]{
            {false, {}, {}, "/var/tmp/Admin Logs.logarchive", "Cannot read archive \"Admin Logs.logarchive\". If it was created "
             "with sudo, run:\nsudo chmod -R a+r '/var/tmp/Admin Logs.logarchive'", F::archiveNotReadable},
            {true, corrupt, {}, "/a/b.logarchive", unable.arg("b.logarchive", "/a/b.logarchive", corrupted), F::archiveOpenFailed},
            {true, corrupt, {}, "/a/b.logarchive/", unable.arg("b.logarchive", "/a/b.logarchive", corrupted), F::archiveOpenFailed},
            {true, corrupt, {}, "rel/x.logarchive", unable.arg("x.logarchive", rel, corrupted), F::archiveOpenFailed},
            {true, incomplete, {}, "/a/b.logarchive", unable.arg("b.logarchive", "/a/b.logarchive", "file is incomplete"), F::archiveOpenFailed},
            {true, other, {}, "/a/b.logarchive", "Failed to open archive \"b.logarchive\": Corrupt or Incomplete", F::archiveOpenFailed},
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
            const QueryResult r = queryEntries(c.path.isEmpty() ? 0 : kDistantPast, 1, c.path, ctx);
            QVERIFY(!r.ok());
            QCOMPARE(describe(*r.error), c.text);
            QCOMPARE(failureKind(*r.error), c.kind);
            QCOMPARE(p.opens == 0, !c.readable);  // an unreadable archive is not opened at all
        }
        QVERIFY(log.contains("Archive not readable: /var/tmp/Admin Logs.logarchive"));
        QVERIFY(log.contains("OSLogStore(url:) failed: The archive is corrupt — path: /a/b.logarchive"));
        p.store->enumerateError.reset();
        p.readable = false;
        p.absent = QStringLiteral("No such file or directory");
        const QueryResult r = queryEntries(kDistantPast, 0, QStringLiteral("/gone/x.logarchive"), ctx);
        QCOMPARE(describe(*r.error), QStringLiteral("Failed to open archive \"x.logarchive\": No such file or directory"));
        QCOMPARE(failureKind(*r.error), F::archiveOpenFailed);
        QVERIFY(platformLogStoreProvider().absentReason("/nonexistent-dir/x.logarchive"));
        QVERIFY(!platformLogStoreProvider().absentReason(QDir::tempPath()));
    }

    void commandsQuoteThePath()
    {
        const QList<QPair<QString, QString>> cases{
            {"/var/log/a-b_c.1+2,3:4@5%6~/x.logarchive", "/var/log/a-b_c.1+2,3:4@5%6~/x.logarchive"},
            {"/tmp/Admin Logs.logarchive", "'/tmp/Admin Logs.logarchive'"},
            {"/tmp/it's.logarchive", "'/tmp/it'\\''s.logarchive'"},
            {"/tmp/$(reboot).logarchive", "'/tmp/$(reboot).logarchive'"},
            {QString::fromUtf8("/tmp/caf\u00e9"), QString::fromUtf8("'/tmp/caf\u00e9'")},
            {"/tmp/a;b", "'/tmp/a;b'"},
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
};

QTEST_GUILESS_MAIN(TestLogQuery)
#include "test_log_query.moc"
