#pragma once

#include "browser/PatternTable.h"

#include <QAbstractTableModel>
#include <QStyledItemDelegate>

#include <optional>

// The rows of the Patterns view: the window model's patterns in the order
// the header asks for, replaced whole on every pass like the list's rows.
class PatternsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The pattern before the times, which a narrow panel scrolls to.
    enum Column { countColumn,
                  levelsColumn,
                  patternColumn,
                  processesColumn,
                  firstColumn,
                  lastColumn,
                  columnTotal };
    enum class SortKey { count,
                         time,
                         level };

    explicit PatternsModel(QObject* parent = nullptr);

    // `picked` is the pipeline's pattern pick: its row looks selected.
    void setPatterns(const QList<PatternSummary>& patterns, const std::optional<QString>& picked);
    const PatternSummary& summaryAt(int row) const { return m_rows.at(row); }
    bool isPicked(int row) const;
    int rowOf(const QString& pattern) const;  // -1 when not listed

    // A header click: Count, Levels and First sort by count, level (highest
    // first, then count) and time; each starts in its natural direction
    // (most, highest, earliest first) and a second click reverses it, as the
    // list's header does. The other columns do not sort.
    void toggleSort(int column);
    SortKey sortKey() const { return m_key; }
    int sortColumn() const;
    Qt::SortOrder sortOrder() const;  // as the header's arrow shows it

    // The levels a pattern covers, highest first, as its badges show them.
    static QList<int> levelsShown(const PatternSummary& summary);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void sortRows();

    QList<PatternSummary> m_counted;  // as the counter gave them
    QList<PatternSummary> m_rows;     // in the header's order
    std::optional<QString> m_picked;
    SortKey m_key = SortKey::count;
    bool m_reversed = false;
};

// Paints a pattern row: the picked row's selection look, the level badges as
// the list draws them, and on the hovered row a "Hide" button at the end of
// the pattern.
class PatternRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    PatternRowDelegate(const PatternsModel* model, const int* hoveredRow, QObject* parent = nullptr);

    // The "Hide" button within the pattern cell `cell`.
    static QRect hideRect(const QRect& cell);

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

private:
    void paintBadges(QPainter* p, const QRect& cell, const PatternSummary& summary, bool dark) const;

    const PatternsModel* m_model;
    const int* m_hovered;
};
