#include "base/TextTrim.h"

bool isHorizontalSpace(QChar c)
{
    return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}

QString trimmedHorizontal(QStringView s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && isHorizontalSpace(s[b]))
        ++b;
    while (e > b && isHorizontalSpace(s[e - 1]))
        --e;
    return s.mid(b, e - b).toString();
}
