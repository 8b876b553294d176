#pragma once

#include "browser/views/RowLayout.h"
#include "logs/LogEntry.h"

#include <QAbstractButton>
#include <QWidget>

// A severity toggle of the filter bar, drawn as a capsule: filled with the
// severity's colour while active, outlined in the secondary colour otherwise.
class SeverityChip : public QAbstractButton {
    Q_OBJECT
public:
    SeverityChip(SeverityLevel level, QWidget* parent = nullptr);
    SeverityLevel level() const { return m_level; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    SeverityLevel m_level;
};

// A toolbar button with a selected look (accent fill at 20 %, accent outline
// at 50 %) and an unselected one (clear, secondary outline at 30 %).
class PillButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit PillButton(const QString& text, const QString& symbol = {}, QWidget* parent = nullptr);
    void setSelectedLook(bool selected);
    bool selectedLook() const { return m_selected; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString m_symbol;
    bool m_selected = false;
};

// The list's column header: Time, Severity, Process, the visible optional
// columns and Message, aligned with the row cells. The sort column carries
// " ↑" or " ↓"; a click on a label reports it.
class LogHeader : public QWidget {
    Q_OBJECT
public:
    explicit LogHeader(QWidget* parent = nullptr);

    void setColumns(const QList<OptionalColumn>& visible);
    void setSort(const QString& column, bool ascending);

    QStringList labels() const;               // column names, in order
    QString shownText(const QString& label) const;  // with the sort arrow
    QRect labelRect(const QString& label) const;
    QString labelAt(const QPoint& pos) const;
    QSize sizeHint() const override;

signals:
    void labelClicked(const QString& label);

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent*) override;

private:
    QList<OptionalColumn> m_columns;
    QString m_sortColumn;
    bool m_ascending = true;
};

// The 5-point bar above the inline detail pane. Dragging reports the
// vertical movement since the previous update (positive downwards).
class PaneResizeBar : public QWidget {
    Q_OBJECT
public:
    explicit PaneResizeBar(QWidget* parent = nullptr);
    // The pane height after a drag of `dy` from `height`, within 100–500.
    static double dragged(double height, double dy);

signals:
    void dragMoved(int dy);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    bool m_dragging = false;
    int m_lastY = 0;
};

// A small spinning progress indicator.
class BusyIndicator : public QWidget {
    Q_OBJECT
public:
    explicit BusyIndicator(int size = 12, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
    void timerEvent(QTimerEvent*) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;

private:
    int m_size;
    int m_angle = 0;
    int m_timer = 0;
};
