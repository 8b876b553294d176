#pragma once

// How the listed entries spread over time: equal spans from the earliest to
// the latest listed entry, each with its count per severity. Derived from
// the visible list on every pipeline pass, like the list itself.

#include "browser/EntryRows.h"
#include "logs/LogEntry.h"

#include <QList>
#include <QString>

#include <array>
#include <cmath>
#include <vector>

struct TimelineBucket {
    double start = 0;
    double end = 0;
    std::array<int, 5> counts{};  // indexed by SeverityLevel

    int count(SeverityLevel s) const { return counts[size_t(s)]; }
    int total() const;
};

namespace Timeline {

constexpr int bucketCount = 100;

// `count` buckets over [earliest, latest] of the entries' dates (order does
// not matter); the latest entry falls in the last bucket. All entries at one
// instant make a single bucket; no entries make none. Dates that are not
// finite (a hostile archive) are left out, and so are levels outside 1–5
// (the pipeline never lists them).
QList<TimelineBucket> buckets(const LogEntryList& entries, int count = bucketCount);
QList<TimelineBucket> buckets(const EntryRows& entries, int count = bucketCount);

// The same buckets, gathered entry by entry inside another pass over them
// (the pipeline's), which saves a second walk over entries spread over the heap.
class Collector {
public:
    void reserve(qsizetype n) { m_points.reserve(size_t(n)); }
    void add(const LogEntry& e) { add(e.date, e.level); }
    void add(double date, int level)
    {
        if (std::isfinite(date)) {
            m_first = date < m_first ? date : m_first;  // finite: no NaN rule needed (and no libm call)
            m_last = date > m_last ? date : m_last;
            m_points.push_back({date, level >= 1 && level <= 5 ? 5 - level : -1});
        }
    }
    QList<TimelineBucket> buckets(int count = bucketCount) const;

private:
    struct Point {
        double date;
        int severity;  // SeverityLevel index, or -1
    };
    std::vector<Point> m_points;
    double m_first = INFINITY;
    double m_last = -INFINITY;
};

// The hover text, plain: the span in local time, then one line per severity
// present ("Error: 3"), or "No entries".
QString describe(const TimelineBucket& bucket);

// The time at a fraction (0–1, clamped) of the whole span of `buckets`.
double timeAt(const QList<TimelineBucket>& buckets, double fraction);

}  // namespace Timeline
