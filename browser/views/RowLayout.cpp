#include "browser/views/RowLayout.h"

#include "base/Platform.h"

#include <QSettings>

namespace RowLayout {

int Widths::of(ColumnId c) const
{
    const ColumnSpec& spec = Columns::spec(c);
    if (spec.defaultWidth == 0)
        return -1;
    if (empty[size_t(c)])
        return minimumColumnWidth;
    const int w = dragged[size_t(c)];
    return w > 0 ? w : spec.defaultWidth;
}

bool Widths::set(ColumnId c, int width)
{
    if (Columns::spec(c).defaultWidth == 0)
        return false;
    dragged[size_t(c)] = qBound(minimumColumnWidth, width, maximumColumnWidth);
    return true;
}

namespace {
QString widthKey(ColumnId c) { return QStringLiteral("columnWidth_") + Columns::title(c); }
}  // namespace

Widths loadWidths()
{
    Widths w;
    QSettings& store = Platform::settings();
    for (const ColumnSpec& c : Columns::all()) {
        bool ok = false;
        const int v = store.value(widthKey(c.id)).toInt(&ok);
        if (ok)  // a hand-edited value is bounded like a dragged one
            w.set(c.id, v);
    }
    return w;
}

void saveWidth(ColumnId c, int width)
{
    Platform::settings().setValue(widthKey(c), width);
}

Cells cells(const QRect& row, const QList<ColumnId>& visible, const Widths& given)
{
    // The process and optional columns give up width (in proportion, down
    // to a floor) before the message drops under its minimum, so that a
    // narrow window still shows the message; time and badge never shrink.
    QList<int> widths{given.of(ColumnId::process)};
    for (ColumnId col : visible)
        widths << given.of(col);
    int wanted = 0;
    for (int w : widths)
        wanted += w;
    const int time = given.of(ColumnId::time), severity = given.of(ColumnId::severity);
    const int fixed = 2 * leading + time + severity + int(widths.size() + 2) * spacing;
    const int room = row.width() - fixed - minimumMessageWidth;
    if (room < wanted) {
        const int shrinkable = qMax(0, wanted - int(widths.size()) * minimumColumnWidth);
        const int cut = qMin(wanted - room, shrinkable);
        int taken = 0;
        for (int i = 0; i < widths.size(); ++i) {
            // Each loses its share of the cut, the last one the rounding.
            const int share = i + 1 < widths.size()
                                  ? int(qint64(cut) * (widths[i] - minimumColumnWidth) / qMax(1, shrinkable))
                                  : cut - taken;
            taken += share;
            widths[i] -= share;
        }
    }

    Cells c;
    int x = row.left() + leading;
    auto take = [&](int w) {
        QRect r(x, row.top(), w, row.height());
        x += w + spacing;
        return r;
    };
    c.time = take(time);
    c.severity = take(severity);
    c.process = take(widths[0]);
    c.columns.reserve(visible.size());
    for (int i = 1; i < widths.size(); ++i)
        c.columns.append(take(widths[i]));
    c.message = QRect(x, row.top(), qMax(0, row.right() - leading - x + 1), row.height());
    return c;
}

QRect cellOf(const Cells& cells, ColumnId c, const QList<ColumnId>& visible)
{
    switch (c) {
    case ColumnId::time: return cells.time;
    case ColumnId::severity: return cells.severity;
    case ColumnId::process: return cells.process;
    case ColumnId::message: return cells.message;
    default: {
        const qsizetype i = visible.indexOf(c);
        return i < 0 ? QRect() : cells.columns[i];
    }
    }
}

}  // namespace RowLayout
