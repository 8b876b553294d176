#pragma once

// Strict JSON (RFC 8259) over a span of UTF-8 bytes, scanned in place: each
// function starts at `p`, moves it past what it accepted and returns false on
// the first fault. Inline where the line parser spends its time.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace JsonScan {

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

// Appends code point `cp` as UTF-8.
void appendUtf8(std::string& s, std::uint32_t cp);

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
                    if (end - p >= 6 && p[0] == '\\' && p[1] == 'u' && hex4(p + 2, end, lo) && lo >= 0xDC00 && lo <= 0xDFFF) {
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
            // A stray byte inside a string spoils a character, not the event:
            // the text keeps it, and reading it as UTF-8 makes it U+FFFD.
            if (!utf8Sequence(p, end))
                ++p;
            continue;
        }
        ++p;
    }
    return false;
}

// A JSON number; `integer` tells whether it had neither fraction nor exponent.
inline bool scanNumber(const char*& p, const char* end, bool& negative, std::uint64_t& magnitude, bool& overflow,
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

// Any one value, nested at most `maxDepth` deep (counting from `depth`).
bool skipValue(const char*& p, const char* end, int depth, int maxDepth);

}  // namespace JsonScan
