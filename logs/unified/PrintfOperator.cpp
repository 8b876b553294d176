#include "logs/unified/PrintfOperator.h"

#include "logs/unified/MessageFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace Unified {

namespace {

using namespace std::string_view_literals;

constexpr std::string_view kConversions = "diuoxXcCsS@pPaAeEfFgGDOUm";

// A number as printf lays it out: sign, prefix ("0x"), zeros, digits.
void appendNumber(std::string& out, const Operator& s, std::string_view sign, std::string_view prefix,
                  std::size_t zeros, std::string_view body, bool zeroPadAllowed)
{
    const std::size_t length = sign.size() + prefix.size() + zeros + body.size();
    std::size_t fill = std::size_t(s.width) > length ? s.width - length : 0;
    const bool left = s.flags & PrintfFlag::leftAlign;
    if (fill && !left && (s.flags & PrintfFlag::zeroPad) && zeroPadAllowed) {
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
    return negative ? "-"sv : (s.flags & PrintfFlag::plusSign) ? "+"sv
                          : (s.flags & PrintfFlag::spaceSign)  ? " "sv
                                                               : ""sv;
}

}  // namespace

namespace {

// The flag characters at i.
void readFlags(std::string_view f, std::size_t& i, Operator& s)
{
    for (; i < f.size(); ++i) {
        const char c = f[i];
        if (c == '#')
            s.flags |= PrintfFlag::alternate;
        else if (c == '0')
            s.flags |= PrintfFlag::zeroPad;
        else if (c == '-')
            s.flags |= PrintfFlag::leftAlign;
        else if (c == ' ')
            s.flags |= PrintfFlag::spaceSign;
        else if (c == '+')
            s.flags |= PrintfFlag::plusSign;
        else if (c != '\'')  // grouping: the C locale has none
            break;
    }
}

// A width or a precision: "*", or digits (none reads as 0), capped.
void readField(std::string_view f, std::size_t& i, int& into, bool& star)
{
    if (i < f.size() && f[i] == '*') {
        star = true;
        ++i;
        return;
    }
    int v = 0;
    for (; i < f.size() && f[i] >= '0' && f[i] <= '9'; ++i)
        v = std::min(v * 10 + (f[i] - '0'), kMaxField);
    into = v;
}

// A length modifier at i, if any.
void readLength(std::string_view f, std::size_t& i, Operator& s)
{
    if (i >= f.size())
        return;
    const char c = f[i];
    if (c == 'h' || c == 'l') {
        const bool doubled = i + 1 < f.size() && f[i + 1] == c;
        i += doubled ? 2 : 1;
        s.lengthBits = c == 'l' ? 64 : doubled ? 8
                                               : 16;
        s.wide = c == 'l' && !doubled;
    } else if (c == 'q' || c == 'j' || c == 'z' || c == 't' || c == 'L') {
        s.lengthBits = 64;
        ++i;
    }
}

// The digits of magnitude in the conversion's base; none for a zero of precision 0.
std::size_t integerDigits(const Operator& s, quint64 magnitude, char (&digits)[24])
{
    if (s.precision == 0 && magnitude == 0)
        return 0;
    const char c = s.conversion;
    const int base = c == 'o' ? 8 : c == 'x' || c == 'X' || c == 'p' ? 16
                                                                     : 10;
    const std::size_t count = std::size_t(std::to_chars(digits, digits + sizeof digits, magnitude, base).ptr - digits);
    if (c == 'X')
        std::transform(digits, digits + count, digits, [](char d) { return d >= 'a' ? char(d - 0x20) : d; });
    return count;
}

// "%#g" keeps its trailing zeros: the style %g picks, with all P digits.
std::to_chars_result alternateGeneral(char* buf, char* bufEnd, double v, int precision)
{
    const int p = precision ? precision : 1;
    std::to_chars_result r = std::to_chars(buf, bufEnd, v, std::chars_format::scientific, p - 1);
    const char* e = std::find(buf, r.ptr, 'e');
    int exponent = 0;
    if (e != r.ptr)
        std::from_chars(e + 1 + (e[1] == '+'), r.ptr, exponent);
    if (p > exponent && exponent >= -4)
        r = std::to_chars(buf, bufEnd, v, std::chars_format::fixed, p - 1 - exponent);
    return r;
}

// The characters of a finite, non-negative v in the conversion's style, lowercase.
std::to_chars_result floatChars(char* buf, char* bufEnd, double v, const Operator& s)
{
    const char c = char(s.conversion | 0x20);
    const int precision = s.precision < 0 ? 6 : s.precision;
    if (c == 'a') {
        return s.precision < 0 ? std::to_chars(buf, bufEnd, v, std::chars_format::hex)
                               : std::to_chars(buf, bufEnd, v, std::chars_format::hex, precision);
    }
    if (c == 'g' && (s.flags & PrintfFlag::alternate))
        return alternateGeneral(buf, bufEnd, v, precision);
    const auto format = c == 'f'   ? std::chars_format::fixed
                        : c == 'e' ? std::chars_format::scientific
                                   : std::chars_format::general;
    return std::to_chars(buf, bufEnd, v, format, precision);
}

// A decimal point before the exponent, or at the end; returns the new end.
char* insertPoint(char* buf, char* end)
{
    char* at = std::find_if(buf, end, [](char d) { return d == 'e' || d == 'p'; });
    std::memmove(at + 1, at, std::size_t(end - at));
    *at = '.';
    return end + 1;
}

}  // namespace

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
    readFlags(f, i, s);
    readField(f, i, s.width, s.widthStar);
    if (i < n && f[i] == '.') {
        ++i;
        readField(f, i, s.precision, s.precisionStar);
    }
    readLength(f, i, s);
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

void appendInteger(std::string& out, const Operator& s, quint64 raw)
{
    const char c = s.conversion;
    const bool isSigned = c == 'd' || c == 'i';
    const bool negative = isSigned && qint64(raw) < 0;
    const quint64 magnitude = negative ? 0 - raw : raw;
    char digits[24];
    const std::size_t count = integerDigits(s, magnitude, digits);
    std::size_t zeros = s.precision > int(count) ? s.precision - count : 0;
    std::string_view prefix;
    if (c == 'p')
        prefix = "0x"sv;
    else if ((s.flags & PrintfFlag::alternate) && c == 'o' && zeros == 0 && (count == 0 || digits[0] != '0'))
        zeros = 1;
    else if ((s.flags & PrintfFlag::alternate) && magnitude && (c == 'x' || c == 'X'))
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
    char buf[kMaxField + 512];  // "%.4096f" of the largest double fits
    const std::to_chars_result r = floatChars(buf, buf + sizeof buf, v, s);
    if (r.ec != std::errc()) {
        out += kInvalidValueText;
        return;
    }
    char* end = r.ptr;
    if ((s.flags & PrintfFlag::alternate) && std::find(buf, end, '.') == end)  // "#": always a decimal point
        end = insertPoint(buf, end);
    if (upper)
        std::transform(buf, end, buf, [](char d) { return d >= 'a' && d <= 'z' ? char(d - 0x20) : d; });
    appendNumber(out, s, sign, c == 'a' ? (upper ? "0X"sv : "0x"sv) : ""sv, 0,
                 std::string_view(buf, std::size_t(end - buf)), true);
}

}  // namespace Unified
