#include "logs/LogEntry.h"

#include <random>

namespace {
QColor rgb(double r, double g, double b) { return QColor::fromRgbF(float(r), float(g), float(b), 1.0f); }
QColor grey(double w) { return rgb(w, w, w); }
QColor rgb255(int r, int g, int b) { return rgb(r / 255.0, g / 255.0, b / 255.0); }
}

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

QColor LogEntry::levelColorFor(int level)
{
    switch (level) {
    case 5: return rgb(1.0, 0.3, 0.3);
    case 4: return rgb(1.0, 0.6, 0.2);
    case 3: return rgb(1.0, 0.85, 0.2);
    case 2: return grey(0.7);
    default: return grey(0.4);
    }
}

QColor LogEntry::levelColor() const { return levelColorFor(level); }

QColor LogEntry::messageColor() const
{
    switch (level) {
    case 5: return rgb(0.75, 0.55, 0.55);
    case 4: return rgb(0.75, 0.62, 0.5);
    case 3: return rgb(0.75, 0.72, 0.5);
    case 2: return grey(0.55);
    default: return grey(0.35);
    }
}

QColor LogEntry::badgeBackground() const
{
    switch (level) {
    case 5: return rgb255(192, 57, 43);
    case 4: return rgb255(230, 126, 34);
    case 3: return rgb255(241, 196, 15);
    case 2: return rgb255(41, 128, 185);
    case 1: return rgb255(149, 165, 166);
    default: return rgb255(127, 140, 141);
    }
}

QColor LogEntry::rowBackground() const
{
    switch (level) {
    case 5: return rgb255(255, 214, 214);
    case 4: return rgb255(252, 228, 214);
    case 3: return rgb255(255, 242, 204);
    case 2: return rgb255(235, 245, 251);
    default: return rgb255(250, 250, 250);
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
const QList<SeverityLevel>& allCases()
{
    static const QList<SeverityLevel> all{SeverityLevel::fault, SeverityLevel::error, SeverityLevel::notice,
                                          SeverityLevel::info, SeverityLevel::debug};
    return all;
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

int logLevel(SeverityLevel s) { return 5 - int(allCases().indexOf(s)); }

QColor color(SeverityLevel s) { return LogEntry::levelColorFor(logLevel(s)); }
}

namespace Source {
const QList<SourceType>& allCases()
{
    static const QList<SourceType> all{SourceType::all, SourceType::system, SourceType::user, SourceType::hardware};
    return all;
}

QString rawValue(SourceType t)
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

std::optional<SourceType> fromRawValue(const QString& raw)
{
    for (SourceType t : allCases())
        if (rawValue(t) == raw)
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
}
