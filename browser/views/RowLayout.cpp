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
    Cells c;
    int x = row.left() + leading;
    auto take = [&](int w) {
        QRect r(x, row.top(), w, row.height());
        x += w + spacing;
        return r;
    };
    c.time = take(timeWidth);
    c.severity = take(severityWidth);
    c.process = take(processWidth);
    c.columns.reserve(visible.size());
    for (OptionalColumn col : visible)
        c.columns.append(take(columnWidth(col)));
    c.message = QRect(x, row.top(), qMax(0, row.right() - leading - x + 1), row.height());
    return c;
}

}  // namespace RowLayout
