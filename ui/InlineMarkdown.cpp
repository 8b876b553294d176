#include "ui/InlineMarkdown.h"

#include <QUrl>

namespace InlineMarkdown {

namespace {

QString escaped(QStringView s)
{
    QString out;
    out.reserve(s.size());
    for (QChar c : s) {
        switch (c.unicode()) {
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '&': out += QLatin1String("&amp;"); break;
        case '"': out += QLatin1String("&quot;"); break;
        case '\n': out += QLatin1String("<br/>"); break;
        default: out += c;
        }
    }
    return out;
}

bool isSafeLink(const QString& url)
{
    const QUrl u(url);
    const QString scheme = u.scheme().toLower();
    return u.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")
                           || scheme == QLatin1String("mailto"));
}

// Converts one run of text, recursing into the content of emphasis and links.
QString convert(QStringView s)
{
    QString out;
    qsizetype i = 0;
    const qsizetype n = s.size();
    qsizetype plainStart = 0;
    auto flush = [&](qsizetype upTo) {
        if (upTo > plainStart)
            out += escaped(s.mid(plainStart, upTo - plainStart));
    };
    while (i < n) {
        const QChar c = s[i];
        if (c == QLatin1Char('\\') && i + 1 < n && QStringLiteral("\\`*_[]()#").contains(s[i + 1])) {
            flush(i);
            out += escaped(s.mid(i + 1, 1));
            i += 2;
            plainStart = i;
            continue;
        }
        if (c == QLatin1Char('`')) {
            qsizetype run = 1;
            while (i + run < n && s[i + run] == QLatin1Char('`'))
                ++run;
            const QString fence(run, QLatin1Char('`'));
            const qsizetype close = s.indexOf(fence, i + run);
            if (close >= 0) {
                flush(i);
                out += QLatin1String("<code>") + escaped(s.mid(i + run, close - i - run))
                       + QLatin1String("</code>");
                i = close + run;
                plainStart = i;
                continue;
            }
            i += run;
            continue;
        }
        if (c == QLatin1Char('*') || c == QLatin1Char('_')) {
            const bool strong = i + 1 < n && s[i + 1] == c;
            const qsizetype len = strong ? 2 : 1;
            const QString marker(len, c);
            // An opener is followed by a non-space; an underscore inside a
            // word (snake_case) is not emphasis.
            const bool canOpen = i + len < n && !s[i + len].isSpace()
                                 && !(c == QLatin1Char('_') && i > 0 && s[i - 1].isLetterOrNumber());
            qsizetype close = -1;
            if (canOpen) {
                qsizetype from = i + len;
                for (;;) {
                    const qsizetype k = s.indexOf(marker, from);
                    if (k < 0)
                        break;
                    if (s.mid(i, k - i).contains(QLatin1String("\n\n")))
                        break;
                    bool ok = k > i + len && !s[k - 1].isSpace();
                    if (!strong && k + 1 < n && s[k + 1] == c)
                        ok = false;  // part of a strong marker
                    if (c == QLatin1Char('_') && k + len < n && s[k + len].isLetterOrNumber())
                        ok = false;
                    if (ok) {
                        close = k;
                        break;
                    }
                    from = k + ((!strong && k + 1 < n && s[k + 1] == c) ? 2 : 1);
                }
            }
            if (close >= 0) {
                flush(i);
                const QLatin1String tag(strong ? "b" : "i");
                out += QStringLiteral("<%1>").arg(tag) + convert(s.mid(i + len, close - i - len))
                       + QStringLiteral("</%1>").arg(tag);
                i = close + len;
                plainStart = i;
                continue;
            }
            i += len;
            continue;
        }
        if (c == QLatin1Char('[')) {
            const qsizetype closeText = s.indexOf(QLatin1Char(']'), i + 1);
            if (closeText > i && closeText + 1 < n && s[closeText + 1] == QLatin1Char('(')) {
                const qsizetype closeUrl = s.indexOf(QLatin1Char(')'), closeText + 2);
                const QStringView text = s.mid(i + 1, closeText - i - 1);
                const QString url = s.mid(closeText + 2, closeUrl - closeText - 2).trimmed().toString();
                if (closeUrl > closeText && !text.contains(QLatin1Char('\n')) && isSafeLink(url)) {
                    flush(i);
                    out += QStringLiteral("<a href=\"%1\">").arg(escaped(url)) + convert(text)
                           + QLatin1String("</a>");
                    i = closeUrl + 1;
                    plainStart = i;
                    continue;
                }
            }
        }
        ++i;
    }
    flush(n);
    return out;
}

}  // namespace

QString toHtml(const QString& markdown)
{
    return QLatin1String("<span style=\"white-space: pre-wrap;\">") + convert(markdown)
           + QLatin1String("</span>");
}

}  // namespace InlineMarkdown
