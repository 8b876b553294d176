#pragma once

// What MessagePattern masks, read at one position of a message: the
// character classes of its scan and the readers of values (UUIDs, addresses,
// times, numbers with their units, paths). Each reader returns where its
// value ends, or 0 when none starts there. Internal to MessagePattern.

#include <QChar>
#include <QStringView>

#include <array>

namespace MessageValues {

// The placeholders, by the names MessagePattern::fromTyped() accepts
// between < and >; the last is the reference of a missing format string.
inline constexpr std::array<QStringView, 12> kPlaceholders{
    u"\u2039n\u203a", u"\u2039hex\u203a", u"\u2039uuid\u203a", u"\u2039ip\u203a",
    u"\u2039mac\u203a", u"\u2039time\u203a", u"\u2039dur\u203a", u"\u2039size\u203a",
    u"\u2039path\u203a", u"\u2039url\u203a", u"\u2039str\u203a", u"\u2039format not found\u203a"};
enum Placeholder { number,
                   hex,
                   uuid,
                   ip,
                   mac,
                   timestamp,
                   duration,
                   size,
                   path,
                   url,
                   quoted,
                   reference };

// ASCII classes, one table lookup per character on the common path.
enum : quint16 {
    kLetter = 1,
    kDigit = 2,
    kHex = 4,
    kLower = 8,
    kUpper = 16,
    kUnderscore = 32,
    kStarts = 64,      // a mark that may start a value: quotes, paths, signs, "::"
    kTrigger = 128,    // a value may start at it or at the word it ends
    kLeadsBack = 256,  // '.', '-', '+', ':': the word it ends may hold a value or glue
};

constexpr std::array<quint16, 128> makeClasses()
{
    std::array<quint16, 128> c{};
    for (int i = 'a'; i <= 'z'; ++i)
        c[size_t(i)] = kLetter | kLower | (i <= 'f' ? kHex : 0);
    for (int i = 'A'; i <= 'Z'; ++i)
        c[size_t(i)] = kLetter | kUpper | (i <= 'F' ? kHex : 0);
    for (int i = '0'; i <= '9'; ++i)
        c[size_t(i)] = kDigit | kHex;
    c['_'] = kUnderscore;
    for (char s : {'"', '\'', '/', '~', '-', '+', ':'})
        c[size_t(s)] = kStarts;
    // Digits, quotes, '/', '~', ':' and the connectors '.', '-' and '+'; and
    // ',', which is cheaper to take than to leave out.
    for (int i = '+'; i <= ':'; ++i)
        c[size_t(i)] |= kTrigger;
    for (char s : {'"', '\'', '~'})
        c[size_t(s)] |= kTrigger;
    for (char s : {'.', '-', '+', ':'})
        c[size_t(s)] |= kLeadsBack;
    return c;
}
inline constexpr std::array<quint16, 128> kClasses = makeClasses();

inline quint16 classOf(char16_t c) { return c < 128 ? kClasses[c] : 0; }
inline bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
inline bool isHex(char16_t c) { return classOf(c) & kHex; }
inline bool isWord(char16_t c)
{
    if (c < 128)
        return kClasses[c] & (kLetter | kDigit | kUnderscore);
    return QChar::isLetterOrNumber(c) || QChar::isMark(c);
}
inline bool isLetter(char16_t c) { return c < 128 ? (kClasses[c] & (kLetter | kUnderscore)) : QChar::isLetter(c); }
inline bool isConnector(char16_t c) { return c == u'.' || c == u'-' || c == u'+'; }

// A found value: where it ends (0: none) and what it is.
struct Value {
    qsizetype end = 0;
    Placeholder kind = number;
};

// One message; a position past its end reads as 0.
class Reader {
public:
    explicit Reader(QStringView s) : m_s(s.utf16()), m_n(s.size()) {}

    char16_t at(qsizetype i) const { return i < m_n ? m_s[i] : 0; }
    // Nothing of a word follows: no word character, and no '.' or '-' joining a word ("5-fold").
    bool aloneAfter(qsizetype e) const
    {
        const char16_t c = at(e);
        if (isWord(c))
            return false;
        return !((c == u'.' || c == u'-') && isLetter(at(e + 1)));
    }

    qsizetype uuidEnd(qsizetype i) const;
    // From a hex group, or from "::".
    qsizetype ipv6End(qsizetype i) const;
    qsizetype macEnd(qsizetype i) const;
    // Four decimal groups up to 255 (what follows is the caller's).
    qsizetype ipv4End(qsizetype i) const;
    qsizetype timeEnd(qsizetype i) const;
    // A decimal number, optionally signed, with a fraction or exponent, or
    // dotted ("1.2.3"), and a duration or size when a unit follows.
    Value quantity(qsizetype i) const;
    // Digits and the '.'-joined runs of word characters after them.
    qsizetype dottedEnd(qsizetype i) const;
    // A path or URL runs to white space, less what closes around it: a
    // quote, a bracket it does not open, or punctuation.
    qsizetype pathEnd(qsizetype i) const;

protected:
    const char16_t* m_s;
    qsizetype m_n;

private:
    struct Groups;
    bool nextGroup(Groups& g) const;
    qsizetype hexDigits(qsizetype i, qsizetype most) const
    {
        qsizetype e = i;
        while (e - i < most && isHex(at(e)))
            ++e;
        return e - i;
    }
    qsizetype decimalEnd(qsizetype i) const
    {
        while (isDigit(at(i)))
            ++i;
        return i;
    }
    bool digitsAt(qsizetype i, qsizetype count) const;
    qsizetype clockEnd(qsizetype i) const;
    qsizetype zoneEnd(qsizetype i) const;
    Value withUnit(qsizetype p) const;
    qsizetype unitRunEnd(qsizetype i) const;
};

}  // namespace MessageValues
