#include "browser/DetailWindowState.h"
#include "browser/EntryText.h"
#include "browser/PendingArchive.h"
#include "browser/views/BrowserWidgets.h"
#include "browser/WindowModel.h"
#include "browser/views/ContentView.h"
#include "browser/views/DetailPane.h"
#include "browser/views/ExportCommand.h"
#include "browser/views/FloatingDetailView.h"
#include "browser/views/LogListModel.h"
#include "logs/LogFetcher.h"
#include "logs/RecentArchives.h"
#include "tests/support/MemoryLogStore.h"
#include "tests/support/TestEnv.h"
#include "ui/Widgets.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QToolButton>

#include <memory>

// Drives the main window's content through its controls against a store
// held in memory.
class TestContentView : public QObject {
    Q_OBJECT

    std::unique_ptr<MemoryStoreProvider> provider;
    std::unique_ptr<DetailWindowState> state;
    std::unique_ptr<RecentArchives> recent;
    std::unique_ptr<PendingArchive> pending;
    std::unique_ptr<ContentView> view;

    static double now() { return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0; }

    static RawEntry entry(double date, int level, const QString& process, const QString& message, qint32 pid,
                          const QString& subsystem = {})
    {
        RawEntry r = MemoryLogStore::log(date, level, process, message, subsystem, QStringLiteral("libfoo.dylib"));
        r.entry.processIdentifier = pid;
        return r;
    }

    void fillStore()
    {
        const double t = now() - 1200;
        auto& raw = provider->store->raw;
        raw.clear();
        raw.push_back(entry(t + 1, 5, "kernel", "panic: disk0 stalled", 0, "com.apple.iokit.power"));
        raw.push_back(entry(t + 2, 4, "launchd", "Service exited with abnormal code: 78", 1, "com.apple.xpc.launchd"));
        raw.push_back(entry(t + 3, 4, "WindowServer", "display failed to reconfigure", 163));
        raw.push_back(entry(t + 4, 3, "bluetoothd", "Peripheral disconnected", 221, "com.apple.bluetooth"));
        raw.push_back(entry(t + 5, 2, "cloudd", "Fetched 12 record changes", 733));
        raw.push_back(entry(t + 6, 4, "backupd", "Backup DISK not found", 1502));
        raw.push_back(entry(t + 7, 1, "mds_stores", "queue depth 14", 412));
        raw.push_back(entry(t + 8, 0, "mystery", "undefined level", 12));
        raw.push_back(entry(t + 9, 4, "Safari", "WebContent crashed", 120));
        raw.push_back(entry(t + 10, 4, "Safari", "could not signal service", 312));
    }

    void makeView()
    {
        view.reset();
        view = std::make_unique<ContentView>(state.get(), recent.get(), pending.get());
        view->model()->logFetcher()->setStoreProvider(provider.get());
        view->resize(1100, 700);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        QTRY_VERIFY(!view->model()->logFetcher()->isLoading());
    }

    QStringList shownProcesses() const
    {
        QStringList l;
        for (const LogEntry& e : view->listModel()->entries())
            l << e.process;
        return l;
    }

    void clickRowAt(int row)
    {
        QListView* list = view->listView();
        const QRect r = list->visualRect(view->listModel()->index(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
    }

    template <typename T>
    T* child(const char* name) const
    {
        T* w = view->findChild<T*>(QLatin1String(name));
        if (!w)
            qWarning("no child %s", name);
        return w;
    }

private slots:
    void initTestCase()
    {
        TestEnv::useTemporaryHome();
        provider = std::make_unique<MemoryStoreProvider>();
    }

    void init()
    {
        TestEnv::clearSettings();
        fillStore();
        state = std::make_unique<DetailWindowState>();
        recent = std::make_unique<RecentArchives>();
        pending = std::make_unique<PendingArchive>();
        makeView();
    }

    void cleanup()
    {
        // A query still running on the pool reads the store the next test refills.
        view.reset();
        QThreadPool::globalInstance()->waitForDone();
        if (auto* w = FloatingDetailView::instance())
            delete w;
    }

    void chipsAndStatus()
    {
        QCOMPARE(child<QLabel>("statusLabel")->text(), view->model()->statusText());
        auto* notice = child<SeverityChip>("chip_Notice");
        QVERIFY(!notice->isChecked());
        QTest::mouseClick(notice, Qt::LeftButton);
        QVERIFY(notice->isChecked());
        QVERIFY(shownProcesses().contains("bluetoothd"));
        QCOMPARE(child<QLabel>("statusLabel")->text(), view->model()->statusText());
        // Every chip off: the header and an empty list, and nothing to analyze.
        for (const char* n : {"chip_Fault", "chip_Error", "chip_Notice"})
            QTest::mouseClick(child<SeverityChip>(n), Qt::LeftButton);
        QCOMPARE(view->listModel()->rowCount(), 0);
        QCOMPARE(view->contentArea()->objectName(), QStringLiteral("listArea"));
        QVERIFY(!child<QPushButton>("analyzeButton")->isEnabled());
    }

    void searchField()
    {
        auto* search = child<QLineEdit>("searchField");
        QCOMPARE(search->placeholderText(), QStringLiteral("Search messages and processes…"));
        auto* clear = child<QToolButton>("searchClear");
        QVERIFY(!clear->isVisible());
        QTest::keyClicks(search, QStringLiteral("  disk\t"));
        // Case-insensitive, trimmed; message, process and subsystem are searched.
        QCOMPARE(shownProcesses(), (QStringList{"kernel", "backupd"}));
        QVERIFY(clear->isVisible());
        QTest::mouseClick(clear, Qt::LeftButton);
        QCOMPARE(search->text(), QString());
        QCOMPARE(view->listModel()->rowCount(), 6);
        QTest::keyClicks(search, QStringLiteral("xpc"));
        QCOMPARE(shownProcesses(), (QStringList{"launchd"}));
    }

    void processDropdown()
    {
        auto* combo = child<QComboBox>("processCombo");
        QCOMPARE(combo->itemText(0), QStringLiteral("All Processes"));
        QStringList options;
        for (int i = 2; i < combo->count(); ++i)
            options << combo->itemData(i).toString();
        // Sorted by code points: capitals first.
        QCOMPARE(options, (QStringList{"Safari", "WindowServer", "backupd", "kernel", "launchd"}));
        const int safari = combo->findData(QStringLiteral("Safari"));
        combo->setCurrentIndex(safari);
        emit combo->activated(safari);
        QCOMPARE(shownProcesses(), (QStringList{"Safari", "Safari"}));
        // The process options ignore their own selection; the subsystem ones honour it.
        auto* subs = child<QComboBox>("subsystemCombo");
        QCOMPARE(subs->count(), 2);  // "All Subsystems" and the divider only
        QCOMPARE(combo->count(), 7);
        QCOMPARE(combo->currentText(), QStringLiteral("Safari"));
        emit combo->activated(0);
        QCOMPARE(view->listModel()->rowCount(), 6);

        auto* type = child<QComboBox>("typeCombo");
        QCOMPARE(type->itemText(3), QStringLiteral("Hardware"));
        type->setCurrentIndex(3);
        emit type->activated(3);
        QCOMPARE(shownProcesses(), (QStringList{"kernel"}));
    }

    void headerSort()
    {
        LogHeader* header = view->header();
        QCOMPARE(header->shownText("Time"), QStringLiteral("Time \u2191"));
        QTest::mouseClick(header, Qt::LeftButton, {}, header->labelRect("Process").center());
        QCOMPARE(header->shownText("Process"), QStringLiteral("Process \u2191"));
        QCOMPARE(header->shownText("Time"), QStringLiteral("Time"));
        QCOMPARE(shownProcesses(), (QStringList{"backupd", "kernel", "launchd", "Safari", "Safari", "WindowServer"}));
        QTest::mouseClick(header, Qt::LeftButton, {}, header->labelRect("Process").center());
        QCOMPARE(header->shownText("Process"), QStringLiteral("Process \u2193"));
        QCOMPARE(shownProcesses().first(), QStringLiteral("WindowServer"));
        // A click beside the label text does nothing.
        QTest::mouseClick(header, Qt::LeftButton, {}, header->labelRect("Process").topRight() + QPoint(20, 4));
        QCOMPARE(header->shownText("Process"), QStringLiteral("Process \u2193"));
    }

    void selectionPaneEscapeAndCopy()
    {
        QVERIFY(!view->detailPane());
        clickRowAt(1);
        QVERIFY(view->model()->selectedEntry());
        QCOMPARE(view->model()->selectedEntry()->process, QStringLiteral("launchd"));
        QVERIFY(view->detailPane());
        auto* msg = view->detailPane()->findChild<QLabel*>("detailMessage");
        QCOMPARE(msg->text(), QStringLiteral("Service exited with abnormal code: 78"));
        QVERIFY(view->findChild<PaneResizeBar*>("paneResizeBar")->isVisible());
        QCOMPARE(view->detailPane()->height(), 220);

        // Copy with a selection copies the row text.
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        QTest::keyClick(view->listView(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), EntryText::rowText(*view->model()->selectedEntry()));
        QVERIFY(QGuiApplication::clipboard()->text().endsWith(QStringLiteral("\tError\tlaunchd\tService exited with "
                                                                             "abnormal code: 78")));

        // Text selected in a field is copied first; a field without any
        // leaves Copy to the row.
        auto* search = child<QLineEdit>("searchField");
        search->setFocus();
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        QTest::keyClick(search, Qt::Key_C, Qt::ControlModifier);
        QVERIFY(QGuiApplication::clipboard()->text().endsWith(QStringLiteral("abnormal code: 78")));
        QTest::keyClicks(search, QStringLiteral("abnormal"));
        search->selectAll();
        QTest::keyClick(search, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("abnormal"));
        search->clear();

        // Another row updates the pane; the same row again closes it.
        DetailPane* pane = view->detailPane();
        clickRowAt(0);
        QCOMPARE(view->model()->selectedEntry()->process, QStringLiteral("kernel"));
        QCOMPARE(view->detailPane(), pane);
        QCOMPARE(msg->text(), QStringLiteral("panic: disk0 stalled"));
        clickRowAt(0);
        QVERIFY(!view->model()->selectedEntry());
        QTRY_VERIFY(!view->detailPane());

        // Escape clears a selection; without one it is passed on.
        clickRowAt(2);
        QVERIFY(view->model()->selectedEntry());
        QCOMPARE(view->detailPane(), pane);
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
        QVERIFY(!view->model()->selectedEntry());
        QCOMPARE(spy.seen, 0);
        QTest::keyClick(search, Qt::Key_Escape);
        QCOMPARE(spy.seen, 1);
        view->removeEventFilter(&spy);

        // Copy without a selection copies nothing.
        QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
        QTest::keyClick(view->listView(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("untouched"));
    }

    void keyboard()
    {
        // Fault and Error rows: kernel, launchd, WindowServer, backupd, Safari, Safari.
        QListView* list = view->listView();
        list->setFocus();
        const struct { Qt::Key key; int row; } steps[] = {
            {Qt::Key_Up, 5},   {Qt::Key_Home, 0},     {Qt::Key_Down, 1},    {Qt::Key_End, 5},   {Qt::Key_Down, 5},
            {Qt::Key_Up, 4},   {Qt::Key_PageUp, 0},   {Qt::Key_Up, 0},      {Qt::Key_PageDown, 5}};
        for (const auto& [key, row] : steps) {
            QTest::keyClick(list, key);
            QVERIFY(view->model()->selectedEntry());
            QCOMPARE(view->model()->selectedEntry()->id, view->listModel()->entryAt(row).id);
        }
        QCOMPARE(view->detailPane()->findChild<QLabel*>("detailMessage")->text(),
                 QStringLiteral("could not signal service"));  // the pane follows

        // Find focuses the search field; Escape there clears text first, then the selection.
        QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
        auto* search = child<QLineEdit>("searchField");
        QVERIFY(search->hasFocus());
        QTest::keyClicks(search, QStringLiteral("Safari"));
        QCOMPARE(view->listModel()->rowCount(), 2);
        QTest::keyClick(search, Qt::Key_Escape);
        QCOMPARE(search->text(), QString());
        QVERIFY(view->model()->selectedEntry());
        QTest::keyClick(search, Qt::Key_Escape);
        QVERIFY(!view->model()->selectedEntry());

        // Refresh runs the query again.
        const int opens = provider->opens;
        QTest::keyClick(search, Qt::Key_R, Qt::ControlModifier);
        QTRY_COMPARE(provider->opens.load(), opens + 1);
    }

    void narrowWindow()
    {
        for (OptionalColumn c : Column::allCases())
            view->model()->pipeline().setShown(c, true);
        view->resize(700, 400);
        QTRY_COMPARE(view->width(), 700);
        QCoreApplication::processEvents();
        // Nothing of the toolbar is cut: each control at its full size, inside the row.
        auto* toolbar = child<QWidget>("toolbar");
        for (QWidget* w : toolbar->findChildren<QWidget*>()) {
            if (!w->isVisibleTo(toolbar) || !(qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w)))
                continue;
            const QRect r(w->mapTo(toolbar, QPoint(0, 0)), w->size());
            QVERIFY2(toolbar->rect().contains(r) && w->width() >= w->sizeHint().width(), qPrintable(w->objectName()));
        }
        QVERIFY(child<QLineEdit>("searchField")->width() >= 200);
        auto* subsystem = child<QLineEdit>("filter_Subsystem");
        QVERIFY(subsystem->isVisible());
        QVERIFY(view->rect().contains(QRect(subsystem->mapTo(view.get(), QPoint(0, 0)), subsystem->size())));
        const QRect message = view->header()->labelRect("Message");
        QVERIFY(message.width() > 0 && message.right() < view->header()->width());

        // New dropdown options move nothing.
        auto* combo = child<QComboBox>("subsystemCombo");
        const int options = combo->count();
        const QRect search = child<QWidget>("searchRow")->geometry(), filters = child<QWidget>("filterBar")->geometry();
        const int searchWidth = child<QLineEdit>("searchField")->width();
        QTest::mouseClick(child<SeverityChip>("chip_Notice"), Qt::LeftButton);
        QCoreApplication::processEvents();
        QVERIFY(combo->count() != options);
        QCOMPARE(child<QWidget>("searchRow")->geometry(), search);
        QCOMPARE(child<QWidget>("filterBar")->geometry(), filters);
        QCOMPARE(child<QLineEdit>("searchField")->width(), searchWidth);
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
        QVERIFY(done.wait());
        QVERIFY(!alert);
        QFile out(typed + ".csv");
        QVERIFY(out.open(QIODevice::ReadOnly));
        QCOMPARE(out.readAll(), EntryExport::document(EntryExport::Format::csv, view->model()->filteredEntries(),
                                                      {OptionalColumn::pid}));
        QCOMPARE(view->model()->filteredEntries().size(), 2);

        typed = dir.filePath("missing/rows.txt");
        cmd->run();
        QVERIFY(done.wait());
        QCOMPARE(alert.value_or(QString()),
                 ExportCommand::failureText(typed, done.last().first().value<std::optional<QString>>().value()));
        // Nothing to export, nothing offered.
        view->model()->pipeline().setSearchText("no such text");
        QVERIFY(!cmd->action()->isEnabled());
    }

    void errorAndEmptyStates()
    {
        provider->locked([&] { provider->store->raw.clear(); });
        view->model()->logFetcher()->refresh();
        QTRY_VERIFY(!view->model()->logFetcher()->isLoading());
        // An empty live store: the Full Disk Access panel with its button.
        QCOMPARE(view->contentArea()->objectName(), QStringLiteral("errorPanel"));
        QVERIFY(child<QLabel>("errorText")->text().contains(QStringLiteral("Full Disk Access")));
        QVERIFY(child<QPushButton>("fullDiskAccessButton")->isVisible());
        QCOMPARE(child<QPushButton>("fullDiskAccessButton")->text(), QStringLiteral("Open System Settings"));
        // The wrapped message is given the height of all its lines, not one.
        auto* text = child<QLabel>("errorText");
        QTRY_VERIFY(text->height() >= text->heightForWidth(text->width()));
        QVERIFY(text->heightForWidth(text->width()) > 2 * text->fontMetrics().height());

        provider->openError = StoreError{QStringLiteral("journal gone")};
        view->model()->logFetcher()->refresh();
        QTRY_VERIFY(!view->model()->logFetcher()->isLoading());
        QCOMPARE(child<QLabel>("errorText")->text(), view->model()->logFetcher()->errorMessage().value_or(QString()));
        QVERIFY(!child<QPushButton>("fullDiskAccessButton")->isVisible());
        provider->openError.reset();
    }

    void cutListNotice()
    {
        // More records than the cap: the list keeps the oldest and says so on a
        // line of its own, apart from the count.
        auto* notice = child<QLabel>("queryNotice");
        QVERIFY(!notice->isVisible());
        const double t = now() - 7200;
        provider->locked([&] {
            auto& raw = provider->store->raw;
            raw.clear();
            for (int i = 0; i < 60000; ++i)
                raw.push_back(entry(t + i * 0.1, 4, "cloudd", QString::number(i), 7));
        });
        pending->set(QStringLiteral("/tmp/Big.logarchive"));
        QTRY_VERIFY(!view->model()->logFetcher()->isLoading());
        QCOMPARE(view->model()->logFetcher()->entries().size(), kEntryCap);
        QVERIFY(notice->isVisible());
        QCOMPARE(notice->text(), *LogFetcher::cutText(view->model()->logFetcher()->outcome(), kEntryCap));
        QCOMPARE(notice->textFormat(), Qt::PlainText);
        auto* count = child<QLabel>("statusLabel");
        QCOMPARE(count->text(), QStringLiteral("50000 of 50000 entries"));
        QVERIFY(notice->height() >= notice->heightForWidth(notice->width()));

        // Closing starts a live query that reads the store while it is refilled.
        QTest::mouseClick(child<QPushButton>("closeArchiveButton"), Qt::LeftButton);
        provider->locked([&] { fillStore(); });
        view->model()->logFetcher()->refresh();
        QTRY_VERIFY(!view->model()->logFetcher()->isLoading());
        QVERIFY(!notice->isVisible());
    }

    void archiveMode()
    {
        auto* tail = child<QPushButton>("tailButton");
        QVERIFY(tail->isEnabled());
        QCOMPARE(tail->toolTip(), QStringLiteral("Start live tail"));
        QVERIFY(!child<QWidget>("archiveBanner")->isVisible());
        pending->set(QStringLiteral("/tmp/Team.logarchive"));
        QVERIFY(!pending->url());  // taken over at once
        QTRY_VERIFY(!view->model()->logFetcher()->isLoading());
        QVERIFY(child<QWidget>("archiveBanner")->isVisible());
        QCOMPARE(child<QLabel>("archiveLabel")->text(), QStringLiteral("Viewing archive: Team.logarchive"));
        QVERIFY(!tail->isEnabled());
        QCOMPARE(tail->toolTip(), QStringLiteral("Live tail not available for archives"));
        QTest::mouseClick(child<QPushButton>("closeArchiveButton"), Qt::LeftButton);
        QVERIFY(!child<QWidget>("archiveBanner")->isVisible());
        QVERIFY(tail->isEnabled());
    }

    void timelineDragAndDoubleClick()
    {
        auto* strip = child<QWidget>("timeline");
        QVERIFY(strip->isVisible());
        // A drag over the middle half of t+1…t+10 s keeps what lies in t+3.25…t+7.75 s.
        const int left = 8, width = strip->width() - 16, y = 20;
        QTest::mousePress(strip, Qt::LeftButton, {}, QPoint(left + width / 4, y));
        QTest::mouseMove(strip, QPoint(left + width / 2, y));
        QTest::mouseRelease(strip, Qt::LeftButton, {}, QPoint(left + width * 3 / 4, y));
        QVERIFY(child<QWidget>("customRow")->isVisible());
        const double from = view->model()->pipeline().customStart();
        QCOMPARE(*view->model()->logFetcher()->lastFetchStart(), from);
        QVERIFY(qAbs(child<QDateTimeEdit>("customStart")->dateTime().toMSecsSinceEpoch() / 1000.0 - from) < 1e-3);
        QTRY_COMPARE(shownProcesses(), QStringList{"backupd"});
        QTest::mouseDClick(strip, Qt::LeftButton, {}, QPoint(left, y));
        QVERIFY(!child<QWidget>("customRow")->isVisible());
        QVERIFY(child<PillButton>("range_1h")->selectedLook());
        QTRY_COMPARE(shownProcesses().size(), 6);
        view->model()->toggleSeverity(SeverityLevel::fault);
        view->model()->toggleSeverity(SeverityLevel::error);
        QVERIFY(!strip->isVisible());
    }

    void popOutAndBack()
    {
        clickRowAt(1);
        const LogEntry chosen = *view->model()->selectedEntry();
        auto* pop = view->detailPane()->findChild<QToolButton*>("popOutButton");
        QVERIFY(pop);
        QCOMPARE(pop->toolTip(), QStringLiteral("Open in separate window"));
        QTest::mouseClick(pop, Qt::LeftButton);
        QVERIFY(state->isOpen());
        QVERIFY(!view->model()->selectedEntry());
        FloatingDetailView* floating = FloatingDetailView::instance();
        QVERIFY(floating && floating->isVisible());
        QCOMPARE(floating->windowTitle(), QStringLiteral("Log Entry Detail"));
        QVERIFY(floating->pane());
        QCOMPARE(floating->pane()->entry().id, chosen.id);
        // The floating pane has no pop-out button.
        QVERIFY(!floating->pane()->findChild<QToolButton*>("popOutButton"));

        // Rows now go to the floating window; popping back shows the last one inline.
        clickRowAt(5);
        QCOMPARE(floating->pane()->entry().id, view->listModel()->entryAt(5).id);
        const QUuid last = view->listModel()->entryAt(5).id;
        view->model()->setSelectedEntry(std::nullopt);

        auto* back = floating->findChild<QToolButton*>("popBackButton");
        QCOMPARE(back->text(), QStringLiteral("Pop Back In"));
        QTest::mouseClick(back, Qt::LeftButton);
        QTRY_VERIFY(!FloatingDetailView::instance());
        QVERIFY(!state->isOpen());
        QVERIFY(!state->wantsPopBack());
        QVERIFY(view->model()->selectedEntry());
        QCOMPARE(view->model()->selectedEntry()->id, last);
        QVERIFY(view->detailPane());
    }

    void noEntrySelectedWindow()
    {
        DetailWindowState empty;
        FloatingDetailView* w = FloatingDetailView::open(&empty);
        auto* label = w->findChild<QLabel*>("noEntryLabel");
        QVERIFY(label);
        QCOMPARE(label->text(), QStringLiteral("No entry selected"));
        QVERIFY(!w->pane());
        delete w;
    }

    void liveTailJumpToBottom()
    {
        LogFetcher* f = view->model()->logFetcher();
        f->setLiveTailInterval(30);
        // Enough rows to scroll.
        provider->locked([&] {
            const double t = now() - 30;
            for (int i = 0; i < 200; ++i)
                provider->store->raw.push_back(entry(t + i * 0.01, 4, "tailer", QStringLiteral("row %1").arg(i), 7));
        });
        auto* tail = child<QPushButton>("tailButton");
        QTest::mouseClick(tail, Qt::LeftButton);
        QVERIFY(f->isLiveTailing());
        QCOMPARE(tail->text(), QStringLiteral("Tailing"));
        QCOMPARE(tail->toolTip(), QStringLiteral("Pause live tail"));
        QTRY_VERIFY(view->listModel()->rowCount() > 150);
        auto* jump = child<QPushButton>("jumpToBottom");
        QVERIFY(!jump->isVisible());
        QScrollBar* bar = view->listView()->verticalScrollBar();
        QTRY_COMPARE(bar->value(), bar->maximum());
        // Scrolling by hand stops following and offers the jump.
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        QVERIFY(!view->model()->autoScrollEnabled());
        QVERIFY(jump->isVisible());
        QCOMPARE(jump->text(), QStringLiteral("Jump to Bottom"));
        provider->locked([&] { provider->store->raw.push_back(entry(now(), 4, "tailer", "newest", 7)); });
        QTRY_COMPARE(view->listModel()->entries().last().message, QStringLiteral("newest"));
        QVERIFY(bar->value() < bar->maximum());
        QTest::mouseClick(jump, Qt::LeftButton);
        QVERIFY(view->model()->autoScrollEnabled());
        QVERIFY(!jump->isVisible());
        QTRY_COMPARE(bar->value(), bar->maximum());
        QTest::mouseClick(tail, Qt::LeftButton);
        QVERIFY(!f->isLiveTailing());
        QCOMPARE(tail->text(), QStringLiteral("Tail"));
    }
};

QTEST_MAIN(TestContentView)
#include "test_content_view.moc"
