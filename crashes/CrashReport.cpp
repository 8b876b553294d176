#include "crashes/CrashReport.h"

QString CrashReport::crashTypeLabel() const
{
    if (!unreadReason.isEmpty())
        return {};
    if (!exceptionType.isEmpty())
        return exceptionType;
    // Case-sensitive on purpose: "Abort trap: 6" is not an "abort".
    static const struct {
        const char* needle;
        const char* label;
    } rules[] = {
        {"abort", "Abort"},
        {"segfault", "Segfault"},
        {"SEGV", "Segfault"},
        {"EXC_BAD_ACCESS", "Bad Access"},
        {"EXC_CRASH", "Crash"},
    };
    for (const auto& r : rules) {
        if (crashReason.contains(QLatin1String(r.needle)))
            return QString::fromLatin1(r.label);
    }
    return QStringLiteral("Unknown");
}

QDateTime CrashReport::distantPast()
{
    return QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
}
