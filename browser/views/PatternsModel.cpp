#include "browser/views/PatternsModel.h"

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

// The highest level a pattern covers; -1 for none.
int topLevel(const PatternSummary& s)
{
    for (int level = int(s.levels.size()) - 1; level >= 0; --level)
        if (s.levels[size_t(level)] > 0)
            return level;
    return -1;
}

}  // namespace

// ---- PatternsModel

PatternsModel::PatternsModel(QObject* parent) : QAbstractTableModel(parent) {}

void PatternsModel::setPatterns(const QList<PatternSummary>& patterns, const std::optional<QString>& picked)
{
    beginResetModel();
    m_counted = patterns;
    m_picked = picked;
    sortRows();
    endResetModel();
}

bool PatternsModel::isPicked(int row) const
{
    return m_picked && row >= 0 && row < m_rows.size() && m_rows[row].pattern == *m_picked;
}

int PatternsModel::rowOf(const QString& pattern) const
{
    for (int row = 0; row < m_rows.size(); ++row)
        if (m_rows[row].pattern == pattern)
            return row;
    return -1;
}

void PatternsModel::toggleSort(int column)
{
    SortKey key;
    switch (column) {
    case countColumn: key = SortKey::count; break;
    case levelsColumn: key = SortKey::level; break;
    case firstColumn: key = SortKey::time; break;
    default: return;
    }
    m_reversed = key == m_key && !m_reversed;
    m_key = key;
    beginResetModel();
    sortRows();
    endResetModel();
    emit headerDataChanged(Qt::Horizontal, 0, columnTotal - 1);
}

int PatternsModel::sortColumn() const
{
    switch (m_key) {
    case SortKey::count: return countColumn;
    case SortKey::level: return levelsColumn;
    case SortKey::time: return firstColumn;
    }
    return countColumn;
}

Qt::SortOrder PatternsModel::sortOrder() const
{
    const bool descending = m_key != SortKey::time;  // most, highest first; earliest first
    return descending != m_reversed ? Qt::DescendingOrder : Qt::AscendingOrder;
}

void PatternsModel::sortRows()
{
    // The counter's order (most frequent first, ties as first seen) breaks
    // every key's ties: a stable sort keeps it without comparing texts, which
    // a list of unique messages would pay once per pattern on every pass.
    m_rows = m_counted;
    if (m_key == SortKey::level)
        std::stable_sort(m_rows.begin(), m_rows.end(),
                         [](const PatternSummary& a, const PatternSummary& b) { return topLevel(a) > topLevel(b); });
    else if (m_key == SortKey::time)
        std::stable_sort(m_rows.begin(), m_rows.end(),
                         [](const PatternSummary& a, const PatternSummary& b) { return a.first < b.first; });
    if (m_reversed)
        std::reverse(m_rows.begin(), m_rows.end());
}

QList<int> PatternsModel::levelsShown(const PatternSummary& summary)
{
    QList<int> levels;
    for (int level = int(summary.levels.size()) - 1; level >= 0; --level)
        if (summary.levels[size_t(level)] > 0)
            levels << level;
    return levels;
}

int PatternsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int PatternsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columnTotal;
}

QVariant PatternsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const PatternSummary& s = m_rows[index.row()];
    const int column = index.column();
    if (role == Qt::DisplayRole) {
        switch (column) {
        case countColumn: return QString::number(s.count);
        case processesColumn: return QString::number(s.processes);
        case firstColumn: return EntryText::timeString(s.first);
        case lastColumn: return EntryText::timeString(s.last);
        case patternColumn: return VisibleText::shownName(s.pattern);
        default: return {};
        }
    }
    if (role == Qt::TextAlignmentRole) {
        const bool number = column == countColumn || column == processesColumn;
        return int((number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    }
    if (role == Qt::ToolTipRole) {
        if (column == patternColumn)
            return VisibleText::shownName(s.pattern);
        if (column == levelsColumn) {
            QStringList parts;
            for (int level : levelsShown(s))
                parts << LogEntry::levelLabelFor(level) + u' ' + QString::number(s.levels[size_t(level)]);
            return parts.join(QStringLiteral(", "));
        }
    }
    return {};
}

QVariant PatternsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnTotal)
        return {};
    static const char* const titles[] = {"Count", "Levels", "Pattern", "Processes", "First", "Last"};
    QString title = QLatin1String(titles[section]);
    // The sort column carries its arrow, as in the list's header.
    if (section == sortColumn())
        title += sortOrder() == Qt::AscendingOrder ? QStringLiteral(" \u2191") : QStringLiteral(" \u2193");
    return title;
}

// ---- PatternRowDelegate

PatternRowDelegate::PatternRowDelegate(const PatternsModel* model, const int* hoveredRow, QObject* parent)
    : QStyledItemDelegate(parent), m_model(model), m_hovered(hoveredRow)
{
}

QRect PatternRowDelegate::hideRect(const QRect& cell)
{
    const QFontMetrics fm(TextStyles::font(Style::caption));
    const int w = fm.horizontalAdvance(QStringLiteral("Hide")) + 16;
    const int h = std::min(cell.height() - 4, fm.height() + 4);
    return QRect(cell.right() - 6 - w, cell.top() + (cell.height() - h) / 2, w, h);
}

void PatternRowDelegate::paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (!index.isValid() || index.row() >= m_model->rowCount())
        return;
    const bool dark = ViewStyle::isDark(option.widget);
    const bool hovered = *m_hovered == index.row();
    // The pick looks like the list's selected row.
    if (m_model->isPicked(index.row()))
        p->fillRect(option.rect, ViewStyle::withAlpha(option.palette.color(QPalette::Highlight), dark ? 0.25 : 0.15));
    else if (hovered)
        p->fillRect(option.rect, ViewStyle::withAlpha(option.palette.color(QPalette::WindowText), 0.05));

    if (index.column() == PatternsModel::levelsColumn) {
        paintBadges(p, option.rect, m_model->summaryAt(index.row()), dark);
        if (option.state & QStyle::State_HasFocus)
            ViewStyle::drawFocusRing(p, option.rect, 3, option.widget);
        return;
    }
    QStyleOptionViewItem o(option);
    o.rect.adjust(6, 0, -6, 0);
    if (index.column() != PatternsModel::patternColumn || !hovered) {
        QStyledItemDelegate::paint(p, o, index);
        return;
    }
    // The hovered row offers "Hide" at the end of its pattern.
    const QRect button = hideRect(option.rect);
    o.rect.setRight(button.left() - 6);
    QStyledItemDelegate::paint(p, o, index);
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    p->setPen(QPen(ViewStyle::withAlpha(ViewStyle::secondary(option.widget), 0.5), 1));
    p->setBrush(option.palette.color(QPalette::Button));
    p->drawRoundedRect(QRectF(button).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    p->setFont(TextStyles::font(Style::caption));
    p->setPen(option.palette.color(QPalette::ButtonText));
    p->drawText(button, Qt::AlignCenter, QStringLiteral("Hide"));
    p->restore();
}

void PatternRowDelegate::paintBadges(QPainter* p, const QRect& cell, const PatternSummary& summary, bool dark) const
{
    const QList<int> levels = PatternsModel::levelsShown(summary);
    const QFont bf = LogRowDelegate::badgeFont();
    const QFontMetricsF fm(bf);
    // Whole labels when they all fit, else their initials.
    const auto widthOf = [&](bool whole) {
        qreal w = 0;
        for (int level : levels) {
            const QString label = LogEntry::levelLabelFor(level);
            w += std::ceil(fm.horizontalAdvance(whole ? label : label.left(1))) + (dark ? 8 : 16);
        }
        return w;
    };
    const QRectF room = QRectF(cell).adjusted(6, 0, -4, 0);
    const bool whole = widthOf(true) <= room.width();
    p->save();
    p->setFont(bf);
    p->setRenderHint(QPainter::Antialiasing);
    qreal x = room.left();
    for (int level : levels) {
        const SeverityPalette::Colors& c = SeverityPalette::colors(level, dark);
        const QString label = whole ? LogEntry::levelLabelFor(level) : LogEntry::levelLabelFor(level).left(1);
        const qreal tw = std::ceil(fm.horizontalAdvance(label));
        // The dark list writes the level in its colour; the light one fills a badge.
        if (dark) {
            p->setPen(c.label);
            p->drawText(QRectF(x, cell.top(), tw + 1, cell.height()), Qt::AlignLeft | Qt::AlignVCenter, label);
            x += tw + 8;
        } else {
            const qreal th = fm.height();
            const QRectF pill(x, cell.center().y() - th / 2.0 - 2, tw + 12, th + 4);
            p->setPen(Qt::NoPen);
            p->setBrush(c.tone);
            p->drawRoundedRect(pill, 4, 4);
            p->setPen(c.badgeText);
            p->drawText(pill, Qt::AlignCenter, label);
            x += tw + 16;
        }
        if (x > room.right())
            break;
    }
    p->restore();
}

bool PatternRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                   const QModelIndex& index)
{
    if (event->type() != QEvent::ToolTip || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    QString tip = index.data(Qt::ToolTipRole).toString();
    if (index.column() == PatternsModel::patternColumn && hideRect(option.rect).contains(event->pos()))
        tip = QStringLiteral("Hide messages like this");
    return PlainText::answerToolTip(event, tip, view);
}
