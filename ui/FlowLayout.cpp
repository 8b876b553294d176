#include "ui/FlowLayout.h"

#include <QWidget>

FlowLayout::FlowLayout(QWidget* parent, int hSpacing, int vSpacing)
    : QLayout(parent), m_hSpacing(hSpacing), m_vSpacing(vSpacing)
{
}

FlowLayout::~FlowLayout()
{
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void FlowLayout::addWidget(QWidget* w, bool flushRight)
{
    addChildWidget(w);
    m_items << new QWidgetItem(w);
    m_flushRight << flushRight;
    invalidate();
}

void FlowLayout::addItem(QLayoutItem* item)
{
    m_items << item;
    m_flushRight << false;
}

int FlowLayout::count() const
{
    return int(m_items.size());
}

QLayoutItem* FlowLayout::itemAt(int index) const
{
    return m_items.value(index);
}

QLayoutItem* FlowLayout::takeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return nullptr;
    m_flushRight.removeAt(index);
    return m_items.takeAt(index);
}

int FlowLayout::heightForWidth(int width) const
{
    return layOut(QRect(0, 0, width, 0), false);
}

QSize FlowLayout::minimumSize() const
{
    // As narrow as the widest item; the height follows from the width.
    QSize s;
    for (QLayoutItem* item : m_items)
        if (!item->isEmpty())
            s = s.expandedTo(item->sizeHint());
    const QMargins m = contentsMargins();
    return s + QSize(m.left() + m.right(), m.top() + m.bottom());
}

QSize FlowLayout::sizeHint() const
{
    // One row of everything.
    int w = 0, h = 0, n = 0;
    for (QLayoutItem* item : m_items) {
        if (item->isEmpty())
            continue;
        w += item->sizeHint().width() + (n++ ? m_hSpacing : 0);
        h = qMax(h, item->sizeHint().height());
    }
    const QMargins m = contentsMargins();
    return QSize(w + m.left() + m.right(), h + m.top() + m.bottom());
}

void FlowLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    layOut(rect, true);
}

int FlowLayout::layOut(const QRect& rect, bool apply) const
{
    const QRect area = rect.marginsRemoved(contentsMargins());
    int y = area.top();
    int i = 0;
    const int n = int(m_items.size());
    while (i < n) {
        // One row: as many items as fit (at least one).
        QList<int> row;
        int width = 0, height = 0;
        for (; i < n; ++i) {
            if (m_items[i]->isEmpty())
                continue;
            const QSize s = m_items[i]->sizeHint();
            const int next = width + (row.isEmpty() ? 0 : m_hSpacing) + s.width();
            if (!row.isEmpty() && next > area.width())
                break;
            row << i;
            width = next;
            height = qMax(height, s.height());
        }
        if (row.isEmpty())
            break;
        if (apply) {
            const int spare = qMax(0, area.width() - width);
            int x = area.left();
            bool pushed = false;
            for (int k : row) {
                pushed = pushed || m_flushRight[k];
                const QSize s = m_items[k]->sizeHint();
                const int left = x + (pushed ? spare : 0);
                m_items[k]->setGeometry(QRect(QPoint(left, y + (height - s.height()) / 2), s));
                x += s.width() + m_hSpacing;
            }
        }
        y += height + m_vSpacing;
    }
    const int used = y > area.top() ? y - m_vSpacing - area.top() : 0;
    const QMargins m = contentsMargins();
    return used + m.top() + m.bottom();
}
