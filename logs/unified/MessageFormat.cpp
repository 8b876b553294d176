#include "logs/unified/MessageFormat.h"

#include "logs/unified/ValueDecoders.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace Unified {
namespace {

using namespace std::string_view_literals;
using Kind = Argument::Kind;

constexpr int kMaxField = 4096;  // width and precision, so that no conversion explodes
// Text rendered past the cap, so that a value cut there still pads as a whole one.
constexpr std::size_t kSlack = 4 * kMaxField + 16;
constexpr std::string_view kEllipsis = "…";
constexpr std::string_view kNullText = "(null)";
constexpr std::string_view kConversions = "diuoxXcCsS@pPaAeEfFgGDOUm";

enum Flag : quint8 { alternate = 1, zeroPad = 2, leftAlign = 4, spaceSign = 8, plusSign = 16 };

// One "%..." operator of the format, as parsed.
struct Operator {
    std::string_view annotations;
    int width = 0;
    int precision = -1;  // none
    int lengthBits = 32;
    quint8 flags = 0;
    bool widthStar = false;
    bool precisionStar = false;
    bool wide = false;  // a single "l", which makes c and s wide
    char conversion = 0;
};

// Reads the operator after its "%" at format[i], leaving i past what it read.
// False when it is none we show a value for ("%n", an unknown letter, the
// format ending inside it): the caller prints that text unchanged.
bool parseOperator(std::string_view f, std::size_t& i, Operator& s)
{
    const std::size_t n = f.size();
    if (i < n && f[i] == '{') {
        const std::size_t close = f.find('}', i + 1);
        if (close == std::string_view::npos) {
            i = n;
            return false;
        }
        s.annotations = f.substr(i + 1, close - i - 1);
        i = close + 1;
    }
    for (; i < n; ++i) {
        const char c = f[i];
        if (c == '#')
            s.flags |= alternate;
        else if (c == '0')
            s.flags |= zeroPad;
        else if (c == '-')
            s.flags |= leftAlign;
        else if (c == ' ')
            s.flags |= spaceSign;
        else if (c == '+')
            s.flags |= plusSign;
        else if (c != '\'')  // grouping: the C locale has none
            break;
    }
    const auto number = [&](int& into, bool& star) {
        if (i < n && f[i] == '*') {
            star = true;
            ++i;
            return;
        }
        int v = 0;
        for (; i < n && f[i] >= '0' && f[i] <= '9'; ++i)
            v = std::min(v * 10 + (f[i] - '0'), kMaxField);
        into = v;
    };
    number(s.width, s.widthStar);
    if (i < n && f[i] == '.') {
        ++i;
        number(s.precision, s.precisionStar);
    }
    if (i < n) {
        const char c = f[i];
        if (c == 'h' || c == 'l') {
            const bool doubled = i + 1 < n && f[i + 1] == c;
            i += doubled ? 2 : 1;
            s.lengthBits = c == 'l' ? 64 : doubled ? 8 : 16;
            s.wide = c == 'l' && !doubled;
        } else if (c == 'q' || c == 'j' || c == 'z' || c == 't' || c == 'L') {
            s.lengthBits = 64;
            ++i;
        }
    }
    if (i >= n)
        return false;
    char c = f[i++];
    if (kConversions.find(c) == std::string_view::npos)
        return false;
    if (c == 'D' || c == 'O' || c == 'U') {  // %ld %lo %lu
        c = char(c | 0x20);
        s.lengthBits = 64;
    } else if (s.wide && (c == 'c' || c == 's')) {
        c = char(c - 0x20);
    }
    s.conversion = c;
    return true;
}

struct Annotations {
    bool maskHash = false;
    Decoder decoder = Decoder::none;
};

// Privacy ("public", "private", "sensitive") and names ("name=X", "Name:X")
// change nothing for a value that is present, so only decoders count here.
Annotations parseAnnotations(std::string_view text)
{
    Annotations a;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        std::string_view token = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        while (!token.empty() && (token.front() == ' ' || token.front() == '\t'))
            token.remove_prefix(1);
        while (!token.empty() && (token.back() == ' ' || token.back() == '\t'))
            token.remove_suffix(1);
        if (token == "mask.hash"sv)
            a.maskHash = true;
        else if (a.decoder == Decoder::none)
            a.decoder = decoderNamed(token);
    }
    return a;
}

bool isScalarSize(std::size_t size)
{
    return size == 1 || size == 2 || size == 4 || size == 8;
}

bool isNumber(const Argument& a)
{
    return (a.kind == Kind::scalar || a.kind == Kind::precision) && isScalarSize(a.bytes.size());
}

bool isText(const Argument& a)
{
    return a.kind == Kind::string || a.kind == Kind::object || a.kind == Kind::data;
}

// The argument's bytes cut to the length modifier's size and, for a signed
// conversion, sign-extended as C would; never wider than the argument itself.
quint64 integerOf(std::string_view b, int lengthBits, bool isSigned)
{
    quint64 v = 0;
    for (std::size_t i = b.size(); i-- > 0;)
        v = (v << 8) | quint8(b[i]);
    const int bits = std::min(int(b.size()) * 8, lengthBits);
    if (bits < 64) {
        const quint64 mask = (quint64(1) << bits) - 1;
        v &= mask;
        if (isSigned && (v >> (bits - 1) & 1))
            v |= ~mask;
    }
    return v;
}

// Where to cut `text` to at most `limit` bytes without halving a UTF-8 sequence.
std::size_t utf8Cut(std::string_view text, std::size_t limit)
{
    if (limit >= text.size())
        return text.size();
    std::size_t lead = limit;
    while (lead > 0 && limit - lead < 3 && (quint8(text[lead]) & 0xC0) == 0x80)
        --lead;
    const quint8 b = quint8(text[lead]);
    const std::size_t length = b >= 0xF0 && b < 0xF8 ? 4 : b >= 0xE0 && b < 0xF0 ? 3 : b >= 0xC0 && b < 0xE0 ? 2 : 1;
    return lead + length > limit ? lead : limit;
}

void appendUtf8(std::string& out, quint32 cp)
{
    if (cp >= 0xD800 && (cp < 0xE000 || cp > 0x10FFFF))
        cp = 0xFFFD;
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | cp >> 6);
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | cp >> 12);
        out += char(0x80 | (cp >> 6 & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | cp >> 18);
        out += char(0x80 | (cp >> 12 & 0x3F));
        out += char(0x80 | (cp >> 6 & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// Pads the field written from `start` to the width, counted in characters.
void pad(std::string& out, std::size_t start, const Operator& s)
{
    std::size_t have = 0;
    for (std::size_t i = start; i < out.size() && have < std::size_t(s.width); ++i)
        have += (quint8(out[i]) & 0xC0) != 0x80;
    if (have >= std::size_t(s.width))
        return;
    if (s.flags & leftAlign)
        out.append(s.width - have, ' ');
    else
        out.insert(start, s.width - have, ' ');
}

// A number as printf lays it out: sign, prefix ("0x"), zeros, digits.
void appendNumber(std::string& out, const Operator& s, std::string_view sign, std::string_view prefix,
                  std::size_t zeros, std::string_view body, bool zeroPadAllowed)
{
    const std::size_t length = sign.size() + prefix.size() + zeros + body.size();
    std::size_t fill = std::size_t(s.width) > length ? s.width - length : 0;
    const bool left = s.flags & leftAlign;
    if (fill && !left && (s.flags & zeroPad) && zeroPadAllowed) {
        zeros += fill;
        fill = 0;
    }
    if (!left)
        out.append(fill, ' ');
    out += sign;
    out += prefix;
    out.append(zeros, '0');
    out += body;
    if (left)
        out.append(fill, ' ');
}

std::string_view signOf(const Operator& s, bool negative)
{
    return negative ? "-"sv : (s.flags & plusSign) ? "+"sv : (s.flags & spaceSign) ? " "sv : ""sv;
}

void appendInteger(std::string& out, const Operator& s, quint64 raw)
{
    const char c = s.conversion;
    const bool isSigned = c == 'd' || c == 'i';
    const bool negative = isSigned && qint64(raw) < 0;
    const quint64 magnitude = negative ? 0 - raw : raw;
    char digits[24];
    std::size_t count = 0;
    if (s.precision != 0 || magnitude != 0) {
        const int base = c == 'o' ? 8 : c == 'x' || c == 'X' || c == 'p' ? 16 : 10;
        count = std::size_t(std::to_chars(digits, digits + sizeof digits, magnitude, base).ptr - digits);
        if (c == 'X')
            std::transform(digits, digits + count, digits, [](char d) { return d >= 'a' ? char(d - 0x20) : d; });
    }
    std::size_t zeros = s.precision > int(count) ? s.precision - count : 0;
    std::string_view prefix;
    if (c == 'p')
        prefix = "0x"sv;
    else if ((s.flags & alternate) && c == 'o' && zeros == 0 && (count == 0 || digits[0] != '0'))
        zeros = 1;
    else if ((s.flags & alternate) && magnitude && (c == 'x' || c == 'X'))
        prefix = c == 'x' ? "0x"sv : "0X"sv;
    appendNumber(out, s, isSigned ? signOf(s, negative) : ""sv, prefix, zeros, {digits, count}, s.precision < 0);
}

// Through std::to_chars, which is printf in the C locale whatever locale the
// application runs in (Qt sets it from the environment).
void appendFloat(std::string& out, const Operator& s, double v)
{
    const char c = char(s.conversion | 0x20);
    const bool upper = s.conversion != c;
    if (std::isnan(v)) {  // Darwin's printf: no sign, no zeros
        appendNumber(out, s, ""sv, ""sv, 0, upper ? "NAN"sv : "nan"sv, false);
        return;
    }
    const std::string_view sign = signOf(s, std::signbit(v));
    v = std::fabs(v);
    if (std::isinf(v)) {
        appendNumber(out, s, sign, ""sv, 0, upper ? "INF"sv : "inf"sv, false);
        return;
    }
    const int precision = s.precision < 0 ? 6 : s.precision;
    char buf[kMaxField + 512];  // "%.4096f" of the largest double fits
    std::to_chars_result r{};
    if (c == 'a') {
        r = s.precision < 0 ? std::to_chars(buf, buf + sizeof buf, v, std::chars_format::hex)
                            : std::to_chars(buf, buf + sizeof buf, v, std::chars_format::hex, precision);
    } else if (c == 'g' && (s.flags & alternate)) {
        // "%#g" keeps its trailing zeros: the style %g picks, with all P digits.
        const int p = precision ? precision : 1;
        r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, p - 1);
        const char* e = std::find(buf, r.ptr, 'e');
        int exponent = 0;
        if (e != r.ptr)
            std::from_chars(e + 1 + (e[1] == '+'), r.ptr, exponent);
        if (p > exponent && exponent >= -4)
            r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, p - 1 - exponent);
    } else {
        const auto format = c == 'f' ? std::chars_format::fixed
                            : c == 'e' ? std::chars_format::scientific
                                       : std::chars_format::general;
        r = std::to_chars(buf, buf + sizeof buf, v, format, precision);
    }
    if (r.ec != std::errc()) {
        out += kInvalidValueText;
        return;
    }
    char* end = r.ptr;
    if ((s.flags & alternate) && std::find(buf, end, '.') == end) {  // "#": always a decimal point
        char* at = std::find_if(buf, end, [](char d) { return d == 'e' || d == 'p'; });
        std::memmove(at + 1, at, std::size_t(end - at));
        *at = '.';
        ++end;
    }
    if (upper)
        std::transform(buf, end, buf, [](char d) { return d >= 'a' && d <= 'z' ? char(d - 0x20) : d; });
    appendNumber(out, s, sign, c == 'a' ? (upper ? "0X"sv : "0x"sv) : ""sv, 0,
                 std::string_view(buf, std::size_t(end - buf)), true);
}

class Composer {
public:
    Composer(std::span<const Argument> arguments, std::size_t reserve) : m_arguments(arguments)
    {
        m_out.reserve(reserve);
    }

    std::string& out() { return m_out; }

    // Bytes worth rendering before the cap ends the message.
    std::size_t room() const
    {
        return (m_out.size() < kMaxMessageBytes ? kMaxMessageBytes - m_out.size() : 0) + kSlack;
    }

    void convert(Operator s)
    {
        // A width or precision taken by "*"; a negative width left-aligns,
        // a negative precision counts as none.
        const Argument* failed = nullptr;
        if (s.widthStar && readStar(s.width, failed) && s.width < 0) {
            s.flags |= leftAlign;
            s.width = -s.width;
        }
        if (s.precisionStar)
            readStar(s.precision, failed);
        else if (m_next < m_arguments.size() && m_arguments[m_next].kind == Kind::precision)
            ++m_next;  // the compiler's record of a literal ".N": the format's own wins
        const Argument* a = m_next < m_arguments.size() ? &m_arguments[m_next++] : nullptr;
        if (!a || a->kind == Kind::missing || (failed && failed->kind == Kind::missing)) {
            m_out += kMissingDataText;
        } else if (a->kind == Kind::redacted) {
            m_out += kPrivateText;
        } else if (failed) {
            m_out += kMismatchedArgumentText;
        } else if (s.annotations.empty() || !annotated(s, *a)) {
            plain(s, *a);
        }
    }

private:
    bool readStar(int& into, const Argument*& failed)
    {
        const Argument* a = m_next < m_arguments.size() ? &m_arguments[m_next++] : &kAbsent;
        if (!isNumber(*a)) {
            failed = failed ? failed : a;
            return false;
        }
        into = int(std::clamp<qint64>(qint64(integerOf(a->bytes, 64, true)), -kMaxField, kMaxField));
        return true;
    }

    // The mask hash or a decoder's text; false when the annotations name neither.
    bool annotated(const Operator& s, const Argument& a)
    {
        const Annotations an = parseAnnotations(s.annotations);
        if ((an.maskHash || an.decoder != Decoder::none) && a.null && isText(a)) {
            m_out += kNullText;
            return true;
        }
        if (an.maskHash) {
            m_out += "<mask.hash: '"sv;
            appendBase64(m_out, a.bytes.substr(0, room() / 4 * 3));
            m_out += "'>"sv;
            return true;
        }
        if (an.decoder == Decoder::none)
            return false;
        DecoderInput in{a.bytes, isNumber(a)};
        if (in.scalar) {
            const char c = s.conversion;
            const bool integer = std::string_view("diouxX").find(c) != std::string_view::npos;
            in.isSigned = !integer || c == 'd' || c == 'i';
            in.integer = integerOf(a.bytes, integer ? s.lengthBits : 64, in.isSigned);
        }
        if (!appendDecoded(m_out, an.decoder, in))
            m_out += kMismatchedArgumentText;
        return true;
    }

    void plain(const Operator& s, const Argument& a)
    {
        const char c = s.conversion;
        const std::size_t start = m_out.size();
        switch (c) {
        case 's':
        case '@':
        case 'S':
        case 'P':
            if (!isText(a)) {
                m_out += kMismatchedArgumentText;
                return;
            }
            if (a.null) {
                m_out += kNullText;
            } else if (c == 'P') {
                static constexpr char kHex[] = "0123456789ABCDEF";
                for (const char b : a.bytes.substr(0, room() / 2)) {
                    m_out += kHex[quint8(b) >> 4];
                    m_out += kHex[quint8(b) & 15];
                }
            } else if (c == 'S') {  // UTF-32LE up to a NUL
                const std::string_view w = a.bytes.substr(0, std::min(a.bytes.size(), room() * 4) / 4 * 4);
                for (std::size_t i = 0; i + 4 <= w.size(); i += 4) {
                    const quint32 cp = quint32(integerOf(w.substr(i, 4), 32, false));
                    if (!cp)
                        break;
                    appendUtf8(m_out, cp);
                }
                if (s.precision >= 0)
                    m_out.resize(start + utf8Cut(std::string_view(m_out).substr(start), std::size_t(s.precision)));
            } else {  // C strings end at a NUL
                std::string_view text = a.bytes.substr(0, room());
                text = text.substr(0, text.find('\0'));
                if (s.precision >= 0)
                    text = text.substr(0, utf8Cut(text, std::size_t(s.precision)));
                m_out += text;
            }
            pad(m_out, start, s);
            return;
        case 'a': case 'A': case 'e': case 'E': case 'f': case 'F': case 'g': case 'G':
            if (!isNumber(a) || a.bytes.size() < 4) {
                m_out += kMismatchedArgumentText;
            } else if (a.bytes.size() == 8) {
                const quint64 bits = integerOf(a.bytes, 64, false);
                double d;
                std::memcpy(&d, &bits, sizeof d);
                appendFloat(m_out, s, d);
            } else {
                const quint32 bits = quint32(integerOf(a.bytes, 32, false));
                float f;
                std::memcpy(&f, &bits, sizeof f);
                appendFloat(m_out, s, f);
            }
            return;
        default:
            break;
        }
        if (!isNumber(a)) {
            m_out += kMismatchedArgumentText;
            return;
        }
        switch (c) {
        case 'c':  // a NUL character adds nothing to the text
            if (const char b = char(integerOf(a.bytes, 8, false)))
                m_out += b;
            pad(m_out, start, s);
            break;
        case 'C':
            if (const quint32 cp = quint32(integerOf(a.bytes, 32, false)))
                appendUtf8(m_out, cp);
            pad(m_out, start, s);
            break;
        case 'm':
            appendErrnoText(m_out, qint64(integerOf(a.bytes, s.lengthBits, true)));
            pad(m_out, start, s);
            break;
        case 'p':
            appendInteger(m_out, s, integerOf(a.bytes, 64, false));
            break;
        default:
            appendInteger(m_out, s, integerOf(a.bytes, s.lengthBits, c == 'd' || c == 'i'));
            break;
        }
    }

    static constexpr Argument kAbsent{Kind::missing, {}, false};
    std::span<const Argument> m_arguments;
    std::size_t m_next = 0;
    std::string m_out;
};

}  // namespace

std::string composeMessage(std::string_view format, std::span<const Argument> arguments)
{
    Composer composer(arguments, std::min(format.size() + 32 * arguments.size() + 16, kMaxMessageBytes + kSlack));
    std::string& out = composer.out();
    std::size_t i = 0;
    while (i < format.size() && out.size() <= kMaxMessageBytes) {
        const std::size_t percent = format.find('%', i);
        const std::size_t literalEnd = percent == std::string_view::npos ? format.size() : percent;
        out.append(format.data() + i, std::min(literalEnd - i, composer.room()));
        if (percent == std::string_view::npos)
            break;
        i = percent + 1;
        if (i < format.size() && format[i] == '%') {
            out += '%';
            ++i;
            continue;
        }
        Operator op;
        if (parseOperator(format, i, op))
            composer.convert(op);
        else
            out.append(format.data() + percent, std::min(i - percent, composer.room()));
    }
    if (out.size() > kMaxMessageBytes) {
        out.resize(utf8Cut(out, kMaxMessageBytes - kEllipsis.size()));
        out += kEllipsis;
    }
    return std::move(out);
}

}  // namespace Unified
