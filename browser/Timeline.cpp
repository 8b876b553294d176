#include "browser/Timeline.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <vector>

int TimelineBucket::total() const
{
    int n = 0;
    for (int c : counts)
        n += c;
    return n;
}

namespace Timeline {

namespace {
// One pass over the entries (rows may point all over the heap) into a
// compact copy of what the buckets need.
template <typename Entries>
QList<TimelineBucket> bucketsOf(const Entries& entries, int count)
{
    Collector c;
    c.reserve(entries.size());
    for (const LogEntry& e : entries)
        c.add(e);
    return c.buckets(count);
}
}  // namespace

// Dates that are not finite (a hostile archive) were left out: they have no
// place on the strip.
QList<TimelineBucket> Collector::buckets(int count) const
{
    const double first = m_first, last = m_last;
    if (!(first <= last) || count < 1)
        return {};
    const double span = last - first;
    if (!(span > 0))
        count = 1;
    QList<TimelineBucket> out(count);
    const double width = span / count;
    for (int i = 0; i < count; ++i) {
        out[i].start = first + width * i;
        out[i].end = i + 1 == count ? last : first + width * (i + 1);
    }
    const double scale = span > 0 ? count / span : 0;
    for (const Point& p : m_points) {
        if (p.severity < 0)
            continue;
        const int i = std::clamp(int((p.date - first) * scale), 0, count - 1);
        ++out[i].counts[size_t(p.severity)];
    }
    return out;
}

QList<TimelineBucket> buckets(const LogEntryList& entries, int count) { return bucketsOf(entries, count); }
QList<TimelineBucket> buckets(const EntryRows& entries, int count) { return bucketsOf(entries, count); }

QString describe(const TimelineBucket& bucket)
{
    const QDateTime from = QDateTime::fromMSecsSinceEpoch(qint64(std::floor(bucket.start * 1000)));
    const QDateTime to = QDateTime::fromMSecsSinceEpoch(qint64(std::ceil(bucket.end * 1000)));
    const QString day = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    QString text = from.toString(day) + QStringLiteral(" – ") +
                   to.toString(from.date() == to.date() ? QStringLiteral("HH:mm:ss") : day);
    for (SeverityLevel s : Severity::all())
        if (const int n = bucket.count(s))
            text += QLatin1Char('\n') + Severity::label(s) + QStringLiteral(": ") + QString::number(n);
    if (!bucket.total())
        text += QStringLiteral("\nNo entries");
    return text;
}

double timeAt(const QList<TimelineBucket>& buckets, double fraction)
{
    if (buckets.isEmpty())
        return 0;
    const double first = buckets.front().start;
    const double last = buckets.back().end;
    return first + (last - first) * std::clamp(fraction, 0.0, 1.0);
}

}  // namespace Timeline
