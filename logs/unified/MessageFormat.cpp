#include "logs/unified/MessageFormat.h"

#include "logs/unified/PrintfOperator.h"
#include "logs/unified/ValueDecoders.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace Unified {
namespace {

using namespace std::string_view_literals;
using Kind = Argument::Kind;

// Text rendered past the cap, so that a value cut there still pads as a whole one.
constexpr std::size_t kSlack = 4 * kMaxField + 16;
constexpr std::string_view kEllipsis = "…";
constexpr std::string_view kNullText = "(null)";

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
    const std::size_t length = b >= 0xF0 && b < 0xF8 ? 4 : b >= 0xE0 && b < 0xF0 ? 3
                                                       : b >= 0xC0 && b < 0xE0   ? 2
                                                                                 : 1;
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
    if (s.flags & PrintfFlag::leftAlign)
        out.append(s.width - have, ' ');
    else
        out.insert(start, s.width - have, ' ');
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
            s.flags |= PrintfFlag::leftAlign;
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
        switch (s.conversion) {
        case 's':
        case '@':
        case 'S':
        case 'P':
            plainText(s, a);
            return;
        case 'a':
        case 'A':
        case 'e':
        case 'E':
        case 'f':
        case 'F':
        case 'g':
        case 'G':
            plainReal(s, a);
            return;
        default:
            break;
        }
        if (!isNumber(a)) {
            m_out += kMismatchedArgumentText;
            return;
        }
        plainInteger(s, a);
    }

    // %s and %@ (C strings), %S (UTF-32LE) and %P (data, as hex).
    void plainText(const Operator& s, const Argument& a)
    {
        if (!isText(a)) {
            m_out += kMismatchedArgumentText;
            return;
        }
        const std::size_t start = m_out.size();
        if (a.null) {
            m_out += kNullText;
        } else if (s.conversion == 'P') {
            static constexpr char kHex[] = "0123456789ABCDEF";
            for (const char b : a.bytes.substr(0, room() / 2)) {
                m_out += kHex[quint8(b) >> 4];
                m_out += kHex[quint8(b) & 15];
            }
        } else if (s.conversion == 'S') {
            appendWide(s, a.bytes);
        } else {  // C strings end at a NUL
            std::string_view text = a.bytes.substr(0, room());
            text = text.substr(0, text.find('\0'));
            if (s.precision >= 0)
                text = text.substr(0, utf8Cut(text, std::size_t(s.precision)));
            m_out += text;
        }
        pad(m_out, start, s);
    }

    // UTF-32LE up to a NUL, cut to the precision in UTF-8 bytes.
    void appendWide(const Operator& s, std::string_view bytes)
    {
        const std::size_t start = m_out.size();
        const std::string_view w = bytes.substr(0, std::min(bytes.size(), room() * 4) / 4 * 4);
        for (std::size_t i = 0; i + 4 <= w.size(); i += 4) {
            const quint32 cp = quint32(integerOf(w.substr(i, 4), 32, false));
            if (!cp)
                break;
            appendUtf8(m_out, cp);
        }
        if (s.precision >= 0)
            m_out.resize(start + utf8Cut(std::string_view(m_out).substr(start), std::size_t(s.precision)));
    }

    // A float or a double.
    void plainReal(const Operator& s, const Argument& a)
    {
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
    }

    // The conversions of a number read as an integer: characters, errno, pointers and integers.
    void plainInteger(const Operator& s, const Argument& a)
    {
        const char c = s.conversion;
        const std::size_t start = m_out.size();
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
