#include "browser/LocalTime.h"

#include <QDateTime>
#include <QTimeZone>

#include <cmath>
#include <limits>

namespace LocalTime {

namespace {
constexpr qint64 kMsPerDay = 86'400'000;
// Outside 1970..9998 (zone history before the epoch, years of other widths)
// QDateTime writes the text itself.
constexpr qint64 kFastFrom = 0;
constexpr qint64 kFastTo = 253'370'764'800'000;

// The system zone's offset and the span between two transitions it holds for.
struct ZoneSpan {
    QTimeZone zone = QTimeZone::systemTimeZone();
    qint64 from = 1, to = 0;  // empty until the first lookup
    qint64 offsetMs = 0;

    bool offsetAt(qint64 ms, qint64* offset)
    {
        if (ms < from || ms >= to) {
            if (!zone.isValid())
                return false;
            const QDateTime at = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
            // The transition at or before ms (previousTransition is strictly before its argument).
            const auto prev = zone.previousTransition(at.addMSecs(1));
            const auto next = zone.nextTransition(at);
            from = prev.atUtc.isValid() ? prev.atUtc.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
            to = next.atUtc.isValid() ? next.atUtc.toMSecsSinceEpoch() : std::numeric_limits<qint64>::max();
            offsetMs = qint64(zone.offsetFromUtc(at)) * 1000;
            if (from > ms || to <= ms) {  // a zone backend without transition data
                from = to = ms;
                ++to;
            }
        }
        *offset = offsetMs;
        return true;
    }
};

void put(char16_t*& p, int value, int digits)
{
    for (int i = digits - 1; i >= 0; --i) {
        p[i] = char16_t(u'0' + value % 10);
        value /= 10;
    }
    p += digits;
}

QString viaQDateTime(qint64 ms, bool withMilliseconds)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(withMilliseconds ? QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")
                                                                        : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}
}  // namespace

std::optional<qint64> epochMs(double date)
{
    // 2^53 ms: every such count is exact in a double, and far inside QDateTime's range.
    constexpr double limit = 9007199254740992.0;
    const double ms = std::floor(date * 1000.0);
    if (!(ms > -limit && ms < limit))  // NaN fails too
        return std::nullopt;
    return qint64(ms);
}

QString format(double date, bool withMilliseconds)
{
    const std::optional<qint64> instant = epochMs(date);
    if (!instant)
        return QString();
    const qint64 ms = *instant;
    // One per thread: exports format rows off the UI thread.
    thread_local ZoneSpan span;
    qint64 offset = 0;
    if (ms < kFastFrom || ms >= kFastTo || !span.offsetAt(ms, &offset))
        return viaQDateTime(ms, withMilliseconds);

    const qint64 local = ms + offset;
    qint64 days = local / kMsPerDay;
    qint64 inDay = local % kMsPerDay;
    if (inDay < 0) {
        inDay += kMsPerDay;
        --days;
    }
    // Civil date from days since 1970-01-01 (H. Hinnant's days_from_civil inverse).
    const qint64 z = days + 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const qint64 doe = z - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    const int day = int(doy - (153 * mp + 2) / 5 + 1);
    const int month = int(mp < 10 ? mp + 3 : mp - 9);
    const int year = int(yoe + era * 400 + (month <= 2 ? 1 : 0));

    QString out(withMilliseconds ? 23 : 19, Qt::Uninitialized);
    char16_t* p = reinterpret_cast<char16_t*>(out.data());
    put(p, year, 4);
    *p++ = u'-';
    put(p, month, 2);
    *p++ = u'-';
    put(p, day, 2);
    *p++ = u' ';
    put(p, int(inDay / 3'600'000), 2);
    *p++ = u':';
    put(p, int(inDay / 60'000 % 60), 2);
    *p++ = u':';
    put(p, int(inDay / 1000 % 60), 2);
    if (withMilliseconds) {
        *p++ = u'.';
        put(p, int(inDay % 1000), 3);
    }
    return out;
}

}  // namespace LocalTime
