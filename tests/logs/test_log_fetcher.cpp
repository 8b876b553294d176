// The fetcher, then the collection tool whose archive it opens.

#include "base/Platform.h"
#include "logs/LogCollector.h"
#include "logs/LogFetcher.h"
#include "logs/LogQuery.h"
#include "tests/support/Entries.h"
#include "tests/support/JournalFixture.h"
#include "tests/support/LogCapture.h"
#include "tests/support/MemoryLogStore.h"
#include "tests/support/TestEnv.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

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

    QTemporaryDir m_tools;

    // A fake collection tool: a shell script whose body follows the line that
    // records its arguments; selected through VELLACORD_LOG_TOOL.
    QString fakeTool(const QString& name, const QByteArray& body)
    {
        const QString path = m_tools.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return {};
        f.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n" + body + "\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("VELLACORD_LOG_TOOL", path.toUtf8());
        return path;
    }

    static QStringList recordedArguments(const QString& tool)
    {
        QFile f(tool + QStringLiteral(".args"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                                           : QStringList();
    }

    struct Run {
        bool success = false;
        QString path;
        QString failure;
    };

    static Run runToEnd(LogCollector& c)
    {
        QSignalSpy finished(&c, &LogCollector::finished);
        if (!c.start() || (finished.isEmpty() && !finished.wait(20000)))
            return {};
        const QList<QVariant> args = finished.first();
        return Run{args.at(0).toBool(), args.at(1).toString(), args.at(2).toString()};
    }

    // Runs a fake tool to its end and returns the alert text (empty when none).
    QString alertTextFor(const QByteArray& body)
    {
        fakeTool(QStringLiteral("tool.sh"), body);
        LogCollector c;
        const Run r = runToEnd(c);
        return r.success || c.isCollecting() ? QString() : r.failure;
    }

private slots:
    void initTestCase()
    {
        TestEnv::useTemporaryHome();
        QVERIFY(m_tools.isValid());
    }

    void init()
    {
        TestEnv::clearSettings();
        // Runs within one second share an output path; start each test afresh.
        QDir desktop(Platform::desktopDir());
        for (const QString& name : desktop.entryList({"Vellacord-*"}, QDir::Dirs | QDir::Files))
            QDir(desktop.filePath(name)).removeRecursively();
    }
    void cleanup()
    {
        qunsetenv("VELLACORD_LOG_TOOL");
        QVERIFY(QThreadPool::globalInstance()->waitForDone(60000));
    }

    void emptyAndFailureTexts()
    {
        MemoryStoreProvider p;
        LogFetcher f;
        f.setStoreProvider(&p);
        // An empty live read says what keeps the user from the journal (the texts: test_linux_texts).
        const JournalAccess outsider{JournalAccess::Limit::notInGroup, "ann"};
        std::atomic_int probes = 0;
        f.setJournalAccessProbe([&] { return ++probes, outsider; });
        f.fetch(0, 10);
        waitLoaded(f);
        QCOMPARE(*f.errorMessage(), LogFetcher::emptyResultText(false, outsider));
        QCOMPARE(f.outcome().kind, FetchOutcome::Kind::emptyLive);
        QCOMPARE(f.outcome().liveAccess, outsider);
        f.openArchive("/x/Empty.logarchive");
        waitLoaded(f);
        QCOMPARE(*f.errorMessage(), QStringLiteral("No log entries found in this archive."));
        QCOMPARE(f.outcome().kind, FetchOutcome::Kind::emptyArchive);
        QVERIFY(f.isViewingArchive());
        QCOMPARE(probes, 1);
        QCOMPARE(f.outcome().liveAccess, JournalAccess{});  // an archive is not this machine's journal

        p.readable = false;
        f.reloadArchive();
        QVERIFY(!f.errorMessage());
        QCOMPARE(f.outcome().kind, FetchOutcome::Kind::none);  // cleared at the start of the fetch
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
        QCOMPARE(f.outcome().liveAccess, outsider);
        QVERIFY(f.errorMessage()->endsWith(*LogFetcher::accessAdvice(outsider)));
    }

    void fetchRefreshAndArchives()
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
        QSignalSpy loading(&f, &LogFetcher::isLoadingChanged);
        f.fetch(100, 109);
        QVERIFY(f.isLoading());
        QVERIFY(f.entries().isEmpty());
        f.fetch(105, 106);  // supersedes the first: only this one publishes
        waitLoaded(f);
        QCOMPARE(f.outcome().kind, FetchOutcome::Kind::loaded);
        QVERIFY(!f.outcome().isCut());
        QVERIFY(!f.errorMessage());
        QCOMPARE(f.entries().first().message, QStringLiteral("5"));
        QCOMPARE(loading.size(), 2);  // true once, false once
        QTest::qWait(50);             // nothing late arrives from the first fetch
        QCOMPARE(f.entries().size(), 2);
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
        QVERIFY(!f.isViewingArchive());
        QVERIFY(f.entries().isEmpty());
        QVERIFY(!f.errorMessage());
        QCOMPARE(f.lastFetchStart(), std::optional(2400.0));
        QCOMPARE(f.lastFetchEnd(), std::optional(6000.0));
        waitLoaded(f);
        QCOMPARE(f.entries().size(), 1);
    }

    void liveTailPollsAndMerges()
    {
        MemoryStoreProvider p;
        for (const auto& [date, message] : {std::pair(938.5, "too old"), {939.0, "first"}})
            p.store->raw.push_back(MemoryLogStore::log(date, 4, "p", message));
        // More records in the re-read second than the last-records window.
        for (int i = 0; i < 600; ++i)
            p.store->raw.push_back(MemoryLogStore::log(999 + i / 1000.0, 4, "p", QString::number(i)));
        p.store->raw.push_back(MemoryLogStore::log(1000, 4, "p", "last"));
        double clock = 1000;
        LogFetcher f;
        f.setStoreProvider(&p);
        f.setClock([&clock] { return clock; });
        f.setLiveTailInterval(20);
        QSignalSpy changed(&f, &LogFetcher::entriesChanged);
        f.startLiveTail();
        // Empty list: the poll reads from now − 61 s to now.
        QTRY_COMPARE(f.entries().size(), 602);
        QCOMPARE(f.entries()[0].message, QStringLiteral("first"));
        // Later polls re-read the last second (1 s overlap) but add none of it again.
        QTest::qWait(100);
        QCOMPARE(f.entries().size(), 602);
        QCOMPARE(changed.size(), 1);
        p.locked([&] {
            p.store->raw.push_back(MemoryLogStore::log(1001, 4, "p", "third"));
            p.store->raw.push_back(MemoryLogStore::log(1001, 4, "p", "third"));  // equal records in one poll: both kept
        });
        clock = 1002;
        QTRY_COMPARE(f.entries().size(), 604);
        QCOMPARE(changed.size(), 2);  // one change for the whole poll
        f.stopLiveTail();
        QVERIFY(!f.isLiveTailing());
        QTest::qWait(60);  // let a poll that was running when tail stopped land
        p.locked([&] { p.store->raw.push_back(MemoryLogStore::log(1002, 4, "p", "after stop")); });
        QTest::qWait(100);
        QCOMPARE(f.entries().size(), 604);

        // A failing poll sets the error; the loop goes on.
        p.locked([&] { p.openError = StoreError{"journal went away"}; });
        f.startLiveTail();
        QTRY_COMPARE(f.errorMessage().value_or(QString()), QStringLiteral("Live tail error: journal went away"));
        QVERIFY(f.outcome().liveTail);
        QCOMPARE(f.outcome().failure, QueryFailure::storeError);
        p.locked([&] { p.openError.reset(); });
        QTRY_COMPARE(f.entries().size(), 605);
        QVERIFY(!f.errorMessage());
        QCOMPARE(f.outcome(), FetchOutcome{});  // cleared, as before the tail failed: no fetch has run
        f.stopLiveTail();
    }

    void cutTexts()
    {
        using K = FetchOutcome::Kind;
        const struct {
            K kind;
            QueryStop stop;
            qsizetype read;
            const char* text;
        } cases[]{
            {K::loaded, QueryStop::entryCap, 50000, "Showing the first 50,000 entries. Narrow the time range to see later ones."},
            {K::loaded, QueryStop::timeOut, 12345, "The query took longer than 30 seconds; showing the 12,345 entries read so far."},
            {K::loaded, QueryStop::readError, 7, "The store failed part-way; showing the 7 entries read before the failure."},
            {K::loaded, QueryStop::complete, 7, "-"},
            {K::failed, QueryStop::entryCap, 0, "-"},
        };
        for (const auto& c : cases) {
            FetchOutcome o;
            o.kind = c.kind;
            o.stop = c.stop;
            QCOMPARE(LogFetcher::cutText(o, c.read).value_or("-"), QString::fromUtf8(c.text));
        }
        // With the dates listed and the archive's (local time).
        FetchOutcome capped;
        capped.kind = K::loaded;
        capped.stop = QueryStop::entryCap;
        const auto local = [](const char* text) {
            return double(QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate).toSecsSinceEpoch());
        };
        QCOMPARE(*LogFetcher::cutText(capped, kEntryCap, DateRange{local("2022-05-30T00:38:21"), local("2022-05-31T09:00:00")},
                                      DateRange{local("2022-05-30T00:38:21"), local("2022-06-01T02:20:01")}),
                 QStringLiteral("Showing the first 50,000 entries, from 2022-05-30 00:38:21 to 2022-05-31 09:00:00, of an "
                                "archive that runs from 2022-05-30 00:38:21 to 2022-06-01 02:20:01. Narrow the time range "
                                "to see later ones."));
        const struct {
            SkipCounts skipped;
            const char* text;
        } skips[]{
            {{}, "-"},
            {{1, 1, 1, 1, 1}, "Skipped while reading: 1 damaged file, 1 damaged chunk, 1 damaged record, "
                              "1 damaged strings file, 1 message without its data."},
            {{2, 0, 1234, 0, 3}, "Skipped while reading: 2 damaged files, 1,234 damaged records, "
                                 "3 messages without their data."},
            {{0, 2, 0, 2, 0}, "Skipped while reading: 2 damaged chunks, 2 damaged strings files."},
            {{0, 0, 0, 0, 0, 1}, "1 entry has no format string in this archive (strings files missing)."},
            {{0, 1, 0, 0, 0, 1200}, "Skipped while reading: 1 damaged chunk. 1,200 entries have no format string in this "
                                    "archive (strings files missing)."},
            {{0, 0, 0, 0, 0, 0, 1}, "Skipped while reading: 1 line that is not a log event."},
            {{1, 0, 0, 0, 0, 0, 2}, "Skipped while reading: 1 damaged file, 2 lines that are not log events."},
            {{0, 0, 0, 0, 0, 0, 0, 1, {"a.journal"}, "too many files"}, "1 file was not read (too many files): a.journal."},
            {{1, 0, 0, 0, 0, 0, 0, 1204, {"a.journal", "b/c.journal"}, "why"},
             "1,204 files were not read (why): a.journal, b/c.journal and 1,202 more. Skipped while reading: 1 damaged file."},
        };
        for (const auto& c : skips)
            QCOMPARE(LogFetcher::skipText(c.skipped).value_or("-"), QString::fromUtf8(c.text));

        // A time-out that found nothing is no empty log; one that found some is a cut list.
        QueryResult timedOut;
        timedOut.stop = QueryStop::timeOut;
        for (const bool archive : {false, true}) {
            QCOMPARE(FetchOutcome::of(timedOut, archive).kind, K::timedOut);
            QCOMPARE(LogFetcher::resultText(timedOut, archive).value_or("-"),
                     QStringLiteral("The read timed out after 30 seconds before finding any log entry."));
        }
        timedOut.entries.append(LogEntry{});
        QCOMPARE(FetchOutcome::of(timedOut, true).kind, K::loaded);
        QCOMPARE(LogFetcher::resultText(timedOut, true), std::nullopt);
    }

    void tailKeys()
    {
        // Only the first 100 characters of the message count.
        LogFetcher f;
        const QString base(100, QChar('x'));
        f.mergeTailResult({entry(2000, "p", base + "A")}, 2000);
        f.mergeTailResult({entry(2000, "p", base + "B"), entry(2000, "q", base + "A")}, 2000);
        QCOMPARE(f.entries().size(), 2);
        QCOMPARE(f.entries().last().process, QStringLiteral("q"));
        // The date is written as the shortest text that reads back the same double.
        QCOMPARE(LogFetcher::tailKey(entry(1767605400.123456, "a", "b")), QStringLiteral("1767605400.123456-a-b"));
    }

    void oneRunAtATimeLeavesTheArchive()
    {
        const QString tool = fakeTool(QStringLiteral("ok.sh"), "sleep 1; mkdir \"$5\" && echo 'progress noise' >&2");
        LogCollector c;
        QSignalSpy finished(&c, &LogCollector::finished);
        QVERIFY(c.start());
        QVERIFY(c.isCollecting());
        QVERIFY(!c.start());
        // The event loop keeps running while the tool works.
        bool ticked = false;
        QTimer::singleShot(100, this, [&] { ticked = c.isCollecting(); });
        QVERIFY(finished.wait(20000));
        QVERIFY(ticked);
        QVERIFY(!c.isCollecting());
        QCOMPARE(finished.size(), 1);
        const QList<QVariant> args = finished.first();
        QVERIFY(args.at(0).toBool());
        QVERIFY(args.at(2).toString().isEmpty());
        const QString path = args.at(1).toString();
        QVERIFY2(path.startsWith(Platform::desktopDir() + "/Vellacord-"), qPrintable(path));  // outputPath's form
        QCOMPARE(recordedArguments(tool), LogCollector::toolArguments(path));
        QVERIFY(QFileInfo(path).isDir());
        const QDateTime t(QDate(2024, 3, 5), QTime(7, 8, 9), Qt::LocalTime);
        QCOMPARE(LogCollector::outputPath(t), Platform::desktopDir() + "/Vellacord-2024-03-05-070809.logarchive");
        QCOMPARE(LogCollector::toolArguments("/d/x.logarchive"),
                 QStringList({"collect", "--last", "1h", "--output", "/d/x.logarchive"}));
    }

    void exitStatusTexts()
    {
        const QString cancelled = QStringLiteral("Log collection was cancelled or requires administrator privileges.");
        const QList<QPair<QByteArray, QString>> cases{
            {"exit 1", cancelled},
            // Our Linux tool's status 1 is an unreadable journal, in its own words: nothing was cancelled.
            {"echo ' tool: no journal ' >&2; exit 1",
             "Log collection could not read the system journal. Members of the groups systemd-journal and adm can "
             "read all of it.\ntool: no journal"},
            {"echo 'Operation cancelled by user' >&2; exit 5", cancelled},
            {"echo 'Cancelled' >&2; exit 2", "Exit code 2\nCancelled\n"},  // case-sensitive
            {"printf 'log: caf\\303\\251 --bogus\\n' >&2; exit 64", QString::fromUtf8("Exit code 64\nlog: caf\u00e9 --bogus\n")},
            {"printf 'bad \\377 bytes' >&2; exit 2", "Exit code 2\n"},  // standard error that is not UTF-8 is shown as empty
            {"kill -9 $$", "Exit code 9\n"},                            // never a success, the signal number as the status
            // Standard input is empty, not a pipe left open; a lot on standard output cannot stall the tool.
            {"cat; exit 4", "Exit code 4\n"},
            {"head -c 20000000 /dev/zero; echo done >&2; exit 3", "Exit code 3\ndone\n"}};
        for (const auto& [body, text] : cases)
            QCOMPARE(alertTextFor(body), text);
    }

    void toolThatCannotStart()
    {
        qputenv("VELLACORD_LOG_TOOL", m_tools.filePath(QStringLiteral("no-such-tool")).toUtf8());
        LogCollector c;
        const Run r = runToEnd(c);
        QVERIFY(!r.success);
        QVERIFY(!c.isCollecting());
        QVERIFY2(!r.failure.isEmpty(), qPrintable(r.failure));
        QVERIFY2(!r.failure.startsWith(QLatin1String("Exit code")), qPrintable(r.failure));
    }

    void realToolCollectsTheLastHour()
    {
        // The shipped script, found from the build tree, reading a fixture journal instead of the machine's.
        QTemporaryDir journal;
        const double now = QDateTime::currentSecsSinceEpoch();
        using JournalFixture::message;
        QCOMPARE(JournalFixture::writeJournal(journal.path(), {message(now - 7200, "sshd", "two hours ago", 6),
                                                               message(now - 600, "kernel", "ten minutes ago", 3),
                                                               message(now - 60, "cron", "a minute ago", 5)}),
                 QString());
        qputenv("VELLACORD_JOURNAL_DIRECTORY", journal.path().toUtf8());
        LogCollector c;
        const Run r = runToEnd(c);
        QVERIFY2(r.success, qPrintable(r.failure));
        QVERIFY(QFileInfo::exists(r.path + "/system.journal"));
        const QueryResult got = queryEntries(kDistantPast, 0, r.path);  // read as the platform's journal store does
        QCOMPARE(got.entries.size(), 2);
        QCOMPARE(got.entries[0].message + '|' + got.entries[1].message, QStringLiteral("ten minutes ago|a minute ago"));

        // Nothing in the last hour: still an archive, with no entries.
        // (Each run's output is removed: a run in the same second has the same path.)
        QVERIFY(QDir(r.path).removeRecursively());
        QTemporaryDir empty;
        qputenv("VELLACORD_JOURNAL_DIRECTORY", empty.path().toUtf8());
        const Run e = runToEnd(c);
        const QueryResult none = queryEntries(kDistantPast, 0, e.path);
        QVERIFY(none.ok());
        QVERIFY(none.entries.isEmpty());

        // A journal that cannot be read ends in exit status 1, and no archive is left.
        QVERIFY(QDir(e.path).removeRecursively());
        qputenv("VELLACORD_JOURNAL_DIRECTORY", QByteArray("/nonexistent/journal"));
        const Run u = runToEnd(c);
        qunsetenv("VELLACORD_JOURNAL_DIRECTORY");
        QVERIFY2(!u.success, qPrintable(u.failure));
        QVERIFY2(u.failure.contains("it.\nvellacord-log: cannot read the system journal: "), qPrintable(u.failure));
        QVERIFY(!QFileInfo::exists(u.path));
    }

    // Last: it ends the application's event loop. A fetch that supersedes
    // another cancels it; so does quitting, since the application waits for
    // the thread pool when it ends.
    void supersededAndRunningQueriesAreCancelled()
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
        waitLoaded(f);  // the second runs to its end
        released = false;
        f.fetch(0, 1e6);
        QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
        QCoreApplication::exec();
        released = true;
        QVERIFY(QThreadPool::globalInstance()->waitForDone(60000));
        QCOMPARE(log.messages().filter("Query cancelled after scanning 10000 entries").size(), 2);
    }

    // A slow search for an archive's dates stops when another archive opens, and when it closes.
    void spanSearchesOfOtherArchivesStop()
    {
        MemoryStoreProvider p;
        p.store->spanWaitsForStop = true;
        LogFetcher f;
        f.setStoreProvider(&p);
        f.openArchive("/x/A.logarchive");
        f.openArchive("/x/B.logarchive");
        QTRY_COMPARE(p.store->spansStopped->load(), 1);
        f.closeArchive();
        QTRY_COMPARE(p.store->spansStopped->load(), 2);
        QVERIFY(!f.archiveSpan());
        // The live fetch the close started uses the provider: done before it goes.
        QVERIFY(QThreadPool::globalInstance()->waitForDone(60000));
    }
};

QTEST_GUILESS_MAIN(TestLogFetcher)
#include "test_log_fetcher.moc"
