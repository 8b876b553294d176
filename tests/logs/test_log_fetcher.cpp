#include "tests/support/Entries.h"
#include "logs/LogFetcher.h"
#include "tests/support/LogCapture.h"
#include "tests/support/MemoryLogStore.h"

#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <QSignalSpy>
#include <QTest>

class TestLogFetcher : public QObject {
    Q_OBJECT

    static LogEntry entry(double date, const QString& process, const QString& message)
    {
        return makeEntry(date, 0, process, message, {}, {}, {}, 0, 0);
    }

    static void waitLoaded(LogFetcher& f) { QTRY_VERIFY_WITH_TIMEOUT(!f.isLoading(), 10000); }

    // 30,000 non-log records; the query stalls at the fifth until `released`.
    static void stallingStore(MemoryStoreProvider& p, std::atomic_bool& released)
    {
        for (int i = 0; i < 30000; ++i)
            p.store->raw.push_back(MemoryLogStore::nonLog(i));
        p.store->onYield = [&released](qsizetype n) {
            while (n == 5 && !released)
                QThread::yieldCurrentThread();
        };
    }

private slots:
    void fetchPublishesAndSupersedes()
    {
        MemoryStoreProvider p;
        for (int i = 0; i < 100; ++i)
            p.store->raw.push_back(MemoryLogStore::log(i, 4, "p", QString::number(i)));
        LogFetcher f;
        f.setStoreProvider(&p);
        QSignalSpy loading(&f, &LogFetcher::isLoadingChanged);
        f.fetch(0, 9);
        QVERIFY(f.isLoading() && f.entries().isEmpty());
        f.fetch(50, 54);  // supersedes the first: only this one publishes
        waitLoaded(f);
        QVERIFY(f.outcome().kind == FetchOutcome::Kind::loaded && !f.outcome().isCut() && !f.errorMessage());
        QCOMPARE(f.entries().first().message, QStringLiteral("50"));
        QCOMPARE(f.lastFetchStart(), std::optional(50.0));
        QCOMPARE(loading.size(), 2);  // true once, false once
        QTest::qWait(50);  // nothing late arrives from the first fetch
        QCOMPARE(f.entries().size(), 5);
    }

    void emptyAndFailureTexts()
    {
        MemoryStoreProvider p;
        LogFetcher f;
        f.setStoreProvider(&p);
        f.fetch(0, 10);
        waitLoaded(f);
        QCOMPARE(*f.errorMessage(),
                 QStringLiteral("No log entries found. If you expected system logs, grant Full Disk Access to Vellacord "
                                "in System Settings → Privacy & Security → Full Disk Access."));
        QCOMPARE(f.outcome().kind, FetchOutcome::Kind::emptyLive);
        f.openArchive("/x/Empty.logarchive");
        waitLoaded(f);
        QCOMPARE(*f.errorMessage(), QStringLiteral("No log entries found in this archive."));
        QVERIFY(f.outcome().kind == FetchOutcome::Kind::emptyArchive && f.isViewingArchive());

        p.readable = false;
        f.reloadArchive();
        QVERIFY(!f.errorMessage() && f.outcome().kind == FetchOutcome::Kind::none);  // cleared at the start of the fetch
        waitLoaded(f);
        QCOMPARE(*f.errorMessage(), "Failed to read logs: " + describe(ArchiveError::notReadable("/x/Empty.logarchive")));
        QCOMPARE(f.outcome().kind, FetchOutcome::Kind::failed);
        QCOMPARE(f.outcome().failure, std::optional(QueryFailure::archiveNotReadable));
        QVERIFY(f.entries().isEmpty());

        // The live store refusing the user is told apart from other store errors.
        // (Set before the close starts the live query on the thread pool.)
        p.openError = StoreError{"Permission denied", StoreError::Cause::denied};
        f.closeArchive();
        QCOMPARE(f.outcome().kind, FetchOutcome::Kind::none);
        waitLoaded(f);
        QCOMPARE(f.outcome().failure, std::optional(QueryFailure::liveStoreDenied));
        QVERIFY(!f.outcome().liveTail);
    }

    void refreshRulesAndArchives()
    {
        MemoryStoreProvider p;
        for (int i = 0; i < 10; ++i)
            p.store->raw.push_back(MemoryLogStore::log(100 + i, 4, "p", QString::number(i)));
        p.store->raw.push_back(MemoryLogStore::log(5000, 4, "p", "recent"));
        double clock = 200;
        LogFetcher f;
        f.setStoreProvider(&p);
        f.setClock([&clock] { return clock; });
        f.refresh();  // no earlier fetch: nothing
        QVERIFY(!f.isLoading());
        QCOMPARE(p.opens, 0);
        for (const auto& [from, to, end] : {std::tuple(105.0, 150.0, 200.0), {100.0, 500.0, 500.0}}) {
            f.fetch(from, to);
            waitLoaded(f);
            f.refresh();  // extended to now; an end in the future is kept
            QCOMPARE(f.lastFetchEnd(), std::optional(end));
            waitLoaded(f);
        }
        f.openArchive("/x/A.logarchive");
        waitLoaded(f);
        f.fetch(108, 109);  // an archive restricted to a range
        waitLoaded(f);
        QCOMPARE(f.entries().size(), 2);
        f.refresh();  // with an archive: the whole archive again
        QCOMPARE(f.lastFetchStart(), std::optional(kDistantPast));
        waitLoaded(f);
        QCOMPARE(f.entries().size(), 11);

        // Opening an archive stops the tail, which cannot start again until the archive is closed;
        // closing loads the last hour.
        clock = 6000;
        f.closeArchive();
        waitLoaded(f);
        f.setLiveTailInterval(10);
        f.startLiveTail();
        QVERIFY(f.isLiveTailing());
        f.openArchive("/x/A.logarchive");
        QVERIFY(!f.isLiveTailing());
        waitLoaded(f);
        f.startLiveTail();
        QVERIFY(!f.isLiveTailing());
        f.closeArchive();
        QVERIFY(!f.isViewingArchive() && f.entries().isEmpty() && !f.errorMessage());
        QCOMPARE(f.lastFetchStart(), std::optional(2400.0));
        QCOMPARE(f.lastFetchEnd(), std::optional(6000.0));
        waitLoaded(f);
        QCOMPARE(f.entries().size(), 1);
    }

    void liveTailPollsAndMerges()
    {
        MemoryStoreProvider p;
        for (const auto& [date, message] : {std::pair(938.5, "too old"), {939.0, "first"}, {1000.0, "second"}})
            p.store->raw.push_back(MemoryLogStore::log(date, 4, "p", message));
        double clock = 1000;
        LogFetcher f;
        f.setStoreProvider(&p);
        f.setClock([&clock] { return clock; });
        f.setLiveTailInterval(20);
        QSignalSpy changed(&f, &LogFetcher::entriesChanged);
        f.startLiveTail();
        // Empty list: the poll reads from now − 61 s to now.
        QTRY_COMPARE(f.entries().size(), 2);
        QCOMPARE(f.entries()[0].message, QStringLiteral("first"));
        // Later polls re-read the last record (1 s overlap) but do not add it again.
        QTest::qWait(100);
        QCOMPARE(f.entries().size(), 2);
        const int changes = changed.size();
        p.locked([&] {
            p.store->raw.push_back(MemoryLogStore::log(1001, 4, "p", "third"));
            p.store->raw.push_back(MemoryLogStore::log(1001, 4, "p", "third"));  // equal records in one poll: both kept
        });
        clock = 1002;
        QTRY_COMPARE(f.entries().size(), 4);
        QCOMPARE(changed.size(), changes + 1);  // one change for the whole poll
        f.stopLiveTail();
        QVERIFY(!f.isLiveTailing());
        QTest::qWait(60);  // let a poll that was running when tail stopped land
        p.locked([&] { p.store->raw.push_back(MemoryLogStore::log(1002, 4, "p", "after stop")); });
        QTest::qWait(100);
        QCOMPARE(f.entries().size(), 4);

        // A failing poll sets the error; the loop goes on.
        p.locked([&] { p.openError = StoreError{"journal went away"}; });
        f.startLiveTail();
        QTRY_COMPARE(f.errorMessage().value_or(QString()), QStringLiteral("Live tail error: journal went away"));
        QVERIFY(f.outcome().liveTail && f.outcome().failure == QueryFailure::storeError);
        p.locked([&] { p.openError.reset(); });
        QTRY_COMPARE(f.entries().size(), 5);
        QVERIFY(!f.errorMessage() && f.outcome() == FetchOutcome{});  // cleared, as before the tail failed: no fetch has run
        f.stopLiveTail();
    }

    void liveTailBusySecond()
    {
        // More records in the re-read second than the last-records window: none doubles.
        MemoryStoreProvider p;
        for (int i = 0; i < 600; ++i)
            p.store->raw.push_back(MemoryLogStore::log(1000 + i / 1000.0, 4, "p", QString::number(i)));
        LogFetcher f;
        f.setStoreProvider(&p);
        f.setClock([] { return 1001.0; });
        f.setLiveTailInterval(10);
        QSignalSpy changed(&f, &LogFetcher::entriesChanged);
        f.startLiveTail();
        QTRY_COMPARE(f.entries().size(), 600);
        const int polls = p.systemOpens;
        QTRY_VERIFY(p.systemOpens >= polls + 3);
        f.stopLiveTail();
        QTest::qWait(30);
        QVERIFY(f.entries().size() == 600 && changed.size() == 1);
    }

    void cutTexts()
    {
        using K = FetchOutcome::Kind;
        const struct { K kind; QueryStop stop; qsizetype read; const char* text; } cases[]{
            {K::loaded, QueryStop::entryCap, 50000, "Showing the first 50,000 entries. Narrow the time range to see later ones."},
            {K::loaded, QueryStop::timeOut, 12345, "The query took longer than 30 seconds; showing the 12,345 entries read so far."},
            {K::loaded, QueryStop::readError, 7, "The store failed part-way; showing the 7 entries read before the failure."},
            {K::loaded, QueryStop::complete, 7, "-"},
            {K::loaded, QueryStop::cancelled, 7, "-"},
            {K::failed, QueryStop::entryCap, 0, "-"},
        };
        for (const auto& c : cases) {
            FetchOutcome o;
            o.kind = c.kind;
            o.stop = c.stop;
            QCOMPARE(LogFetcher::cutText(o, c.read).value_or("-"), QString::fromUtf8(c.text));
        }
    }

    void mergeWindowAndKey()
    {
        LogFetcher f;
        LogEntryList initial;
        for (int i = 0; i < 600; ++i)
            initial.append(entry(1000 + i * 0.1, "p", QString("m%1").arg(i)));
        f.mergeTailResult(initial, 0);
        // The last record again (new id): not added. A record further back than the last 500 and
        // dated before the poll's start: added again; at or after the start: not.
        f.mergeTailResult({entry(1000 + 599 * 0.1, "p", "m599"), entry(1000 + 50 * 0.1, "p", "m50"),
                           entry(1000 + 100 * 0.1, "p", "m100")},
                          1000 + 60 * 0.1);
        QCOMPARE(f.entries().size(), 601);
        QCOMPARE(f.entries().last().message, QStringLiteral("m50"));
        // Only the first 100 characters of the message count.
        const QString base(100, QChar('x'));
        f.mergeTailResult({entry(2000, "p", base + "A")}, 2000);
        f.mergeTailResult({entry(2000, "p", base + "B"), entry(2000, "q", base + "A")}, 2000);
        QCOMPARE(f.entries().size(), 603);
        QCOMPARE(f.entries().last().process, QStringLiteral("q"));
        // The date is written as the shortest text that reads back the same double.
        QCOMPARE(LogFetcher::tailKey(entry(1767605400.123456, "a", "b")), QStringLiteral("1767605400.123456-a-b"));
        QCOMPARE(LogFetcher::tailKey(entry(0.1, "a", "")), QStringLiteral("0.1-a-"));
    }

    void supersededQueryIsCancelled()
    {
        MemoryStoreProvider p;
        std::atomic_bool released = false;
        stallingStore(p, released);
        LogFetcher f;
        f.setStoreProvider(&p);
        LogCapture log;
        f.fetch(0, 1e6);
        f.fetch(0, 1e6);
        released = true;
        waitLoaded(f);
        QVERIFY(QThreadPool::globalInstance()->waitForDone(60000));
        QVERIFY2(log.contains("Query cancelled after scanning 10000 entries"), qPrintable(log.messages().join('\n')));
    }

    // Last: it ends the application's event loop. The application waits for
    // the thread pool when it ends, so quitting must stop a running query.
    void quittingCancelsTheRunningQuery()
    {
        MemoryStoreProvider p;
        std::atomic_bool released = false;
        stallingStore(p, released);
        LogFetcher f;
        f.setStoreProvider(&p);
        LogCapture log;
        f.fetch(0, 1e6);
        QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
        QCoreApplication::exec();
        released = true;
        QVERIFY(QThreadPool::globalInstance()->waitForDone(60000));
        QVERIFY2(log.contains("Query cancelled after scanning 10000 entries"), qPrintable(log.messages().join('\n')));
    }
};

QTEST_GUILESS_MAIN(TestLogFetcher)
#include "test_log_fetcher.moc"
