#include "logs/ndjson/JsonScan.h"

namespace JsonScan {

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

namespace {

// A member's key and its ":", p at the key.
bool skipKey(const char*& p, const char* end)
{
    if (p >= end || *p != '"' || !scanString<false>(p, end, nullptr, nullptr))
        return false;
    skipWs(p, end);
    if (p >= end || *p != ':')
        return false;
    ++p;
    skipWs(p, end);
    return true;
}

// An object or an array, p at its "{" or "[".
bool skipContainer(const char*& p, const char* end, int depth, int maxDepth)
{
    const char close = *p == '{' ? '}' : ']';
    const bool object = close == '}';
    if (depth >= maxDepth)
        return false;
    ++p;
    skipWs(p, end);
    if (p < end && *p == close) {
        ++p;
        return true;
    }
    for (;;) {
        if (object && !skipKey(p, end))
            return false;
        if (!skipValue(p, end, depth + 1, maxDepth))
            return false;
        skipWs(p, end);
        if (p >= end || (*p != ',' && *p != close))
            return false;
        if (*p++ == close)
            return true;
        skipWs(p, end);
    }
}

}  // namespace

bool skipValue(const char*& p, const char* end, int depth, int maxDepth)
{
    if (p >= end)
        return false;
    switch (*p) {
    case '"':
        return scanString<false>(p, end, nullptr, nullptr);
    case '{':
    case '[':
        return skipContainer(p, end, depth, maxDepth);
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

}  // namespace JsonScan
