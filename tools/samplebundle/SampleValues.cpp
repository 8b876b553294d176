#include "tools/samplebundle/SampleValues.h"

#include <QtEndian>

#include <bit>
#include <cmath>
#include <cstring>

namespace SampleBundle {

namespace {

using Where = ArchiveWriter::Argument::Where;

// Values past this many bytes go into an oversize chunk, as logd does with
// messages that would crowd a firehose page.
constexpr qsizetype kOversizeBytes = 1024;

ArchiveWriter::Argument scalar(quint8 type, quint64 value, int size)
{
    char bytes[8];
    qToLittleEndian(value, bytes);
    return {type, Where::inlineData, QByteArray(bytes, size)};
}

// Strings, objects, data and wide strings, not numbers.
bool isTextual(const Op& op) { return op.category != Category::integer && op.category != Category::real; }

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

}  // namespace

quint64 mix(quint64 a, quint64 b) { return Rng(a ^ (b * 0xd1342543de82ef95ULL)).next(); }

namespace {

// The "{public, private, sensitive, mask.hash}" annotation at i: its tokens
// into op, i moved past its "}". False when it is not closed.
bool readAnnotation(std::string_view f, std::size_t& i, Op& op, bool& isPublic, bool& isPrivate)
{
    const std::size_t close = f.find('}', i);
    if (close == std::string_view::npos)
        return false;
    std::string_view rest = f.substr(i + 1, close - i - 1);
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string_view token = trimmed(rest.substr(0, comma));
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        isPublic |= token == "public";
        isPrivate |= token == "private";
        op.sensitive |= token == "sensitive";
        op.maskHash |= token == "mask.hash";
    }
    i = close + 1;
    return true;
}

bool isDecimal(char c) { return c >= '0' && c <= '9'; }

// Flags, width and precision: skipped, their stars and a written precision noted.
void readWidthAndPrecision(std::string_view f, std::size_t& i, Op& op)
{
    const std::size_t n = f.size();
    while (i < n && std::string_view("-+ #0'").find(f[i]) != std::string_view::npos)
        ++i;
    if (i < n && f[i] == '*') {
        op.widthStar = true;
        ++i;
    }
    while (i < n && isDecimal(f[i]))
        ++i;
    if (i >= n || f[i] != '.')
        return;
    if (++i < n && f[i] == '*') {
        op.precisionStar = true;
        ++i;
        return;
    }
    op.literalPrecision = 0;
    for (; i < n && isDecimal(f[i]); ++i)
        op.literalPrecision = op.literalPrecision * 10 + (f[i] - '0');
}

// Length modifiers, i moved past them: an "h" counts 0, an "l" 1, the others 2.
int readLengthModifiers(std::string_view f, std::size_t& i)
{
    int longs = 0;
    for (; i < f.size() && std::string_view("hlqjztL").find(f[i]) != std::string_view::npos; ++i)
        longs += f[i] == 'h' ? 0 : f[i] == 'l' ? 1
                                               : 2;
    return longs;
}

// The argument a conversion character takes after length modifiers worth
// `longs`. False when c is no conversion.
bool setConversion(char c, int longs, Op& op)
{
    if (std::string_view("diouxXDOUmcCp").find(c) != std::string_view::npos && c) {
        op.size = (longs > 0 && c != 'c') || c == 'D' || c == 'O' || c == 'U' || c == 'p' ? 8 : 4;
    } else if (std::string_view("aAeEfFgG").find(c) != std::string_view::npos && c) {
        op.category = Category::real;
        op.size = 8;
    } else if (c == 's' || c == '@') {
        op.category = longs == 1 ? Category::wide : Category::text;
        op.object = c == '@';
    } else if (c == 'S') {
        op.category = Category::wide;
    } else if (c == 'P') {
        op.category = Category::data;
    } else {
        return false;
    }
    return true;
}

}  // namespace

std::vector<Op> parseFormat(std::string_view f, QString* error)
{
    std::vector<Op> ops;
    const std::size_t n = f.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (f[i] != '%')
            continue;
        if (++i < n && f[i] == '%')
            continue;
        Op op;
        bool isPublic = false, isPrivate = false;
        if (i < n && f[i] == '{' && !readAnnotation(f, i, op, isPublic, isPrivate))
            break;
        readWidthAndPrecision(f, i, op);
        const int longs = readLengthModifiers(f, i);
        if (!setConversion(i < n ? f[i] : '\0', longs, op)) {
            *error = QStringLiteral("\"%1\": no conversion at %2").arg(QLatin1String(f.data(), qsizetype(n))).arg(i);
            return {};
        }
        // os_log's default: scalars are shown, strings, objects and data are not.
        const bool scalarValue = op.category == Category::integer || op.category == Category::real;
        op.isPrivate = op.sensitive || isPrivate || (!isPublic && !scalarValue);
        ops.push_back(op);
    }
    return ops;
}

Values::Values() { addSources(); }

Category Values::categoryOf(Gen gen)
{
    switch (gen) {
    case Gen::real: return Category::real;
    case Gen::text:
    case Gen::textOrNull:
    case Gen::hexText:
    case Gen::uuidText:
    case Gen::otherName: return Category::text;
    case Gen::timespec:
    case Gen::timeval:
    case Gen::random16:
    case Gen::ip6:
    case Gen::sockaddr: return Category::data;
    case Gen::wide: return Category::wide;
    default: return Category::integer;
    }
}

std::optional<int> Values::source(const QByteArray& name, Category category, QString* error)
{
    if (name.startsWith('=')) {
        bool ok = false;
        const qint64 v = name.mid(1).toLongLong(&ok);
        if (ok) {
            m_sources.push_back({name, Gen::literal, 0, 0, {v}, {}});
            return int(m_sources.size() - 1);
        }
    }
    for (std::size_t i = 0; i < m_sources.size(); ++i) {
        const Source& s = m_sources[i];
        if (s.name != name)
            continue;
        const Category have = categoryOf(s.gen);
        // Numbers print as floating point too; any bytes print as data.
        const bool fits = have == category || s.gen == Gen::same ||
                          (category == Category::real && have == Category::integer) ||
                          (category == Category::data && have == Category::text);
        if (fits)
            return int(i);
        *error = QStringLiteral("value \"%1\" does not fit its conversion").arg(QString::fromLatin1(name));
        return std::nullopt;
    }
    *error = QStringLiteral("no value named \"%1\"").arg(QString::fromLatin1(name));
    return std::nullopt;
}

namespace {

// `digits` hex digits, NUL-terminated; a UUID's text with its dashes when `uuid`.
QByteArray hexText(int digits, bool uuid, Rng& r)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    QByteArray bytes(digits + (uuid ? 4 : 0) + 1, Qt::Uninitialized);
    char* out = bytes.data();
    quint64 bits = r.next();
    for (int d = 0; d < digits; ++d) {
        if (d % 16 == 0 && d)
            bits = r.next();
        if (uuid && (d == 8 || d == 12 || d == 16 || d == 20))
            *out++ = '-';
        *out++ = kHex[(bits >> (4 * (d % 16))) & 15];
    }
    *out = '\0';
    return bytes;
}

// A timespec or a timeval up to ten minutes before `wall`.
QByteArray timeBytes(bool timespec, double wall, Rng& r)
{
    char b[16] = {};
    qToLittleEndian<qint64>(qint64(wall) - qint64(r.below(600)), b);
    if (timespec)
        qToLittleEndian<qint64>(qint64(r.below(1000000000)), b + 8);
    else
        qToLittleEndian<qint32>(qint32(r.below(1000000)), b + 8);
    return QByteArray(b, 16);
}

// An in_addr_t in a few common networks: the address bytes in memory order.
qint64 ip4(Rng& r)
{
    static constexpr quint8 kNets[][3] = {{192, 168, 1}, {10, 0, 1}, {17, 253, 144}, {142, 250, 74}, {104, 16, 132}};
    const quint8* net = kNets[r.below(std::size(kNets))];
    return qint64(net[0] | net[1] << 8 | net[2] << 16 | quint32(2 + r.below(250)) << 24);
}

// A link-local fe80::/64 address or a global one into a[16].
void ip6(Rng& r, char* a)
{
    if (r.chance(0.5)) {
        a[0] = char(0xfe);
        a[1] = char(0x80);
    } else {
        qToBigEndian<quint64>(0x2603800016a2b300ULL | r.below(0x100), a);
    }
    qToLittleEndian(r.next(), a + 8);
}

// A sockaddr_in of an IPv4 address, or a sockaddr_in6 of the IPv6 address a.
QByteArray sockaddr(const char* a, Rng& r)
{
    const quint16 port = quint16(r.chance(0.5) ? 443 : 53);
    if (r.chance(0.6)) {
        char b[16] = {16, 2};
        qToBigEndian(port, b + 2);
        qToLittleEndian(quint32(ip4(r)), b + 4);
        return QByteArray(b, 16);
    }
    char b[28] = {28, 30};
    qToBigEndian(port, b + 2);
    std::memcpy(b + 8, a, 16);
    return QByteArray(b, 28);
}

}  // namespace

void Values::generate(const Source& s, Context& c, Rng& r, Value& v) const
{
    const auto pickOther = [&] {
        if (c.other < 0)
            c.other = int(r.below(c.pids->size() - 1)) + 1;  // not the kernel
    };
    v.null = false;
    switch (s.gen) {
    case Gen::literal: v.i = s.ints[0]; break;
    case Gen::range: v.i = qint64(s.lo) + qint64(r.below(quint64(s.hi - s.lo) + 1)); break;
    case Gen::logRange: v.i = qint64(std::exp(std::log(s.lo) + r.uniform() * (std::log(s.hi) - std::log(s.lo)))); break;
    case Gen::choice: v.i = s.ints[r.below(s.ints.size())]; break;
    case Gen::real: v.d = s.lo + r.uniform() * (s.hi - s.lo); return;
    case Gen::textOrNull:
        if (s.texts.empty() || r.chance(0.6)) {
            v.bytes.clear();
            v.null = true;
            return;
        }
        [[fallthrough]];
    case Gen::text:
    case Gen::wide: v.bytes = s.texts[r.below(s.texts.size())]; return;
    case Gen::hexText: v.bytes = hexText(int(s.lo), false, r); return;
    case Gen::uuidText: v.bytes = hexText(32, true, r); return;
    case Gen::otherPid:
        pickOther();
        v.i = (*c.pids)[std::size_t(c.other)];
        break;
    case Gen::otherName:
        pickOther();
        v.bytes = (*c.names)[std::size_t(c.other)];
        return;
    case Gen::selfPid: v.i = c.selfPid; break;
    case Gen::time: v.i = qint64(c.wall + s.lo) + qint64(r.below(quint64(s.hi - s.lo) + 1)); break;
    case Gen::timespec:
    case Gen::timeval: v.bytes = timeBytes(s.gen == Gen::timespec, c.wall, r); return;
    case Gen::random16: {
        char b[16];
        qToLittleEndian(r.next(), b);
        qToLittleEndian(r.next(), b + 8);
        v.bytes = QByteArray(b, 16);
        return;
    }
    case Gen::ip4: v.i = ip4(r); break;
    case Gen::ip6:
    case Gen::sockaddr: {
        char a[16] = {};
        ip6(r, a);
        v.bytes = s.gen == Gen::ip6 ? QByteArray(a, 16) : sockaddr(a, r);
        return;
    }
    case Gen::pointer: v.i = qint64(0x600000000000ULL | (r.below(0x40000000) << 4)); break;
    case Gen::length:
    case Gen::same: break;
    }
    v.d = double(v.i);
}

bool Values::encode(const std::vector<Op>& ops, const std::vector<int>& sources, bool privateShown, Context& c, Rng& r,
                    std::vector<ArchiveWriter::Argument>& out) const
{
    qsizetype bulk = 0;
    std::size_t next = 0;
    Value v, star;
    for (const Op& op : ops) {
        const int width = op.widthStar ? sources[next++] : -1;
        const int precision = op.precisionStar ? sources[next++] : -1;
        const Source& main = m_sources[std::size_t(sources[next++])];
        if (main.gen != Gen::same)
            generate(main, c, r, v);
        encodeStars(op, width, precision, v, c, r, star, out);
        bulk += encodeValue(op, v, main.gen == Gen::real, privateShown, out);
    }
    return bulk > kOversizeBytes;
}

void Values::encodeStars(const Op& op, int width, int precision, const Value& v, Context& c, Rng& r, Value& star,
                         std::vector<ArchiveWriter::Argument>& out) const
{
    const quint8 starType = isTextual(op) ? 0x12 : 0x10;
    for (const int s : {width, precision}) {
        if (s < 0)
            continue;
        const Source& source = m_sources[std::size_t(s)];
        if (source.gen == Gen::length) {
            star.i = v.bytes.size() - (op.category == Category::text ? 1 : 0);
        } else {
            generate(source, c, r, star);
        }
        out.push_back(scalar(starType, quint64(star.i), 4));
    }
    if (!op.precisionStar && op.literalPrecision >= 0 && op.category != Category::real)
        out.push_back(scalar(starType, quint64(op.literalPrecision), 4));
}

qsizetype Values::encodeValue(const Op& op, const Value& v, bool realSource, bool privateShown,
                              std::vector<ArchiveWriter::Argument>& out)
{
    if (op.maskHash) {  // the hash is taken when logging and kept in the clear
        out.push_back({0xf2, Where::valueData, v.bytes});
        return v.bytes.size();
    }
    const bool hidden = op.sensitive || (op.isPrivate && !privateShown);
    if (!isTextual(op)) {
        const quint64 bits = op.category == Category::real ? std::bit_cast<quint64>(realSource ? v.d : double(v.i))
                                                           : quint64(v.i);
        out.push_back(scalar(hidden ? 0x01 : 0x00, hidden ? 0 : bits, op.size));
        return 0;
    }
    const quint8 base = op.category == Category::text ? (op.object ? 0x40 : 0x20) : 0x30;
    if (!op.isPrivate) {
        // A NULL pointer is an empty range.
        out.push_back({quint8(base | 0x2), Where::valueData, v.null ? QByteArray() : v.bytes});
        return v.bytes.size();
    }
    if (hidden) {
        out.push_back({quint8(base | (op.sensitive ? 0x5 : 0x1)), Where::privateData, {}});
        return 0;
    }
    out.push_back({quint8(base | 0x1), Where::privateData, v.bytes});
    return v.bytes.size();
}

QByteArray Values::binaryPlist(const std::vector<std::pair<QByteArray, QByteArray>>& entries)
{
    QByteArray out("bplist00");
    std::vector<qsizetype> offsets;
    const auto marker = [&](quint8 type, qsizetype count) {
        offsets.push_back(out.size());
        if (count < 15) {
            out.append(char(type | count));
        } else {
            out.append(char(type | 0xf));
            out.append(count < 256 ? '\x10' : '\x11');
            if (count >= 256)
                out.append(char(count >> 8));
            out.append(char(count & 0xff));
        }
    };
    const qsizetype n = qsizetype(entries.size());  // at most 127: one-byte references
    marker(0xd0, n);
    for (qsizetype i = 0; i < 2 * n; ++i)
        out.append(char(1 + i));
    for (const bool keys : {true, false}) {
        for (const auto& [key, value] : entries) {
            const QByteArray& s = keys ? key : value;
            marker(0x50, s.size());
            out.append(s);
        }
    }
    const qsizetype table = out.size();
    const int offsetSize = table < 256 ? 1 : 2;
    for (const qsizetype o : offsets) {
        if (offsetSize == 2)
            out.append(char(o >> 8));
        out.append(char(o & 0xff));
    }
    out.append(QByteArray(6, '\0'));
    out.append(char(offsetSize)).append('\x01');
    char be[8];
    for (const quint64 v : {quint64(offsets.size()), quint64(0), quint64(table)}) {
        qToBigEndian(v, be);
        out.append(be, 8);
    }
    return out;
}

}  // namespace SampleBundle
