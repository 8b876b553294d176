#pragma once

#include <QString>

#include <optional>

// Local wall-clock texts of instants, as QDateTime would write them in the
// system time zone, without its per-call zone lookup (a stat of the zone file
// per row in a 50,000-row listing).
namespace LocalTime {

// The instant `date` (seconds since the epoch) in milliseconds, truncated
// toward the past, as every written date shows it; none when it is not a
// finite number or lies beyond 285,000 years of the epoch, which no text shows.
std::optional<qint64> epochMs(double date);

// "yyyy-MM-dd HH:mm:ss", or with ".zzz" when withMilliseconds, of epochMs(date);
// years past 9999 take more digits, years before 1 a sign. Empty when the date
// has no epochMs.
QString format(double date, bool withMilliseconds);

}  // namespace LocalTime
