#include "ai/AISettings.h"
#include "ai/ExplainController.h"
#include "browser/AnalysisRun.h"
#include "browser/DetailWindowState.h"
#include "browser/EntrySelection.h"
#include "browser/EntryText.h"
#include "browser/FetchRange.h"
#include "browser/PendingArchive.h"
#include "browser/TailFollow.h"
#include "browser/WindowModel.h"
#include "browser/views/BrowserWidgets.h"
#include "browser/views/ContentView.h"
#include "browser/views/DetailPane.h"
#include "browser/views/ExportCommand.h"
#include "browser/views/FloatingDetailView.h"
#include "browser/views/LogListModel.h"
#include "logs/LogFetcher.h"
#include "logs/RecentArchives.h"
#include "tests/support/LogCapture.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/MemoryLogStore.h"
#include "tests/support/PaintedText.h"
#include "tests/support/TestEnv.h"
#include "tests/support/WindowFixture.h"
#include "ui/PlainTextViewer.h"
#include "ui/TintedBar.h"
#include "ui/Widgets.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QTimer>
#include <QToolButton>

#include <memory>

namespace {

double now() { return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0; }

RawEntry entry(double date, int level, const QString& process, const QString& message, qint32 pid,
               const QString& subsystem = {})
{
    RawEntry r = MemoryLogStore::log(date, level, process, message, subsystem, QStringLiteral("libfoo.dylib"));
    r.entry.processIdentifier = pid;
    return r;
}

// Ten entries of the last 20 minutes, one second apart; six are Fault or
// Error (the default filters): kernel, launchd, WindowServer, backupd, Safari, Safari.
void fill(MemoryStoreProvider& provider)
{
    const double t = now() - 1200;
    provider.locked([&] {
        provider.store->skipped = {};
        provider.store->raw = {
            entry(t + 1, 5, "kernel", "panic: disk0 stalled", 0, "com.apple.iokit.power"),
            entry(t + 2, 4, "launchd", "Service exited with abnormal code: 78", 1, "com.apple.xpc.launchd"),
            entry(t + 3, 4, "WindowServer", "display failed to reconfigure", 163),
            entry(t + 4, 3, "bluetoothd", "Peripheral disconnected", 221, "com.apple.bluetooth"),
            entry(t + 5, 2, "cloudd", "Fetched 12 record changes", 733),
            entry(t + 6, 4, "backupd", "Backup DISK not found", 1502),
            entry(t + 7, 1, "mds_stores", "queue depth 14", 412),
            entry(t + 8, 0, "mystery", "undefined level", 12),
            entry(t + 9, 4, "Safari", "WebContent crashed", 120),
            entry(t + 10, 4, "Safari", "could not signal service", 312),
        };
    });
}

template <typename Rows>  // a LogEntryList or the window's EntryRows
QStringList processes(const Rows& list)
{
    QStringList l;
    for (const LogEntry& e : list)
        l << e.process;
    return l;
}

}  // namespace

// The main window against a store held in memory: first its model's state and
// rules, then the wiring of its controls to the model (the filter rules are
// the pipeline's tests).
class TestContentView : public QObject, public WindowFixture {
    Q_OBJECT

    QStringList shownProcesses() const { return processes(view->listModel()->entries()); }
    const LogEntry& row(int i) const { return model()->filteredEntries().at(i); }

    void clickRowAt(int row)
    {
        QAbstractItemView* list = view->listView();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(view->listModel()->index(row)).center());
    }

private slots:
    void initTestCase() { TestEnv::useTemporaryHome(); }

    void init()
    {
        TestEnv::clearSettings();
        fill(provider);
        provider.locked([&] { provider.openError.reset(); });
        setUp();
    }

    void cleanup() { tearDown(); }

    void firstShowAndDerivedLists()
    {
        view.reset();
        LogCapture log;
        const double before = now();
        makeView();
        model()->range()->windowShown();  // only the first show fetches
        const LogFetcher* f = model()->logFetcher();
        QVERIFY(qAbs(*f->lastFetchEnd() - *f->lastFetchStart() - 3600) < 1e-6);
        QVERIFY(*f->lastFetchEnd() >= before);
        QCOMPARE(log.messages().filter(QStringLiteral("Fetching logs")).size(), 1);

        QCOMPARE(shownProcesses(), (QStringList{"kernel", "launchd", "WindowServer", "backupd", "Safari", "Safari"}));

        // A chip toggles its level; the status line counts.
        auto* notice = child<SeverityChip>("chip_Notice");
        QTest::mouseClick(notice, Qt::LeftButton);
        QVERIFY(notice->isChecked());
        QVERIFY(shownProcesses().contains("bluetoothd"));
        QCOMPARE(child<QLabel>("statusLabel")->text(), QStringLiteral("7 of 10 entries"));

        model()->filterToPID(LogEntry(row(5)));  // a copy: the filter replaces the rows; PID 120, not 312
        QCOMPARE(shownProcesses(), (QStringList{"Safari"}));
    }

    void timeRangesAndTimelineDrag()
    {
        LogFetcher* f = model()->logFetcher();
        QSignalSpy toolbar(&model()->pipeline(), &FilterPipeline::rangeChanged);
        model()->range()->selectQuickRange(QuickTimeRange::last4h);
        QVERIFY(qAbs(*f->lastFetchEnd() - *f->lastFetchStart() - 14400) < 1e-6);
        QVERIFY(f->isLoading());
        QVERIFY(!child("refreshButton")->isEnabled());  // enabled again once loaded, below
        QCOMPARE(model()->pipeline().selectedQuickRange(), QuickTimeRange::last4h);
        QVERIFY(!toolbar.isEmpty());
        model()->range()->toggleCustomRange();
        QVERIFY(model()->pipeline().showCustomRange());
        QVERIFY(!model()->pipeline().selectedQuickRange());
        model()->range()->setCustomRange(1772359200, 1772366400);
        model()->range()->applyCustomRange();
        QCOMPARE(std::pair(*f->lastFetchStart(), *f->lastFetchEnd()), std::pair(1772359200.0, 1772366400.0));
        model()->range()->setCustomRange(1772355600, model()->pipeline().customEnd());  // the From field alone
        QCOMPARE(model()->pipeline().customStart(), 1772355600.0);
        model()->range()->selectQuickRange(QuickTimeRange::last1h);
        QVERIFY(!model()->pipeline().showCustomRange());
        QTRY_VERIFY(!f->isLoading());
        QVERIFY(child("refreshButton")->isEnabled());
        QList<TimelineBucket> tl = model()->timeline();
        QCOMPARE(tl.first().count(SeverityLevel::fault), 1);
        QCOMPARE(tl.last().count(SeverityLevel::error), 1);
        const double from = tl[10].start, to = tl[60].end;
        model()->range()->applyTimelineSpan(to, from);  // dragged right to left
        QVERIFY(model()->pipeline().showCustomRange());
        QVERIFY(!model()->pipeline().selectedQuickRange());
        QCOMPARE(std::pair(model()->pipeline().customStart(), model()->pipeline().customEnd()), std::pair(from, to));
        QCOMPARE(std::pair(*f->lastFetchStart(), *f->lastFetchEnd()), std::pair(from, to));
        QTRY_VERIFY(!f->isLoading());
        QCOMPARE(shownProcesses(), (QStringList{"launchd", "WindowServer", "backupd"}));
        auto* strip = child("timeline");
        {
            // Under the bars: the time of the first bucket's start and of the last one's end.
            const auto at = [](double t) {
                return QDateTime::fromMSecsSinceEpoch(qint64(std::floor(t * 1000))).toString("yyyy-MM-dd HH:mm:ss");
            };
            PaintedText painted(strip->size());
            strip->render(&painted);
            const QList<TimelineBucket> shown = model()->timeline();
            QCOMPARE(painted.texts(), (QStringList{at(shown.first().start), at(shown.last().end)}));
        }
        // A second drag, on the strip of t+2…t+6 s, narrows further: its second eighth to its fourth keeps t+3.
        const int left = 8, width = strip->width() - 16, y = 20;
        QTest::mousePress(strip, Qt::LeftButton, {}, QPoint(left + width / 8, y));
        QTest::mouseMove(strip, QPoint(left + width / 4, y));
        QTest::mouseRelease(strip, Qt::LeftButton, {}, QPoint(left + width * 3 / 8, y));
        QVERIFY(child("customRow")->isVisible());
        QTRY_COMPARE(shownProcesses(), QStringList{"WindowServer"});
        // The double-click goes back past both.
        QTest::mouseDClick(strip, Qt::LeftButton, {}, QPoint(left, y));
        QCOMPARE(model()->pipeline().selectedQuickRange(), QuickTimeRange::last1h);
        QVERIFY(!child("customRow")->isVisible());
        QVERIFY(qAbs(*f->lastFetchEnd() - *f->lastFetchStart() - 3600) < 1e-6);
        QVERIFY(!model()->range()->restoreRangeBeforeDrag());
        model()->range()->applyTimelineSpan(from, to);
        model()->range()->toggleCustomRange();  // the user's own range choice: nothing to go back to
        QVERIFY(!model()->range()->restoreRangeBeforeDrag());
        // In an archive it goes back to the whole archive.
        model()->logFetcher()->openArchive(QStringLiteral("/tmp/Team.logarchive"));
        const double whole = *f->lastFetchStart();
        QTRY_VERIFY(!f->isLoading());
        model()->range()->applyTimelineSpan(from, to);
        QVERIFY(model()->range()->restoreRangeBeforeDrag());
        QCOMPARE(*f->lastFetchStart(), whole);
        QTRY_VERIFY(!f->isLoading());
        // Filters hiding every entry leave no buckets (no strip) and nothing to analyze, but the list (not "No log entries found").
        model()->toggleSeverity(SeverityLevel::fault);
        model()->toggleSeverity(SeverityLevel::error);
        QVERIFY(model()->timeline().isEmpty());
        QVERIFY(!child("timeline")->isVisible());
        QVERIFY(!model()->analysis()->canAnalyze());
        QCOMPARE(model()->content(), WindowModel::Content::list);
    }

    void timelineBuckets()
    {
        // Out of date order, with a level-0 entry that is never counted.
        LogEntryList list;
        for (auto [date, level] : {std::pair{10.0, 3}, {10.0, 0}, {0.0, 5}, {1.0, 4}, {2.5, 4}, {2.5, 2}, {4.0, 1}, {qQNaN(), 4}}) {
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
        QSignalSpy opened(model()->selection(), &EntrySelection::floatingWindowRequested);
        model()->selection()->popOut();  // nothing selected: nothing to pop out
        QCOMPARE(opened.size(), 0);
        model()->selection()->clickEntry(row(1));
        auto* pop = view->detailPane()->findChild<QToolButton*>("popOutButton");
        QCOMPARE(pop->toolTip(), QStringLiteral("Open in separate window"));
        QTest::mouseClick(pop, Qt::LeftButton);
        QCOMPARE(opened.size(), 1);
        QVERIFY(state->isOpen());
        QVERIFY(!model()->selection()->isPaneOpen());
        QVERIFY(model()->selection()->entry());
        QCOMPARE(state->entry()->id, row(1).id);
        QCOMPARE(state->aiSettings(), model()->aiSettings());
        FloatingDetailView* floating = FloatingDetailView::instance();
        QVERIFY(floating);
        QVERIFY(floating->isVisible());
        QVERIFY(floating->pane());
        QVERIFY(!floating->pane()->findChild<QToolButton*>("popOutButton"));
        QCOMPARE(floating->windowTitle(), QStringLiteral("Log Entry Detail"));
        QCOMPARE(floating->pane()->entry().id, row(1).id);
        // Rows now go to the floating window and also select; a second click is no toggle.
        for (int i : {0, 5}) {
            model()->selection()->clickEntry(row(i));
            model()->selection()->clickEntry(row(i));
            QCOMPARE(state->entry()->id, row(i).id);
            QCOMPARE(model()->selection()->entry()->id, row(i).id);
        }
        model()->selection()->setEntry(std::nullopt);
        auto* back = floating->findChild<QToolButton*>("popBackButton");
        QCOMPARE(back->text(), QStringLiteral("Pop Back In"));
        QTest::mouseClick(back, Qt::LeftButton);
        QTRY_VERIFY(!FloatingDetailView::instance());
        QVERIFY(!state->wantsPopBack());
        QVERIFY(!state->isOpen());
        QVERIFY(view->detailPane());
        QCOMPARE(model()->selection()->entry()->id, row(5).id);
        DetailWindowState empty;
        std::unique_ptr<FloatingDetailView> w(FloatingDetailView::open(&empty));
        QVERIFY(!w->pane());
        QCOMPARE(w->findChild<QLabel*>("noEntryLabel")->text(), QStringLiteral("No entry selected"));
    }

    // An archive collected days ago: listed whole ("All", no quick range) when
    // it opens; its quick ranges count back from its last entry, its custom
    // range starts as all of it; closing it brings the live hour back.
    void archiveRangesCountFromItsLastEntry()
    {
        const double last = now() - 3 * 86400;
        provider.locked([&] {
            provider.store->raw.clear();
            for (int i = 0; i < 100; ++i)  // one every 10 minutes over 16.5 hours
                provider.store->raw.push_back(entry(last - (99 - i) * 600.0, 4, "backupd", QString::number(i), 7));
            provider.store->skipped.withoutStrings = 3;
        });
        LogFetcher* f = model()->logFetcher();
        view->setShowCrashes(true);  // an archive handed to the window is shown on the Logs tab
        pending->set(QStringLiteral("/tmp/Old.logarchive"));
        QVERIFY(!view->showCrashes());
        QTRY_VERIFY(loaded() && f->archiveSpan());
        auto* all = child<PillButton>("range_All");
        auto* hour = child<PillButton>("range_1h");
        QVERIFY(all->isVisible());
        QVERIFY(all->selectedLook());
        QVERIFY(!hour->selectedLook());
        QVERIFY(hour->isEnabled());
        QCOMPARE(model()->filteredEntries().size(), 100);
        // What could not be resolved is said quietly: no failure, no tint.
        auto* notice = qobject_cast<TintedBar*>(child("queryNoticeRow"));
        QVERIFY(notice->isVisible());
        QVERIFY(!notice->isTinted());
        QCOMPARE(child<QLabel>("queryNotice")->text(), *model()->skipNotice());
        QCOMPARE(std::pair(model()->pipeline().customStart(), model()->pipeline().customEnd()),
                 std::pair(last - 99 * 600.0, last));
        QTest::mouseClick(hour, Qt::LeftButton);
        QCOMPARE(std::pair(*f->lastFetchStart(), *f->lastFetchEnd()), std::pair(last - 3600, last));
        QTRY_VERIFY(loaded());
        QCOMPARE(model()->filteredEntries().size(), 7);  // the archive's last hour, both ends included
        QVERIFY(hour->selectedLook());
        QVERIFY(!all->selectedLook());
        // Refresh reloads all of it, and "All" says so. Files left unread tint the notice.
        provider.locked([&] { provider.store->skipped.notRead = 2; });
        QTest::mouseClick(child<QToolButton>("refreshButton"), Qt::LeftButton);
        QVERIFY(all->selectedLook());
        QVERIFY(*f->lastFetchStart() == kDistantPast);
        QTRY_VERIFY(loaded());
        QVERIFY(notice->isVisible());
        QVERIFY(notice->isTinted());
        QTest::mouseClick(child<QPushButton>("closeArchiveButton"), Qt::LeftButton);
        QVERIFY(!all->isVisible());
        QCOMPARE(model()->pipeline().selectedQuickRange(), QuickTimeRange::last1h);
        QVERIFY(!f->archiveSpan());
        QTRY_VERIFY(loaded());
    }

    void pendingArchive()
    {
        // Waiting when the window is made: opened at the first show, with no live query first.
        view.reset();
        pending->set(QStringLiteral("/tmp/Team.logarchive/"));
        LogCapture log;
        makeView();
        QVERIFY(!pending->path());
        QVERIFY(model()->logFetcher()->isViewingArchive());
        QCOMPARE(log.messages().filter(QStringLiteral("Fetching logs")).size(), 1);
        QCOMPARE(model()->archiveName(), std::optional<QString>(QStringLiteral("Team.logarchive")));
    }

    // Asking without a key, the findings and the jump are the shell's tests (test_app_shell).
    void analysisFailureAndLaterJump()
    {
        LoopbackHttpServer server;
        QVERIFY(server.start());
        qputenv("VELLACORD_ANTHROPIC_URL", server.baseUrl().toUtf8());
        model()->aiSettings()->setAPIKey(QStringLiteral("sk-test"));
        const QJsonObject part{{"type", "text"}, {"text", "ENTRY: 1\nTITLE: Launchd exit\nCONCERN: A service died."}};
        server.enqueue(LoopbackHttpServer::Response::json(
            200, QJsonDocument(QJsonObject{{"content", QJsonArray{part}}}).toJson(QJsonDocument::Compact)));
        model()->analysis()->start();
        QVERIFY(model()->analysis()->isAnalyzing());
        QVERIFY(model()->analysis()->showAnalysis());
        QVERIFY(!model()->analysis()->canAnalyze());
        QTRY_VERIFY(!model()->analysis()->isAnalyzing());
        QCOMPARE(model()->analysis()->items().value(0).entry.value_or(LogEntry()).id, row(1).id);
        // A failed second run (of another list) leaves no stale findings.
        server.enqueue(LoopbackHttpServer::Response::json(500, R"({"error":"down"})"));
        model()->toggleSeverity(SeverityLevel::notice);
        model()->analysis()->start();
        QTRY_VERIFY(!model()->analysis()->isAnalyzing());
        QVERIFY(model()->analysis()->error());
        QVERIFY(model()->analysis()->items().isEmpty());
        qunsetenv("VELLACORD_ANTHROPIC_URL");

        // A jump shows the Logs tab (the highlight is the shell's test).
        view->setShowCrashes(true);
        model()->selection()->selectFromAnalysis(row(2));
        QVERIFY(!view->showCrashes());
    }

    // Newest first, Analyze sends the 100 newest numbered from the top; the
    // sheet opened again after a jump shows the same findings without asking
    // again, until the list differs.
    void analysisOfTheNewestKeptAcrossAJump()
    {
        struct Sheet : AnalysisSheet {
            int opened = 0;
            QList<AnalysisItem> shown;
            void begin() override { ++opened, shown.clear(); }
            void finish(const QList<AnalysisItem>& items, const std::optional<QString>&) override { shown = items; }
        };
        auto* sheet = new Sheet;
        WindowParts parts;
        parts.makeAnalysisSheet = [sheet](ContentView*) { return std::unique_ptr<AnalysisSheet>(sheet); };
        const double t = now() - 1200;
        provider.locked([&] {
            provider.store->raw.clear();
            for (int i = 0; i < 150; ++i)
                provider.store->raw.push_back(entry(t + i, 4, QStringLiteral("p%1").arg(i), QStringLiteral("m%1").arg(i), i));
        });
        view.reset();
        makeView(std::move(parts));
        LoopbackHttpServer server;
        QVERIFY(server.start());
        qputenv("VELLACORD_ANTHROPIC_URL", server.baseUrl().toUtf8());
        model()->aiSettings()->setAPIKey(QStringLiteral("sk-test"));
        const QJsonObject part{{"type", "text"}, {"text", "ENTRY: 0\nTITLE: Newest\nCONCERN: c"}};
        server.setFallback(LoopbackHttpServer::Response::json(
            200, QJsonDocument(QJsonObject{{"content", QJsonArray{part}}}).toJson(QJsonDocument::Compact)));
        LogHeader* header = view->header();
        QTest::mouseClick(header, Qt::LeftButton, {}, header->labelRect(ColumnId::time).center());
        QCOMPARE(header->shownText(ColumnId::time), QStringLiteral("Time \u2193"));
        auto* analyze = child<QPushButton>("analyzeButton");
        QTest::mouseClick(analyze, Qt::LeftButton);
        QTRY_VERIFY(!model()->analysis()->isAnalyzing());
        const QStringList lines = QJsonDocument::fromJson(server.requests().first().body)["messages"][0]["content"]
                                      .toString()
                                      .split('\n');
        QCOMPARE(lines.size(), 100);
        QCOMPARE(lines.first() + '|' + lines.last(), QStringLiteral("[0] Error | p149 |  | m149|[99] Error | p50 |  | m50"));
        QCOMPARE(sheet->shown.value(0).entry.value_or(LogEntry()).id, row(0).id);

        // What the sheet's jump does before it closes.
        model()->selection()->selectFromAnalysis(*sheet->shown[0].entry);
        const QUuid finding = sheet->shown[0].id;
        QTest::mouseClick(analyze, Qt::LeftButton);
        QCOMPARE(sheet->opened, 2);
        QCOMPARE(sheet->shown.value(0).id, finding);
        QVERIFY(!model()->analysis()->isAnalyzing());
        model()->toggleSeverity(SeverityLevel::fault);  // no Fault entries: the same list
        QTest::mouseClick(analyze, Qt::LeftButton);
        QCOMPARE(server.requestCount(), 1);
        model()->pipeline().setSearchText(QStringLiteral("m1"));
        QTest::mouseClick(analyze, Qt::LeftButton);
        QTRY_VERIFY(!model()->analysis()->isAnalyzing());
        QCOMPARE(server.requestCount(), 2);
        QVERIFY(sheet->shown.value(0).id != finding);
        qunsetenv("VELLACORD_ANTHROPIC_URL");
    }

    // Popped out while explaining, the floating window goes on with it and shows the answer as fresh; so
    // does the pane when it is popped back in.
    void popOutKeepsTheExplanation()
    {
        LoopbackHttpServer server;
        QVERIFY(server.start());
        qputenv("VELLACORD_ANTHROPIC_URL", server.baseUrl().toUtf8());
        model()->aiSettings()->setAPIKey(QStringLiteral("sk-test"));
        const QJsonObject part{{"type", "text"}, {"text", "The service's *config* is broken."}};
        server.enqueue(LoopbackHttpServer::Response::json(
            200, QJsonDocument(QJsonObject{{"content", QJsonArray{part}}}).toJson(QJsonDocument::Compact)));
        model()->selection()->clickEntry(row(1));
        view->detailPane()->explain();
        QVERIFY(view->detailPane()->isExplaining());
        model()->selection()->popOut();
        DetailPane* floating = FloatingDetailView::instance()->pane();
        QVERIFY(floating->isExplaining());  // no answer before the event loop runs
        QTRY_VERIFY(!floating->isExplaining());
        QVERIFY(floating->explainer()->explanation());
        QVERIFY(!floating->wasCached());
        // And back: the pane shows the same fresh answer, not the cache's copy of it.
        QTest::mouseClick(FloatingDetailView::instance()->findChild<QToolButton*>("popBackButton"), Qt::LeftButton);
        QVERIFY(view->detailPane());
        QVERIFY(view->detailPane()->explainer()->explanation());
        QVERIFY(!view->detailPane()->wasCached());
        QCOMPARE(server.requestCount(), 1);
        qunsetenv("VELLACORD_ANTHROPIC_URL");
    }

    void filterControls()
    {
        auto* search = child<QLineEdit>("searchField");
        QCOMPARE(search->placeholderText(), QStringLiteral("Search messages and processes…"));
        QTest::keyClicks(search, QStringLiteral("xpc"));
        QCOMPARE(shownProcesses(), (QStringList{"launchd"}));
        search->clear();

        auto* combo = child<QComboBox>("processCombo");
        QCOMPARE(combo->itemText(0), QStringLiteral("All Processes"));
        emit combo->activated(combo->findData(QStringLiteral("Safari")));
        QCOMPARE(shownProcesses(), QStringList({"Safari", "Safari"}));
        QCOMPARE(combo->currentText(), QStringLiteral("Safari"));
        emit combo->activated(0);

        // A click on a label sorts by it (the order rules are the pipeline's).
        LogHeader* header = view->header();
        QCOMPARE(header->shownText(ColumnId::time), QStringLiteral("Time \u2191"));
        QTest::mouseClick(header, Qt::LeftButton, {}, header->labelRect(ColumnId::process).center());
        QCOMPARE(header->shownText(ColumnId::process) + '|' + shownProcesses().first(), QStringLiteral("Process \u2191|backupd"));
    }

    void selectionKeyboardAndCopy()
    {
        QVERIFY(!view->detailPane());
        clickRowAt(1);
        QCOMPARE(paneMessage(), QStringLiteral("Service exited with abnormal code: 78"));
        QClipboard* clipboard = QGuiApplication::clipboard();
        const QString row = EntryText::rowText(*view->model()->selection()->entry());
        QTest::keyClick(view->listView(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), row);
        // Text selected in a field is copied first.
        auto* search = child<QLineEdit>("searchField");
        search->setFocus();
        QTest::keyClicks(search, QStringLiteral("abnormal"));
        search->selectAll();
        QTest::keyClick(search, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), QStringLiteral("abnormal"));
        search->clear();
        // Another row updates the same pane; the same row again closes it.
        DetailPane* pane = view->detailPane();
        clickRowAt(0);
        QCOMPARE(view->detailPane(), pane);
        QCOMPARE(paneMessage(), QStringLiteral("panic: disk0 stalled"));
        clickRowAt(0);
        QVERIFY(!view->model()->selection()->entry());
        QTRY_VERIFY(!view->detailPane());
        clipboard->setText(QStringLiteral("untouched"));
        QTest::keyClick(view->listView(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), QStringLiteral("untouched"));

        QAbstractItemView* list = view->listView();
        list->setFocus();
        const struct {
            Qt::Key key;
            int row;
        } steps[] = {
            {Qt::Key_Up, 5}, {Qt::Key_Up, 4}, {Qt::Key_Home, 0}, {Qt::Key_Down, 1}, {Qt::Key_PageUp, 0}, {Qt::Key_PageDown, 5}, {Qt::Key_Down, 5}};
        for (const auto& [key, row] : steps) {
            QTest::keyClick(list, key);
            QCOMPARE(view->model()->selection()->entry().value_or(LogEntry()).id, view->listModel()->entryAt(row).id);
        }
        QCOMPARE(paneMessage(), QStringLiteral("could not signal service"));
        QTest::keyClick(list, Qt::Key_Tab);  // leaves the list; the selection stays
        QVERIFY(!list->hasFocus());
        QCOMPARE(view->model()->selection()->entry()->id, view->listModel()->entryAt(5).id);

        // Find goes back to the logs and focuses the search; Escape clears its text, then closes the pane.
        view->setShowCrashes(true);
        QTest::keyClick(view.get(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(search->hasFocus());
        QVERIFY(!view->showCrashes());
        QTest::keyClicks(search, QStringLiteral("Safari"));
        QTest::keyClick(search, Qt::Key_Escape);
        QVERIFY(search->text().isEmpty());
        QVERIFY(view->model()->selection()->entry());
        QTest::keyClick(search, Qt::Key_Escape);
        QVERIFY(!view->detailPane());
        QVERIFY(view->model()->selection()->entry());
    }

    void exportVisibleEntries()
    {
        ExportCommand* cmd = view->exportCommand();
        QTemporaryDir dir;
        QString typed = dir.filePath("rows");
        std::optional<QString> alert;
        cmd->setSavePanelRunner([&](const QString&) { return ExportCommand::SaveChoice{typed, EntryExport::Format::csv}; });
        cmd->setAlertRunner([&](const QString& text) { alert = text; });
        view->model()->pipeline().setShown(ColumnId::pid, true);
        view->model()->pipeline().setSearchText("safari");
        QSignalSpy done(cmd, &ExportCommand::finished);
        QTest::keyClick(view.get(), Qt::Key_E, Qt::ControlModifier);
        QVERIFY(done.wait());
        QVERIFY(!alert);
        QFile out(typed + ".csv");
        QVERIFY(out.open(QIODevice::ReadOnly));
        QCOMPARE(out.readAll(), EntryExport::document(EntryExport::Format::csv, view->model()->filteredEntries().toList(),
                                                      {ColumnId::pid}));
        // Success is told in the window; a failure replaces it by its alert.
        QCOMPARE(ExportCommand::successText("/t/a.jsonl", 1234) + '|' + ExportCommand::successText("/t/b.txt", 1),
                 QStringLiteral("Exported 1,234 entries to /t/a.jsonl.|Exported 1 entry to /t/b.txt."));
        QVERIFY(cmd->notice());
        QVERIFY(cmd->notice()->isVisible());
        QCOMPARE(cmd->notice()->parentWidget(), view.get());
        QCOMPARE(cmd->notice()->text(), ExportCommand::successText(typed + ".csv", view->model()->filteredEntries().size()));
        typed = dir.filePath("missing/rows.txt");
        cmd->run();
        QVERIFY(done.wait());
        QCOMPARE(alert.value_or(QString()),
                 ExportCommand::failureText(typed, done.last().first().value<std::optional<QString>>().value()));
        QVERIFY(!cmd->notice()->isVisible());
    }

    // The row's menu: "Copy Entry" after "Copy Row", copying what the detail pane would.
    void rowMenuCopyEntry()
    {
        QTRY_VERIFY(view->listModel()->rowCount() > 0);
        QStringList items;
        QTimer::singleShot(0, this, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            for (QAction* a : menu->actions())
                items << a->text();
            if (QAction* copy = menu->actions().value(items.indexOf("Copy Entry")))
                copy->trigger();
            menu->close();
        });
        QAbstractItemView* list = view->listView();
        emit list->customContextMenuRequested(list->visualRect(view->listModel()->index(0)).center());
        QCOMPARE(items.mid(0, 3), (QStringList{"Copy Message", "Copy Row", "Copy Entry"}));
        QCOMPARE(QApplication::clipboard()->text(),
                 EntryText::entryText(view->listModel()->entryAt(0), view->model()->processNames()));
    }

    void errorStatesArchiveAndCutNotice()
    {
        provider.locked([&] { provider.store->raw.clear(); });
        const JournalAccess outsider{JournalAccess::Limit::notInGroup, QStringLiteral("ann")};
        view->model()->logFetcher()->setJournalAccessProbe([outsider] { return outsider; });
        view->model()->logFetcher()->refresh();
        QTRY_VERIFY(loaded());
        // An empty live journal the user may not read: why, and the command; another failure: its message, without it.
        QCOMPARE(view->contentArea()->objectName(), QStringLiteral("errorPanel"));
        auto* text = child<QLabel>("errorText");
        QCOMPARE(text->text(), LogFetcher::emptyResultText(false, outsider));
        auto* button = child<QPushButton>("journalGroupButton");
        QVERIFY(button->isVisible());
        provider.locked([&] { provider.openError = StoreError{QStringLiteral("journal gone")}; });
        view->model()->logFetcher()->refresh();
        QTRY_VERIFY(loaded());
        QCOMPARE(view->contentArea()->objectName(), QStringLiteral("errorPanel"));
        QCOMPARE(text->text(), view->model()->logFetcher()->errorMessage().value_or(QString()));
        QVERIFY(!button->isVisible());

        // An archive of more records than the cap: the oldest are kept, and a line of its own says so.
        auto* notice = child<QLabel>("queryNotice");
        auto* tail = child<QPushButton>("tailButton");
        QCOMPARE(tail->toolTip(), QStringLiteral("Start live tail"));
        const double t = now() - 7200;
        provider.locked([&] {
            provider.openError.reset();
            provider.store->raw.clear();
            for (int i = 0; i < kEntryCap + 10000; ++i)
                provider.store->raw.push_back(entry(t + i * 0.1, 4, "cloudd", QString::number(i), 7));
            provider.store->skipped.chunks = 2;  // and damage was skipped: the same line says so
        });
        pending->set(QStringLiteral("/tmp/Big.logarchive"));
        QTRY_VERIFY(loaded());
        QCOMPARE(child<QLabel>("archiveLabel")->text(), QStringLiteral("Viewing archive: Big.logarchive"));
        QVERIFY(child("archiveBanner")->isVisible());
        QVERIFY(!tail->isEnabled());
        QCOMPARE(tail->toolTip(), QStringLiteral("Live tail not available for archives"));
        QVERIFY(notice->isVisible());
        QCOMPARE(notice->textFormat(), Qt::PlainText);
        // It says how much of the archive the list holds, and what was skipped, once.
        const LogFetcher* f = view->model()->logFetcher();
        QTRY_VERIFY(f->archiveSpan());
        QCOMPARE(notice->text(), *LogFetcher::cutText(f->outcome(), kEntryCap, DateRange{t, t + (kEntryCap - 1) * 0.1},
                                                      f->archiveSpan()) +
                                     QLatin1Char(' ') + *LogFetcher::skipText(f->outcome().skipped));
        QVERIFY(qobject_cast<TintedBar*>(child("queryNoticeRow"))->isTinted());
        // Closing starts a live query, on the refilled store.
        fill(provider);
        QTest::mouseClick(child<QPushButton>("closeArchiveButton"), Qt::LeftButton);
        QTRY_VERIFY(loaded());
        QVERIFY(!notice->isVisible());
        QVERIFY(!child("archiveBanner")->isVisible());
        QVERIFY(tail->isEnabled());
    }

    void liveTailJumpToBottom()
    {
        view->model()->logFetcher()->setLiveTailInterval(30);
        provider.locked([&] { provider.store->raw.push_back(entry(now() - 30, 4, "tailer", "polled", 7)); });
        view->model()->tail()->userScrolled();  // not tailing: still following
        QVERIFY(view->model()->tail()->autoScrollEnabled());
        auto* tail = child<QPushButton>("tailButton");
        QTest::mouseClick(tail, Qt::LeftButton);
        QCOMPARE(tail->text() + '|' + tail->toolTip(), QStringLiteral("Tailing|Pause live tail"));
        QTRY_VERIFY(shownProcesses().contains("tailer"));
        // Scrolling by hand stops following and offers the jump.
        view->model()->tail()->userScrolled();
        auto* jump = child<QPushButton>("jumpToBottom");
        QVERIFY(jump->isVisible());
        QVERIFY(!view->model()->tail()->autoScrollEnabled());
        QCOMPARE(jump->text(), QStringLiteral("Jump to Bottom"));
        QTest::mouseClick(tail, Qt::LeftButton);
        QVERIFY(!view->model()->logFetcher()->isLiveTailing());
        QCOMPARE(tail->text(), QStringLiteral("Tail"));
    }
};

QTEST_MAIN(TestContentView)
#include "test_content_view.moc"
