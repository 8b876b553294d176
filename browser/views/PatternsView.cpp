#include "browser/views/PatternsView.h"

#include "browser/EntryText.h"
#include "browser/WindowModel.h"
#include "browser/views/LogRowDelegate.h"
#include "logs/VisibleText.h"
#include "ui/PlainText.h"
#include "ui/SeverityPalette.h"
#include "ui/TextStyles.h"
#include "ui/ViewStyle.h"
#include "ui/Widgets.h"

#include <QClipboard>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QTableView>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

using TextStyles::Style;

namespace {

// Columns' titles flat on the window, as the list's header draws them.
class FlatHeader : public QHeaderView {
public:
    FlatHeader() : QHeaderView(Qt::Horizontal)
    {
        setFont(TextStyles::font(Style::caption, false, QFont::DemiBold));
        setSectionsClickable(true);
        setHighlightSections(false);
        setMinimumSectionSize(24);
    }

protected:
    void paintSection(QPainter* p, const QRect& rect, int section) const override
    {
        p->save();
        p->fillRect(rect, ViewStyle::withAlpha(palette().color(QPalette::WindowText), 0.04));
        p->setPen(ViewStyle::secondary(this));
        const QString title = model()->headerData(section, Qt::Horizontal, Qt::DisplayRole).toString();
        const QRect text = rect.adjusted(6, 0, -4, 0);
        p->drawText(text, Qt::AlignLeft | Qt::AlignVCenter, fontMetrics().elidedText(title, Qt::ElideRight, text.width()));
        p->setPen(ViewStyle::separator(this));
        p->drawLine(rect.left(), rect.bottom(), rect.right(), rect.bottom());
        p->restore();
    }

    QSize sizeHint() const override { return QSize(QHeaderView::sizeHint().width(), fontMetrics().height() + 8); }
};

}  // namespace

// ---- PatternsView

PatternsView::PatternsView(WindowModel* model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("patternsView"));
    setMinimumWidth(240);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    auto* titleRow = new QHBoxLayout;
    titleRow->setContentsMargins(12, 6, 12, 6);
    titleRow->addWidget(TextStyles::label(QStringLiteral("Patterns"), Style::headline));
    titleRow->addStretch(1);
    m_count = TextStyles::label(QString(), Style::caption, true);
    m_count->setObjectName(QStringLiteral("patternsCount"));
    titleRow->addWidget(m_count);
    v->addLayout(titleRow);

    m_rows = new PatternsModel(this);
    m_table = new QTableView;
    m_table->setObjectName(QStringLiteral("patternsTable"));
    auto* header = new FlatHeader;
    m_table->setHorizontalHeader(header);
    m_table->setModel(m_rows);
    m_table->setItemDelegate(new PatternRowDelegate(m_rows, &m_hoveredRow, m_table));
    m_table->setFont(LogRowDelegate::rowFont());
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setMinimumSectionSize(1);
    m_table->verticalHeader()->setDefaultSectionSize(LogRowDelegate::rowHeight());
    m_table->setSelectionMode(QAbstractItemView::NoSelection);     // the pick is the selection
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);  // a header click selects no column, scrolls nowhere
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setShowGrid(false);
    m_table->setWordWrap(false);
    m_table->setTextElideMode(Qt::ElideRight);
    m_table->setCornerButtonEnabled(false);
    m_table->setTabKeyNavigation(false);
    m_table->setFocusPolicy(Qt::TabFocus);  // a click leaves the focus where it was, as on the list
    m_table->setFrameShape(QFrame::NoFrame);
    m_table->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_table->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_table->setMouseTracking(true);
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    m_table->viewport()->installEventFilter(this);
    m_table->installEventFilter(this);
    new FocusRing(m_table);
    // Numbers, badges and times keep their width; the pattern takes the rest.
    const QFontMetrics rowMetrics(LogRowDelegate::rowFont());
    const QFontMetrics titleMetrics(header->font());
    const int timeWidth = rowMetrics.horizontalAdvance(EntryText::timeString(0)) + 28;
    header->resizeSection(PatternsModel::countColumn, titleMetrics.horizontalAdvance(QStringLiteral("Count \u2193")) + 16);
    header->resizeSection(PatternsModel::levelsColumn, QFontMetrics(LogRowDelegate::badgeFont()).horizontalAdvance(QStringLiteral("Notice")) + 24);
    header->resizeSection(PatternsModel::processesColumn, titleMetrics.horizontalAdvance(QStringLiteral("Processes")) + 14);
    header->resizeSection(PatternsModel::firstColumn, timeWidth);
    header->resizeSection(PatternsModel::lastColumn, timeWidth);
    connect(header, &QHeaderView::sectionResized, this, [this](int section) {
        if (section != PatternsModel::patternColumn)
            fitPatternColumn();
    });
    connect(header, &QHeaderView::sectionClicked, m_rows, &PatternsModel::toggleSort);
    connect(m_table, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (!index.isValid())
            return;
        const QString pattern = m_rows->summaryAt(index.row()).pattern;  // a copy: the pass after a pick resets the rows
        const bool onHide = index.column() == PatternsModel::patternColumn &&
                            PatternRowDelegate::hideRect(m_table->visualRect(index)).contains(m_pressPos);
        onHide ? hidePattern(pattern) : togglePick(pattern);
    });
    connect(m_table, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        const QModelIndex index = m_table->indexAt(pos);
        if (index.isValid())
            showMenu(index.row(), m_table->viewport()->mapToGlobal(pos));
    });

    m_stack = new QStackedWidget;
    m_stack->addWidget(m_table);
    m_empty = TextStyles::label(QStringLiteral("No patterns"), Style::body, true);
    m_empty->setObjectName(QStringLiteral("patternsEmpty"));
    m_empty->setAlignment(Qt::AlignCenter);
    m_stack->addWidget(m_empty);
    v->addWidget(m_stack, 1);

    connect(model, &WindowModel::listChanged, this, &PatternsView::refresh);
    setVisible(false);
    refresh();
}

void PatternsView::refresh()
{
    refreshVisibility();
    const QList<PatternSummary>& patterns = m_model->patterns();
    // A pass (a keystroke, a tail tick) keeps the place: the scroll and the current row's pattern.
    const int scroll = m_table->verticalScrollBar()->value();
    const QModelIndex current = m_table->currentIndex();
    const QString currentPattern = current.isValid() ? m_rows->summaryAt(current.row()).pattern : QString();
    m_rows->setPatterns(patterns, m_model->pipeline().patternFilter());
    if (const int row = current.isValid() ? m_rows->rowOf(currentPattern) : -1; row >= 0)
        m_table->selectionModel()->setCurrentIndex(m_rows->index(row, current.column()), QItemSelectionModel::NoUpdate);
    m_table->verticalScrollBar()->setValue(scroll);
    const QPoint mouse = m_table->viewport()->mapFromGlobal(QCursor::pos());
    m_hoveredRow = m_table->viewport()->rect().contains(mouse) ? m_table->indexAt(mouse).row() : -1;
    m_count->setText(patterns.size() == 1 ? QStringLiteral("1 pattern")
                                          : QString::number(patterns.size()) + QStringLiteral(" patterns"));
    m_stack->setCurrentWidget(patterns.isEmpty() ? static_cast<QWidget*>(m_empty) : m_table);
}

void PatternsView::refreshVisibility()
{
    const bool shown = m_model->pipeline().patternsShown();
    if (shown == !isHidden())
        return;
    auto* split = qobject_cast<QSplitter*>(parentWidget());
    setVisible(shown);
    if (split && shown)
        fitBeside(split);
}

void PatternsView::fitBeside(QSplitter* split)
{
    // Half the window, or the width the user gave it, but never so wide
    // that the list loses its columns.
    const int total = split->width() - split->handleWidth();
    const int wanted = m_width > 0 ? m_width : std::clamp(total / 2, minimumWidth(), 720);
    const int panel = std::max(minimumWidth(), std::min(wanted, total - 450));
    const int index = split->indexOf(this);
    QList<int> sizes = split->sizes();
    if (index < 0 || sizes.size() != 2 || sizes[index] == panel)
        return;
    sizes[index] = panel;
    sizes[1 - index] = std::max(0, total - panel);
    split->setSizes(sizes);
}

void PatternsView::fitPatternColumn()
{
    // What the other columns leave; in a panel too narrow for that the
    // pattern goes first, up to the Processes column, and the times are
    // scrolled to.
    QHeaderView* header = m_table->horizontalHeader();
    const int room = m_table->viewport()->width();
    int others = 0;
    for (int c = 0; c < PatternsModel::columnTotal; ++c)
        if (c != PatternsModel::patternColumn)
            others += header->sectionSize(c);
    const int times = header->sectionSize(PatternsModel::firstColumn) + header->sectionSize(PatternsModel::lastColumn);
    const int width = room - others >= 220 ? room - others : room - others + times;
    header->resizeSection(PatternsModel::patternColumn, std::max(160, width));
}

void PatternsView::togglePick(const QString& pattern)
{
    FilterPipeline& pipeline = m_model->pipeline();
    pipeline.setPatternFilter(pipeline.patternFilter() == pattern ? std::nullopt : std::optional<QString>(pattern));
}

void PatternsView::hidePattern(const QString& pattern)
{
    FilterPipeline& pipeline = m_model->pipeline();
    // Hiding the picked pattern would leave an empty list behind its pick.
    if (pipeline.patternFilter() == pattern)
        pipeline.setPatternFilter(std::nullopt);
    pipeline.addHideRule({HideRule::Kind::pattern, pattern});
}

void PatternsView::showMenu(int row, const QPoint& globalPos)
{
    // By text: a tail tick while the menu is open may reorder the rows.
    const QString pattern = m_rows->summaryAt(row).pattern;
    QMenu menu(this);
    menu.addAction(m_rows->isPicked(row) ? QStringLiteral("Show All Patterns") : QStringLiteral("Show Only This Pattern"),
                   this, [this, pattern] { togglePick(pattern); });
    menu.addAction(QStringLiteral("Hide Messages Like This"), this, [this, pattern] { hidePattern(pattern); });
    menu.addSeparator();
    menu.addAction(QStringLiteral("Copy Pattern"), this, [pattern] { QGuiApplication::clipboard()->setText(pattern); });
    menu.exec(globalPos);
}

bool PatternsView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize && !isHidden()) {
        fitBeside(static_cast<QSplitter*>(parentWidget()));
        return false;
    }
    if (watched == m_table->viewport()) {
        switch (event->type()) {
        case QEvent::Resize: fitPatternColumn(); break;
        case QEvent::MouseButtonPress: m_pressPos = static_cast<QMouseEvent*>(event)->position().toPoint(); break;
        case QEvent::MouseMove:
        case QEvent::Leave: {
            const int row = event->type() == QEvent::Leave
                                ? -1
                                : m_table->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint()).row();
            if (row != m_hoveredRow) {
                m_hoveredRow = row;
                m_table->viewport()->update();
            }
            break;
        }
        default: break;
        }
        return false;
    }
    if (watched == m_table && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const QModelIndex current = m_table->currentIndex();
        if (!current.isValid())
            return false;
        const QString pattern = m_rows->summaryAt(current.row()).pattern;
        switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space: togglePick(pattern); return true;
        case Qt::Key_Delete:
        case Qt::Key_Backspace: hidePattern(pattern); return true;
        case Qt::Key_Menu:
            showMenu(current.row(), m_table->viewport()->mapToGlobal(m_table->visualRect(current).center()));
            return true;
        default: break;
        }
    }
    return false;
}

void PatternsView::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::PaletteChange)
        m_table->viewport()->update();
    if (e->type() != QEvent::ParentChange)
        return;
    // Beside the list in a splitter: sized on each resize of the window,
    // from the user's width once the handle was dragged.
    if (auto* split = qobject_cast<QSplitter*>(parentWidget())) {
        split->installEventFilter(this);
        connect(split, &QSplitter::splitterMoved, this, [this] { m_width = width(); });
        if (!isHidden())
            fitBeside(split);
    }
}
