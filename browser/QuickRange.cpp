#include "browser/QuickRange.h"

namespace QuickRange {

const QList<QuickTimeRange>& all()
{
    static const QList<QuickTimeRange> ranges{QuickTimeRange::last1h, QuickTimeRange::last4h, QuickTimeRange::last24h};
    return ranges;
}

QString name(QuickTimeRange r)
{
    switch (r) {
    case QuickTimeRange::last1h: return QStringLiteral("1h");
    case QuickTimeRange::last4h: return QStringLiteral("4h");
    case QuickTimeRange::last24h: return QStringLiteral("24h");
    }
    return {};
}

std::optional<QuickTimeRange> fromName(const QString& text)
{
    for (QuickTimeRange r : all())
        if (name(r) == text)
            return r;
    return std::nullopt;
}

double offset(QuickTimeRange r)
{
    switch (r) {
    case QuickTimeRange::last1h: return -3600;
    case QuickTimeRange::last4h: return -14400;
    case QuickTimeRange::last24h: return -86400;
    }
    return -3600;
}

}  // namespace QuickRange
