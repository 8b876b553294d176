#include "browser/MessageValues.h"

#include <algorithm>
#include <utility>

namespace MessageValues {

namespace {

bool isMicro(char16_t c) { return c == 0xb5 || c == 0x3bc; }
bool isSpace(char16_t c) { return c < 128 ? (c == u' ' || (c >= u'\t' && c <= u'\r')) : QChar::isSpace(c); }

// Units after a number: attached ("5ms") or after one space ("5 ms"). The
// short ones that read as words or letters after a space ("5 s", "5 B") only
// attached; the words ("5 seconds") only after a space, so that "0day" stays;
// "m" and "d" only inside a compound ("1m30s"), as "5m" alone may be metres
// or a model name.
enum class Spacing { attached,
                     either,
                     spaced,
                     compound };
struct Unit {
    QStringView text;
    Placeholder kind;
    Spacing spacing;
};
constexpr std::array<Unit, 41> kUnits{{
    {u"ns", duration, Spacing::either},
    {u"us", duration, Spacing::either},
    {u"\u00b5s", duration, Spacing::either},
    {u"\u03bcs", duration, Spacing::either},
    {u"ms", duration, Spacing::either},
    {u"s", duration, Spacing::attached},
    {u"sec", duration, Spacing::either},
    {u"secs", duration, Spacing::either},
    {u"second", duration, Spacing::spaced},
    {u"seconds", duration, Spacing::spaced},
    {u"m", duration, Spacing::compound},
    {u"min", duration, Spacing::either},
    {u"mins", duration, Spacing::either},
    {u"minute", duration, Spacing::spaced},
    {u"minutes", duration, Spacing::spaced},
    {u"h", duration, Spacing::attached},
    {u"hr", duration, Spacing::either},
    {u"hrs", duration, Spacing::either},
    {u"hour", duration, Spacing::spaced},
    {u"hours", duration, Spacing::spaced},
    {u"d", duration, Spacing::compound},
    {u"day", duration, Spacing::spaced},
    {u"days", duration, Spacing::spaced},
    {u"B", size, Spacing::attached},
    {u"byte", size, Spacing::spaced},
    {u"bytes", size, Spacing::spaced},
    {u"kB", size, Spacing::either},
    {u"KB", size, Spacing::either},
    {u"MB", size, Spacing::either},
    {u"GB", size, Spacing::either},
    {u"TB", size, Spacing::either},
    {u"PB", size, Spacing::either},
    {u"KiB", size, Spacing::either},
    {u"MiB", size, Spacing::either},
    {u"GiB", size, Spacing::either},
    {u"TiB", size, Spacing::either},
    {u"PiB", size, Spacing::either},
    {u"K", size, Spacing::attached},
    {u"M", size, Spacing::attached},
    {u"G", size, Spacing::attached},
    {u"T", size, Spacing::attached},
}};
constexpr qsizetype kLongestUnit = 7;

// A unit's letters packed into an integer, a byte each (µ and μ as 1 and 2).
quint64 unitKey(const char16_t* text, qsizetype size)
{
    if (size == 0 || size > kLongestUnit)
        return 0;
    quint64 key = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = text[i];
        const quint64 b = c < 128 ? c : c == 0xb5 ? 1
                                    : c == 0x3bc  ? 2
                                                  : 0;
        if (!b)
            return 0;
        key = key << 8 | b;
    }
    return key;
}

// Units by key, sorted for a binary search; most words after a number are
// told apart by their first letter alone.
struct UnitKeys {
    std::array<std::pair<quint64, const Unit*>, kUnits.size()> sorted{};
    quint64 firstLetters = 0;  // bit c - 'A' for the first letter of some unit
};

const UnitKeys& unitKeys()
{
    static const UnitKeys keys = [] {
        UnitKeys k;
        for (size_t i = 0; i < kUnits.size(); ++i) {
            const char16_t first = kUnits[i].text.utf16()[0];
            k.sorted[i] = {unitKey(kUnits[i].text.utf16(), kUnits[i].text.size()), &kUnits[i]};
            if (first >= u'A' && first <= u'z')
                k.firstLetters |= quint64(1) << (first - u'A');
        }
        std::sort(k.sorted.begin(), k.sorted.end());
        return k;
    }();
    return keys;
}

const Unit* unitNamed(const char16_t* text, qsizetype size)
{
    if (size == 0)
        return nullptr;
    const UnitKeys& keys = unitKeys();
    const char16_t first = text[0];
    if (!isMicro(first) && !(first >= u'A' && first <= u'z' && (keys.firstLetters >> (first - u'A') & 1)))
        return nullptr;
    const quint64 key = unitKey(text, size);
    const auto it = std::lower_bound(keys.sorted.begin(), keys.sorted.end(), std::pair<quint64, const Unit*>{key, nullptr});
    return key && it != keys.sorted.end() && it->first == key ? it->second : nullptr;
}

// Opening brackets even, closing ones odd; -1 for anything else.
inline int bracketOf(char16_t c)
{
    switch (c) {
    case u'(': return 0;
    case u')': return 1;
    case u'[': return 2;
    case u']': return 3;
    case u'{': return 4;
    case u'}': return 5;
    case u'<': return 6;
    case u'>': return 7;
    default: return -1;
    }
}

bool isClosingPunctuation(char16_t c)
{
    switch (c) {
    case u'"':
    case u'\'':
    case u',':
    case u';':
    case u':':
    case u'.':
    case u'!':
    case u'?': return true;
    default: return false;
    }
}

}  // namespace

bool Reader::digitsAt(qsizetype i, qsizetype count) const
{
    for (qsizetype k = 0; k < count; ++k)
        if (!isDigit(at(i + k)))
            return false;
    return true;
}

qsizetype Reader::uuidEnd(qsizetype i) const
{
    for (int group : {8, 4, 4, 4, 12}) {
        if (hexDigits(i, group + 1) != group)
            return 0;
        i += group;
        if (group != 12 && at(i++) != u'-')
            return 0;
    }
    return aloneAfter(i) ? i : 0;
}

struct Reader::Groups {
    qsizetype end = 0;
    int count = 0;
    bool compressed = false;  // a "::" was read
    bool digit = false;
    bool invalid = false;  // a second "::"
};

// Reads a group and the colon or "::" after it; false when the address ends.
bool Reader::nextGroup(Groups& g) const
{
    const qsizetype p = g.end;
    const qsizetype len = hexDigits(p, 5);
    if (len == 0 || len > 4)
        return false;
    if (at(p + len) == u'.' && g.count <= 6) {
        if (const qsizetype e = ipv4End(p)) {  // ::ffff:10.0.0.1
            g = {e, g.count + 2, g.compressed, true, false};
            return false;
        }
    }
    for (qsizetype k = p; k < p + len; ++k)
        g.digit = g.digit || isDigit(m_s[k]);
    g.end = p + len;
    ++g.count;
    if (at(g.end) != u':')
        return false;
    if (at(g.end + 1) == u':') {
        g.invalid = g.compressed;
        g.compressed = true;
        g.end += 2;
        return !g.invalid;
    }
    if (!isHex(at(g.end + 1)))
        return false;
    ++g.end;
    return true;
}

// Eight groups, or fewer with one "::" (and a digit, so that "add::bead"
// stays a word); the last two groups may be an IPv4 address.
qsizetype Reader::ipv6End(qsizetype i) const
{
    if (i > 1 && m_s[i - 1] == u':' && isHex(m_s[i - 2]))
        return 0;  // the tail of a longer run of groups
    Groups g{i};
    if (at(i) == u':') {
        if (at(i + 1) != u':')
            return 0;
        g.compressed = true;
        g.end = i + 2;
    }
    while (g.count < 8 && nextGroup(g)) {
    }
    const bool whole = g.compressed ? g.count >= 1 && g.count <= 7 && g.digit : g.count == 8;
    // "fe80::1: no route" ends before the colon; "1:2:3:4:5:6:7:8:9" is no address.
    const bool ends = aloneAfter(g.end) && !(at(g.end) == u':' && isHex(at(g.end + 1)));
    return whole && !g.invalid && ends ? g.end : 0;
}

qsizetype Reader::macEnd(qsizetype i) const
{
    for (int g = 0; g < 6; ++g, i += 3)
        if (hexDigits(i, 3) != 2 || (g < 5 && at(i + 2) != u':'))
            return 0;
    i -= 1;
    return aloneAfter(i) ? i : 0;
}

qsizetype Reader::ipv4End(qsizetype i) const
{
    for (int g = 0; g < 4; ++g) {
        const qsizetype e = decimalEnd(i);
        const int value = e - i == 3 ? (m_s[i] - u'0') * 100 + (m_s[i + 1] - u'0') * 10 + (m_s[i + 2] - u'0') : 0;
        if (e == i || e - i > 3 || value > 255)
            return 0;
        i = e;
        if (g < 3 && at(i++) != u'.')
            return 0;
    }
    return i;
}

// 9:30:00 or 09:30:00.250
qsizetype Reader::clockEnd(qsizetype i) const
{
    const qsizetype h = decimalEnd(i) - i;
    if (h < 1 || h > 2 || at(i + h) != u':' || !digitsAt(i + h + 1, 2) || at(i + h + 3) != u':' ||
        !digitsAt(i + h + 4, 2))
        return 0;
    const qsizetype e = i + h + 6;
    return at(e) == u'.' && isDigit(at(e + 1)) ? decimalEnd(e + 1) : e;
}

// Z, +01:00, +0100 or +01 after a clock time.
qsizetype Reader::zoneEnd(qsizetype e) const
{
    if (at(e) == u'Z')
        return e + 1;
    if ((at(e) != u'+' && at(e) != u'-') || !digitsAt(e + 1, 2))
        return e;
    if (at(e + 3) == u':' && digitsAt(e + 4, 2))
        return e + 6;
    return digitsAt(e + 3, 2) ? e + 5 : e + 3;
}

// A clock time, or a date with an optional clock time and zone: 2026-01-05T09:30:00.5+01:00.
qsizetype Reader::timeEnd(qsizetype i) const
{
    qsizetype e = clockEnd(i);
    if (!e && digitsAt(i, 4) && at(i + 4) == u'-' && digitsAt(i + 5, 2) && at(i + 7) == u'-' && digitsAt(i + 8, 2)) {
        e = i + 10;
        if (const qsizetype clock = (at(e) == u'T' || at(e) == u' ') ? clockEnd(e + 1) : 0)
            e = zoneEnd(clock);
    }
    return e && aloneAfter(e) ? e : 0;
}

Value Reader::quantity(qsizetype i) const
{
    qsizetype p = i;
    if (at(p) == u'-' || at(p) == u'+')
        ++p;
    p = decimalEnd(p);
    int dots = 0;
    while (at(p) == u'.' && isDigit(at(p + 1))) {
        p = decimalEnd(p + 1);
        ++dots;
    }
    if (dots <= 1) {
        const char16_t e = at(p);
        const qsizetype sign = (at(p + 1) == u'-' || at(p + 1) == u'+') ? 1 : 0;
        if ((e == u'e' || e == u'E') && isDigit(at(p + 1 + sign)) && aloneAfter(decimalEnd(p + 1 + sign)))
            return {decimalEnd(p + 1 + sign), number};
        if (const Value v = withUnit(p); v.end)
            return v;
    }
    return aloneAfter(p) ? Value{p, number} : Value{};
}

qsizetype Reader::dottedEnd(qsizetype i) const
{
    for (;;) {
        while (isWord(at(i)))
            ++i;
        if (at(i) != u'.' || !isDigit(at(i + 1)))
            return i;
        ++i;
    }
}

// Letters after a number, read no further than a unit is long.
qsizetype Reader::unitRunEnd(qsizetype i) const
{
    const qsizetype most = std::min(m_n, i + kLongestUnit + 1);
    while (i < most && ((classOf(m_s[i]) & kLetter) || isMicro(m_s[i])))
        ++i;
    return i;
}

Value Reader::withUnit(qsizetype p) const
{
    if (at(p) == u' ') {
        const qsizetype e = unitRunEnd(p + 1);
        const Unit* u = unitNamed(m_s + p + 1, e - p - 1);
        const bool spaced = u && (u->spacing == Spacing::spaced || u->spacing == Spacing::either);
        return spaced && aloneAfter(e) ? Value{e, u->kind} : Value{};
    }
    // Attached, with more parts of a duration after it: 1h30m, 2m5.5s.
    int parts = 0;
    bool compoundOnly = false;
    for (;;) {
        const qsizetype e = unitRunEnd(p);
        const Unit* u = unitNamed(m_s + p, e - p);
        if (!u || u->spacing == Spacing::spaced || (parts > 0 && u->kind != duration))
            return {};
        ++parts;
        compoundOnly = compoundOnly || u->spacing == Spacing::compound;
        if (u->kind == duration && isDigit(at(e))) {
            p = decimalEnd(e);
            if (at(p) == u'.' && isDigit(at(p + 1)))
                p = decimalEnd(p + 1);
            continue;
        }
        if ((compoundOnly && parts == 1) || !aloneAfter(e))
            return {};
        return {e, u->kind};
    }
}

qsizetype Reader::pathEnd(qsizetype i) const
{
    // Brackets counted once: a trailing one is left out while it closes
    // more than the path opens ("(/tmp/a)" but "/tmp/a(1)").
    std::array<int, 8> brackets{};  // ( ) [ ] { } < >
    qsizetype e = i;
    for (; e < m_n && !isSpace(m_s[e]); ++e)
        if (const int b = bracketOf(m_s[e]); b >= 0)
            ++brackets[size_t(b)];
    for (; e > i; --e) {
        const char16_t c = m_s[e - 1];
        const int b = bracketOf(c);
        if (b % 2 == 1 && brackets[size_t(b)] > brackets[size_t(b - 1)])
            --brackets[size_t(b)];
        else if (b >= 0 || !isClosingPunctuation(c))
            break;
    }
    return e;
}

}  // namespace MessageValues
