#include "logs/NdjsonLogStore.h"

#include "logs/Platform.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Ndjson {

namespace {

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

inline void skipWs(const char*& p, const char* end)
{
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r'))
        ++p;
}

inline bool literal(const char*& p, const char* end, const char* word, std::size_t n)
{
    if (std::size_t(end - p) < n || std::memcmp(p, word, n) != 0)
        return false;
    p += n;
    return true;
}

// One UTF-8 sequence whose lead byte (>= 0x80) is at p: well-formed, shortest
// form, no surrogates, at most U+10FFFF.
inline bool utf8Sequence(const char*& p, const char* end)
{
    const auto* s = reinterpret_cast<const unsigned char*>(p);
    const std::size_t avail = std::size_t(end - p);
    const unsigned char c = s[0];
    auto cont = [&](std::size_t i) { return i < avail && (s[i] & 0xC0) == 0x80; };
    if (c >= 0xC2 && c <= 0xDF) {
        if (!cont(1))
            return false;
        p += 2;
        return true;
    }
    if (c >= 0xE0 && c <= 0xEF) {
        if (!cont(1) || !cont(2))
            return false;
        if ((c == 0xE0 && s[1] < 0xA0) || (c == 0xED && s[1] > 0x9F))
            return false;
        p += 3;
        return true;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (!cont(1) || !cont(2) || !cont(3))
            return false;
        if ((c == 0xF0 && s[1] < 0x90) || (c == 0xF4 && s[1] > 0x8F))
            return false;
        p += 4;
        return true;
    }
    return false;
}

inline bool hex4(const char* p, const char* end, std::uint32_t& v)
{
    if (end - p < 4)
        return false;
    v = 0;
    for (int i = 0; i < 4; ++i) {
        const char c = p[i];
        std::uint32_t d;
        if (c >= '0' && c <= '9')
            d = std::uint32_t(c - '0');
        else if (c >= 'a' && c <= 'f')
            d = std::uint32_t(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            d = std::uint32_t(c - 'A' + 10);
        else
            return false;
        v = v << 4 | d;
    }
    return true;
}

void appendUtf8(std::string& s, std::uint32_t cp)
{
    if (cp < 0x80) {
        s += char(cp);
    } else if (cp < 0x800) {
        s += char(0xC0 | (cp >> 6));
        s += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        s += char(0xE0 | (cp >> 12));
        s += char(0x80 | ((cp >> 6) & 0x3F));
        s += char(0x80 | (cp & 0x3F));
    } else {
        s += char(0xF0 | (cp >> 18));
        s += char(0x80 | ((cp >> 12) & 0x3F));
        s += char(0x80 | ((cp >> 6) & 0x3F));
        s += char(0x80 | (cp & 0x3F));
    }
}

// Whether any of the 8 bytes needs a closer look inside a string: a quote,
// a backslash, a control character or a non-ASCII byte.
inline bool special8(std::uint64_t v)
{
    constexpr std::uint64_t ones = 0x0101010101010101ull, high = 0x8080808080808080ull;
    auto hasZero = [](std::uint64_t x) { return (x - ones) & ~x & high; };
    return ((v & high) | hasZero(v ^ (ones * '"')) | hasZero(v ^ (ones * '\\')) | ((v - ones * 0x20) & ~v & high)) != 0;
}

// Validates a string at p (on its opening quote) and, when `Decode`, leaves its
// text in `view`: a span of the line when it has no escapes, else of `scratch`.
template <bool Decode>
bool scanString(const char*& p, const char* end, std::string_view* view, std::string* scratch)
{
    ++p;
    const char* seg = p;
    bool escaped = false;
    while (p < end) {
        if (end - p >= 8) {
            std::uint64_t v;
            std::memcpy(&v, p, 8);
            if (!special8(v)) {
                p += 8;
                continue;
            }
        }
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == '"') {
            if constexpr (Decode) {
                if (!escaped) {
                    *view = std::string_view(seg, std::size_t(p - seg));
                } else {
                    scratch->append(seg, std::size_t(p - seg));
                    *view = *scratch;
                }
            }
            ++p;
            return true;
        }
        if (c == '\\') {
            if constexpr (Decode) {
                if (!escaped) {
                    scratch->clear();
                    escaped = true;
                }
                scratch->append(seg, std::size_t(p - seg));
            }
            ++p;
            if (p >= end)
                return false;
            const char e = *p++;
            char plain = 0;
            switch (e) {
            case '"': plain = '"'; break;
            case '\\': plain = '\\'; break;
            case '/': plain = '/'; break;
            case 'b': plain = '\b'; break;
            case 'f': plain = '\f'; break;
            case 'n': plain = '\n'; break;
            case 'r': plain = '\r'; break;
            case 't': plain = '\t'; break;
            case 'u': {
                std::uint32_t cp;
                if (!hex4(p, end, cp))
                    return false;
                p += 4;
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    std::uint32_t lo;
                    if (end - p >= 6 && p[0] == '\\' && p[1] == 'u' && hex4(p + 2, end, lo) && lo >= 0xDC00
                        && lo <= 0xDFFF) {
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                        p += 6;
                    } else {
                        cp = 0xFFFD;  // a lone surrogate is no character
                    }
                } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                    cp = 0xFFFD;
                }
                if constexpr (Decode)
                    appendUtf8(*scratch, cp);
                break;
            }
            default:
                return false;
            }
            if constexpr (Decode) {
                if (plain)
                    *scratch += plain;
            }
            seg = p;
            continue;
        }
        if (c < 0x20)
            return false;
        if (c >= 0x80) {
            if (!utf8Sequence(p, end))
                return false;
            continue;
        }
        ++p;
    }
    return false;
}

// A JSON number; `integer` tells whether it had neither fraction nor exponent.
bool scanNumber(const char*& p, const char* end, bool& negative, std::uint64_t& magnitude, bool& overflow,
                bool& integer)
{
    negative = false;
    magnitude = 0;
    overflow = false;
    integer = true;
    if (p < end && *p == '-') {
        negative = true;
        ++p;
    }
    if (p >= end || !isDigit(*p))
        return false;
    if (*p == '0') {
        ++p;
    } else {
        while (p < end && isDigit(*p)) {
            const std::uint64_t d = std::uint64_t(*p - '0');
            if (magnitude > (UINT64_MAX - d) / 10)
                overflow = true;
            else
                magnitude = magnitude * 10 + d;
            ++p;
        }
    }
    if (p < end && *p == '.') {
        integer = false;
        ++p;
        if (p >= end || !isDigit(*p))
            return false;
        while (p < end && isDigit(*p))
            ++p;
    }
    if (p < end && (*p == 'e' || *p == 'E')) {
        integer = false;
        ++p;
        if (p < end && (*p == '+' || *p == '-'))
            ++p;
        if (p >= end || !isDigit(*p))
            return false;
        while (p < end && isDigit(*p))
            ++p;
    }
    return true;
}

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

bool LineParser::skipValue(const char*& p, const char* end, int depth)
{
    if (p >= end)
        return false;
    switch (*p) {
    case '"':
        return scanString<false>(p, end, nullptr, nullptr);
    case '{':
    case '[': {
        const char close = *p == '{' ? '}' : ']';
        const bool object = close == '}';
        if (depth >= kMaxDepth)
            return false;
        ++p;
        skipWs(p, end);
        if (p < end && *p == close) {
            ++p;
            return true;
        }
        for (;;) {
            if (object) {
                if (p >= end || *p != '"' || !scanString<false>(p, end, nullptr, nullptr))
                    return false;
                skipWs(p, end);
                if (p >= end || *p != ':')
                    return false;
                ++p;
                skipWs(p, end);
            }
            if (!skipValue(p, end, depth + 1))
                return false;
            skipWs(p, end);
            if (p >= end)
                return false;
            if (*p == ',') {
                ++p;
                skipWs(p, end);
                continue;
            }
            if (*p == close) {
                ++p;
                return true;
            }
            return false;
        }
    }
    case 't':
        return literal(p, end, "true", 4);
    case 'f':
        return literal(p, end, "false", 5);
    case 'n':
        return literal(p, end, "null", 4);
    default: {
        bool negative, overflow, integer;
        std::uint64_t magnitude;
        return scanNumber(p, end, negative, magnitude, overflow, integer);
    }
    }
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
                ok = skipValue(p, end, 1);
                break;
            case Member::other: ok = skipValue(p, end, 1); break;
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

namespace {

using Ndjson::LineStatus;

QString errnoText(int e) { return QString::fromLocal8Bit(std::strerror(e)); }

bool hasNdjsonExtension(const QString& fileName)
{
    const QString lower = fileName.toLower();
    return lower.endsWith(QLatin1String(".ndjson")) || lower.endsWith(QLatin1String(".jsonl"));
}

// The .ndjson/.jsonl files under a folder, in path order; none when the folder
// also holds journal files (those make it a journal archive).
QStringList ndjsonFilesIn(const QString& dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = it.fileName();
        if (name.endsWith(QLatin1String(".journal")) || name.endsWith(QLatin1String(".journal~")))
            return {};
        if (hasNdjsonExtension(name))
            files.append(path);
    }
    files.sort();
    return files;
}

// Streams one file line by line through a bounded buffer.
class LineReader {
public:
    LineReader(QString path, int fd) : m_path(std::move(path)), m_fd(fd), m_buf(256 * 1024) {}
    ~LineReader()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    const QString& path() const { return m_path; }
    const std::optional<StoreError>& error() const { return m_error; }

    // The next line without its line break, valid until the next call. A line
    // longer than the limit comes back once with `tooLong` and no text.
    bool nextLine(const char*& data, std::size_t& size, bool& tooLong)
    {
        for (;;) {
            if (m_scan < m_end) {
                char* const begin = m_buf.data() + m_begin;
                const void* nl = std::memchr(m_buf.data() + m_scan, '\n', m_end - m_scan);
                if (nl) {
                    const std::size_t len = std::size_t(static_cast<const char*>(nl) - begin);
                    m_begin += len + 1;
                    m_scan = m_begin;
                    return deliver(begin, len, data, size, tooLong);
                }
                m_scan = m_end;
                if (m_discarding || m_end - m_begin > Ndjson::kMaxLineBytes) {
                    m_discarding = true;
                    m_begin = m_end = m_scan = 0;
                }
            }
            if (m_eof) {
                if (m_begin < m_end) {  // last line without a line break
                    char* const begin = m_buf.data() + m_begin;
                    const std::size_t len = m_end - m_begin;
                    m_begin = m_end = m_scan = 0;
                    return deliver(begin, len, data, size, tooLong);
                }
                if (m_discarding)
                    return deliver(nullptr, 0, data, size, tooLong);
                return false;
            }
            if (!fill())
                return false;
        }
    }

private:
    bool deliver(char* begin, std::size_t len, const char*& data, std::size_t& size, bool& tooLong)
    {
        tooLong = m_discarding || len > Ndjson::kMaxLineBytes;
        m_discarding = false;
        if (tooLong) {
            data = nullptr;
            size = 0;
            return true;
        }
        if (len > 0 && begin[len - 1] == '\r')
            --len;
        data = begin;
        size = len;
        return true;
    }

    bool fill()
    {
        if (m_begin > 0) {
            std::memmove(m_buf.data(), m_buf.data() + m_begin, m_end - m_begin);
            m_end -= m_begin;
            m_scan -= m_begin;
            m_begin = 0;
        }
        // Grows only while one line is being gathered; bounded by the line limit.
        if (m_end == m_buf.size())
            m_buf.resize(m_buf.size() * 2);
        ssize_t r;
        do {
            r = ::read(m_fd, m_buf.data() + m_end, m_buf.size() - m_end);
        } while (r < 0 && errno == EINTR);
        if (r < 0) {
            m_error = StoreError{QStringLiteral("Failed to read \"%1\": %2")
                                     .arg(QFileInfo(m_path).fileName(), errnoText(errno))};
            return false;
        }
        if (r == 0)
            m_eof = true;
        m_end += std::size_t(r);
        return true;
    }

    QString m_path;
    int m_fd;
    std::vector<char> m_buf;
    std::size_t m_begin = 0, m_end = 0, m_scan = 0;
    bool m_eof = false;
    bool m_discarding = false;
    std::optional<StoreError> m_error;
};

struct Source {
    std::unique_ptr<LineReader> reader;
    RawEntry head;
    bool hasHead = false;
    long malformed = 0;
};

// Lazily reads the files, skipping malformed lines and entries outside the
// position and predicate; several files are merged in time order.
class NdjsonEnumerator final : public LogEnumerator {
public:
    NdjsonEnumerator(std::vector<Source> sources, double position, std::optional<DateRange> predicate)
        : m_sources(std::move(sources)), m_position(position), m_predicate(predicate) {}

    ~NdjsonEnumerator() override { reportSkipped(); }

    bool next(RawEntry& out) override
    {
        if (m_finished)
            return false;
        if (m_sources.size() == 1) {
            if (advance(m_sources[0], out))
                return true;
            finish();
            return false;
        }
        if (!m_primed) {
            m_primed = true;
            for (Source& s : m_sources) {
                s.hasHead = advance(s, s.head);
                if (!s.hasHead && s.reader->error()) {
                    finish();
                    return false;
                }
            }
        }
        Source* first = nullptr;
        for (Source& s : m_sources) {
            if (s.hasHead && (!first || s.head.entry.date < first->head.entry.date))
                first = &s;
        }
        if (!first) {
            finish();
            return false;
        }
        out = std::move(first->head);
        first->hasHead = advance(*first, first->head);
        if (!first->hasHead && first->reader->error())
            m_stopAfterThis = true;
        if (m_stopAfterThis)
            finish();
        return true;
    }

    std::optional<StoreError> error() const override { return m_error; }

private:
    bool advance(Source& s, RawEntry& into)
    {
        const char* data;
        std::size_t size;
        bool tooLong;
        while (s.reader->nextLine(data, size, tooLong)) {
            if (tooLong) {
                ++s.malformed;
                continue;
            }
            switch (m_parser.parse(data, size, into)) {
            case LineStatus::blank:
                continue;
            case LineStatus::malformed:
                ++s.malformed;
                continue;
            case LineStatus::event:
                break;
            }
            const double date = into.entry.date;
            if (m_position > 0 && date < m_position)
                continue;
            if (m_predicate && !m_predicate->contains(date))
                continue;
            return true;
        }
        return false;
    }

    void finish()
    {
        m_finished = true;
        for (const Source& s : m_sources) {
            if (s.reader->error() && !m_error)
                m_error = s.reader->error();
        }
        reportSkipped();
    }

    void reportSkipped()
    {
        if (m_reported)
            return;
        m_reported = true;
        for (const Source& s : m_sources) {
            if (s.malformed > 0)
                qCInfo(lcLogFetcher, "Skipped %ld malformed lines in %s", s.malformed,
                       qUtf8Printable(s.reader->path()));
        }
    }

    std::vector<Source> m_sources;
    double m_position;
    std::optional<DateRange> m_predicate;
    Ndjson::LineParser m_parser;
    std::optional<StoreError> m_error;
    bool m_primed = false;
    bool m_finished = false;
    bool m_stopAfterThis = false;
    bool m_reported = false;
};

class NdjsonStore final : public LogStore {
public:
    explicit NdjsonStore(QStringList files) : m_files(std::move(files)) {}

    std::variant<std::unique_ptr<LogEnumerator>, StoreError>
    entries(double position, const std::optional<DateRange>& predicate) override
    {
        std::vector<Source> sources;
        sources.reserve(std::size_t(m_files.size()));
        for (const QString& f : m_files) {
            const int fd = ::open(QFile::encodeName(f).constData(), O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                return StoreError{QStringLiteral("Cannot open \"%1\": %2").arg(QFileInfo(f).fileName(), errnoText(errno))};
            Source s;
            s.reader = std::make_unique<LineReader>(f, fd);
            sources.push_back(std::move(s));
        }
        return std::unique_ptr<LogEnumerator>(new NdjsonEnumerator(std::move(sources), position, predicate));
    }

private:
    QStringList m_files;
};

}  // namespace

bool isNdjsonSource(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return !ndjsonFilesIn(path).isEmpty();
    return hasNdjsonExtension(info.fileName());
}

StoreOpenResult openNdjsonStore(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return StoreError{QStringLiteral("The file or folder does not exist.")};
    QStringList files;
    if (info.isDir()) {
        files = ndjsonFilesIn(path);
        if (files.isEmpty())
            return StoreError{QStringLiteral("The folder holds no .ndjson or .jsonl log files.")};
    } else {
        files.append(path);
    }
    // Refuse at once what cannot be read. A named pipe is only tested for
    // access: opening it here would wake, then abandon, a waiting writer.
    for (const QString& f : files) {
        const QByteArray native = QFile::encodeName(f);
        struct stat st {};
        int rc;
        if (::stat(native.constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
            rc = ::access(native.constData(), R_OK);
        } else {
            const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
            rc = fd < 0 ? -1 : ::close(fd);
        }
        if (rc != 0)
            return StoreError{QStringLiteral("Cannot open \"%1\": %2").arg(QFileInfo(f).fileName(), errnoText(errno))};
    }
    return std::unique_ptr<LogStore>(new NdjsonStore(std::move(files)));
}
