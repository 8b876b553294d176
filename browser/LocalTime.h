#pragma once

#include <QString>

// Local wall-clock texts of instants, as QDateTime would write them in the
// system time zone, without its per-call zone lookup (a stat of the zone file
// per row in a 50,000-row listing).
namespace LocalTime {

// "yyyy-MM-dd HH:mm:ss", or with ".zzz" when withMilliseconds; date is in
// seconds since the epoch, truncated down to the millisecond.
QString format(double date, bool withMilliseconds);

}  // namespace LocalTime
