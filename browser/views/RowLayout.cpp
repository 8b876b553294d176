#include "browser/views/RowLayout.h"

#include "logs/Platform.h"

#include <QSettings>

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

int Widths::of(OptionalColumn c) const
{
    if (empty[size_t(c)])
        return minimumColumnWidth;
    const int w = columns[size_t(c)];
    return w > 0 ? w : columnWidth(c);
}

int Widths::of(const QString& label) const
{
    if (label == QLatin1String("Time"))
        return time;
    if (label == QLatin1String("Severity"))
        return severity;
    if (label == QLatin1String("Process"))
        return process;
    const std::optional<OptionalColumn> c = Column::fromRawValue(label);
    return c ? of(*c) : -1;
}

bool Widths::set(const QString& label, int width)
{
    const int w = qBound(minimumColumnWidth, width, maximumColumnWidth);
    if (label == QLatin1String("Time"))
        time = w;
    else if (label == QLatin1String("Severity"))
        severity = w;
    else if (label == QLatin1String("Process"))
        process = w;
    else if (const std::optional<OptionalColumn> c = Column::fromRawValue(label))
        columns[size_t(*c)] = w;
    else
        return false;
    return true;
}

namespace {
QString widthKey(const QString& label) { return QStringLiteral("columnWidth_") + label; }
}  // namespace

Widths loadWidths()
{
    Widths w;
    QSettings& store = Platform::settings();
    QStringList labels{QStringLiteral("Time"), QStringLiteral("Severity"), QStringLiteral("Process")};
    for (OptionalColumn c : Column::allCases())
        labels << columnLabel(c);
    for (const QString& l : labels) {
        bool ok = false;
        const int v = store.value(widthKey(l)).toInt(&ok);
        if (ok)  // a hand-edited value is bounded like a dragged one
            w.set(l, v);
    }
    return w;
}

void saveWidth(const QString& label, int width)
{
    Platform::settings().setValue(widthKey(label), width);
}

Cells cells(const QRect& row, const QList<OptionalColumn>& visible, const Widths& given)
{
    // The process and optional columns give up width (in proportion, down
    // to a floor) before the message drops under its minimum, so that a
    // narrow window still shows the message; time and badge never shrink.
    QList<int> widths{given.process};
    for (OptionalColumn col : visible)
        widths << given.of(col);
    int wanted = 0;
    for (int w : widths)
        wanted += w;
    const int fixed = 2 * leading + given.time + given.severity + int(widths.size() + 2) * spacing;
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
    c.time = take(given.time);
    c.severity = take(given.severity);
    c.process = take(widths[0]);
    c.columns.reserve(visible.size());
    for (int i = 1; i < widths.size(); ++i)
        c.columns.append(take(widths[i]));
    c.message = QRect(x, row.top(), qMax(0, row.right() - leading - x + 1), row.height());
    return c;
}

}  // namespace RowLayout
