#pragma once

#include "logs/LogEntry.h"

#include <QWidget>

class QPainter;
class WindowModel;

// The strip above the list: one bar per timeline bucket, stacked by
// severity, and a tick at each listed marked entry. Hover names a bucket's span and counts; a drag across it applies
// that span as the custom range, a double-click goes back to the range
// before the drag. Everything it shows and does goes through the model.
class TimelineStrip : public QWidget {
    Q_OBJECT
public:
    explicit TimelineStrip(WindowModel* model, QWidget* parent = nullptr);

    static constexpr int stripHeight = 48;

    QSize sizeHint() const override;

    // A bar's colour: the badge colours on light, the level text colours on
    // dark, as the rows use them.
    static QColor barColor(SeverityLevel s, bool dark);
    // The span a drag covers: a veil, and a frame of two tones side by side,
    // the edge and its halo, so that one of them stands out against any bar
    // and against the strip behind.
    struct DragMarks {
        QColor fill, edge, halo;
    };
    static DragMarks dragMarks(bool dark);

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void refresh();
    QRectF plotRect() const;
    int bucketAt(double x) const;  // -1 outside
    double fractionAt(double x) const;
    void showBucketTip(const QPoint& pos);
    void paintMarkTicks(QPainter& p, const QRectF& r) const;

    WindowModel* m_model;
    int m_hover = -1;
    double m_pressX = -1;
    double m_dragX = -1;
    bool m_dragging = false;
};
