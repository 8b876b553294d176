#pragma once

#include "browser/views/RowLayout.h"

#include <QHash>
#include <QStaticText>
#include <QStyledItemDelegate>
#include <QUuid>

#include <functional>
#include <optional>

class LogListModel;
class Marks;

// What every row needs besides its entry; owned by the list's window.
struct RowContext {
    std::optional<QUuid> selectedID;
    std::optional<QUuid> highlightedID;
    QList<ColumnId> visibleColumns;
    RowLayout::Widths widths;
    std::function<QString(const LogEntry&)> displayName;  // the entry's process -> friendly name
    const Marks* marks = nullptr;                         // a marked row shows it in the gutter
    bool dark = false;
};

// Paints one log row: time, severity badge, process, optional columns and
// message, in the light or dark colour table, with the selection and the
// analysis highlight behind. No widgets per row; rows have one height.
class LogRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    LogRowDelegate(const LogListModel* model, const RowContext* context, QObject* parent = nullptr);

    static QFont rowFont();
    static QFont badgeFont();
    static int rowHeight();

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // The tooltip of the cell at `pos` within a row of `rect` (raw process
    // name over the process, the cell text over an optional column; over the
    // PID, followed by the process's shown name: "1234 — Window Server").
    QString tooltipAt(const QRect& rect, const QPoint& pos, const LogEntry& entry) const;

    // Colours of the two tables, exposed for the views that draw the same look.
    static QColor rowBackground(const LogEntry& e, bool dark, bool selected, bool highlighted, const QColor& accent);

private:
    // Cell texts that repeat from row to row (process names, severity
    // labels, optional columns), shaped once and drawn from the cache.
    struct ShapedTexts {
        QFont font;
        QHash<QString, QStaticText> texts;
        const QStaticText& get(const QString& text, const QFont& f);
    };
    void drawRepeated(QPainter* p, const QRect& r, const QString& text, const QFontMetrics& fm,
                      ShapedTexts& cache) const;

    const LogListModel* m_model;
    const RowContext* m_ctx;
    mutable ShapedTexts m_rowTexts;
    mutable ShapedTexts m_badgeTexts;
};
