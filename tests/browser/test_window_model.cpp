#include "ai/AISettings.h"
#include "browser/DetailWindowState.h"
#include "browser/EntryText.h"
#include "browser/PendingArchive.h"
#include "browser/WindowModel.h"
#include "logs/LogFetcher.h"
#include "logs/RecentArchives.h"
#include "tests/browser/SampleLogs.h"
#include "tests/support/LogCapture.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TestEnv.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>

#include <memory>

using SampleLogs::entry;
using SampleLogs::now;

// The main window's state and rules, driven without widgets against a store
// held in memory.
class TestWindowModel : public QObject {
    Q_OBJECT

    MemoryStoreProvider provider;
    std::unique_ptr<DetailWindowState> state;
    std::unique_ptr<RecentArchives> recent;
    std::unique_ptr<PendingArchive> pending;
    std::unique_ptr<WindowModel> model;

    void makeModel()
    {
        model = std::make_unique<WindowModel>(state.get(), recent.get(), pending.get());
        model->logFetcher()->setStoreProvider(&provider);
    }

    void showAndLoad()
    {
        model->windowShown();
        QTRY_VERIFY(!model->logFetcher()->isLoading());
    }

    QStringList shownProcesses() const { return SampleLogs::processes(model->filteredEntries()); }
    const LogEntry& row(int i) const { return model->filteredEntries().at(i); }

private slots:
    void initTestCase() { TestEnv::useTemporaryHome(); }

    void init()
    {
        TestEnv::clearSettings();
        SampleLogs::fill(provider);
        provider.openError.reset();
        state = std::make_unique<DetailWindowState>();
        recent = std::make_unique<RecentArchives>();
        pending = std::make_unique<PendingArchive>();
        makeModel();
    }

    void cleanup()
    {
        // A query still running on the pool reads the store the next test refills.
        model.reset();
        QThreadPool::globalInstance()->waitForDone();
    }

    void firstShowAndDerivedLists()
    {
        LogCapture log;
        const double before = now();
        showAndLoad();
        model->windowShown();  // only the first show fetches
        const LogFetcher* f = model->logFetcher();
        QVERIFY(qAbs(*f->lastFetchEnd() - *f->lastFetchStart() - 3600) < 1e-6 && *f->lastFetchEnd() >= before);
        QCOMPARE(log.messages().filter(QStringLiteral("Fetching logs")).size(), 1);
        QCOMPARE(model->pipeline().selectedQuickRange(), std::optional(QuickTimeRange::last1h));

        QCOMPARE(shownProcesses(), (QStringList{"kernel", "launchd", "WindowServer", "backupd", "Safari", "Safari"}));
        QCOMPARE(model->statusText(), QStringLiteral("6 of 10 entries"));
        QCOMPARE(model->processOptions(), (QStringList{"Safari", "WindowServer", "backupd", "kernel", "launchd"}));
        QCOMPARE(model->content(), WindowModel::Content::list);

        // One pipeline pass per change.
        QSignalSpy passes(model.get(), &WindowModel::listChanged);
        model->toggleSeverity(SeverityLevel::notice);
        QVERIFY(passes.size() == 1 && shownProcesses().contains("bluetoothd"));
        QCOMPARE(model->statusText(), QStringLiteral("7 of 10 entries"));

        const LogEntry safari = row(5);  // a copy: the filter replaces the rows
        QCOMPARE(safari.processIdentifier, 120);
        model->filterToPID(safari);
        QCOMPARE(model->visibleColumns(), QList<OptionalColumn>{OptionalColumn::pid});
        QCOMPARE(model->pipeline().filterText(OptionalColumn::pid), QStringLiteral("120"));
        QCOMPARE(shownProcesses(), (QStringList{"Safari"}));
        model->pipeline().setFilterText(OptionalColumn::pid, QStringLiteral("12"));
        QCOMPARE(shownProcesses(), (QStringList{"Safari", "Safari"}));  // 120 and 312
    }

    void timeRangesAndTimelineDrag()
    {
        showAndLoad();
        LogFetcher* f = model->logFetcher();
        QSignalSpy toolbar(model.get(), &WindowModel::toolbarChanged);
        model->selectQuickRange(QuickTimeRange::last4h);
        QVERIFY(qAbs(*f->lastFetchEnd() - *f->lastFetchStart() - 14400) < 1e-6);
        QVERIFY(model->pipeline().selectedQuickRange() == QuickTimeRange::last4h && !toolbar.isEmpty());
        model->toggleCustomRange();
        QVERIFY(model->pipeline().showCustomRange() && !model->pipeline().selectedQuickRange());
        const double start = *f->lastFetchStart();
        QTRY_VERIFY(!f->isLoading());
        QCOMPARE(*f->lastFetchStart(), start);  // the toggle fetches nothing
        // The custom range starts as the hour before the window was made.
        QVERIFY(qAbs(model->pipeline().customEnd() - model->pipeline().customStart() - 3600) < 1e-6);
        model->setCustomRange(1772359200, 1772366400);
        model->applyCustomRange();
        QCOMPARE(std::pair(*f->lastFetchStart(), *f->lastFetchEnd()), std::pair(1772359200.0, 1772366400.0));
        QVERIFY(model->pipeline().showCustomRange());
        model->setCustomRange(1772355600, model->pipeline().customEnd());  // the From field alone
        QCOMPARE(model->pipeline().customStart(), 1772355600.0);
        model->selectQuickRange(QuickTimeRange::last1h);
        QVERIFY(!model->pipeline().showCustomRange());
        QTRY_VERIFY(!f->isLoading());
        QList<TimelineBucket> tl = model->timeline();
        QCOMPARE(tl.size(), Timeline::bucketCount);
        QVERIFY(tl.first().count(SeverityLevel::fault) == 1 && tl.last().count(SeverityLevel::error) == 1);
        QVERIFY(!model->restoreRangeBeforeDrag());
        const double from = tl[10].start, to = tl[60].end;
        model->applyTimelineSpan(to, from);  // dragged right to left
        QVERIFY(model->pipeline().showCustomRange() && !model->pipeline().selectedQuickRange());
        QCOMPARE(std::pair(model->pipeline().customStart(), model->pipeline().customEnd()), std::pair(from, to));
        QCOMPARE(std::pair(*f->lastFetchStart(), *f->lastFetchEnd()), std::pair(from, to));
        QTRY_VERIFY(!f->isLoading());
        QCOMPARE(shownProcesses(), (QStringList{"launchd", "WindowServer", "backupd"}));
        // A second drag narrows further; the double-click goes back past both.
        model->applyTimelineSpan(from, from + 1.5);
        QVERIFY(model->restoreRangeBeforeDrag());
        QVERIFY(model->pipeline().selectedQuickRange() == QuickTimeRange::last1h && !model->pipeline().showCustomRange());
        QVERIFY(qAbs(*f->lastFetchEnd() - *f->lastFetchStart() - 3600) < 1e-6);
        QVERIFY(!model->restoreRangeBeforeDrag());
        // A range picked by hand replaces the one saved.
        model->applyTimelineSpan(from, to);
        model->selectQuickRange(QuickTimeRange::last4h);
        QVERIFY(!model->restoreRangeBeforeDrag());
        // In an archive it goes back to the whole archive.
        model->logFetcher()->openArchive(QStringLiteral("/tmp/Team.logarchive"));
        const double whole = *f->lastFetchStart();
        QTRY_VERIFY(!f->isLoading());
        model->applyTimelineSpan(from, to);
        QVERIFY(model->restoreRangeBeforeDrag());
        QCOMPARE(*f->lastFetchStart(), whole);
        QTRY_VERIFY(!f->isLoading());
        // Filters hiding every entry leave no buckets.
        model->toggleSeverity(SeverityLevel::fault);
        model->toggleSeverity(SeverityLevel::error);
        QVERIFY(model->timeline().isEmpty());
    }

    void timelineBuckets()
    {
        // Out of date order, with a level-0 entry that is never counted.
        LogEntryList list;
        for (auto [date, level] : {std::pair{10.0, 3}, {0.0, 5}, {1.0, 4}, {2.5, 4}, {2.5, 2}, {4.0, 1}, {10.0, 0}, {qQNaN(), 4}}) {
            LogEntry e;
            e.date = 1772359200 + date;
            e.level = level;
            list.append(e);
        }
        const QList<TimelineBucket> b = Timeline::buckets(list, 4);  // 2.5 s each
        QCOMPARE(b.size(), 4);
        const std::array<int, 5> hand[] = {{1, 1, 0, 0, 0}, {0, 1, 0, 1, 1}, {}, {0, 0, 1, 0, 0}};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(b[i].counts, hand[i]);
        QCOMPARE(b[3].end, 1772359210.0);
        QVERIFY(Timeline::describe(b[1]).endsWith(QStringLiteral(":05\nError: 1\nInfo: 1\nDebug: 1")));
        QVERIFY(Timeline::describe(b[2]).endsWith(QStringLiteral("\nNo entries")));
        QCOMPARE(Timeline::buckets(list.mid(2, 1)).size(), 1);  // one instant: one bucket
        QVERIFY(Timeline::buckets(LogEntryList{}).isEmpty());
    }

    void selectionPaneAndFloatingWindow()
    {
        showAndLoad();  // clicks and Escape are the view's tests
        QVERIFY(!model->selectedRowText());
        model->clickEntry(row(1));
        QCOMPARE(model->selectedRowText(), std::optional(EntryText::rowText(row(1))));
        QList<double> heights{model->detailPaneHeight()};
        for (int drag : {-42, -5000, 5000}) {  // dragged up grows it, within 100…500
            model->dragDetailPane(drag);
            heights << model->detailPaneHeight();
        }
        QCOMPARE(heights, (QList<double>{220, 262, 500, 100}));
        model->clickEntry(row(1));
        QSignalSpy opened(model.get(), &WindowModel::floatingWindowRequested);
        model->popOut();  // nothing selected: nothing to pop out
        QCOMPARE(opened.size(), 0);
        model->clickEntry(row(1));
        model->popOut();
        QVERIFY(opened.size() == 1 && state->isOpen() && !model->selectedEntry());
        QCOMPARE(state->entry()->id, row(1).id);
        QCOMPARE(state->aiSettings(), model->aiSettings());
        // Rows now go to the floating window and also select; a second click is no toggle.
        for (int i : {0, 5}) {
            model->clickEntry(row(i));
            model->clickEntry(row(i));
            QVERIFY(state->entry()->id == row(i).id && model->selectedEntry()->id == row(i).id);
        }
        model->setSelectedEntry(std::nullopt);
        state->setWantsPopBack(true);
        QVERIFY(!state->wantsPopBack());
        QCOMPARE(model->selectedEntry()->id, row(5).id);
        // Closed by its close control: clicks toggle the inline selection only.
        state->setOpen(false);
        model->clickEntry(row(2));
        model->clickEntry(row(2));
        QVERIFY(!model->selectedEntry() && state->entry()->id == row(5).id);
    }

    void pendingArchive()
    {
        // Waiting when the window is made: opened at the first show, with no live query first.
        model.reset();
        pending->set(QStringLiteral("/tmp/Team.logarchive/"));
        makeModel();
        QVERIFY(pending->url());
        LogCapture log;
        showAndLoad();
        QVERIFY(!pending->url() && model->logFetcher()->isViewingArchive());
        QCOMPARE(log.messages().filter(QStringLiteral("Fetching logs")).size(), 1);
        QCOMPARE(model->archiveName(), std::optional<QString>(QStringLiteral("Team.logarchive")));

        // Set later, from the Crashes tab: taken over at once, back on Logs.
        model->logFetcher()->closeArchive();
        QVERIFY(!model->archiveName());
        model->setShowCrashes(true);
        pending->set(QStringLiteral("/tmp/Other.logarchive"));
        QVERIFY(!pending->url() && !model->showCrashes());
        QCOMPARE(model->archiveName(), std::optional<QString>(QStringLiteral("Other.logarchive")));

        model->setShowCrashes(true);
        model->openCollectedArchive(QStringLiteral("/tmp/Collected.logarchive"));
        QVERIFY(!model->showCrashes());  // the collected archive is shown on Logs
        QCOMPARE(recent->paths().value(0), QStringLiteral("/tmp/Collected.logarchive"));
        QCOMPARE(model->archiveName(), std::optional<QString>(QStringLiteral("Collected.logarchive")));
    }

    // Asking without a key, the findings and the jump are the shell's tests (test_shell_parts).
    void analysisFailureAndLaterJump()
    {
        LoopbackHttpServer server;
        QVERIFY(server.start());
        qputenv("VELLACORD_ANTHROPIC_URL", server.baseUrl().toUtf8());
        showAndLoad();
        model->aiSettings()->setAPIKey(QStringLiteral("sk-test"));
        const QJsonObject part{{"type", "text"}, {"text", "ENTRY: 1\nTITLE: Launchd exit\nCONCERN: A service died."}};
        server.enqueue(LoopbackHttpServer::Response::json(
            200, QJsonDocument(QJsonObject{{"content", QJsonArray{part}}}).toJson(QJsonDocument::Compact)));
        model->startAnalysis();
        QVERIFY(model->isAnalyzing() && model->showAnalysis() && !model->canAnalyze());
        QTRY_VERIFY(!model->isAnalyzing());
        QCOMPARE(model->analysisItems().value(0).entry.value_or(LogEntry()).id, row(1).id);
        // A failed second run leaves no stale findings.
        server.enqueue(LoopbackHttpServer::Response::json(500, R"({"error":"down"})"));
        model->startAnalysis();
        QVERIFY(model->analysisItems().isEmpty());
        QTRY_VERIFY(!model->isAnalyzing());
        QVERIFY(model->analysisError() && model->analysisItems().isEmpty());
        qunsetenv("VELLACORD_ANTHROPIC_URL");

        // A jump shows the Logs tab; a later jump owns the highlight: the first timer leaves it alone.
        model->setHighlightDuration(50);
        model->setShowCrashes(true);
        model->selectFromAnalysis(row(2));
        QVERIFY(!model->showCrashes());
        QTest::qWait(30);
        model->selectFromAnalysis(row(3));
        QTest::qWait(30);
        QCOMPARE(model->highlightedEntryID(), std::optional(row(3).id));
        QTRY_VERIFY(!model->highlightedEntryID());
    }
};

QTEST_GUILESS_MAIN(TestWindowModel)
#include "test_window_model.moc"
