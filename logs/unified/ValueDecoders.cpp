#include "logs/unified/ValueDecoders.h"

#include "logs/unified/DarwinNames.h"
#include "logs/unified/MessageFormat.h"

#include <QDateTime>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>

namespace Unified {
namespace {

using namespace std::string_view_literals;

struct Named {
    std::string_view name;
    Decoder decoder;
};

constexpr std::array kNames = {
    Named{"bool"sv, Decoder::boolLower},
    Named{"BOOL"sv, Decoder::boolUpper},
    Named{"bitrate"sv, Decoder::bitrate},
    Named{"iec-bitrate"sv, Decoder::iecBitrate},
    Named{"bytes"sv, Decoder::bytes},
    Named{"iec-bytes"sv, Decoder::iecBytes},
    Named{"darwin.errno"sv, Decoder::errnoValue},
    Named{"errno"sv, Decoder::errnoValue},
    Named{"darwin.mode"sv, Decoder::mode},
    Named{"darwin.signal"sv, Decoder::signal},
    Named{"in_addr"sv, Decoder::inAddr},
    Named{"network:in_addr"sv, Decoder::inAddr},
    Named{"in6_addr"sv, Decoder::in6Addr},
    Named{"network:in6_addr"sv, Decoder::in6Addr},
    Named{"sockaddr"sv, Decoder::sockaddr},
    Named{"network:sockaddr"sv, Decoder::sockaddr},
    Named{"time_t"sv, Decoder::timeT},
    Named{"timespec"sv, Decoder::timespec},
    Named{"timeval"sv, Decoder::timeval},
    Named{"uuid_t"sv, Decoder::uuid},
};

constexpr char kHexUpper[] = "0123456789ABCDEF";

quint64 readLE(const char* p, std::size_t size)
{
    quint64 v = 0;
    for (std::size_t i = size; i-- > 0;)
        v = (v << 8) | quint8(p[i]);
    return v;
}

void appendSigned(std::string& out, qint64 v)
{
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

void appendUnsigned(std::string& out, quint64 v)
{
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

void appendInteger(std::string& out, const DecoderInput& in)
{
    if (in.isSigned)
        appendSigned(out, qint64(in.integer));
    else
        appendUnsigned(out, in.integer);
}

// Three significant digits at most: "4.72 kB", "45.1 kB", "123 kB"; below
// one step the plain count. A value that would round up to 1000 of a unit
// is shown in the next one ("0.98 MiB", not "1000 KiB").
void appendScaled(std::string& out, const DecoderInput& in, bool iec, std::string_view plainUnit,
                  const std::array<std::string_view, 6>& units)
{
    const bool negative = in.isSigned && qint64(in.integer) < 0;
    const quint64 magnitude = negative ? 0 - in.integer : in.integer;
    const double step = iec ? 1024 : 1000;
    if (double(magnitude) < step) {
        appendInteger(out, in);
        out += ' ';
        out += plainUnit;
        return;
    }
    double x = double(magnitude) / step;
    std::size_t unit = 0;
    while (x >= 999.5 && unit + 1 < units.size()) {
        x /= step;
        ++unit;
    }
    const int decimals = x < 9.995 ? 2 : x < 99.95 ? 1
                                                   : 0;
    char buf[48];
    const auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, decimals);
    if (negative)
        out += '-';
    out.append(buf, r.ptr);
    out += ' ';
    out += units[unit];
}

void appendDateTime(std::string& out, qint64 seconds)
{
    const QDateTime t = QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
    if (!t.isValid()) {
        out += kInvalidValueText;
        return;
    }
    out += t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
}

void appendFraction(std::string& out, qint64 value, int digits)
{
    char buf[16];
    const int n = std::snprintf(buf, sizeof buf, ".%0*lld", digits, static_cast<long long>(value));
    out.append(buf, std::size_t(n));
}

void appendIpv4(std::string& out, const char* p)
{
    for (int i = 0; i < 4; ++i) {
        if (i)
            out += '.';
        appendUnsigned(out, quint8(p[i]));
    }
}

// RFC 5952: lower-case groups without leading zeros, the longest run of two
// or more zero groups (the first of equals) as "::", and the IPv4-mapped
// form "::ffff:1.2.3.4".
void appendIpv6(std::string& out, const char* p)
{
    static constexpr char kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, '\xff', '\xff'};
    if (std::memcmp(p, kMapped, sizeof kMapped) == 0) {
        out += "::ffff:";
        appendIpv4(out, p + 12);
        return;
    }
    quint16 groups[8];
    for (int i = 0; i < 8; ++i)
        groups[i] = quint16(quint8(p[2 * i]) << 8 | quint8(p[2 * i + 1]));
    int bestStart = -1, bestLength = 1;
    for (int i = 0; i < 8;) {
        if (groups[i] != 0) {
            ++i;
            continue;
        }
        int j = i;
        while (j < 8 && groups[j] == 0)
            ++j;
        if (j - i > bestLength) {
            bestStart = i;
            bestLength = j - i;
        }
        i = j;
    }
    for (int i = 0; i < 8; ++i) {
        if (i == bestStart) {
            out += "::";
            i += bestLength - 1;
            continue;
        }
        if (i > 0 && i != bestStart + bestLength)
            out += ':';
        char buf[8];
        const auto r = std::to_chars(buf, buf + sizeof buf, groups[i], 16);
        out.append(buf, r.ptr);
    }
}

bool appendSockaddr(std::string& out, std::string_view b)
{
    if (b.size() < 2)
        return false;
    // The record's own length (sa_len) bounds it inside the bytes given.
    const std::size_t declared = quint8(b[0]);
    const std::size_t size = declared ? std::min(declared, b.size()) : b.size();
    const int family = quint8(b[1]);
    if (family == 2 && size >= 8) {  // AF_INET: the address only, as the log tool shows it
        appendIpv4(out, b.data() + 4);
    } else if (family == 30 && size >= 24) {  // AF_INET6 on Darwin
        appendIpv6(out, b.data() + 8);
    } else if (family == 2 || family == 30) {
        out += kInvalidValueText;
    } else {
        out += "<decode: unsupported address family ";
        appendUnsigned(out, quint64(family));
        out += '>';
    }
    return true;
}

void appendMode(std::string& out, quint64 mode)
{
    char text[10];
    switch (mode & 0170000) {
    case 0140000: text[0] = 's'; break;
    case 0120000: text[0] = 'l'; break;
    case 0060000: text[0] = 'b'; break;
    case 0040000: text[0] = 'd'; break;
    case 0020000: text[0] = 'c'; break;
    case 0010000: text[0] = 'p'; break;
    case 0160000: text[0] = 'w'; break;
    case 0100000:
    case 0: text[0] = '-'; break;  // bare permission bits read as a regular file's
    default: text[0] = '?'; break;
    }
    static constexpr char kLetters[] = "rwxrwxrwx";
    for (int i = 0; i < 9; ++i)
        text[1 + i] = mode & (0400u >> i) ? kLetters[i] : '-';
    if (mode & 04000)
        text[3] = text[3] == 'x' ? 's' : 'S';
    if (mode & 02000)
        text[6] = text[6] == 'x' ? 's' : 'S';
    if (mode & 01000)
        text[9] = text[9] == 'x' ? 't' : 'T';
    out.append(text, sizeof text);
}

void appendErrno(std::string& out, const DecoderInput& in)
{
    const qint64 number = qint64(in.integer);  // unsigned values past qint64 match nothing
    const std::string_view text = Darwin::errnoText(number);
    if (!text.empty()) {
        out += text;
        return;
    }
    out += number == 0 ? "Undefined error: "sv : "Unknown error: "sv;  // macOS's strerror
    appendInteger(out, in);
}

void appendUuid(std::string& out, std::string_view b)
{
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            out += '-';
        out += kHexUpper[quint8(b[i]) >> 4];
        out += kHexUpper[quint8(b[i]) & 15];
    }
}

// struct timespec and struct timeval of 64-bit Darwin: 8 bytes of seconds,
// then nanoseconds (8 bytes) or microseconds (4 bytes).
void appendTimeStruct(std::string& out, std::string_view b, bool nanos)
{
    const qint64 seconds = qint64(readLE(b.data(), 8));
    const qint64 fraction = nanos ? qint64(readLE(b.data() + 8, 8)) : qint32(readLE(b.data() + 8, 4));
    if (fraction < 0 || fraction >= (nanos ? 1000000000 : 1000000)) {
        out += kInvalidValueText;
        return;
    }
    appendDateTime(out, seconds);
    appendFraction(out, fraction, nanos ? 9 : 6);
}

// The decoders of bytes (and "none"): whether the value was shown; nothing for the others.
std::optional<bool> appendBytesDecoded(std::string& out, Decoder decoder, const DecoderInput& in)
{
    const std::string_view b = in.bytes;
    switch (decoder) {
    case Decoder::none:
        return false;
    case Decoder::inAddr:
        // The address's bytes in memory order, from an in_addr_t scalar or the data.
        if (in.scalar ? b.size() < 4 : b.size() != 4)
            return false;
        appendIpv4(out, b.data());
        return true;
    case Decoder::in6Addr:
        if (in.scalar || b.size() != 16)
            return false;
        appendIpv6(out, b.data());
        return true;
    case Decoder::sockaddr:
        return !in.scalar && appendSockaddr(out, b);
    case Decoder::uuid:
        if (in.scalar || b.size() != 16)
            return false;
        appendUuid(out, b);
        return true;
    case Decoder::timespec:
    case Decoder::timeval:
        if (in.scalar || b.size() != 16)
            return false;
        appendTimeStruct(out, b, decoder == Decoder::timespec);
        return true;
    default:
        return std::nullopt;
    }
}

// Unknown numbers read like macOS's strsignal: "[40: Unknown signal: 40]".
void appendSignal(std::string& out, const DecoderInput& in)
{
    const std::string_view name = Darwin::signalName(qint64(in.integer));
    out += '[';
    if (name.empty()) {
        appendInteger(out, in);
        out += ": Unknown signal: "sv;
        appendInteger(out, in);
    } else {
        out += name;
        out += ": "sv;
        out += Darwin::signalText(qint64(in.integer));
    }
    out += ']';
}

// The decoders of a scalar's integer: whether the value was shown.
bool appendIntegerDecoded(std::string& out, Decoder decoder, const DecoderInput& in)
{
    switch (decoder) {
    case Decoder::boolLower:
        out += in.integer ? "true"sv : "false"sv;
        break;
    case Decoder::boolUpper:
        out += in.integer ? "YES"sv : "NO"sv;
        break;
    case Decoder::bitrate:
        appendScaled(out, in, false, "bps"sv, {"kbps"sv, "Mbps"sv, "Gbps"sv, "Tbps"sv, "Pbps"sv, "Ebps"sv});
        break;
    case Decoder::iecBitrate:
        appendScaled(out, in, true, "bps"sv, {"Kibps"sv, "Mibps"sv, "Gibps"sv, "Tibps"sv, "Pibps"sv, "Eibps"sv});
        break;
    case Decoder::bytes:
        appendScaled(out, in, false, "bytes"sv, {"kB"sv, "MB"sv, "GB"sv, "TB"sv, "PB"sv, "EB"sv});
        break;
    case Decoder::iecBytes:
        appendScaled(out, in, true, "bytes"sv, {"KiB"sv, "MiB"sv, "GiB"sv, "TiB"sv, "PiB"sv, "EiB"sv});
        break;
    case Decoder::errnoValue:
        out += '[';
        appendInteger(out, in);
        out += ": "sv;
        appendErrno(out, in);
        out += ']';
        break;
    case Decoder::mode:
        appendMode(out, in.integer);
        break;
    case Decoder::signal:
        appendSignal(out, in);
        break;
    case Decoder::timeT:
        appendDateTime(out, in.isSigned ? qint64(in.integer) : qint64(std::min<quint64>(in.integer, INT64_MAX)));
        break;
    default:
        return false;
    }
    return true;
}

}  // namespace

Decoder decoderNamed(std::string_view token)
{
    for (const Named& n : kNames)
        if (n.name == token)
            return n.decoder;
    return Decoder::none;
}

void appendErrnoText(std::string& out, qint64 number)
{
    appendErrno(out, DecoderInput{{}, true, true, quint64(number)});
}

void appendBase64(std::string& out, std::string_view bytes)
{
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t left = std::min<std::size_t>(bytes.size() - i, 3);
        quint32 v = quint32(quint8(bytes[i])) << 16;
        if (left > 1)
            v |= quint32(quint8(bytes[i + 1])) << 8;
        if (left > 2)
            v |= quint8(bytes[i + 2]);
        const char quad[4] = {kAlphabet[v >> 18], kAlphabet[v >> 12 & 63], left > 1 ? kAlphabet[v >> 6 & 63] : '=',
                              left > 2 ? kAlphabet[v & 63] : '='};
        out.append(quad, 4);
    }
}

bool appendDecoded(std::string& out, Decoder decoder, const DecoderInput& in)
{
    if (const std::optional<bool> done = appendBytesDecoded(out, decoder, in))
        return *done;
    // The rest read the integer of a scalar.
    return in.scalar && appendIntegerDecoded(out, decoder, in);
}

}  // namespace Unified
