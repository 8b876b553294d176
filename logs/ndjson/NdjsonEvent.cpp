#include "logs/ndjson/NdjsonEvent.h"

#include "logs/ndjson/JsonScan.h"

#include <cstdint>

namespace Ndjson {

using JsonScan::isDigit;
using JsonScan::literal;
using JsonScan::scanNumber;
using JsonScan::scanString;
using JsonScan::skipWs;

namespace {

enum class Member {
    other,
    eventType,
    timestamp,
    messageType,
    processImagePath,
    eventMessage,
    subsystem,
    category,
    senderImagePath,
    processID,
    threadID,
    activityIdentifier,
    finished
};

inline Member memberFor(std::string_view k)
{
    switch (k.size()) {
    case 8:
        if (k == "category")
            return Member::category;
        if (k == "threadID")
            return Member::threadID;
        if (k == "finished")
            return Member::finished;
        break;
    case 9:
        if (k == "eventType")
            return Member::eventType;
        if (k == "timestamp")
            return Member::timestamp;
        if (k == "subsystem")
            return Member::subsystem;
        if (k == "processID")
            return Member::processID;
        break;
    case 11:
        if (k == "messageType")
            return Member::messageType;
        break;
    case 12:
        if (k == "eventMessage")
            return Member::eventMessage;
        break;
    case 15:
        if (k == "senderImagePath")
            return Member::senderImagePath;
        break;
    case 16:
        if (k == "processImagePath")
            return Member::processImagePath;
        break;
    case 18:
        if (k == "activityIdentifier")
            return Member::activityIdentifier;
        break;
    default:
        break;
    }
    return Member::other;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
long long daysFromCivil(long long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + (long long)doe - 719468;
}

// Reads a timestamp left to right; every read checks the bounds.
struct Cursor {
    std::string_view t;
    std::size_t i = 0;

    // Exactly n digits.
    bool number(int n, int& v)
    {
        if (i + std::size_t(n) > t.size())
            return false;
        v = 0;
        for (int k = 0; k < n; ++k) {
            const char c = t[i + std::size_t(k)];
            if (!isDigit(c))
                return false;
            v = v * 10 + (c - '0');
        }
        i += std::size_t(n);
        return true;
    }
    bool lit(char c)
    {
        if (i < t.size() && t[i] == c) {
            ++i;
            return true;
        }
        return false;
    }
    bool atEnd() const { return i == t.size(); }
};

struct CivilTime {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
};

// "2026-01-05 09:30:00" or "2026-01-05T09:30:00", unchecked ranges.
bool readCivilTime(Cursor& c, CivilTime& v)
{
    if (!c.number(4, v.y) || !c.lit('-') || !c.number(2, v.mo) || !c.lit('-') || !c.number(2, v.d))
        return false;
    if (!c.lit(' ') && !c.lit('T'))
        return false;
    return c.number(2, v.h) && c.lit(':') && c.number(2, v.mi) && c.lit(':') && c.number(2, v.s);
}

// An optional "." and at least one digit; digits past the ninth are dropped.
bool readFraction(Cursor& c, long long& nanos)
{
    nanos = 0;
    if (!c.lit('.'))
        return true;
    int digits = 0;
    for (; c.i < c.t.size() && isDigit(c.t[c.i]); ++c.i, ++digits) {
        if (digits < 9)
            nanos = nanos * 10 + (c.t[c.i] - '0');
    }
    for (int k = digits; k < 9; ++k)
        nanos *= 10;
    return digits > 0;
}

// "Z", "+01", "+0100" or "+01:00" (or "-") as seconds east of UTC.
bool readOffset(Cursor& c, int& offset)
{
    offset = 0;
    if (c.lit('Z'))
        return true;
    const bool west = c.lit('-');
    if (!west && !c.lit('+'))
        return false;
    int oh = 0, om = 0;
    if (!c.number(2, oh))
        return false;
    const bool colon = c.lit(':');
    if ((colon || !c.atEnd()) && !c.number(2, om))
        return false;
    if (oh > 23 || om > 59)
        return false;
    offset = (west ? -1 : 1) * (oh * 3600 + om * 60);
    return true;
}

bool isValid(const CivilTime& v)
{
    static constexpr int monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (v.y < 1 || v.mo < 1 || v.mo > 12 || v.d < 1 || v.h > 23 || v.mi > 59 || v.s > 60)
        return false;
    const bool leap = (v.y % 4 == 0 && v.y % 100 != 0) || v.y % 400 == 0;
    return v.d <= monthDays[v.mo - 1] + (v.mo == 2 && leap ? 1 : 0);
}

}  // namespace

bool parseTimestamp(std::string_view t, double& seconds)
{
    Cursor c{t};
    CivilTime v;
    long long nanos = 0;
    int offset = 0;
    if (!readCivilTime(c, v) || !readFraction(c, nanos) || !readOffset(c, offset) || !c.atEnd() || !isValid(v))
        return false;
    const long long secs = daysFromCivil(v.y, unsigned(v.mo), unsigned(v.d)) * 86400 + v.h * 3600 + v.mi * 60 + v.s - offset;
    // Through whole microseconds where possible, so that the value is the
    // double nearest to the written decimal.
    if (nanos % 1000 == 0)
        seconds = double(secs * 1000000 + nanos / 1000) / 1e6;
    else
        seconds = double((static_cast<long double>(secs) * 1e9L + static_cast<long double>(nanos)) / 1e9L);
    return true;
}

int levelForMessageType(std::string_view m)
{
    if (m == "Default")
        return 3;
    if (m == "Info")
        return 2;
    if (m == "Debug")
        return 1;
    if (m == "Error")
        return 4;
    if (m == "Fault")
        return 5;
    return 0;
}

RawEntryKind kindForEventType(std::string_view e)
{
    if (e == "logEvent")
        return RawEntryKind::logMessage;
    if (e == "activityCreateEvent" || e == "activityTransitionEvent" || e == "userActionEvent")
        return RawEntryKind::activity;
    if (e == "signpostEvent")
        return RawEntryKind::signpost;
    if (e == "timesyncEvent")
        return RawEntryKind::boundary;
    return RawEntryKind::other;
}

std::string_view lastPathComponent(std::string_view path)
{
    while (!path.empty() && path.back() == '/')
        path.remove_suffix(1);
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

QString LineParser::Interned::get(std::string_view key, bool lastComponent)
{
    if (key.empty())
        return {};
    const auto it = m_map.constFind(QByteArray::fromRawData(key.data(), qsizetype(key.size())));
    if (it != m_map.constEnd())
        return *it;
    // Bounded: a file of all-different values must not grow the table without end.
    if (m_map.size() >= 4096)
        m_map.clear();
    const std::string_view v = lastComponent ? lastPathComponent(key) : key;
    QString text = QString::fromUtf8(v.data(), qsizetype(v.size()));
    m_map.insert(QByteArray(key.data(), qsizetype(key.size())), text);
    return text;
}

namespace {

// A string member's bytes: in the line, or in a scratch buffer when it had escapes.
struct Text {
    const char* p = nullptr;
    std::size_t n = 0;
    bool present = false;
    std::string_view view() const { return {p, n}; }
};

// The members of one line that make an entry.
struct Members {
    Text eventType, timestamp, messageType, processPath, message, subsystem, category, senderPath;
    std::uint64_t threadID = 0, activityID = 0;
    std::int32_t processID = 0;
    bool finished = false;
};

bool readString(const char*& p, const char* end, Text& out, std::string& scratch)
{
    std::string_view v;
    if (!scanString<true>(p, end, &v, &scratch))
        return false;
    out.p = v.data();
    out.n = v.size();
    out.present = true;
    return true;
}

// A text member; null reads as absent.
bool readText(const char*& p, const char* end, Text& t, std::string& scratch)
{
    if (*p == '"')
        return readString(p, end, t, scratch);
    t = Text{};
    return literal(p, end, "null", 4);
}

// An integer member that fits; null reads as 0.
bool readInteger(const char*& p, const char* end, bool allowNegative, std::uint64_t maxMagnitude, bool& negative,
                 std::uint64_t& value)
{
    if (*p == 'n') {
        negative = false;
        value = 0;
        return literal(p, end, "null", 4);
    }
    bool overflow, isInteger;
    if (!scanNumber(p, end, negative, value, overflow, isInteger) || overflow || !isInteger)
        return false;
    if (negative)
        return allowNegative ? value <= maxMagnitude + 1 : value == 0;
    return value <= maxMagnitude;
}

// The value of one member, p at its first byte; scratch[1..8] hold the unescaped texts.
bool readValue(Member member, const char*& p, const char* end, Members& m, std::string* scratch)
{
    bool negative = false;
    std::uint64_t v = 0;
    switch (member) {
    case Member::eventType: return readText(p, end, m.eventType, scratch[1]);
    case Member::timestamp: return readText(p, end, m.timestamp, scratch[2]);
    case Member::messageType: return readText(p, end, m.messageType, scratch[3]);
    case Member::processImagePath: return readText(p, end, m.processPath, scratch[4]);
    case Member::eventMessage: return readText(p, end, m.message, scratch[5]);
    case Member::subsystem: return readText(p, end, m.subsystem, scratch[6]);
    case Member::category: return readText(p, end, m.category, scratch[7]);
    case Member::senderImagePath: return readText(p, end, m.senderPath, scratch[8]);
    case Member::processID:
        if (!readInteger(p, end, true, std::uint64_t(INT32_MAX), negative, v))
            return false;
        m.processID = negative ? std::int32_t(-std::int64_t(v)) : std::int32_t(v);
        return true;
    case Member::threadID:
        return readInteger(p, end, false, UINT64_MAX, negative, m.threadID);
    case Member::activityIdentifier:
        return readInteger(p, end, false, UINT64_MAX, negative, m.activityID);
    case Member::finished:
        m.finished = true;
        return JsonScan::skipValue(p, end, 1, kMaxDepth);
    case Member::other:
        break;
    }
    return JsonScan::skipValue(p, end, 1, kMaxDepth);
}

// The members of an object up to and past its "}", p just past its "{";
// scratch[0] holds an unescaped key.
bool readMembers(const char*& p, const char* end, Members& m, std::string* scratch)
{
    skipWs(p, end);
    if (p < end && *p == '}') {
        ++p;
        return true;
    }
    Text key;
    for (;;) {
        if (p >= end || *p != '"' || !readString(p, end, key, scratch[0]))
            return false;
        skipWs(p, end);
        if (p >= end || *p != ':')
            return false;
        ++p;
        skipWs(p, end);
        if (p >= end || !readValue(memberFor(key.view()), p, end, m, scratch))
            return false;
        skipWs(p, end);
        if (p >= end || (*p != ',' && *p != '}'))
            return false;
        if (*p++ == '}')
            return true;
        skipWs(p, end);
    }
}

}  // namespace

LineStatus LineParser::parse(const char* data, std::size_t size, RawEntry& out)
{
    const char* p = data;
    const char* const end = data + size;
    skipWs(p, end);
    if (p == end)
        return LineStatus::blank;
    if (*p != '{')
        return LineStatus::malformed;
    ++p;
    Members m;
    if (!readMembers(p, end, m, m_scratch))
        return LineStatus::malformed;
    skipWs(p, end);
    if (p != end)
        return LineStatus::malformed;

    // `log show` closes its output with {"count":N,"finished":1}: no event, no fault.
    if (!m.eventType.present && m.finished)
        return LineStatus::blank;
    if (!m.eventType.present || !m.timestamp.present)
        return LineStatus::malformed;
    double date = 0;
    if (!parseTimestamp(m.timestamp.view(), date))
        return LineStatus::malformed;
    const RawEntryKind kind = kindForEventType(m.eventType.view());
    if (kind == RawEntryKind::logMessage && !m.message.present)
        return LineStatus::malformed;

    out.kind = kind;
    LogEntry& e = out.entry;
    e = LogEntry{};
    e.date = date;
    if (kind != RawEntryKind::logMessage)
        return LineStatus::event;
    e.level = m.messageType.present ? levelForMessageType(m.messageType.view()) : 0;
    e.process = m_process.get(m.processPath.view(), true);
    e.message = QString::fromUtf8(m.message.p, qsizetype(m.message.n));
    e.subsystem = m_subsystem.get(m.subsystem.view(), false);
    e.category = m_category.get(m.category.view(), false);
    e.threadIdentifier = m.threadID;
    e.processIdentifier = m.processID;
    e.sender = m_sender.get(m.senderPath.view(), true);
    e.senderImagePath = m_senderPath.get(m.senderPath.view(), false);
    e.activityIdentifier = m.activityID;
    return LineStatus::event;
}

}  // namespace Ndjson
