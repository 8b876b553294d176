#pragma once

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QPoint>

#include <vector>

// A read-only view of a long untrusted text (a whole log message, a raw crash
// report) that stays responsive at tens of megabytes: the text is cut into
// display rows once (at line breaks, at the width when wrapping, and every
// kMaxRow characters otherwise), and only the rows in view are drawn. Rows
// are drawn literally: control characters show as their visible symbols.
// The mouse selects (a double click a word, a triple click the line), Ctrl+C
// copies the selection as it is in the text (the display breaks are not
// copied); the keyboard and both scroll bars scroll, the last row included. Fitted to its content, it has no scroll bars of its
// own: its height follows the text at its width, for a scrolling parent.
class PlainTextViewer : public QAbstractScrollArea {
    Q_OBJECT
public:
    // Longest row without wrapping: longer lines continue on the next row, so
    // that one line of megabytes is never laid out whole.
    static constexpr int kMaxRow = 1024;

    explicit PlainTextViewer(QWidget* parent = nullptr);

    void setText(const QString& text);
    const QString& text() const { return m_text; }
    // Wrapping at the viewport width (at a space when the row has one).
    void setWrapping(bool wrap);
    bool wrapping() const { return m_wrap; }
    // No frame, margin or scroll bars; wraps; the height shows every row at
    // the given width; scrolling keys and the wheel go to the parent.
    void setFittedToContent(bool fit);
    bool hasHeightForWidth() const override { return m_fit; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    int rowCount() const { return int(m_rows.size()); }
    QString rowText(int row) const;
    // The row as drawn: tabs as spaces, control characters as their symbols.
    QString shownRow(int row) const;
    int rowHeight() const;
    // Rows wholly in view, first and last.
    int firstVisibleRow() const;
    int lastVisibleRow() const;
    // The height that shows every row without a vertical scroll bar.
    int contentHeight() const;

    QString selectedText() const;
    void selectAll();
    void copy() const;
    void scrollToEnd();

protected:
    bool event(QEvent*) override;
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void changeEvent(QEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void contextMenuEvent(QContextMenuEvent*) override;

private:
    void relayout();
    qsizetype columnsFor(int viewportWidth) const;
    void updateScrollBars();
    qsizetype rowStart(int row) const { return m_rows[size_t(row)]; }
    qsizetype rowEnd(int row) const;
    int rowAt(qsizetype offset) const;
    int columnOf(int row, qsizetype offset) const;
    qsizetype offsetAt(const QPoint& viewportPos) const;
    double charWidth() const;
    int visibleRows() const;

    QString m_text;
    std::vector<qsizetype> m_rows{0};  // start offset of each display row
    qsizetype m_longestRow = 0;
    bool m_wrap = false;
    bool m_fit = false;
    int m_margin = 4;
    mutable int m_hfwWidth = -1, m_hfwHeight = 0;  // the last height asked for
    int m_wrapColumns = 0;
    qsizetype m_anchor = 0, m_cursor = 0;  // the selection, as text offsets
    // A press soon after a double click there selects the line.
    QElapsedTimer m_sinceDoubleClick;
    QPoint m_doubleClickPos;
    bool m_selectedWhole = false;  // this press chose a word or a line: a move keeps it
};
