#include "logs/VisibleText.h"

#include <algorithm>

namespace VisibleText {

bool isBidiControl(char16_t u)
{
    return u == 0x061c || u == 0x200e || u == 0x200f || (u >= 0x202a && u <= 0x202e) ||
           (u >= 0x2066 && u <= 0x2069);
}

namespace {

QString bidiName(char16_t u) { return QStringLiteral("<U+%1>").arg(int(u), 4, 16, QLatin1Char('0')).toUpper(); }

bool isPlainInName(char16_t u)
{
    return u >= 0x20 && u != 0x7f && !(u >= 0x80 && u <= 0x9f) && u != 0x2028 && u != 0x2029 && !isBidiControl(u);
}

}  // namespace

QString showingBidiControls(const QString& s)
{
    if (std::none_of(s.cbegin(), s.cend(), [](QChar c) { return isBidiControl(c.unicode()); }))
        return s;
    QString out;
    out.reserve(s.size() + 8);
    for (const QChar c : s) {
        if (isBidiControl(c.unicode()))
            out += bidiName(c.unicode());
        else
            out += c;
    }
    return out;
}

QString cutField(const QString& s, qsizetype maxChars)
{
    if (s.size() <= maxChars)
        return s;
    qsizetype n = maxChars;
    if (n > 0 && s[n - 1].isHighSurrogate())
        --n;
    return s.left(n);
}

QString shownName(const QString& s)
{
    const QString cut = cutField(s);
    if (std::all_of(cut.cbegin(), cut.cend(), [](QChar c) { return isPlainInName(c.unicode()); }))
        return cut;
    QString out;
    out.reserve(cut.size() + 8);
    for (const QChar c : cut) {
        const char16_t u = c.unicode();
        if (isPlainInName(u))
            out += c;
        else if (isBidiControl(u))
            out += bidiName(u);
        else if (u < 0x20)
            out += QChar(char16_t(0x2400 + u));
        else if (u == 0x7f)
            out += QChar(char16_t(0x2421));
        else if (u == 0x2028 || u == 0x2029)
            out += QChar(char16_t(0x21b5));
        else
            out += QChar(char16_t(0xfffd));  // a C1 control
    }
    return out;
}

}  // namespace VisibleText
