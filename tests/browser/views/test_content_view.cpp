#include "browser/DetailWindowState.h"
#include "browser/EntryText.h"
#include "browser/PendingArchive.h"
#include "browser/WindowModel.h"
#include "browser/views/BrowserWidgets.h"
#include "browser/views/ContentView.h"
#include "browser/views/DetailPane.h"
#include "browser/views/ExportCommand.h"
#include "browser/views/FloatingDetailView.h"
#include "browser/views/LogListModel.h"
#include "logs/LogFetcher.h"
#include "logs/RecentArchives.h"
#include "tests/browser/SampleLogs.h"
#include "tests/support/TestEnv.h"
#include "ui/PlainTextViewer.h"
#include "ui/Widgets.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QToolButton>

#include <memory>

using SampleLogs::entry;
using SampleLogs::now;

// The wiring of the main window's controls to its model; the rules themselves
// are the model's and the pipeline's tests.
class TestContentView : public QObject {
    Q_OBJECT

    MemoryStoreProvider provider;
    std::unique_ptr<DetailWindowState> state;
    std::unique_ptr<RecentArchives> recent;
    std::unique_ptr<PendingArchive> pending;
    std::unique_ptr<ContentView> view;

    QStringList shownProcesses() const { return SampleLogs::processes(view->listModel()->entries()); }

    void clickRowAt(int row)
    {
        QAbstractItemView* list = view->listView();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(view->listModel()->index(row)).center());
    }

    template <typename T = QWidget>
    T* child(const char* name) const
    {
        T* w = view->findChild<T*>(QLatin1String(name));
        if (!w)
            qWarning("no child %s", name);
        return w;
    }
    QString paneMessage() const { return view->detailPane()->findChild<PlainTextViewer*>("detailMessage")->text(); }
    bool loaded() const { return !view->model()->logFetcher()->isLoading(); }

private slots:
    void initTestCase() { TestEnv::useTemporaryHome(); }

    void init()
    {
        TestEnv::clearSettings();
        SampleLogs::fill(provider);
        state = std::make_unique<DetailWindowState>();
        recent = std::make_unique<RecentArchives>();
        pending = std::make_unique<PendingArchive>();
        view = std::make_unique<ContentView>(state.get(), recent.get(), pending.get());
        view->model()->logFetcher()->setStoreProvider(&provider);
        view->resize(1100, 700);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        QTRY_VERIFY(loaded());
    }

    void cleanup()
    {
        // A query still running on the pool reads the store the next test refills.
        view.reset();
        QThreadPool::globalInstance()->waitForDone();
        delete FloatingDetailView::instance();
    }

    void filterControls()
    {
        auto* search = child<QLineEdit>("searchField");
        QCOMPARE(search->placeholderText(), QStringLiteral("Search messages and processes…"));
        auto* clear = child<QToolButton>("searchClear");
        QVERIFY(!clear->isVisible());
        QTest::keyClicks(search, QStringLiteral("xpc"));
        QCOMPARE(shownProcesses(), (QStringList{"launchd"}));
        QTest::mouseClick(clear, Qt::LeftButton);
        QVERIFY(search->text().isEmpty() && !clear->isVisible() && view->listModel()->rowCount() == 6);

        auto* combo = child<QComboBox>("processCombo");
        QCOMPARE(combo->itemText(0), QStringLiteral("All Processes"));
        QCOMPARE(combo->count(), 2 + view->model()->processOptions().size());  // with the divider
        emit combo->activated(combo->findData(QStringLiteral("Safari")));
        QVERIFY(shownProcesses() == QStringList({"Safari", "Safari"}) && combo->currentText() == QStringLiteral("Safari"));
        emit combo->activated(0);
        auto* type = child<QComboBox>("typeCombo");
        QCOMPARE(type->itemText(3), QStringLiteral("Hardware"));
        emit type->activated(3);
        QCOMPARE(shownProcesses(), (QStringList{"kernel"}));
        emit type->activated(0);

        // A click on a label sorts by it, a second reverses; beside the label is no click on it.
        LogHeader* header = view->header();
        const QRect process = header->labelRect("Process");
        QStringList sorts{header->shownText("Time")};
        for (QPoint at : {process.center(), process.center(), process.topRight() + QPoint(20, 4)}) {
            QTest::mouseClick(header, Qt::LeftButton, {}, at);
            sorts << header->shownText("Process") + '|' + header->shownText("Time") + '|' + shownProcesses().first();
        }
        QCOMPARE(sorts, (QStringList{"Time \u2191", "Process \u2191|Time|backupd", "Process \u2193|Time|WindowServer",
                                     "Process \u2193|Time|WindowServer"}));

        auto* notice = child<SeverityChip>("chip_Notice");
        QTest::mouseClick(notice, Qt::LeftButton);
        QVERIFY(notice->isChecked() && shownProcesses().contains("bluetoothd"));
        QCOMPARE(child<QLabel>("statusLabel")->text(), view->model()->statusText());
        for (const char* n : {"chip_Fault", "chip_Error", "chip_Notice"})
            QTest::mouseClick(child<SeverityChip>(n), Qt::LeftButton);
        // An empty list is still the list, not "No log entries found".
        QVERIFY(view->listModel()->rowCount() == 0 && !child<QPushButton>("analyzeButton")->isEnabled());
        QCOMPARE(view->contentArea()->objectName(), QStringLiteral("listArea"));
    }

    void selectionKeyboardAndCopy()
    {
        QVERIFY(!view->detailPane());
        clickRowAt(1);
        QCOMPARE(view->model()->selectedEntry()->process, QStringLiteral("launchd"));
        QCOMPARE(paneMessage(), QStringLiteral("Service exited with abnormal code: 78"));
        QVERIFY(child<PaneResizeBar>("paneResizeBar")->isVisible() && view->detailPane()->height() == 220);
        QClipboard* clipboard = QGuiApplication::clipboard();
        const QString row = EntryText::rowText(*view->model()->selectedEntry());
        QTest::keyClick(view->listView(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), row);
        // Text selected in a field is copied first; a field without any leaves Copy to the row.
        auto* search = child<QLineEdit>("searchField");
        search->setFocus();
        clipboard->setText(QStringLiteral("before"));
        QTest::keyClick(search, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), row);
        QTest::keyClicks(search, QStringLiteral("abnormal"));
        search->selectAll();
        QTest::keyClick(search, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), QStringLiteral("abnormal"));
        search->clear();
        // Another row updates the same pane; the same row again closes it.
        DetailPane* pane = view->detailPane();
        clickRowAt(0);
        QVERIFY(view->detailPane() == pane && paneMessage() == QStringLiteral("panic: disk0 stalled"));
        clickRowAt(0);
        QVERIFY(!view->model()->selectedEntry());
        QTRY_VERIFY(!view->detailPane());
        clipboard->setText(QStringLiteral("untouched"));
        QTest::keyClick(view->listView(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), QStringLiteral("untouched"));

        QAbstractItemView* list = view->listView();
        list->setFocus();
        const struct { Qt::Key key; int row; } steps[] = {
            {Qt::Key_Up, 5}, {Qt::Key_Home, 0}, {Qt::Key_Down, 1},   {Qt::Key_End, 5},
            {Qt::Key_Down, 5}, {Qt::Key_PageUp, 0}, {Qt::Key_Up, 0}, {Qt::Key_PageDown, 5}};
        for (const auto& [key, row] : steps) {
            QTest::keyClick(list, key);
            QCOMPARE(view->model()->selectedEntry().value_or(LogEntry()).id, view->listModel()->entryAt(row).id);
        }
        QCOMPARE(paneMessage(), QStringLiteral("could not signal service"));

        // Find focuses the search; Escape clears its text, then the selection, then is passed on.
        QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(search->hasFocus());
        QTest::keyClicks(search, QStringLiteral("Safari"));
        struct EscapeSpy : QObject {
            int seen = 0;
            bool eventFilter(QObject*, QEvent* e) override
            {
                seen += e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape;
                return false;
            }
        } spy;
        view->installEventFilter(&spy);
        QTest::keyClick(search, Qt::Key_Escape);
        QVERIFY(search->text().isEmpty() && view->model()->selectedEntry());
        QTest::keyClick(search, Qt::Key_Escape);
        QVERIFY(!view->model()->selectedEntry() && spy.seen == 0);
        QTest::keyClick(search, Qt::Key_Escape);
        QCOMPARE(spy.seen, 1);
        view->removeEventFilter(&spy);

        const int opens = provider.opens;
        QTest::keyClick(search, Qt::Key_R, Qt::ControlModifier);
        QTRY_COMPARE(provider.opens.load(), opens + 1);
    }

    void narrowWindow()
    {
        for (OptionalColumn c : Column::allCases())
            view->model()->pipeline().setShown(c, true);
        view->resize(700, 400);
        QTRY_COMPARE(view->width(), 700);
        QCoreApplication::processEvents();
        // Nothing of the toolbar is cut: each control at its full size, inside the row.
        auto* toolbar = child("toolbar");
        for (QWidget* w : toolbar->findChildren<QWidget*>()) {
            if (!w->isVisibleTo(toolbar) || !(qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w)))
                continue;
            const QRect r(w->mapTo(toolbar, QPoint(0, 0)), w->size());
            QVERIFY2(toolbar->rect().contains(r) && w->width() >= w->sizeHint().width(), qPrintable(w->objectName()));
        }
        auto* subsystem = child<QLineEdit>("filter_Subsystem");
        QVERIFY(view->rect().contains(QRect(subsystem->mapTo(view.get(), QPoint(0, 0)), subsystem->size())));
        const QRect message = view->header()->labelRect("Message");
        QVERIFY(message.width() > 0 && message.right() < view->header()->width());
        QVERIFY(child("searchField")->width() >= 200);

        // New dropdown options move nothing.
        auto* combo = child<QComboBox>("subsystemCombo");
        const int options = combo->count();
        const QRect search = child("searchRow")->geometry(), filters = child("filterBar")->geometry();
        QTest::mouseClick(child<SeverityChip>("chip_Notice"), Qt::LeftButton);
        QCoreApplication::processEvents();
        QVERIFY(combo->count() != options);
        QCOMPARE(std::pair(child("searchRow")->geometry(), child("filterBar")->geometry()), std::pair(search, filters));

        // A pane taller than the room left is shorter but whole, under a visible list; with room it has its height.
        view->model()->setDetailPaneHeight(500);
        clickRowAt(0);
        DetailPane* pane = view->detailPane();
        QTRY_VERIFY(pane->height() < 500 && pane->mapTo(view.get(), QPoint(0, pane->height())).y() <= view->height());
        QVERIFY(view->listView()->height() > 40);
        view->resize(1100, 900);
        QTRY_COMPARE(pane->height(), 500);
        view->model()->setDetailPaneHeight(220);
    }

    void exportVisibleEntries()
    {
        ExportCommand* cmd = view->exportCommand();
        QTemporaryDir dir;
        QString typed = dir.filePath("rows");
        std::optional<QString> alert;
        cmd->setSavePanelRunner([&](const QString&) { return ExportCommand::SaveChoice{typed, EntryExport::Format::csv}; });
        cmd->setAlertRunner([&](const QString& text) { alert = text; });
        view->model()->pipeline().setShown(OptionalColumn::pid, true);
        view->model()->pipeline().setSearchText("safari");
        QSignalSpy done(cmd, &ExportCommand::finished);
        QTest::keyClick(view.get(), Qt::Key_E, Qt::ControlModifier);
        QVERIFY(done.wait() && !alert);
        QFile out(typed + ".csv");
        QVERIFY(out.open(QIODevice::ReadOnly));
        QCOMPARE(view->model()->filteredEntries().size(), 2);
        QCOMPARE(out.readAll(), EntryExport::document(EntryExport::Format::csv, view->model()->filteredEntries().toList(),
                                                      {OptionalColumn::pid}));
        typed = dir.filePath("missing/rows.txt");
        cmd->run();
        QVERIFY(done.wait());
        QCOMPARE(alert.value_or(QString()),
                 ExportCommand::failureText(typed, done.last().first().value<std::optional<QString>>().value()));
        view->model()->pipeline().setSearchText("no such text");
        QVERIFY(!cmd->action()->isEnabled());
    }

    void errorStatesArchiveAndCutNotice()
    {
        provider.locked([&] { provider.store->raw.clear(); });
        view->model()->logFetcher()->refresh();
        QTRY_VERIFY(loaded());
        // An empty live store: the Full Disk Access panel, its wrapped text given all its lines.
        QCOMPARE(view->contentArea()->objectName(), QStringLiteral("errorPanel"));
        auto* text = child<QLabel>("errorText");
        QVERIFY(text->text().contains(QStringLiteral("Full Disk Access")));
        auto* button = child<QPushButton>("fullDiskAccessButton");
        QVERIFY(button->isVisible() && button->text() == QStringLiteral("Open System Settings"));
        QTRY_VERIFY(text->height() >= text->heightForWidth(text->width()));
        QVERIFY(text->heightForWidth(text->width()) > 2 * text->fontMetrics().height());
        provider.locked([&] { provider.openError = StoreError{QStringLiteral("journal gone")}; });
        view->model()->logFetcher()->refresh();
        QTRY_VERIFY(loaded());
        QCOMPARE(view->contentArea()->objectName(), QStringLiteral("errorPanel"));
        QCOMPARE(text->text(), view->model()->logFetcher()->errorMessage().value_or(QString()));
        QVERIFY(!button->isVisible());

        // An archive of more records than the cap: the oldest are kept, and a line of its own says so.
        auto* notice = child<QLabel>("queryNotice");
        auto* tail = child<QPushButton>("tailButton");
        QVERIFY(!notice->isVisible() && !child("archiveBanner")->isVisible());
        QCOMPARE(tail->toolTip(), QStringLiteral("Start live tail"));
        const double t = now() - 7200;
        provider.locked([&] {
            provider.openError.reset();
            provider.store->raw.clear();
            for (int i = 0; i < kEntryCap + 10000; ++i)
                provider.store->raw.push_back(entry(t + i * 0.1, 4, "cloudd", QString::number(i), 7));
        });
        pending->set(QStringLiteral("/tmp/Big.logarchive"));
        QTRY_VERIFY(loaded());
        QCOMPARE(child<QLabel>("archiveLabel")->text(), QStringLiteral("Viewing archive: Big.logarchive"));
        QVERIFY(child("archiveBanner")->isVisible() && !tail->isEnabled());
        QCOMPARE(tail->toolTip(), QStringLiteral("Live tail not available for archives"));
        QCOMPARE(view->model()->logFetcher()->entries().size(), kEntryCap);
        QVERIFY(notice->isVisible() && notice->textFormat() == Qt::PlainText);
        QCOMPARE(notice->text(), *LogFetcher::cutText(view->model()->logFetcher()->outcome(), kEntryCap));
        QCOMPARE(child<QLabel>("statusLabel")->text(), view->model()->statusText());
        QVERIFY(notice->height() >= notice->heightForWidth(notice->width()));
        // Closing starts a live query, on the refilled store.
        SampleLogs::fill(provider);
        QTest::mouseClick(child<QPushButton>("closeArchiveButton"), Qt::LeftButton);
        QTRY_VERIFY(loaded());
        QVERIFY(!notice->isVisible() && !child("archiveBanner")->isVisible() && tail->isEnabled());
    }

    void timelineDragAndDoubleClick()
    {
        auto* strip = child("timeline");
        // A drag over the middle half of t+1…t+10 s keeps what lies in t+3.25…t+7.75 s.
        const int left = 8, width = strip->width() - 16, y = 20;
        QTest::mousePress(strip, Qt::LeftButton, {}, QPoint(left + width / 4, y));
        QTest::mouseMove(strip, QPoint(left + width / 2, y));
        QTest::mouseRelease(strip, Qt::LeftButton, {}, QPoint(left + width * 3 / 4, y));
        QVERIFY(child("customRow")->isVisible());
        const double from = view->model()->pipeline().customStart();
        QVERIFY(qAbs(child<QDateTimeEdit>("customStart")->dateTime().toMSecsSinceEpoch() / 1000.0 - from) < 1e-3);
        QTRY_COMPARE(shownProcesses(), QStringList{"backupd"});
        QTest::mouseDClick(strip, Qt::LeftButton, {}, QPoint(left, y));
        QVERIFY(!child("customRow")->isVisible() && child<PillButton>("range_1h")->selectedLook());
        QTRY_COMPARE(shownProcesses().size(), 6);
        view->model()->toggleSeverity(SeverityLevel::fault);
        view->model()->toggleSeverity(SeverityLevel::error);
        QVERIFY(!strip->isVisible());
    }

    void popOutAndBack()
    {
        clickRowAt(1);
        const QUuid chosen = view->model()->selectedEntry()->id;
        auto* pop = view->detailPane()->findChild<QToolButton*>("popOutButton");
        QCOMPARE(pop->toolTip(), QStringLiteral("Open in separate window"));
        QTest::mouseClick(pop, Qt::LeftButton);
        FloatingDetailView* floating = FloatingDetailView::instance();
        QVERIFY(floating && floating->isVisible() && floating->pane());
        QCOMPARE(floating->windowTitle(), QStringLiteral("Log Entry Detail"));
        QCOMPARE(floating->pane()->entry().id, chosen);
        QVERIFY(!floating->pane()->findChild<QToolButton*>("popOutButton"));
        clickRowAt(5);
        const QUuid last = view->listModel()->entryAt(5).id;
        QCOMPARE(floating->pane()->entry().id, last);
        view->model()->setSelectedEntry(std::nullopt);
        auto* back = floating->findChild<QToolButton*>("popBackButton");
        QCOMPARE(back->text(), QStringLiteral("Pop Back In"));
        QTest::mouseClick(back, Qt::LeftButton);
        QTRY_VERIFY(!FloatingDetailView::instance());
        QVERIFY(!state->isOpen() && view->detailPane());
        QCOMPARE(view->model()->selectedEntry().value_or(LogEntry()).id, last);
        DetailWindowState empty;
        std::unique_ptr<FloatingDetailView> w(FloatingDetailView::open(&empty));
        QVERIFY(!w->pane() && w->findChild<QLabel*>("noEntryLabel")->text() == QStringLiteral("No entry selected"));
    }

    void liveTailJumpToBottom()
    {
        view->model()->logFetcher()->setLiveTailInterval(30);
        provider.locked([&] {  // enough rows to scroll
            for (int i = 0; i < 200; ++i)
                provider.store->raw.push_back(entry(now() - 30 + i * 0.01, 4, "tailer", QString::number(i), 7));
        });
        view->model()->userScrolled();  // not tailing: still following
        QVERIFY(view->model()->autoScrollEnabled());
        auto* tail = child<QPushButton>("tailButton");
        QTest::mouseClick(tail, Qt::LeftButton);
        QCOMPARE(tail->text() + '|' + tail->toolTip(), QStringLiteral("Tailing|Pause live tail"));
        QTRY_VERIFY(view->listModel()->rowCount() > 150);
        auto* jump = child<QPushButton>("jumpToBottom");
        QScrollBar* bar = view->listView()->verticalScrollBar();
        QTRY_COMPARE(bar->value(), bar->maximum());
        QVERIFY(!jump->isVisible());
        // Scrolling by hand stops following and offers the jump.
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        QVERIFY(jump->isVisible() && !view->model()->autoScrollEnabled() && jump->text() == QStringLiteral("Jump to Bottom"));
        provider.locked([&] { provider.store->raw.push_back(entry(now(), 4, "tailer", "newest", 7)); });
        QTRY_COMPARE(view->listModel()->entries().last().message, QStringLiteral("newest"));
        QVERIFY(bar->value() < bar->maximum());
        QTest::mouseClick(jump, Qt::LeftButton);
        QVERIFY(!jump->isVisible() && view->model()->autoScrollEnabled());
        QTRY_COMPARE(bar->value(), bar->maximum());
        QTest::mouseClick(tail, Qt::LeftButton);
        QVERIFY(!view->model()->logFetcher()->isLiveTailing() && tail->text() == QStringLiteral("Tail"));
    }
};

QTEST_MAIN(TestContentView)
#include "test_content_view.moc"
