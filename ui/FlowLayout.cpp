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

namespace {

struct Row {
    QList<int> items;
    int width = 0;
    int height = 0;
};

// As many of the items from i on as fit in `width` (at least one); i moves past them.
Row takeRow(const QList<QLayoutItem*>& items, int& i, int width, int spacing)
{
    Row row;
    for (; i < int(items.size()); ++i) {
        if (items[i]->isEmpty())
            continue;
        const QSize s = items[i]->sizeHint();
        const int next = row.width + (row.items.isEmpty() ? 0 : spacing) + s.width();
        if (!row.items.isEmpty() && next > width)
            break;
        row.items << i;
        row.width = next;
        row.height = qMax(row.height, s.height());
    }
    return row;
}

// The row's items side by side from the left, centred vertically; from the
// first one flushed right on, against the right edge.
void placeRow(const Row& row, const QRect& area, int y, const QList<QLayoutItem*>& items,
              const QList<bool>& flushRight, int spacing)
{
    const int spare = qMax(0, area.width() - row.width);
    int x = area.left();
    bool pushed = false;
    for (int k : row.items) {
        pushed = pushed || flushRight[k];
        const QSize s = items[k]->sizeHint();
        const int left = x + (pushed ? spare : 0);
        items[k]->setGeometry(QRect(QPoint(left, y + (row.height - s.height()) / 2), s));
        x += s.width() + spacing;
    }
}

}  // namespace

int FlowLayout::layOut(const QRect& rect, bool apply) const
{
    const QRect area = rect.marginsRemoved(contentsMargins());
    int y = area.top();
    int i = 0;
    while (i < int(m_items.size())) {
        const Row row = takeRow(m_items, i, area.width(), m_hSpacing);
        if (row.items.isEmpty())
            break;
        if (apply)
            placeRow(row, area, y, m_items, m_flushRight, m_hSpacing);
        y += row.height + m_vSpacing;
    }
    const int used = y > area.top() ? y - m_vSpacing - area.top() : 0;
    const QMargins m = contentsMargins();
    return used + m.top() + m.bottom();
}
