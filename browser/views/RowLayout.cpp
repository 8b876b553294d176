#include "browser/views/RowLayout.h"

namespace RowLayout {

int columnWidth(OptionalColumn c)
{
    switch (c) {
    case OptionalColumn::pid: return 60;
    case OptionalColumn::thread: return 70;
    case OptionalColumn::sender: return 120;
    case OptionalColumn::subsystem: return 150;
    case OptionalColumn::category: return 120;
    case OptionalColumn::host: return 120;
    }
    return 100;
}

QString columnLabel(OptionalColumn c)
{
    return Column::rawValue(c);
}

QString columnText(OptionalColumn c, const LogEntry& e)
{
    return Column::filterValue(c, e);
}

Cells cells(const QRect& row, const QList<OptionalColumn>& visible)
{
    // The process and optional columns give up width (in proportion, down
    // to a floor) before the message drops under its minimum, so that a
    // narrow window still shows the message; time and badge never shrink.
    QList<int> widths{processWidth};
    for (OptionalColumn col : visible)
        widths << columnWidth(col);
    int wanted = 0;
    for (int w : widths)
        wanted += w;
    const int fixed = 2 * leading + timeWidth + severityWidth + int(widths.size() + 2) * spacing;
    const int room = row.width() - fixed - minimumMessageWidth;
    if (room < wanted) {
        const int shrinkable = wanted - int(widths.size()) * minimumColumnWidth;
        const int cut = qMin(wanted - room, shrinkable);
        int given = 0;
        for (int i = 0; i < widths.size(); ++i) {
            // Each loses its share of the cut, the last one the rounding.
            const int share = i + 1 < widths.size()
                                  ? int(qint64(cut) * (widths[i] - minimumColumnWidth) / qMax(1, shrinkable))
                                  : cut - given;
            given += share;
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
    c.time = take(timeWidth);
    c.severity = take(severityWidth);
    c.process = take(widths[0]);
    c.columns.reserve(visible.size());
    for (int i = 1; i < widths.size(); ++i)
        c.columns.append(take(widths[i]));
    c.message = QRect(x, row.top(), qMax(0, row.right() - leading - x + 1), row.height());
    return c;
}

}  // namespace RowLayout
