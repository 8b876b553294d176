#pragma once

#include "browser/views/RowLayout.h"
#include "logs/LogEntry.h"
#include "ui/ViewStyle.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QWidget>

// A text field of the filter rows. Without selected text it leaves the Copy
// key to the window, which then copies the selected row. Escape empties it;
// an empty field leaves Escape to the window.
class FieldEdit : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
};

// A severity toggle of the filter bar, drawn as a capsule: filled with the
// severity's colour while active, outlined in the secondary colour otherwise.
class SeverityChip : public QAbstractButton {
    Q_OBJECT
public:
    SeverityChip(SeverityLevel level, QWidget* parent = nullptr);
    SeverityLevel level() const { return m_level; }
    QSize sizeHint() const override;
    // The level's colour as the list shows it (the badge's fill in a light
    // window, the level's text in a dark one), as a chip in `palette`.
    static ViewStyle::ChipColors colors(SeverityLevel level, bool active, const QPalette& palette);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    SeverityLevel m_level;
};

// The list's column header: Time, Severity, Process, the visible optional
// columns and Message, aligned with the row cells. The sort column carries
// " ↑" or " ↓"; a click on a label reports it. Dragging the right edge of a
// cell other than the message reports its new width.
class LogHeader : public QWidget {
    Q_OBJECT
public:
    explicit LogHeader(QWidget* parent = nullptr);

    void setColumns(const QList<ColumnId>& visible);
    void setSort(ColumnId column, bool ascending);
    void setWidths(const RowLayout::Widths& widths);

    QList<ColumnId> columns() const;      // every column shown, in order
    QStringList labels() const;           // their titles
    QString shownText(ColumnId c) const;  // with the sort arrow
    QRect labelRect(ColumnId c) const;
    std::optional<ColumnId> labelAt(const QPoint& pos) const;
    // The column whose cell's right edge is at `pos` (a drag resizes it), or none.
    std::optional<ColumnId> edgeAt(const QPoint& pos) const;
    QSize sizeHint() const override;

signals:
    void labelClicked(ColumnId column);
    void columnResized(ColumnId column, int width);

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent*) override;

private:
    QRect cellRect(ColumnId c) const;

    QList<ColumnId> m_columns;
    RowLayout::Widths m_widths;
    std::optional<ColumnId> m_dragged;  // the column being resized
    int m_dragFromX = 0, m_dragFromWidth = 0;
    ColumnId m_sortColumn = ColumnId::time;
    bool m_ascending = true;
};
