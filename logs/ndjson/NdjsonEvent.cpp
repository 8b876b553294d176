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
        if (k == "category") return Member::category;
        if (k == "threadID") return Member::threadID;
        if (k == "finished") return Member::finished;
        break;
    case 9:
        if (k == "eventType") return Member::eventType;
        if (k == "timestamp") return Member::timestamp;
        if (k == "subsystem") return Member::subsystem;
        if (k == "processID") return Member::processID;
        break;
    case 11:
        if (k == "messageType") return Member::messageType;
        break;
    case 12:
        if (k == "eventMessage") return Member::eventMessage;
        break;
    case 15:
        if (k == "senderImagePath") return Member::senderImagePath;
        break;
    case 16:
        if (k == "processImagePath") return Member::processImagePath;
        break;
    case 18:
        if (k == "activityIdentifier") return Member::activityIdentifier;
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

}  // namespace

bool parseTimestamp(std::string_view t, double& seconds)
{
    std::size_t i = 0;
    auto number = [&](int n, int& v) {
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
    };
    auto lit = [&](char c) {
        if (i < t.size() && t[i] == c) {
            ++i;
            return true;
        }
        return false;
    };
    int y, mo, d, h, mi, s;
    if (!number(4, y) || !lit('-') || !number(2, mo) || !lit('-') || !number(2, d))
        return false;
    if (!lit(' ') && !lit('T'))
        return false;
    if (!number(2, h) || !lit(':') || !number(2, mi) || !lit(':') || !number(2, s))
        return false;
    long long nanos = 0;
    if (lit('.')) {
        int digits = 0;
        while (i < t.size() && isDigit(t[i])) {
            if (digits < 9)
                nanos = nanos * 10 + (t[i] - '0');
            ++digits;
            ++i;
        }
        if (digits == 0)
            return false;
        for (int k = digits; k < 9; ++k)
            nanos *= 10;
    }
    int offset = 0;
    if (!lit('Z')) {
        if (i >= t.size() || (t[i] != '+' && t[i] != '-'))
            return false;
        const int sign = t[i] == '-' ? -1 : 1;
        ++i;
        int oh, om = 0;
        if (!number(2, oh))
            return false;
        if (lit(':')) {
            if (!number(2, om))
                return false;
        } else if (i < t.size() && !number(2, om)) {
            return false;
        }
        if (oh > 23 || om > 59)
            return false;
        offset = sign * (oh * 3600 + om * 60);
    }
    if (i != t.size())
        return false;
    static constexpr int monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1 || mo < 1 || mo > 12 || d < 1 || h > 23 || mi > 59 || s > 60)
        return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (d > monthDays[mo - 1] + (mo == 2 && leap ? 1 : 0))
        return false;
    const long long secs = daysFromCivil(y, unsigned(mo), unsigned(d)) * 86400 + h * 3600 + mi * 60 + s - offset;
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
    if (m == "Default") return 3;
    if (m == "Info") return 2;
    if (m == "Debug") return 1;
    if (m == "Error") return 4;
    if (m == "Fault") return 5;
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

bool LineParser::parseString(const char*& p, const char* end, Text& out, std::string& scratch)
{
    std::string_view v;
    if (!scanString<true>(p, end, &v, &scratch))
        return false;
    out.p = v.data();
    out.n = v.size();
    out.present = true;
    return true;
}

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

    Text eventType, timestamp, messageType, processPath, message, subsystem, category, senderPath;
    std::uint64_t threadID = 0, activityID = 0;
    std::int32_t processID = 0;
    bool finished = false;
    Text key;

    // An integer member that fits; null reads as 0.
    auto integer = [&](bool allowNegative, std::uint64_t maxMagnitude, bool& negative, std::uint64_t& value) {
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
    };
    // A text member; null reads as absent.
    auto text = [&](Text& t, std::string& scratch) {
        if (*p == '"')
            return parseString(p, end, t, scratch);
        t = Text{};
        return literal(p, end, "null", 4);
    };

    skipWs(p, end);
    if (p < end && *p == '}') {
        ++p;
    } else {
        for (;;) {
            if (p >= end || *p != '"' || !parseString(p, end, key, m_scratch[0]))
                return LineStatus::malformed;
            skipWs(p, end);
            if (p >= end || *p != ':')
                return LineStatus::malformed;
            ++p;
            skipWs(p, end);
            if (p >= end)
                return LineStatus::malformed;
            bool ok = true;
            bool negative = false;
            std::uint64_t v = 0;
            switch (memberFor(key.view())) {
            case Member::eventType: ok = text(eventType, m_scratch[1]); break;
            case Member::timestamp: ok = text(timestamp, m_scratch[2]); break;
            case Member::messageType: ok = text(messageType, m_scratch[3]); break;
            case Member::processImagePath: ok = text(processPath, m_scratch[4]); break;
            case Member::eventMessage: ok = text(message, m_scratch[5]); break;
            case Member::subsystem: ok = text(subsystem, m_scratch[6]); break;
            case Member::category: ok = text(category, m_scratch[7]); break;
            case Member::senderImagePath: ok = text(senderPath, m_scratch[8]); break;
            case Member::processID:
                ok = integer(true, std::uint64_t(INT32_MAX), negative, v);
                processID = negative ? std::int32_t(-std::int64_t(v)) : std::int32_t(v);
                break;
            case Member::threadID:
                ok = integer(false, UINT64_MAX, negative, v);
                threadID = v;
                break;
            case Member::activityIdentifier:
                ok = integer(false, UINT64_MAX, negative, v);
                activityID = v;
                break;
            case Member::finished:
                finished = true;
                ok = JsonScan::skipValue(p, end, 1, kMaxDepth);
                break;
            case Member::other: ok = JsonScan::skipValue(p, end, 1, kMaxDepth); break;
            }
            if (!ok)
                return LineStatus::malformed;
            skipWs(p, end);
            if (p >= end)
                return LineStatus::malformed;
            if (*p == ',') {
                ++p;
                skipWs(p, end);
                continue;
            }
            if (*p == '}') {
                ++p;
                break;
            }
            return LineStatus::malformed;
        }
    }
    skipWs(p, end);
    if (p != end)
        return LineStatus::malformed;

    // `log show` closes its output with {"count":N,"finished":1}: no event, no fault.
    if (!eventType.present && finished)
        return LineStatus::blank;
    if (!eventType.present || !timestamp.present)
        return LineStatus::malformed;
    double date = 0;
    if (!parseTimestamp(timestamp.view(), date))
        return LineStatus::malformed;
    const RawEntryKind kind = kindForEventType(eventType.view());
    if (kind == RawEntryKind::logMessage && !message.present)
        return LineStatus::malformed;

    out.kind = kind;
    LogEntry& e = out.entry;
    e = LogEntry{};
    e.date = date;
    if (kind != RawEntryKind::logMessage)
        return LineStatus::event;
    e.level = messageType.present ? levelForMessageType(messageType.view()) : 0;
    e.process = m_process.get(processPath.view(), true);
    e.message = QString::fromUtf8(message.p, qsizetype(message.n));
    e.subsystem = m_subsystem.get(subsystem.view(), false);
    e.category = m_category.get(category.view(), false);
    e.threadIdentifier = threadID;
    e.processIdentifier = processID;
    e.sender = m_sender.get(senderPath.view(), true);
    e.activityIdentifier = activityID;
    return LineStatus::event;
}

}  // namespace Ndjson
