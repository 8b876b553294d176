#include "browser/views/ContentView.h"

#include "browser/AnalysisRun.h"
#include "browser/DetailWindowState.h"
#include "browser/EntrySelection.h"
#include "browser/FetchRange.h"
#include "browser/WindowModel.h"
#include "browser/views/ArchiveBanner.h"
#include "browser/views/ContextBar.h"
#include "browser/views/CustomRangeRow.h"
#include "browser/views/DetailPane.h"
#include "browser/views/ExportCommand.h"
#include "browser/views/FetchErrorPanel.h"
#include "browser/views/FilterBar.h"
#include "browser/views/FloatingDetailView.h"
#include "browser/views/HideChipsRow.h"
#include "browser/views/LogListArea.h"
#include "browser/views/PatternsView.h"
#include "browser/views/QueryNoticeRow.h"
#include "browser/views/SearchRow.h"
#include "browser/views/Toolbar.h"
#include "browser/views/TransientNotice.h"
#include "logs/LogFetcher.h"
#include "ui/TextStyles.h"
#include "ui/ViewStyle.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>

using TextStyles::Style;

ContentView::ContentView(DetailWindowState* detailState, RecentArchives* recentArchives, PendingArchive* pending,
                         WindowParts parts, QWidget* parent)
    : QWidget(parent),
      m_parts(std::move(parts)),
      m_model(new WindowModel(detailState, recentArchives, pending, this))
{
    setObjectName(QStringLiteral("ContentView"));
    setMinimumSize(700, 400);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(new ArchiveBanner(m_model, this));
    m_toolbar = new Toolbar(m_model, this);
    root->addWidget(m_toolbar);
    if (m_parts.makeUpdateBanner)
        if (QWidget* banner = m_parts.makeUpdateBanner(this))
            root->addWidget(banner);
    root->addWidget(ViewStyle::divider());
    m_tabs = new QStackedWidget;
    m_tabs->addWidget(buildLogView());
    m_crashesHost = new QWidget;
    m_crashesHost->setObjectName(QStringLiteral("crashesHost"));
    new QVBoxLayout(m_crashesHost);
    m_crashesHost->layout()->setContentsMargins(0, 0, 0, 0);
    m_tabs->addWidget(m_crashesHost);
    root->addWidget(m_tabs, 1);

    connect(m_toolbar, &Toolbar::collectRequested, this, [this] {
        if (m_parts.collect)
            m_parts.collect(this);
    });
    connect(m_toolbar, &Toolbar::rescanRequested, this, &ContentView::refreshCurrentTab);
    connect(m_model, &WindowModel::contentChanged, this, &ContentView::refreshContent);
    // An archive handed to the window, or a finding's jump, is seen in the list.
    connect(m_model->range(), &FetchRange::archiveOpening, this, [this] { setShowCrashes(false); });
    connect(m_model->selection(), &EntrySelection::analysisJump, this, [this] { setShowCrashes(false); });
    const AnalysisRun* analysis = m_model->analysis();
    connect(analysis, &AnalysisRun::apiKeyNeeded, this, [this] { setShowSettings(true); });
    connect(analysis, &AnalysisRun::runningChanged, this, &ContentView::showAnalysis);
    connect(analysis, &AnalysisRun::keptShown, this, [this] {
        if (!m_analysisSheet && m_parts.makeAnalysisSheet)
            m_analysisSheet = m_parts.makeAnalysisSheet(this);
        if (m_analysisSheet) {  // opened as for a new run, then given the kept outcome at once
            m_analysisSheet->begin();
            m_analysisSheet->finish(m_model->analysis()->items(), m_model->analysis()->error());
        }
    });
    connect(m_model->selection(), &EntrySelection::floatingWindowRequested, this, &ContentView::openFloatingWindow);
    if (DetailWindowState* state = m_model->detailWindowState()) {
        // Popped back in, the pane goes on with the floating window's explanation
        // (the model has opened it by now; the floating window closes after).
        connect(state, &DetailWindowState::wantsPopBackChanged, this, [this] {
            const FloatingDetailView* floating = FloatingDetailView::instance();
            DetailPane* pane = detailPane();
            if (pane && floating && floating->pane() && pane->entry().id == floating->pane()->entry().id)
                pane->adoptExplanation(*floating->pane());
        });
    }

    m_clearSelection = new QAction(this);
    m_clearSelection->setShortcut(Qt::Key_Escape);
    m_clearSelection->setShortcutContext(Qt::WindowShortcut);
    m_clearSelection->setEnabled(false);
    EntrySelection* selection = m_model->selection();
    connect(m_clearSelection, &QAction::triggered, selection, &EntrySelection::closePane);
    connect(selection, &EntrySelection::changed, this,
            [this, selection] { m_clearSelection->setEnabled(selection->isPaneOpen()); });
    m_copy = new QAction(this);
    m_copy->setShortcut(QKeySequence::Copy);
    m_copy->setShortcutContext(Qt::WindowShortcut);
    connect(m_copy, &QAction::triggered, this, &ContentView::copy);
    m_export = new ExportCommand(m_model, this);
    m_find = new QAction(QStringLiteral("Find"), this);
    m_find->setObjectName(QStringLiteral("findAction"));
    m_find->setShortcut(QKeySequence::Find);
    m_find->setShortcutContext(Qt::WindowShortcut);
    connect(m_find, &QAction::triggered, this, [this] {
        setShowCrashes(false);
        m_searchRow->searchField()->setFocus(Qt::ShortcutFocusReason);
        m_searchRow->searchField()->selectAll();
    });
    m_refresh = new QAction(QStringLiteral("Refresh"), this);
    m_refresh->setObjectName(QStringLiteral("refreshAction"));
    m_refresh->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    m_refresh->setShortcutContext(Qt::WindowShortcut);
    connect(m_refresh, &QAction::triggered, this, &ContentView::refreshCurrentTab);
    addActions({m_clearSelection, m_copy, m_export->action(), m_find, m_refresh});
    addTriageActions();
    refreshContent();
}

ContentView::~ContentView()
{
    // An open popover goes first, while the state its closing reports to is alive.
    delete m_settingsPopover;
}

QWidget* ContentView::buildLogView()
{
    auto* w = new QWidget;
    w->setObjectName(QStringLiteral("logView"));
    auto* v = new QVBoxLayout(w);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    v->addWidget(new QueryNoticeRow(m_model, w));
    v->addWidget(new CustomRangeRow(m_model->range(), w));
    v->addWidget(new FilterBar(m_model, w));
    v->addWidget(new HideChipsRow(m_model, w));
    v->addWidget(ViewStyle::divider());
    m_searchRow = new SearchRow(m_model, w);
    v->addWidget(m_searchRow);
    v->addWidget(ViewStyle::divider());
    v->addWidget(new ContextBar(m_model, w));
    m_content = new QStackedWidget;
    m_errorPanel = new FetchErrorPanel;
    m_content->addWidget(m_errorPanel);
    m_emptyLabel = TextStyles::label(QStringLiteral("No log entries found"), Style::body, true);
    m_emptyLabel->setObjectName(QStringLiteral("emptyLabel"));
    m_emptyLabel->setAlignment(Qt::AlignCenter);
    m_content->addWidget(m_emptyLabel);
    m_listArea = new LogListArea(m_model);
    m_content->addWidget(m_listArea);
    // The Patterns view to the right of the list, while its toggle is on.
    auto* split = new QSplitter;
    split->setObjectName(QStringLiteral("patternsSplit"));
    split->setChildrenCollapsible(false);
    split->addWidget(m_content);
    split->addWidget(new PatternsView(m_model));
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 0);
    v->addWidget(split, 1);
    return w;
}

void ContentView::addTriageActions()
{
    // On the selected entry, on the Logs tab; without one they do nothing.
    const auto add = [this](const char* name, const QString& text, const QKeySequence& key, auto run) {
        auto* action = new QAction(text, this);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [this, run] {
            if (!m_showCrashes)
                run();
        });
        addAction(action);
    };
    add("showInContextAction", QStringLiteral("Show in Context"), QKeySequence(Qt::CTRL | Qt::Key_J), [this] {
        if (const std::optional<LogEntry>& e = m_model->selection()->entry())
            m_model->showInContext(*e);
    });
    add("markAction", QStringLiteral("Mark"), QKeySequence(Qt::CTRL | Qt::Key_M), [this] {
        if (const std::optional<LogEntry>& e = m_model->selection()->entry())
            m_model->toggleMark(*e);
    });
    const auto goToMark = [this](bool forward) {
        if (m_model->goToMark(forward))
            return;
        if (!m_markNotice) {
            m_markNotice = new TransientNotice(this);
            m_markNotice->setObjectName(QStringLiteral("markNotice"));
        }
        m_markNotice->showMessage(QStringLiteral("No marked entries"));
    };
    add("nextMarkAction", QStringLiteral("Next Mark"), QKeySequence(Qt::Key_F3), [goToMark] { goToMark(true); });
    add("previousMarkAction", QStringLiteral("Previous Mark"), QKeySequence(Qt::SHIFT | Qt::Key_F3),
        [goToMark] { goToMark(false); });
}

QAbstractItemView* ContentView::listView() const
{
    return m_listArea->listView();
}

LogListModel* ContentView::listModel() const
{
    return m_listArea->listModel();
}

LogHeader* ContentView::header() const
{
    return m_listArea->header();
}

DetailPane* ContentView::detailPane() const
{
    return m_listArea->detailPane();
}

QWidget* ContentView::contentArea() const
{
    return m_content->currentWidget();
}

void ContentView::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    m_model->range()->windowShown();
}

void ContentView::refreshContent()
{
    switch (m_model->content()) {
    case WindowModel::Content::error:
        m_errorPanel->setError(m_model->logFetcher()->errorMessage().value_or(QString()),
                               m_model->logFetcher()->outcome());
        m_content->setCurrentWidget(m_errorPanel);
        break;
    case WindowModel::Content::empty:
        m_content->setCurrentWidget(m_emptyLabel);
        break;
    case WindowModel::Content::list:
        m_content->setCurrentWidget(m_listArea);
        break;
    }
}

void ContentView::refreshCurrentTab()
{
    if (!m_showCrashes) {
        // Like the toolbar's button, which is off while a query runs.
        if (!m_model->logFetcher()->isLoading())
            m_model->range()->refresh();
        return;
    }
    // The crash browser scans by itself; a view that offers a rescan gets it.
    if (m_crashesView && m_crashesRescan)
        m_crashesRescan();
}

void ContentView::copy()
{
    // Text selected in a field or label comes first.
    QWidget* focus = QApplication::focusWidget();
    if (auto* edit = qobject_cast<QLineEdit*>(focus); edit && edit->hasSelectedText()) {
        edit->copy();
        return;
    }
    if (auto* label = qobject_cast<QLabel*>(focus); label && label->hasSelectedText()) {
        QGuiApplication::clipboard()->setText(label->selectedText());
        return;
    }
    if (const std::optional<QString> row = m_model->selection()->rowText())
        QGuiApplication::clipboard()->setText(*row);
}

void ContentView::setShowCrashes(bool crashes)
{
    if (m_showCrashes == crashes)
        return;
    m_showCrashes = crashes;
    showCrashesTab();
    emit showCrashesChanged();
}

void ContentView::setCollecting(bool collecting)
{
    if (m_isCollecting == collecting)
        return;
    m_isCollecting = collecting;
    emit collectingChanged();
}

void ContentView::setShowSettings(bool show)
{
    if (m_showSettings == show)
        return;
    m_showSettings = show;
    showSettingsPopover();
}

void ContentView::showCrashesTab()
{
    if (m_showCrashes) {
        WindowParts::CrashesTab tab = m_parts.makeCrashesTab ? m_parts.makeCrashesTab(this) : WindowParts::CrashesTab{};
        QWidget* view = tab.view;
        m_crashesRescan = std::move(tab.rescan);
        if (!view) {
            auto* none = TextStyles::label(QStringLiteral("Crash reports are not available in this build."),
                                           Style::body, true);
            none->setAlignment(Qt::AlignCenter);
            view = none;
        }
        m_crashesView = view;
        m_crashesHost->layout()->addWidget(view);
        m_tabs->setCurrentWidget(m_crashesHost);
        return;
    }
    // Built while the tab is selected: a later visit starts afresh.
    if (m_crashesView) {
        m_crashesView->hide();
        m_crashesView->deleteLater();
    }
    m_crashesRescan = nullptr;
    m_tabs->setCurrentIndex(0);
}

void ContentView::showSettingsPopover()
{
    if (!m_showSettings) {
        if (m_settingsPopover)
            m_settingsPopover->close();
        return;
    }
    QWidget* content = m_parts.makeSettingsView ? m_parts.makeSettingsView(this) : nullptr;
    if (!content) {
        setShowSettings(false);
        return;
    }
    auto* popup = new QWidget(this, Qt::Popup);
    popup->setObjectName(QStringLiteral("settingsPopover"));
    popup->setAttribute(Qt::WA_DeleteOnClose);
    auto* lay = new QVBoxLayout(popup);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->addWidget(content);
    popup->adjustSize();
    QWidget* gear = m_toolbar->settingsButton();
    const QPoint anchor = gear->mapToGlobal(QPoint(gear->width(), gear->height()));
    popup->move(anchor.x() - popup->width(), anchor.y() + 4);
    connect(popup, &QObject::destroyed, this, [this] { setShowSettings(false); });
    m_settingsPopover = popup;
    popup->show();
}

void ContentView::showAnalysis()
{
    // The sheet opens when an analysis starts and gets its outcome when it ends.
    const AnalysisRun* analysis = m_model->analysis();
    if (analysis->isAnalyzing() == m_sheetRunning)
        return;
    m_sheetRunning = analysis->isAnalyzing();
    if (!m_analysisSheet && m_parts.makeAnalysisSheet)
        m_analysisSheet = m_parts.makeAnalysisSheet(this);
    if (!m_analysisSheet)
        return;
    if (m_sheetRunning)
        m_analysisSheet->begin();
    else
        m_analysisSheet->finish(analysis->items(), analysis->error());
}

void ContentView::openFloatingWindow()
{
    if (m_parts.openWindow)
        m_parts.openWindow(QLatin1String(FloatingDetailView::windowID));
    else if (m_model->detailWindowState())
        FloatingDetailView::open(m_model->detailWindowState());
    // Asked before the inline pane closes: the floating one goes on with its
    // explanation (a fresh answer stays unmarked, a running one arrives there).
    const FloatingDetailView* floating = FloatingDetailView::instance();
    if (DetailPane* pane = detailPane(); pane && floating && floating->pane())
        floating->pane()->adoptExplanation(*pane);
}
