#include "crashes/views/CrashResizeHandle.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

CrashResizeHandle::CrashResizeHandle(QWidget* parent)
    : QWidget(parent)
{
    setFixedHeight(5);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::SizeVerCursor);
}

double CrashResizeHandle::dragged(double height, double dy, double minimum, double maximum)
{
    return std::clamp(height - dy, minimum, maximum);
}

void CrashResizeHandle::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    // The platform separator: the palette's mid tone, a little lighter than
    // the window border.
    QColor c = palette().color(QPalette::Mid);
    p.fillRect(rect(), c);
}

void CrashResizeHandle::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(e);
    m_dragging = true;
    m_lastY = qRound(e->globalPosition().y());
    e->accept();
}

void CrashResizeHandle::mouseMoveEvent(QMouseEvent* e)
{
    if (!m_dragging)
        return QWidget::mouseMoveEvent(e);
    const int y = qRound(e->globalPosition().y());
    const int dy = y - m_lastY;
    if (dy != 0) {
        m_lastY = y;
        emit dragMoved(dy);
    }
    e->accept();
}

void CrashResizeHandle::mouseReleaseEvent(QMouseEvent* e)
{
    m_dragging = false;
    QWidget::mouseReleaseEvent(e);
}
