#include "browser/views/ContentView.h"

#include "ai/AIExplainer.h"
#include "ai/AISettings.h"
#include "browser/DetailWindowState.h"
#include "browser/EntryText.h"
#include "browser/PendingArchive.h"
#include "browser/views/BrowserWidgets.h"
#include "browser/views/DetailPane.h"
#include "browser/views/FloatingDetailView.h"
#include "browser/views/LogListModel.h"
#include "logs/LogFetcher.h"
#include "logs/RecentArchives.h"
#include "processnames/ProcessNameResolver.h"
#include "ui/AppIdentity.h"
#include "ui/TextStyles.h"
#include "ui/ViewStyle.h"
#include "ui/Widgets.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFrame>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

using TextStyles::Style;

namespace {
QFrame* vDivider()
{
    auto* f = new QFrame;
    f->setFrameShape(QFrame::VLine);
    f->setFrameShadow(QFrame::Plain);
    f->setFixedWidth(1);
    return f;
}

QToolButton* clearButton(QWidget* owner)
{
    auto* b = new QToolButton;
    b->setAutoRaise(true);
    b->setCursor(Qt::PointingHandCursor);
    b->setIcon(ViewStyle::icon(QStringLiteral("xmark.circle.fill"), ViewStyle::secondary(owner), 14, 2.0));
    b->setIconSize(QSize(14, 14));
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QPixmap dot(const QColor& c)
{
    QPixmap pm(QSize(14, 14) * 2);
    pm.setDevicePixelRatio(2);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QRectF(3.5, 3.5, 7, 7));
    return pm;
}
}  // namespace

ContentView::ContentView(DetailWindowState* detailState, RecentArchives* recentArchives, PendingArchive* pending,
                         WindowParts parts, QWidget* parent)
    : QWidget(parent),
      m_parts(std::move(parts)),
      m_detailState(detailState),
      m_recentArchives(recentArchives),
      m_pending(pending)
{
    setObjectName(QStringLiteral("ContentView"));
    setMinimumSize(700, 400);
    m_processNames = new ProcessNameResolver(this);
    m_aiSettings = new AISettings(this);
    m_fetcher = new LogFetcher(this);

    const QDateTime created = QDateTime::currentDateTime();
    m_customStart = created.addSecs(-3600);
    m_customEnd = created;

    m_rowContext.displayName = [this](const QString& raw) { return m_processNames->displayName(raw); };

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(buildArchiveBanner());
    root->addWidget(buildToolbar());
    m_updateBannerSlot = new QWidget;
    auto* ub = new QVBoxLayout(m_updateBannerSlot);
    ub->setContentsMargins(0, 0, 0, 0);
    if (m_parts.makeUpdateBanner)
        if (QWidget* banner = m_parts.makeUpdateBanner(this))
            ub->addWidget(banner);
    root->addWidget(m_updateBannerSlot);
    root->addWidget(ViewStyle::divider());

    m_tabs = new QStackedWidget;
    m_tabs->addWidget(buildLogView());
    m_crashesHost = new QWidget;
    m_crashesHost->setObjectName(QStringLiteral("crashesHost"));
    auto* ch = new QVBoxLayout(m_crashesHost);
    ch->setContentsMargins(0, 0, 0, 0);
    m_tabs->addWidget(m_crashesHost);
    root->addWidget(m_tabs, 1);

    connect(m_fetcher, &LogFetcher::entriesChanged, this, &ContentView::evaluate);
    connect(m_fetcher, &LogFetcher::isLiveTailingChanged, this, &ContentView::evaluate);
    connect(m_fetcher, &LogFetcher::isLoadingChanged, this, [this] {
        updateToolbar();
        updateContentArea();
    });
    connect(m_fetcher, &LogFetcher::errorMessageChanged, this, &ContentView::updateContentArea);
    connect(m_fetcher, &LogFetcher::archiveURLChanged, this, [this] {
        updateArchiveBanner();
        updateToolbar();
    });
    connect(m_processNames, &ProcessNameResolver::learnedNamesChanged, this, [this] {
        updateDropdowns();
        m_list->viewport()->update();
    });
    connect(m_aiSettings, &AISettings::apiKeyChanged, this, &ContentView::updateToolbar);
    connect(&m_pipeline, &FilterPipeline::changed, this, &ContentView::evaluate);

    if (m_detailState) {
        connect(m_detailState, &DetailWindowState::wantsPopBackChanged, this, [this] {
            if (!m_detailState->wantsPopBack())
                return;
            setSelectedEntry(m_detailState->entry());
            m_detailState->setWantsPopBack(false);
        });
    }
    if (m_pending) {
        connect(m_pending, &PendingArchive::changed, this, &ContentView::takePendingArchive);
    }

    qApp->installEventFilter(this);
    updateIcons();
    updateArchiveBanner();
    evaluate();
}

ContentView::~ContentView()
{
    qApp->removeEventFilter(this);
    // An open popover would otherwise be deleted with the children, after this
    // object is gone, and its destroyed handler would write to a dead view.
    delete m_settingsPopover;
}

double ContentView::now() const
{
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

// ---------------------------------------------------------------- layout

QWidget* ContentView::buildArchiveBanner()
{
    m_archiveBanner = new QWidget;
    m_archiveBanner->setObjectName(QStringLiteral("archiveBanner"));
    m_archiveBanner->setAutoFillBackground(true);
    auto* h = new QHBoxLayout(m_archiveBanner);
    h->setContentsMargins(12, 5, 12, 5);
    m_archiveIcon = new QLabel;
    h->addWidget(m_archiveIcon);
    m_archiveLabel = TextStyles::label(QString(), Style::callout);
    m_archiveLabel->setObjectName(QStringLiteral("archiveLabel"));
    h->addWidget(m_archiveLabel);
    h->addStretch(1);
    auto* close = new QPushButton(QStringLiteral("Close Archive"));
    close->setObjectName(QStringLiteral("closeArchiveButton"));
    close->setFont(TextStyles::font(Style::caption));
    connect(close, &QPushButton::clicked, this, [this] { m_fetcher->closeArchive(); });
    h->addWidget(close);
    return m_archiveBanner;
}

QWidget* ContentView::buildToolbar()
{
    auto* bar = new QWidget;
    bar->setObjectName(QStringLiteral("toolbar"));
    auto* h = new QHBoxLayout(bar);
    h->setContentsMargins(12, 8, 12, 8);
    h->setSpacing(8);

    auto* icon = new QLabel;
    icon->setPixmap(AppIdentity::icon().pixmap(22, 22));
    icon->setFixedSize(22, 22);
    h->addWidget(icon);
    auto* title = TextStyles::label(QStringLiteral("Vellacord"), Style::headline);
    h->addWidget(title);
    h->addSpacing(8);

    m_logsTab = new PillButton(QStringLiteral("Logs"));
    m_logsTab->setObjectName(QStringLiteral("logsTab"));
    m_crashesTab = new PillButton(QStringLiteral("Crashes"), QStringLiteral("ladybug"));
    m_crashesTab->setObjectName(QStringLiteral("crashesTab"));
    connect(m_logsTab, &QAbstractButton::clicked, this, [this] { setShowCrashes(false); });
    connect(m_crashesTab, &QAbstractButton::clicked, this, [this] { setShowCrashes(true); });
    h->addWidget(m_logsTab);
    h->addWidget(m_crashesTab);
    h->addSpacing(8);

    m_rangeButtons = new QWidget;
    auto* rh = new QHBoxLayout(m_rangeButtons);
    rh->setContentsMargins(0, 0, 0, 0);
    rh->setSpacing(4);
    for (QuickTimeRange r : QuickRange::allCases()) {
        auto* b = new PillButton(QuickRange::rawValue(r));
        b->setObjectName(QStringLiteral("range_") + QuickRange::rawValue(r));
        connect(b, &QAbstractButton::clicked, this, [this, r] { selectQuickRange(r); });
        rh->addWidget(b);
        m_quickButtons << b;
    }
    m_customButton = new PillButton(QStringLiteral("Custom"));
    m_customButton->setObjectName(QStringLiteral("customButton"));
    connect(m_customButton, &QAbstractButton::clicked, this, &ContentView::toggleCustomRange);
    rh->addWidget(m_customButton);
    h->addWidget(m_rangeButtons);
    m_rescanButton = new QPushButton(QStringLiteral(" Rescan"));
    m_rescanButton->setObjectName(QStringLiteral("rescanButton"));
    m_rescanButton->setFlat(true);
    connect(m_rescanButton, &QPushButton::clicked, this, [this] {
        // The crash browser scans by itself; a view that offers a rescan gets it.
        if (m_crashesView && m_crashesRescan)
            m_crashesRescan();
    });
    h->addWidget(m_rescanButton);
    h->addSpacing(8);

    m_collectButton = new QPushButton(QStringLiteral("Collect"));
    m_collectButton->setObjectName(QStringLiteral("collectButton"));
    m_collectButton->setToolTip(QStringLiteral("Collect system logs into a .logarchive on your Desktop"));
    connect(m_collectButton, &QPushButton::clicked, this, [this] {
        if (m_parts.collect)
            m_parts.collect(this);
    });
    m_collectBusy = new BusyIndicator(11);
    m_collectBusy->hide();
    h->addWidget(m_collectBusy);
    h->addWidget(m_collectButton);

    m_refreshButton = new QToolButton;
    m_refreshButton->setObjectName(QStringLiteral("refreshButton"));
    m_refreshButton->setToolTip(QStringLiteral("Refresh"));
    m_refreshButton->setAutoRaise(true);
    connect(m_refreshButton, &QToolButton::clicked, this, [this] { m_fetcher->refresh(); });
    h->addWidget(m_refreshButton);

    m_tailButton = new QPushButton(QStringLiteral("Tail"));
    m_tailButton->setObjectName(QStringLiteral("tailButton"));
    connect(m_tailButton, &QPushButton::clicked, this, &ContentView::toggleLiveTail);
    h->addWidget(m_tailButton);

    m_loadingBusy = new BusyIndicator(11);
    m_loadingBusy->hide();
    h->addWidget(m_loadingBusy);
    m_status = TextStyles::label(QString(), Style::caption, true);
    m_status->setObjectName(QStringLiteral("statusLabel"));
    h->addWidget(m_status);
    h->addStretch(1);

    m_analyzeButton = new QPushButton(QStringLiteral("Analyze"));
    m_analyzeButton->setObjectName(QStringLiteral("analyzeButton"));
    m_analyzeButton->setToolTip(QStringLiteral("Proactive log analysis — AI identifies top issues"));
    connect(m_analyzeButton, &QPushButton::clicked, this, &ContentView::startAnalysis);
    h->addWidget(m_analyzeButton);

    m_settingsButton = new QToolButton;
    m_settingsButton->setObjectName(QStringLiteral("settingsButton"));
    m_settingsButton->setToolTip(QStringLiteral("AI Explainer Settings"));
    m_settingsButton->setAutoRaise(true);
    connect(m_settingsButton, &QToolButton::clicked, this, [this] { setShowSettings(!m_showSettings); });
    h->addWidget(m_settingsButton);
    return bar;
}

QWidget* ContentView::buildLogView()
{
    auto* w = new QWidget;
    w->setObjectName(QStringLiteral("logView"));
    auto* v = new QVBoxLayout(w);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    v->addWidget(buildCustomRow());
    v->addWidget(buildFilterBar());
    v->addWidget(ViewStyle::divider());
    v->addWidget(buildSearchRow());
    v->addWidget(ViewStyle::divider());
    v->addWidget(buildContent(), 1);
    return w;
}

QWidget* ContentView::buildCustomRow()
{
    m_customRow = new QWidget;
    m_customRow->setObjectName(QStringLiteral("customRow"));
    auto* h = new QHBoxLayout(m_customRow);
    h->setContentsMargins(12, 6, 12, 0);
    h->addWidget(new QLabel(QStringLiteral("From:")));
    m_customStartEdit = new QDateTimeEdit(m_customStart);
    m_customStartEdit->setObjectName(QStringLiteral("customStart"));
    m_customStartEdit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    m_customStartEdit->setCalendarPopup(true);
    h->addWidget(m_customStartEdit);
    h->addWidget(new QLabel(QStringLiteral("To:")));
    m_customEndEdit = new QDateTimeEdit(m_customEnd);
    m_customEndEdit->setObjectName(QStringLiteral("customEnd"));
    m_customEndEdit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    m_customEndEdit->setCalendarPopup(true);
    h->addWidget(m_customEndEdit);
    connect(m_customStartEdit, &QDateTimeEdit::dateTimeChanged, this, [this](const QDateTime& d) { m_customStart = d; });
    connect(m_customEndEdit, &QDateTimeEdit::dateTimeChanged, this, [this](const QDateTime& d) { m_customEnd = d; });
    auto* apply = new QPushButton(QStringLiteral("Apply"));
    apply->setObjectName(QStringLiteral("applyButton"));
    apply->setDefault(true);
    connect(apply, &QPushButton::clicked, this, &ContentView::applyCustomRange);
    h->addWidget(apply);
    h->addStretch(1);
    m_customRow->hide();
    return m_customRow;
}

QWidget* ContentView::buildFilterBar()
{
    auto* bar = new QWidget;
    bar->setObjectName(QStringLiteral("filterBar"));
    auto* h = new QHBoxLayout(bar);
    h->setContentsMargins(12, 6, 12, 6);
    h->setSpacing(6);
    for (SeverityLevel s : Severity::allCases()) {
        auto* chip = new SeverityChip(s);
        connect(chip, &QAbstractButton::clicked, this, [this, s] { toggleSeverity(s); });
        h->addWidget(chip);
        m_chips << chip;
    }
    h->addSpacing(10);
    m_columnFilterLayout = new QHBoxLayout;
    m_columnFilterLayout->setSpacing(6);
    h->addLayout(m_columnFilterLayout);
    h->addStretch(1);
    rebuildColumnFilters();
    return bar;
}

void ContentView::rebuildColumnFilters()
{
    while (QLayoutItem* item = m_columnFilterLayout->takeAt(0)) {
        if (QWidget* w = item->widget()) {
            // Out of the tree at once; deleted when the event loop runs.
            w->hide();
            w->setParent(nullptr);
            w->deleteLater();
        }
        delete item;
    }
    for (OptionalColumn c : m_pipeline.visibleColumns()) {
        auto* box = new QWidget;
        box->setObjectName(QStringLiteral("columnFilter_") + RowLayout::columnLabel(c));
        auto* h = new QHBoxLayout(box);
        h->setContentsMargins(0, 0, 0, 0);
        h->setSpacing(3);
        auto* label = TextStyles::label(RowLayout::columnLabel(c) + u':', Style::caption, true);
        h->addWidget(label);
        auto* field = new QLineEdit(m_pipeline.filterText(c));
        field->setObjectName(QStringLiteral("filter_") + RowLayout::columnLabel(c));
        field->setFixedWidth(100);
        field->setFont(TextStyles::font(Style::caption));
        h->addWidget(field);
        auto* clear = clearButton(this);
        clear->setVisible(!field->text().isEmpty());
        h->addWidget(clear);
        connect(field, &QLineEdit::textChanged, this, [this, c, clear](const QString& t) {
            clear->setVisible(!t.isEmpty());
            m_pipeline.setFilterText(c, t);
        });
        connect(clear, &QToolButton::clicked, field, &QLineEdit::clear);
        m_columnFilterLayout->addWidget(box);
    }
}

QWidget* ContentView::buildSearchRow()
{
    auto* row = new QWidget;
    row->setObjectName(QStringLiteral("searchRow"));
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(12, 4, 12, 4);
    h->setSpacing(6);
    m_searchIcon = new QLabel;
    h->addWidget(m_searchIcon);
    m_search = new QLineEdit;
    m_search->setObjectName(QStringLiteral("searchField"));
    m_search->setPlaceholderText(QStringLiteral("Search messages and processes…"));
    m_search->setFrame(false);
    m_search->setClearButtonEnabled(false);
    h->addWidget(m_search, 1);
    m_searchClear = clearButton(this);
    m_searchClear->setObjectName(QStringLiteral("searchClear"));
    m_searchClear->hide();
    h->addWidget(m_searchClear);
    connect(m_search, &QLineEdit::textChanged, this, &ContentView::setSearchText);
    connect(m_searchClear, &QToolButton::clicked, m_search, &QLineEdit::clear);
    h->addWidget(vDivider());

    m_processCombo = new QComboBox;
    m_processCombo->setObjectName(QStringLiteral("processCombo"));
    m_processCombo->setMinimumWidth(140);
    m_processCombo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_processCombo->setMaxVisibleItems(25);
    h->addWidget(m_processCombo);
    m_subsystemCombo = new QComboBox;
    m_subsystemCombo->setObjectName(QStringLiteral("subsystemCombo"));
    m_subsystemCombo->setMinimumWidth(150);
    m_subsystemCombo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_subsystemCombo->setMaxVisibleItems(25);
    h->addWidget(m_subsystemCombo);
    m_typeCombo = new QComboBox;
    m_typeCombo->setObjectName(QStringLiteral("typeCombo"));
    m_typeCombo->setMinimumWidth(100);
    for (SourceType t : Source::allCases())
        m_typeCombo->addItem(Source::label(t), Source::rawValue(t));
    h->addWidget(m_typeCombo);

    connect(m_processCombo, &QComboBox::activated, this, [this](int i) {
        const QVariant v = m_processCombo->itemData(i);
        m_pipeline.setSelectedProcess(v.isValid() ? std::optional<QString>(v.toString()) : std::nullopt);
    });
    connect(m_subsystemCombo, &QComboBox::activated, this, [this](int i) {
        const QVariant v = m_subsystemCombo->itemData(i);
        m_pipeline.setSelectedSubsystem(v.isValid() ? std::optional<QString>(v.toString()) : std::nullopt);
    });
    connect(m_typeCombo, &QComboBox::activated, this,
            [this](int i) { m_pipeline.setSourceFilter(m_typeCombo->itemData(i).toString()); });
    return row;
}

QWidget* ContentView::buildErrorPanel()
{
    m_errorPanel = new QWidget;
    m_errorPanel->setObjectName(QStringLiteral("errorPanel"));
    auto* v = new QVBoxLayout(m_errorPanel);
    v->addStretch(1);
    m_errorIcon = new QLabel;
    m_errorIcon->setAlignment(Qt::AlignCenter);
    v->addWidget(m_errorIcon);
    m_errorText = new QLabel;
    m_errorText->setObjectName(QStringLiteral("errorText"));
    m_errorText->setTextFormat(Qt::PlainText);
    m_errorText->setWordWrap(true);
    m_errorText->setAlignment(Qt::AlignCenter);
    // Fixed width, and the height of every wrapped line set with the text
    // (updateContentArea): an aligned layout item gets only its size hint,
    // which for a wrapping label is one line.
    m_errorText->setFixedWidth(400);
    m_errorText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    v->addWidget(m_errorText, 0, Qt::AlignHCenter);
    m_fdaButton = new QPushButton(QStringLiteral("Open System Settings"));
    m_fdaButton->setObjectName(QStringLiteral("fullDiskAccessButton"));
    m_fdaButton->setDefault(true);
    connect(m_fdaButton, &QPushButton::clicked, this, &ContentView::openFullDiskAccessHelp);
    v->addWidget(m_fdaButton, 0, Qt::AlignHCenter);
    v->addStretch(1);
    return m_errorPanel;
}

QWidget* ContentView::buildContent()
{
    m_contentStack = new QStackedWidget;
    m_contentStack->addWidget(buildErrorPanel());

    m_emptyLabel = TextStyles::label(QStringLiteral("No log entries found"), Style::body, true);
    m_emptyLabel->setObjectName(QStringLiteral("emptyLabel"));
    m_emptyLabel->setAlignment(Qt::AlignCenter);
    m_contentStack->addWidget(m_emptyLabel);

    m_listArea = new QWidget;
    m_listArea->setObjectName(QStringLiteral("listArea"));
    auto* v = new QVBoxLayout(m_listArea);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    m_header = new LogHeader;
    m_header->setObjectName(QStringLiteral("columnHeader"));
    connect(m_header, &LogHeader::labelClicked, this, &ContentView::toggleSort);
    v->addWidget(m_header);

    m_model = new LogListModel(this);
    m_list = new QListView;
    m_list->setObjectName(QStringLiteral("entryList"));
    m_list->setModel(m_model);
    m_delegate = new LogRowDelegate(m_model, &m_rowContext, m_list);
    m_list->setItemDelegate(m_delegate);
    m_list->setUniformItemSizes(true);
    m_list->setLayoutMode(QListView::SinglePass);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->setMouseTracking(true);
    m_list->viewport()->setAutoFillBackground(false);
    m_list->setAutoFillBackground(false);
    m_list->viewport()->installEventFilter(this);
    connect(m_list, &QListView::clicked, this, [this](const QModelIndex& i) {
        if (i.isValid())
            clickRow(m_model->entryAt(i.row()));
    });
    connect(m_list, &QListView::customContextMenuRequested, this, &ContentView::showContextMenu);
    connect(m_list->verticalScrollBar(), &QScrollBar::actionTriggered, this, [this] {
        // Direct interaction (wheel, drag, keys) while tailing stops following.
        if (m_fetcher->isLiveTailing() && m_autoScrollEnabled) {
            m_autoScrollEnabled = false;
            updateJumpButton();
        }
    });
    v->addWidget(m_list, 1);

    m_jumpButton = new QPushButton(QStringLiteral("Jump to Bottom"), m_list);
    m_jumpButton->setObjectName(QStringLiteral("jumpToBottom"));
    m_jumpButton->setFont(TextStyles::font(Style::caption, false, QFont::Medium));
    m_jumpButton->setCursor(Qt::PointingHandCursor);
    auto* shadow = new QGraphicsDropShadowEffect(m_jumpButton);
    shadow->setColor(QColor(0, 0, 0, 84));
    shadow->setBlurRadius(10);
    shadow->setOffset(0, 2);
    m_jumpButton->setGraphicsEffect(shadow);
    connect(m_jumpButton, &QPushButton::clicked, this, &ContentView::jumpToBottom);
    m_jumpButton->hide();

    m_resizeBar = new PaneResizeBar;
    m_resizeBar->setObjectName(QStringLiteral("paneResizeBar"));
    connect(m_resizeBar, &PaneResizeBar::dragMoved, this,
            [this](int dy) { setDetailPaneHeight(PaneResizeBar::dragged(m_detailPaneHeight, dy)); });
    v->addWidget(m_resizeBar);
    m_paneSlot = new QVBoxLayout;
    m_paneSlot->setContentsMargins(0, 0, 0, 0);
    v->addLayout(m_paneSlot);
    m_resizeBar->hide();

    m_contentStack->addWidget(m_listArea);
    return m_contentStack;
}

// ---------------------------------------------------------------- state

void ContentView::evaluate()
{
    const LogEntryList& all = m_fetcher->entries();
    const bool tailing = m_fetcher->isLiveTailing();
    const qsizetype before = m_filtered.size();
    // One pass yields the list and both dropdowns' options.
    Pipeline::Evaluation result = m_pipeline.evaluate(all, tailing);
    m_filtered = std::move(result.filtered);

    const QList<OptionalColumn> columns = m_pipeline.visibleColumns();
    if (columns != m_rowContext.visibleColumns) {
        m_rowContext.visibleColumns = columns;
        m_header->setColumns(columns);
        rebuildColumnFilters();
    }
    m_header->setSort(m_pipeline.sortColumn(), m_pipeline.sortAscending());

    // Keep the scroll position across a re-evaluation; live tail follows the end.
    const int scroll = m_list->verticalScrollBar()->value();
    m_model->setEntries(m_filtered);
    m_list->verticalScrollBar()->setValue(scroll);

    m_processOptions = std::move(result.processes);
    m_subsystemOptions = std::move(result.subsystems);
    updateDropdowns();
    updateToolbar();
    updateContentArea();
    for (SeverityChip* chip : m_chips)
        chip->setChecked(m_pipeline.activeFilters().contains(chip->level()));

    if (tailing && m_autoScrollEnabled && m_filtered.size() > before)
        scrollToLastAnimated();
    updateJumpButton();
}

void ContentView::updateDropdowns()
{
    const QStringList& processes = m_processOptions;
    const QStringList& subsystems = m_subsystemOptions;
    {
        QSignalBlocker block(m_processCombo);
        m_processCombo->clear();
        m_processCombo->addItem(QStringLiteral("All Processes"));
        m_processCombo->insertSeparator(1);
        int current = 0;
        for (const QString& p : processes) {
            m_processCombo->addItem(m_processNames->displayName(p), p);
            if (m_pipeline.selectedProcess() && *m_pipeline.selectedProcess() == p)
                current = m_processCombo->count() - 1;
        }
        m_processCombo->setCurrentIndex(current);
    }
    {
        QSignalBlocker block(m_subsystemCombo);
        m_subsystemCombo->clear();
        m_subsystemCombo->addItem(QStringLiteral("All Subsystems"));
        m_subsystemCombo->insertSeparator(1);
        int current = 0;
        for (const QString& s : subsystems) {
            m_subsystemCombo->addItem(s, s);
            if (m_pipeline.selectedSubsystem() && *m_pipeline.selectedSubsystem() == s)
                current = m_subsystemCombo->count() - 1;
        }
        m_subsystemCombo->setCurrentIndex(current);
    }
    {
        QSignalBlocker block(m_typeCombo);
        const SourceType t = Source::fromRawValue(m_pipeline.sourceFilter()).value_or(SourceType::all);
        m_typeCombo->setCurrentIndex(int(Source::allCases().indexOf(t)));
    }
}

QString ContentView::statusText() const
{
    return QString::number(m_filtered.size()) + QStringLiteral(" of ") + QString::number(m_fetcher->entries().size()) +
           QStringLiteral(" entries");
}

void ContentView::updateToolbar()
{
    m_logsTab->setSelectedLook(!m_showCrashes);
    m_crashesTab->setSelectedLook(m_showCrashes);
    m_rangeButtons->setVisible(!m_showCrashes);
    m_rescanButton->setVisible(m_showCrashes);
    const QList<QuickTimeRange>& ranges = QuickRange::allCases();
    for (int i = 0; i < m_quickButtons.size(); ++i)
        m_quickButtons[i]->setSelectedLook(m_selectedQuickRange == ranges[i] && !m_showCustomRange);
    m_customButton->setSelectedLook(m_showCustomRange);
    m_customRow->setVisible(m_showCustomRange);

    m_collectButton->setText(m_isCollecting ? QStringLiteral("Collecting…") : QStringLiteral("Collect"));
    m_collectButton->setEnabled(!m_isCollecting);
    m_collectBusy->setVisible(m_isCollecting);
    m_refreshButton->setEnabled(!m_fetcher->isLoading());

    const bool tailing = m_fetcher->isLiveTailing();
    m_tailButton->setText(tailing ? QStringLiteral("Tailing") : QStringLiteral("Tail"));
    m_tailButton->setIcon(dot(tailing ? ViewStyle::green() : ViewStyle::withAlpha(ViewStyle::secondary(this), 0.4)));
    if (m_fetcher->isViewingArchive()) {
        m_tailButton->setEnabled(false);
        m_tailButton->setToolTip(QStringLiteral("Live tail not available for archives"));
    } else {
        m_tailButton->setEnabled(true);
        m_tailButton->setToolTip(tailing ? QStringLiteral("Pause live tail") : QStringLiteral("Start live tail"));
    }
    m_loadingBusy->setVisible(m_fetcher->isLoading());
    m_status->setText(statusText());
    m_analyzeButton->setEnabled(!m_isAnalyzing && !m_filtered.isEmpty());
}

QWidget* ContentView::contentArea() const
{
    return m_contentStack->currentWidget();
}

void ContentView::updateContentArea()
{
    const auto& error = m_fetcher->errorMessage();
    const bool noEntries = m_fetcher->entries().isEmpty();
    if (error && noEntries) {
        const FetchOutcome& outcome = m_fetcher->outcome();
        const bool fda = outcome.kind == FetchOutcome::Kind::emptyLive
                         || (!outcome.liveTail && outcome.failure == QueryFailure::liveStoreDenied);
        m_errorText->setText(*error);
        m_errorText->setFixedHeight(m_errorText->heightForWidth(m_errorText->width()));
        m_errorIcon->setPixmap(ViewStyle::pixmap(fda ? QStringLiteral("lock.shield")
                                                     : QStringLiteral("exclamationmark.triangle"),
                                                 fda ? ViewStyle::secondary(this) : ViewStyle::orange(), 32, 2.0));
        m_fdaButton->setVisible(fda);
        m_contentStack->setCurrentWidget(m_errorPanel);
    } else if (noEntries && !m_fetcher->isLoading()) {
        m_contentStack->setCurrentWidget(m_emptyLabel);
    } else {
        m_contentStack->setCurrentWidget(m_listArea);
    }
}

void ContentView::updateArchiveBanner()
{
    const auto& url = m_fetcher->archiveURL();
    m_archiveBanner->setVisible(url.has_value());
    if (url) {
        QString name = *url;
        while (name.endsWith(u'/') && name.size() > 1)
            name.chop(1);
        name = name.mid(name.lastIndexOf(u'/') + 1);
        m_archiveLabel->setText(QStringLiteral("Viewing archive: ") + name);
    }
}

void ContentView::updateIcons()
{
    const QColor fg = palette().color(QPalette::ButtonText);
    m_rowContext.dark = ViewStyle::isDark(this);
    m_archiveIcon->setPixmap(ViewStyle::pixmap(QStringLiteral("archivebox.fill"), ViewStyle::accent(this), 12, 2.0));
    QPalette bp = m_archiveBanner->palette();
    bp.setColor(QPalette::Window, ViewStyle::withAlpha(ViewStyle::accent(this), 0.12));
    m_archiveBanner->setPalette(bp);
    m_collectButton->setIcon(ViewStyle::icon(QStringLiteral("tray.and.arrow.down"), fg, 16, 2.0));
    m_refreshButton->setIcon(ViewStyle::icon(QStringLiteral("arrow.clockwise"), fg, 16, 2.0));
    m_rescanButton->setIcon(ViewStyle::icon(QStringLiteral("arrow.clockwise"), fg, 16, 2.0));
    m_analyzeButton->setIcon(ViewStyle::icon(QStringLiteral("wand.and.stars"), fg, 16, 2.0));
    m_settingsButton->setIcon(ViewStyle::icon(QStringLiteral("gearshape"), fg, 16, 2.0));
    m_searchIcon->setPixmap(ViewStyle::pixmap(QStringLiteral("magnifyingglass"), ViewStyle::secondary(this), 14, 2.0));
    m_jumpButton->setIcon(ViewStyle::icon(QStringLiteral("arrow.down.to.line"), fg, 12, 2.0));
    const QColor base = palette().color(QPalette::Window);
    m_jumpButton->setStyleSheet(
        QStringLiteral("QPushButton { background: %1; border: 1px solid %2; border-radius: 8px;"
                       " padding: 6px 12px; color: %3; }")
            .arg(ViewStyle::withAlpha(base, 0.85).name(QColor::HexArgb),
                 ViewStyle::separator(this).name(QColor::HexArgb), fg.name()));
    m_jumpButton->adjustSize();
    updateToolbar();
    updateContentArea();
    m_list->viewport()->update();
}

void ContentView::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::PaletteChange && m_list)
        updateIcons();
}

void ContentView::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (!m_firstShown) {
        m_firstShown = true;
        if (m_pending && m_pending->url()) {
            takePendingArchive();  // started with an archive: no live query first
        } else {
            const double t = now();
            m_fetcher->fetch(t - 3600, t);
        }
    }
}

void ContentView::setSelectedEntry(const std::optional<LogEntry>& entry)
{
    const bool same = entry.has_value() == m_selectedEntry.has_value() && (!entry || entry->id == m_selectedEntry->id);
    m_selectedEntry = entry;
    m_rowContext.selectedID = entry ? std::optional<QUuid>(entry->id) : std::nullopt;
    updatePane();
    m_list->viewport()->update();
    if (!same)
        emit selectedEntryChanged();
}

void ContentView::updatePane()
{
    if (!m_selectedEntry) {
        if (m_pane) {
            m_pane->hide();
            m_pane->deleteLater();
            m_pane = nullptr;
        }
        m_resizeBar->hide();
        return;
    }
    if (m_pane) {
        m_pane->setEntry(*m_selectedEntry);
    } else {
        m_pane = new DetailPane(*m_selectedEntry, m_processNames, m_aiSettings, m_detailPaneHeight,
                                [this] { popOut(); });
        m_paneSlot->addWidget(m_pane);
    }
    m_resizeBar->show();
}

void ContentView::setDetailPaneHeight(double h)
{
    m_detailPaneHeight = qBound(100.0, h, 500.0);
    if (m_pane)
        m_pane->setPaneHeight(m_detailPaneHeight);
}

void ContentView::setShowCrashes(bool crashes)
{
    if (m_showCrashes == crashes)
        return;
    m_showCrashes = crashes;
    if (crashes) {
        WindowParts::CrashesTab tab = m_parts.makeCrashesTab ? m_parts.makeCrashesTab(this) : WindowParts::CrashesTab{};
        QWidget* view = tab.view;
        m_crashesRescan = std::move(tab.rescan);
        if (!view) {
            view = TextStyles::label(QStringLiteral("Crash reports are not available in this build."), Style::body,
                                     true);
            static_cast<QLabel*>(view)->setAlignment(Qt::AlignCenter);
        }
        m_crashesView = view;
        m_crashesHost->layout()->addWidget(view);
        m_tabs->setCurrentWidget(m_crashesHost);
    } else {
        // Built while the tab is selected: a later visit starts afresh.
        if (m_crashesView) {
            m_crashesView->hide();
            m_crashesView->deleteLater();
        }
        m_crashesRescan = nullptr;
        m_tabs->setCurrentIndex(0);
    }
    updateToolbar();
}

void ContentView::setShowSettings(bool show)
{
    if (m_showSettings == show)
        return;
    m_showSettings = show;
    if (!show) {
        if (m_settingsPopover)
            m_settingsPopover->close();
        return;
    }
    QWidget* content = m_parts.makeSettingsView ? m_parts.makeSettingsView(this) : nullptr;
    if (!content) {
        m_showSettings = false;
        return;
    }
    auto* popup = new QWidget(this, Qt::Popup);
    popup->setObjectName(QStringLiteral("settingsPopover"));
    popup->setAttribute(Qt::WA_DeleteOnClose);
    auto* lay = new QVBoxLayout(popup);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->addWidget(content);
    popup->adjustSize();
    const QPoint anchor = m_settingsButton->mapToGlobal(QPoint(m_settingsButton->width(), m_settingsButton->height()));
    popup->move(anchor.x() - popup->width(), anchor.y() + 4);
    connect(popup, &QObject::destroyed, this, [this] { m_showSettings = false; });
    m_settingsPopover = popup;
    popup->show();
}

void ContentView::setCollecting(bool collecting)
{
    m_isCollecting = collecting;
    updateToolbar();
}

void ContentView::openCollectedArchive(const QString& path)
{
    if (m_recentArchives)
        m_recentArchives->add(path);
    setShowCrashes(false);
    m_fetcher->openArchive(path);
}

void ContentView::takePendingArchive()
{
    if (!m_pending || !m_pending->url())
        return;
    const QString path = *m_pending->url();
    setShowCrashes(false);
    m_fetcher->openArchive(path);
    m_pending->clear();
}

// ---------------------------------------------------------------- actions

void ContentView::toggleSeverity(SeverityLevel level)
{
    QSet<SeverityLevel> set = m_pipeline.activeFilters();
    if (set.contains(level))
        set.remove(level);
    else
        set.insert(level);
    m_pipeline.setActiveFilters(set);
}

void ContentView::selectQuickRange(QuickTimeRange range)
{
    m_selectedQuickRange = range;
    m_showCustomRange = false;
    const double t = now();
    updateToolbar();
    m_fetcher->fetch(t + QuickRange::offset(range), t);
}

void ContentView::toggleCustomRange()
{
    m_showCustomRange = !m_showCustomRange;
    m_selectedQuickRange.reset();
    updateToolbar();
}

void ContentView::setCustomRange(const QDateTime& start, const QDateTime& end)
{
    m_customStartEdit->setDateTime(start);
    m_customEndEdit->setDateTime(end);
    m_customStart = start;
    m_customEnd = end;
}

void ContentView::applyCustomRange()
{
    m_fetcher->fetch(double(m_customStart.toMSecsSinceEpoch()) / 1000.0,
                     double(m_customEnd.toMSecsSinceEpoch()) / 1000.0);
}

void ContentView::setSearchText(const QString& text)
{
    if (m_search->text() != text)
        m_search->setText(text);  // comes back through textChanged
    m_searchClear->setVisible(!text.isEmpty());
    m_pipeline.setSearchText(text);
}

void ContentView::toggleSort(const QString& column)
{
    m_pipeline.toggleSort(column);
}

void ContentView::clickRow(const LogEntry& entry)
{
    if (m_detailState && m_detailState->isOpen()) {
        setSelectedEntry(entry);
        m_detailState->setEntry(entry);
        return;
    }
    if (m_selectedEntry && m_selectedEntry->id == entry.id)
        setSelectedEntry(std::nullopt);
    else
        setSelectedEntry(entry);
}

bool ContentView::copySelection()
{
    if (!m_selectedEntry)
        return false;
    QGuiApplication::clipboard()->setText(EntryText::rowText(*m_selectedEntry));
    return true;
}

void ContentView::filterToPID(const LogEntry& entry)
{
    m_pipeline.setShown(OptionalColumn::pid, true);
    m_pipeline.setFilterText(OptionalColumn::pid, QString::number(entry.processIdentifier));
    rebuildColumnFilters();
}

void ContentView::showContextMenu(const QPoint& pos)
{
    const QModelIndex index = m_list->indexAt(pos);
    if (!index.isValid())
        return;
    const LogEntry entry = m_model->entryAt(index.row());
    QMenu menu(this);
    menu.addAction(QStringLiteral("Copy Message"), this,
                   [entry] { QGuiApplication::clipboard()->setText(entry.message); });
    menu.addAction(QStringLiteral("Copy Row"), this, [entry] { QGuiApplication::clipboard()->setText(EntryText::rowText(entry)); });
    menu.addSeparator();
    menu.addAction(QStringLiteral("Filter to PID ") + QString::number(entry.processIdentifier), this,
                   [this, entry] { filterToPID(entry); });
    menu.exec(m_list->viewport()->mapToGlobal(pos));
}

void ContentView::popOut()
{
    if (!m_selectedEntry || !m_detailState)
        return;
    m_detailState->setEntry(*m_selectedEntry);
    m_detailState->setServices(m_processNames, m_aiSettings);
    m_detailState->setOpen(true);
    setSelectedEntry(std::nullopt);
    if (m_parts.openWindow)
        m_parts.openWindow(QLatin1String(FloatingDetailView::windowID));
    else
        FloatingDetailView::open(m_detailState);
}

void ContentView::toggleLiveTail()
{
    if (m_fetcher->isLiveTailing()) {
        m_fetcher->stopLiveTail();
    } else {
        m_autoScrollEnabled = true;
        m_fetcher->startLiveTail();
    }
    updateToolbar();
    updateJumpButton();
}

void ContentView::scrollToLastAnimated()
{
    QScrollBar* bar = m_list->verticalScrollBar();
    // Layout first, so that the maximum includes the new rows.
    m_list->doItemsLayout();
    auto* anim = new QPropertyAnimation(bar, "value", bar);
    anim->setDuration(180);
    anim->setStartValue(bar->value());
    anim->setEndValue(bar->maximum());
    anim->start(QAbstractAnimation::DeleteWhenStopped);
}

void ContentView::jumpToBottom()
{
    m_autoScrollEnabled = true;
    updateJumpButton();
    scrollToLastAnimated();
}

void ContentView::updateJumpButton()
{
    const bool show = m_fetcher->isLiveTailing() && !m_autoScrollEnabled;
    m_jumpButton->setVisible(show);
    if (show) {
        placeJumpButton();
        m_jumpButton->raise();
    }
}

void ContentView::placeJumpButton()
{
    m_jumpButton->adjustSize();
    const QRect r = m_list->rect();
    m_jumpButton->move(r.center().x() - m_jumpButton->width() / 2, r.bottom() - 8 - m_jumpButton->height());
}

void ContentView::startAnalysis()
{
    if (!m_aiSettings->hasAPIKey()) {
        setShowSettings(true);
        return;
    }
    if (m_isAnalyzing || m_filtered.isEmpty())
        return;
    m_analysisItems.clear();
    m_analysisError.reset();
    m_isAnalyzing = true;
    updateToolbar();
    if (!m_analysisSheet && m_parts.makeAnalysisSheet)
        m_analysisSheet = m_parts.makeAnalysisSheet(this);
    if (m_analysisSheet)
        m_analysisSheet->begin();
    QPointer<ContentView> self(this);
    AIExplainer::analyze(m_filtered, *m_aiSettings, this, [self](const AIResult<AnalysisItemList>& r) {
        if (!self)
            return;
        if (r.ok())
            self->m_analysisItems = r.value();
        else
            self->m_analysisError = r.error().description();
        self->m_isAnalyzing = false;
        if (self->m_analysisSheet)
            self->m_analysisSheet->finish(self->m_analysisItems, self->m_analysisError);
        self->updateToolbar();
    });
}

void ContentView::selectFromAnalysis(const LogEntry& entry)
{
    setSelectedEntry(entry);
    m_rowContext.highlightedID = entry.id;
    const int row = m_model->rowOf(entry.id);
    if (row >= 0)
        m_list->scrollTo(m_model->index(row), QAbstractItemView::PositionAtCenter);
    m_list->viewport()->update();
    const quint64 generation = ++m_highlightGeneration;
    const QUuid id = entry.id;
    QTimer::singleShot(3000, this, [this, generation, id] {
        if (generation == m_highlightGeneration && m_rowContext.highlightedID == id) {
            m_rowContext.highlightedID.reset();
            m_list->viewport()->update();
        }
    });
}

void ContentView::openFullDiskAccessHelp()
{
    // There is no Full Disk Access list on Linux: what stands for it is the
    // group that may read the whole system journal.
    QMessageBox box(this);
    box.setWindowTitle(QStringLiteral("Full Disk Access"));
    box.setIcon(QMessageBox::Information);
    box.setText(QStringLiteral("Reading the whole system journal needs membership in the \"systemd-journal\" group "
                               "(or \"adm\")."));
    box.setInformativeText(QStringLiteral("Add your account to it, then log out and back in:\n\n"
                                          "sudo usermod -aG systemd-journal $USER"));
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.exec();
}

bool ContentView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list->viewport() && event->type() == QEvent::Resize) {
        placeJumpButton();
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w || w->window() != window() || !isVisible())
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
        if (!m_selectedEntry)
            return false;  // passed on
        setSelectedEntry(std::nullopt);
        return true;
    }
    if (key->matches(QKeySequence::Copy)) {
        // Selected text in a field or label is copied by that widget.
        if (auto* edit = qobject_cast<QLineEdit*>(w); edit && edit->hasSelectedText())
            return false;
        if (auto* label = qobject_cast<QLabel*>(w); label && label->hasSelectedText())
            return false;
        if (m_selectedEntry) {
            copySelection();
            return true;
        }
        // The list would copy its current row otherwise: with no selection
        // Copy copies nothing.
        if (w == m_list || w == m_list->viewport())
            return true;
    }
    return false;
}
