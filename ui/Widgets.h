#pragma once

#include <QAbstractButton>
#include <QWidget>

#include <functional>

class QAbstractItemView;
class QMessageBox;
class QPushButton;

// Small widgets the views share.

// The prominent look of a window's main action: filled with the accent
// colour, labelled in the highlighted-text colour.
void setProminent(QPushButton* button);

// Gives an alert a width its text reads well in: without it the message box
// word-wraps a sentence into a column of five short lines.
void giveReadableWidth(QMessageBox* box);

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

// A 2-pixel accent ring over a widget while it has keyboard focus, for one
// whose style draws no focus frame (a frameless list, an auto-raised tool
// button). It lies over the widget as a child and lets the mouse through.
class FocusRing : public QWidget {
    Q_OBJECT
public:
    explicit FocusRing(QWidget* target, double radius = 0);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent*) override;

private:
    double m_radius;
};

// Up/Down, Page Up/Down and Home/End for a list whose selection is held by
// the view's owner (the rows draw it; the item view's own selection is off).
// The keys ask for a row through `select`; the view scrolls to it. The view
// takes Tab focus and shows it with a FocusRing.
class RowKeys : public QObject {
    Q_OBJECT
public:
    RowKeys(QAbstractItemView* view, std::function<int()> currentRow, std::function<void(int)> select);

    // The row a key leads to from `current` (-1: none selected) among `count`
    // rows, `page` rows to a page; -1 when the key is not one of these.
    static int target(int key, int current, int count, int page);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAbstractItemView* m_view;
    std::function<int()> m_current;
    std::function<void(int)> m_select;
};
