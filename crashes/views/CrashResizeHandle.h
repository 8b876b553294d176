#pragma once

#include <QWidget>

// A 5-point bar in the separator colour above a detail pane. Dragging it
// reports the vertical movement since the previous update; the pointer is
// the up-down resize cursor while it hovers.
class CrashResizeHandle : public QWidget {
    Q_OBJECT
public:
    explicit CrashResizeHandle(QWidget* parent = nullptr);

    // Height a pane gets after a drag of `dy` points (negative = upwards),
    // kept within [minimum, maximum].
    static double dragged(double height, double dy, double minimum = 100, double maximum = 500);

signals:
    // Vertical movement since the last update, positive downwards.
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
