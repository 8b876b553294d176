#pragma once

// The preset fetch intervals.

#include <QList>
#include <QString>

#include <optional>

enum class QuickTimeRange { last1h,
                            last4h,
                            last24h };

namespace QuickRange {
const QList<QuickTimeRange>& all();
QString name(QuickTimeRange r);  // "1h", "4h", "24h": also the button label
std::optional<QuickTimeRange> fromName(const QString& text);
double offset(QuickTimeRange r);  // start of the interval relative to now: -3600, -14400, -86400
}  // namespace QuickRange
