#include "browser/views/LogListArea.h"

#include "browser/EntrySelection.h"
#include "browser/EntryText.h"
#include "browser/Marks.h"
#include "browser/TailFollow.h"
#include "browser/WindowModel.h"
#include "browser/views/BrowserWidgets.h"
#include "browser/views/DetailPane.h"
#include "browser/views/LogListModel.h"
#include "browser/views/TimelineStrip.h"
#include "logs/LogFetcher.h"
#include "logs/VisibleText.h"
#include "processnames/ProcessNameResolver.h"
#include "ui/TextStyles.h"
#include "ui/ViewStyle.h"
#include "ui/Widgets.h"

#include <QClipboard>
#include <QEvent>
#include <QGraphicsDropShadowEffect>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

LogListArea::LogListArea(WindowModel* model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("listArea"));
    m_rows.displayName = [model](const LogEntry& e) { return model->processNames()->displayName(e.process, e.origin); };
    m_rows.marks = model->marks();
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    m_timeline = new TimelineStrip(model);
    v->addWidget(m_timeline);
    m_header = new LogHeader;
    m_header->setObjectName(QStringLiteral("columnHeader"));
    m_rows.widths = RowLayout::loadWidths();
    m_header->setWidths(m_rows.widths);
    connect(m_header, &LogHeader::labelClicked, this, [this](ColumnId c) { m_model->pipeline().toggleSort(c); });
    connect(m_header, &LogHeader::columnResized, this, &LogListArea::resizeColumn);
    v->addWidget(m_header);

    m_listModel = new LogListModel(this);
    // A one-column table: its fixed-height rows need no layout pass over
    // every entry after each re-evaluation (a list view walks them all).
    auto* table = new QTableView;
    table->horizontalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setMinimumSectionSize(1);
    table->verticalHeader()->setDefaultSectionSize(LogRowDelegate::rowHeight());
    table->setShowGrid(false);
    table->setWordWrap(false);
    table->setCornerButtonEnabled(false);
    table->setTabKeyNavigation(false);
    m_list = table;
    m_list->setObjectName(QStringLiteral("entryList"));
    m_list->setModel(m_listModel);
    m_list->setItemDelegate(new LogRowDelegate(m_listModel, &m_rows, m_list));
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
    m_list->installEventFilter(this);  // Enter opens the pane
    connect(m_list, &QAbstractItemView::clicked, this, [this](const QModelIndex& i) {
        if (i.isValid())
            m_model->selection()->clickEntry(m_listModel->entryAt(i.row()));
    });
    new RowKeys(
        m_list,
        [this] {
            const std::optional<LogEntry>& e = m_model->selection()->entry();
            return e ? m_listModel->rowOf(e->id) : -1;
        },
        [this](int row) { m_model->selection()->selectEntry(m_listModel->entryAt(row)); });
    connect(m_list, &QWidget::customContextMenuRequested, this, &LogListArea::showRowMenu);
    // Direct interaction (wheel, drag, keys) while tailing stops following.
    TailFollow* tail = model->tail();
    connect(m_list->verticalScrollBar(), &QScrollBar::actionTriggered, tail, &TailFollow::userScrolled);
    v->addWidget(m_list, 1);

    m_noMatch = new QWidget;
    m_noMatch->setObjectName(QStringLiteral("noMatchPanel"));
    auto* nv = new QVBoxLayout(m_noMatch);
    nv->addStretch(1);
    auto* noMatchText = TextStyles::label(QStringLiteral("No entries match the filters"), TextStyles::Style::body, true);
    noMatchText->setObjectName(QStringLiteral("noMatchLabel"));
    noMatchText->setAlignment(Qt::AlignCenter);
    nv->addWidget(noMatchText);
    auto* clear = new QPushButton(QStringLiteral("Clear Filters"));
    clear->setObjectName(QStringLiteral("clearFiltersButton"));
    connect(clear, &QPushButton::clicked, this, [this] { m_model->pipeline().clearFilters(); });
    nv->addWidget(clear, 0, Qt::AlignHCenter);
    nv->addStretch(1);
    v->addWidget(m_noMatch, 1);
    m_noMatch->hide();

    m_jumpButton = new QPushButton(QStringLiteral("Jump to Bottom"), m_list);
    m_jumpButton->setObjectName(QStringLiteral("jumpToBottom"));
    m_jumpButton->setFont(TextStyles::font(TextStyles::Style::caption, false, QFont::Medium));
    m_jumpButton->setCursor(Qt::PointingHandCursor);
    auto* shadow = new QGraphicsDropShadowEffect(m_jumpButton);
    shadow->setColor(QColor(0, 0, 0, 84));
    shadow->setBlurRadius(10);
    shadow->setOffset(0, 2);
    m_jumpButton->setGraphicsEffect(shadow);
    connect(m_jumpButton, &QPushButton::clicked, tail, &TailFollow::jumpToBottom);
    m_jumpButton->hide();

    m_resizeBar = new PaneResizeBar;
    m_resizeBar->setObjectName(QStringLiteral("paneResizeBar"));
    connect(m_resizeBar, &PaneResizeBar::dragMoved, this, [this](double dy) {
        // From the height shown: past the cap a drag down would do nothing for a while.
        if (m_paneHeight > paneHeightCap())
            setDetailPaneHeight(paneHeightCap());
        setDetailPaneHeight(m_paneHeight - dy);  // up makes the pane below the bar taller
    });
    v->addWidget(m_resizeBar);
    m_resizeBar->hide();
    m_paneSlot = new QVBoxLayout;
    m_paneSlot->setContentsMargins(0, 0, 0, 0);
    v->addLayout(m_paneSlot);

    connect(model, &WindowModel::listChanged, this, &LogListArea::refreshList);
    connect(model->selection(), &EntrySelection::changed, this, &LogListArea::refreshSelection);
    connect(model->selection(), &EntrySelection::highlightChanged, this, &LogListArea::refreshHighlight);
    // Again once the layout settled: the context bar or the pane may have taken height meanwhile.
    connect(model->selection(), &EntrySelection::revealRequested, this, [this] {
        revealSelected();
        QMetaObject::invokeMethod(this, &LogListArea::revealSelected, Qt::QueuedConnection);
    });
    connect(model->marks(), &Marks::changed, m_list->viewport(), qOverload<>(&QWidget::update));
    connect(tail, &TailFollow::followChanged, this, &LogListArea::refreshJumpButton);
    connect(tail, &TailFollow::followEndRequested, this, &LogListArea::scrollToLast);
    connect(model, &WindowModel::displayNamesChanged, m_list->viewport(), qOverload<>(&QWidget::update));
    refreshLook();
    refreshList();
}

DetailPane* LogListArea::detailPane() const
{
    return m_pane && !m_pane->isHidden() ? m_pane : nullptr;
}

void LogListArea::refreshList()
{
    const FilterPipeline& pipeline = m_model->pipeline();
    if (m_model->visibleColumns() != m_rows.visibleColumns) {
        m_rows.visibleColumns = m_model->visibleColumns();
        m_header->setColumns(m_rows.visibleColumns);
    }
    m_header->setSort(pipeline.sortColumn(), pipeline.sortAscending());
    refreshEmptyColumns();
    // Filters that hide every fetched entry say so, with the way back.
    const bool noMatch = m_model->filteredEntries().isEmpty() && !m_model->logFetcher()->entries().isEmpty();
    m_list->setVisible(!noMatch);
    m_noMatch->setVisible(noMatch);
    // Keep the scroll position across a re-evaluation; live tail follows the end.
    const int scroll = m_list->verticalScrollBar()->value();
    m_listModel->setEntries(m_model->filteredEntries());
    m_list->verticalScrollBar()->setValue(scroll);
    refreshJumpButton();
}

void LogListArea::refreshSelection()
{
    const EntrySelection* selection = m_model->selection();
    const std::optional<LogEntry>& entry = selection->entry();
    m_rows.selectedID = entry ? std::optional<QUuid>(entry->id) : std::nullopt;
    m_list->viewport()->update();
    if (!selection->isPaneOpen()) {
        if (m_pane && !m_pane->isHidden()) {
            m_pane->hide();
            m_pane->resetExplanation();  // opened again, it starts as a new pane
        }
        m_resizeBar->hide();
        return;
    }
    if (m_pane) {
        if (m_pane->entry().id != entry->id)  // not again: that would drop an explanation under way
            m_pane->setEntry(*entry);
    } else {
        m_pane = new DetailPane(*entry, m_model->processNames(), m_model->aiSettings(), m_paneHeight,
                                [this] { m_model->selection()->popOut(); });
        m_paneSlot->addWidget(m_pane);
    }
    m_pane->setListed(selection->isListed());
    applyPaneHeight();
    m_pane->show();
    m_resizeBar->show();
}

void LogListArea::refreshEmptyColumns()
{
    // Scanned until a text is found: cheap unless the column is empty.
    std::array<bool, kColumnCount> empty{};
    const EntryRows& rows = m_model->filteredEntries();
    for (ColumnId c : m_rows.visibleColumns) {
        bool none = !rows.isEmpty();
        for (const LogEntry& e : rows)
            if (!Columns::text(c, e).isEmpty()) {
                none = false;
                break;
            }
        empty[size_t(c)] = none;
    }
    if (empty == m_rows.widths.empty)
        return;
    m_rows.widths.empty = empty;
    m_header->setWidths(m_rows.widths);
    m_list->viewport()->update();
}

void LogListArea::resizeColumn(ColumnId column, int width)
{
    if (!m_rows.widths.set(column, width))
        return;
    RowLayout::saveWidth(column, m_rows.widths.of(column));
    m_header->setWidths(m_rows.widths);
    m_list->viewport()->update();
}

int LogListArea::paneHeightCap() const
{
    const int shared = height() - (m_timeline->isVisible() ? m_timeline->height() : 0) - m_header->height() -
                       m_resizeBar->sizeHint().height();
    return qMax(0, shared / 2);
}

void LogListArea::setDetailPaneHeight(double height)
{
    const double h = qBound(100.0, height, 500.0);
    if (h == m_paneHeight)
        return;
    m_paneHeight = h;
    applyPaneHeight();
}

void LogListArea::applyPaneHeight()
{
    if (m_pane)
        m_pane->setPaneHeight(std::min(m_paneHeight, double(paneHeightCap())));
}

void LogListArea::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    applyPaneHeight();  // from the user's height each time: growing back gives it back
}

void LogListArea::refreshHighlight()
{
    m_rows.highlightedID = m_model->selection()->highlightedEntryID();
    if (m_rows.highlightedID) {
        const int row = m_listModel->rowOf(*m_rows.highlightedID);
        if (row >= 0)
            m_list->scrollTo(m_listModel->index(row), QAbstractItemView::PositionAtCenter);
    }
    m_list->viewport()->update();
}

void LogListArea::revealSelected()
{
    const std::optional<LogEntry>& entry = m_model->selection()->entry();
    const int row = entry ? m_listModel->rowOf(entry->id) : -1;
    if (row < 0)
        return;
    m_list->doItemsLayout();  // the scroll range of the new rows, or the centre is clamped to the old
    m_list->scrollTo(m_listModel->index(row), QAbstractItemView::PositionAtCenter);
}

void LogListArea::refreshJumpButton()
{
    const bool show = m_model->tail()->showsJumpToBottom();
    m_jumpButton->setVisible(show);
    if (show) {
        placeJumpButton();
        m_jumpButton->raise();
    }
}

void LogListArea::placeJumpButton()
{
    m_jumpButton->adjustSize();
    const QRect r = m_list->rect();
    m_jumpButton->move(r.center().x() - m_jumpButton->width() / 2, r.bottom() - 8 - m_jumpButton->height());
}

void LogListArea::scrollToLast()
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

void LogListArea::showRowMenu(const QPoint& pos)
{
    const QModelIndex index = m_list->indexAt(pos);
    if (!index.isValid())
        return;
    const LogEntry entry = m_listModel->entryAt(index.row());
    QMenu menu(this);
    menu.addAction(QStringLiteral("Copy Message"), this,
                   [entry] { QGuiApplication::clipboard()->setText(entry.message); });
    menu.addAction(QStringLiteral("Copy Row"), this,
                   [entry] { QGuiApplication::clipboard()->setText(EntryText::rowText(entry)); });
    menu.addAction(QStringLiteral("Copy Entry"), this, [this, entry] {
        QGuiApplication::clipboard()->setText(EntryText::entryText(entry, m_model->processNames()));
    });
    menu.addSeparator();
    menu.addAction(QStringLiteral("Filter to PID ") + QString::number(entry.processIdentifier), this,
                   [this, entry] { m_model->filterToPID(entry); });
    menu.addSeparator();
    // The window's keys, shown; the items act on the row clicked.
    menu.addAction(QStringLiteral("Show in Context"), QKeySequence(Qt::CTRL | Qt::Key_J), this,
                   [this, entry] { m_model->showInContext(entry); });
    menu.addAction(m_model->marks()->isMarked(entry) ? QStringLiteral("Unmark") : QStringLiteral("Mark"),
                   QKeySequence(Qt::CTRL | Qt::Key_M), this, [this, entry] { m_model->toggleMark(entry); });
    menu.addSeparator();
    // Names from logs: on one line, bounded, and '&' not taken for a mnemonic.
    const auto named = [](const char* what, const QString& name) {
        QString shown = VisibleText::shownName(name);
        if (shown.size() > 40)
            shown = VisibleText::cutField(shown, 39) + QStringLiteral("…");
        return QLatin1String(what) + u'"' + shown.replace(u'&', QStringLiteral("&&")) + u'"';
    };
    menu.addAction(named("Hide Process ", entry.process), this, [this, entry] { m_model->hideProcess(entry); });
    if (!entry.subsystem.isEmpty())
        menu.addAction(named("Hide Subsystem ", entry.subsystem), this,
                       [this, entry] { m_model->hideSubsystem(entry); });
    menu.addAction(QStringLiteral("Hide Messages Like This"), this, [this, entry] { m_model->hideLikeThis(entry); });
    menu.exec(m_list->viewport()->mapToGlobal(pos));
}

void LogListArea::refreshLook()
{
    m_rows.dark = ViewStyle::isDark(this);
    const QColor fg = palette().color(QPalette::ButtonText);
    m_jumpButton->setIcon(ViewStyle::icon(QStringLiteral("arrow.down.to.line"), fg, 12, 2.0));
    const QColor base = palette().color(QPalette::Window);
    m_jumpButton->setStyleSheet(
        QStringLiteral("QPushButton { background: %1; border: 1px solid %2; border-radius: 8px;"
                       " padding: 6px 12px; color: %3; }")
            .arg(ViewStyle::withAlpha(base, 0.85).name(QColor::HexArgb),
                 ViewStyle::separator(this).name(QColor::HexArgb), fg.name()));
    m_jumpButton->adjustSize();
    m_list->viewport()->update();
}

void LogListArea::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::PaletteChange)
        refreshLook();
}

bool LogListArea::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list->viewport() && event->type() == QEvent::Resize)
        placeJumpButton();
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && m_model->selection()->entry()) {
            m_model->selection()->openPane();
            return true;
        }
    }
    return false;
}
