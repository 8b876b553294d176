#include "logs/LogEntry.h"

#include <random>

QString LogEntry::levelLabelFor(int level)
{
    switch (level) {
    case 0: return QStringLiteral("Undefined");
    case 1: return QStringLiteral("Debug");
    case 2: return QStringLiteral("Info");
    case 3: return QStringLiteral("Notice");
    case 4: return QStringLiteral("Error");
    case 5: return QStringLiteral("Fault");
    default: return QStringLiteral("Unknown");
    }
}

QUuid makeEntryId()
{
    thread_local std::mt19937_64 gen{[] {
        std::random_device rd;
        std::seed_seq seq{rd(), rd(), rd(), rd(), rd(), rd(), rd(), rd()};
        return std::mt19937_64(seq);
    }()};
    const quint64 hi = gen();
    const quint64 lo = gen();
    uchar b[16];
    for (int i = 0; i < 8; ++i) {
        b[i] = uchar(hi >> (56 - 8 * i));
        b[8 + i] = uchar(lo >> (56 - 8 * i));
    }
    b[6] = uchar((b[6] & 0x0F) | 0x40);  // version 4
    b[8] = uchar((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
    return QUuid::fromRfc4122(QByteArrayView(reinterpret_cast<const char*>(b), 16));
}

namespace Severity {
const QList<SeverityLevel>& all()
{
    static const QList<SeverityLevel> levels{SeverityLevel::fault, SeverityLevel::error, SeverityLevel::notice,
                                             SeverityLevel::info, SeverityLevel::debug};
    return levels;
}

QString label(SeverityLevel s)
{
    switch (s) {
    case SeverityLevel::fault: return QStringLiteral("Fault");
    case SeverityLevel::error: return QStringLiteral("Error");
    case SeverityLevel::notice: return QStringLiteral("Notice");
    case SeverityLevel::info: return QStringLiteral("Info");
    case SeverityLevel::debug: return QStringLiteral("Debug");
    }
    return {};
}

int logLevel(SeverityLevel s) { return 5 - int(all().indexOf(s)); }
}  // namespace Severity

namespace Source {
const QList<SourceType>& all()
{
    static const QList<SourceType> types{SourceType::all, SourceType::system, SourceType::user, SourceType::hardware};
    return types;
}

QString name(SourceType t)
{
    switch (t) {
    case SourceType::all: return QStringLiteral("all");
    case SourceType::system: return QStringLiteral("system");
    case SourceType::user: return QStringLiteral("user");
    case SourceType::hardware: return QStringLiteral("hardware");
    }
    return {};
}

QString label(SourceType t)
{
    switch (t) {
    case SourceType::all: return QStringLiteral("All Types");
    case SourceType::system: return QStringLiteral("System");
    case SourceType::user: return QStringLiteral("User");
    case SourceType::hardware: return QStringLiteral("Hardware");
    }
    return {};
}

std::optional<SourceType> fromName(const QString& text)
{
    for (SourceType t : all())
        if (name(t) == text)
            return t;
    return std::nullopt;
}

bool isHardware(const LogEntry& e)
{
    const QString p = e.process.toLower();
    if (p == QLatin1String("kernel") || p == QLatin1String("kernel_task"))
        return true;
    const QString s = e.subsystem.toLower();
    return s.contains(QLatin1String("iokit")) || s.contains(QLatin1String("driver"));
}

bool matches(SourceType t, const LogEntry& e)
{
    static const QLatin1String apple("com.apple.");
    switch (t) {
    case SourceType::all: return true;
    case SourceType::hardware: return isHardware(e);
    case SourceType::system: return e.subsystem.startsWith(apple) || e.sender.startsWith(apple);
    case SourceType::user:
        if (isHardware(e) || e.subsystem.startsWith(apple))
            return false;
        return !e.sender.startsWith(apple);
    }
    return false;
}
}  // namespace Source
