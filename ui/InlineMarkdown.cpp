#include "ui/InlineMarkdown.h"

#include <QUrl>

#include <algorithm>
#include <optional>
#include <vector>

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
    return u.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("mailto"));
}

// The first position at or after a given one where a test holds. The renderer
// asks in increasing order of positions, so each position is tested about
// once per lookahead however many markers ask; an answer of n means none.
class Lookahead {
public:
    template <class Test>
    qsizetype next(qsizetype at, qsizetype n, Test test)
    {
        if (at >= m_from && at <= m_found)
            return m_found;
        m_from = at;
        for (m_found = at; m_found < n && !test(m_found); ++m_found) {
        }
        return m_found;
    }

private:
    qsizetype m_from = 0;
    qsizetype m_found = -1;
};

// One left-to-right pass over the text. A marker looks for its partner
// through lookaheads over the whole text, which answer "the first closer
// after here" without scanning again for every opener, and a construct's
// content is rendered by the same pass over its range. Within a range the
// rules are those of the range as a text of its own: a lookahead's answer
// that touches the range's end is checked again at that end.
class Renderer {
public:
    explicit Renderer(QStringView s) : m_s(s), m_n(s.size())
    {
        // Backtick runs, each with the next longer run after it.
        for (qsizetype i = 0; i < m_n;) {
            if (m_s[i] != QLatin1Char('`')) {
                ++i;
                continue;
            }
            qsizetype end = i;
            while (end < m_n && m_s[end] == QLatin1Char('`'))
                ++end;
            m_ticks.push_back({i, end - i, 0});
            i = end;
        }
        std::vector<qsizetype> longer;
        for (qsizetype j = qsizetype(m_ticks.size()) - 1; j >= 0; --j) {
            while (!longer.empty() && m_ticks[size_t(longer.back())].length <= m_ticks[size_t(j)].length)
                longer.pop_back();
            m_ticks[size_t(j)].nextLonger = longer.empty() ? qsizetype(m_ticks.size()) : longer.back();
            longer.push_back(j);
        }
    }

    QString convert(qsizetype begin, qsizetype end)
    {
        QString out;
        qsizetype i = begin;
        qsizetype plainStart = begin;
        while (i < end) {
            Step step = construct(i, begin, end);
            if (step.html) {
                if (i > plainStart)
                    out += escaped(m_s.mid(plainStart, i - plainStart));
                out += *step.html;
                plainStart = step.next;
            }
            i = step.next;
        }
        if (end > plainStart)
            out += escaped(m_s.mid(plainStart, end - plainStart));
        return out;
    }

private:
    // Where a construct starting at an index ends, and its HTML when it is
    // one; without it the text up to `next` stays plain.
    struct Step {
        qsizetype next;
        std::optional<QString> html;
    };

    Step construct(qsizetype i, qsizetype begin, qsizetype end)
    {
        const QChar c = m_s[i];
        if (c == QLatin1Char('\\') && i + 1 < end && QStringLiteral("\\`*_[]()#").contains(m_s[i + 1]))
            return {i + 2, escaped(m_s.mid(i + 1, 1))};
        if (c == QLatin1Char('`'))
            return code(i, end);
        if (c == QLatin1Char('*') || c == QLatin1Char('_'))
            return emphasis(i, begin, end);
        if (c == QLatin1Char('['))
            return link(i, end);
        return {i + 1, std::nullopt};
    }

    // A code span between backtick runs of the same length.
    Step code(qsizetype i, qsizetype end)
    {
        qsizetype run = 1;
        while (i + run < end && m_s[i + run] == QLatin1Char('`'))
            ++run;
        const qsizetype close = fence(i + run, run, end);
        if (close < 0)
            return {i + run, std::nullopt};
        return {close + run,
                QLatin1String("<code>") + escaped(m_s.mid(i + run, close - i - run)) + QLatin1String("</code>")};
    }

    Step emphasis(qsizetype i, qsizetype begin, qsizetype end)
    {
        const QChar c = m_s[i];
        const bool strong = i + 1 < end && m_s[i + 1] == c;
        const qsizetype len = strong ? 2 : 1;
        // An opener is followed by a non-space; an underscore inside a
        // word (snake_case) is not emphasis.
        const bool canOpen = i + len < end && !m_s[i + len].isSpace() && !(c == QLatin1Char('_') && i > begin && m_s[i - 1].isLetterOrNumber());
        const qsizetype close = canOpen ? closer(i, c, strong, begin, end) : -1;
        if (close < 0)
            return {i + len, std::nullopt};
        const QLatin1String tag(strong ? "b" : "i");
        return {close + len, QStringLiteral("<%1>").arg(tag) + convert(i + len, close) + QStringLiteral("</%1>").arg(tag)};
    }

    // [text](url) on one line, with a safe url.
    Step link(qsizetype i, qsizetype end)
    {
        const qsizetype closeText = nextOf(m_closeBracket, QLatin1Char(']'), i + 1);
        if (closeText + 1 >= end || m_s[closeText + 1] != QLatin1Char('('))
            return {i + 1, std::nullopt};
        const qsizetype closeUrl = nextOf(m_closeParen, QLatin1Char(')'), closeText + 2);
        if (closeUrl >= end || nextOf(m_newline, QLatin1Char('\n'), i + 1) <= closeText || !safeLink(closeText, closeUrl))
            return {i + 1, std::nullopt};
        const QString url = m_s.mid(closeText + 2, closeUrl - closeText - 2).trimmed().toString();
        return {closeUrl + 1,
                QStringLiteral("<a href=\"%1\">").arg(escaped(url)) + convert(i + 1, closeText) + QLatin1String("</a>")};
    }

    struct TickRun {
        qsizetype start, length, nextLonger;
    };

    qsizetype nextOf(Lookahead& ahead, QChar wanted, qsizetype at)
    {
        return ahead.next(at, m_n, [&](qsizetype k) { return m_s[k] == wanted; });
    }

    // The start of the first run of at least `length` backticks at or after
    // `from` (where no backtick stands) that ends within the range, or -1.
    // Following the runs that are longer than the one before costs fewer
    // steps than the opener has backticks.
    qsizetype fence(qsizetype from, qsizetype length, qsizetype end) const
    {
        if (from >= end)
            return -1;
        auto j = qsizetype(std::lower_bound(m_ticks.begin(), m_ticks.end(), from,
                                            [](const TickRun& r, qsizetype at) { return r.start < at; }) -
                           m_ticks.begin());
        while (j < qsizetype(m_ticks.size()) && m_ticks[size_t(j)].length < length)
            j = m_ticks[size_t(j)].nextLonger;
        if (j == qsizetype(m_ticks.size()) || m_ticks[size_t(j)].start + length > end)
            return -1;
        return m_ticks[size_t(j)].start;
    }

    // Where the emphasis opened at `i` closes, or -1: the first marker of the
    // same kind after at least one character that follows a non-space, is not
    // part of a longer marker (a single one ends an odd run) and, for an
    // underscore, is not followed by a letter or digit; not past a blank line.
    qsizetype closer(qsizetype i, QChar c, bool strong, qsizetype begin, qsizetype end)
    {
        const qsizetype len = strong ? 2 : 1;
        const qsizetype from = i + len + 1;
        const bool underscore = c == QLatin1Char('_');
        Lookahead& ahead = m_closers[(underscore ? 2 : 0) + (strong ? 1 : 0)];
        const qsizetype found = ahead.next(from, m_n, [&](qsizetype k) {
            if (m_s[k] != c || m_s[k - 1].isSpace())
                return false;
            if (strong)
                return k + 1 < m_n && m_s[k + 1] == c && !(underscore && k + 2 < m_n && m_s[k + 2].isLetterOrNumber());
            if (k + 1 < m_n && (m_s[k + 1] == c || (underscore && m_s[k + 1].isLetterOrNumber())))
                return false;
            qsizetype start = k;
            while (start > 0 && m_s[start - 1] == c)
                --start;
            return (k - start) % 2 == 0;
        });
        qsizetype close = -1;
        if (found + len < end) {
            close = found;
        } else if (const qsizetype k = end - len; k >= from && m_s[k] == c && !m_s[k - 1].isSpace() && (strong ? m_s[k + 1] == c : (end - runStartBefore(end, begin)) % 2 == 1)) {
            // At the range's end nothing follows the marker.
            close = k;
        }
        const qsizetype blankLine = m_blankLine.next(i, m_n, [&](qsizetype p) {
            return m_s[p] == QLatin1Char('\n') && p + 1 < m_n && m_s[p + 1] == QLatin1Char('\n');
        });
        return close >= 0 && blankLine + 1 >= close ? close : -1;
    }

    // The start of the run of the character before `end` that ends there,
    // within the range; remembered, since every opener in a range asks.
    qsizetype runStartBefore(qsizetype end, qsizetype begin)
    {
        if (end != m_runEnd) {
            m_runEnd = end;
            m_runStart = end - 1;
            while (m_runStart > begin && m_s[m_runStart - 1] == m_s[end - 1])
                --m_runStart;
        }
        return m_runStart;
    }

    // Whether the address between the parentheses after `closeText` makes a
    // link; remembered, since nested openers share their closing bracket. An
    // address holding "[" is not one: another opener inside a long address
    // would have it parsed again.
    bool safeLink(qsizetype closeText, qsizetype closeUrl)
    {
        if (closeText != m_linkText) {
            m_linkText = closeText;
            m_linkSafe = nextOf(m_openBracket, QLatin1Char('['), closeText + 2) > closeUrl && isSafeLink(m_s.mid(closeText + 2, closeUrl - closeText - 2).trimmed().toString());
        }
        return m_linkSafe;
    }

    QStringView m_s;
    qsizetype m_n;
    std::vector<TickRun> m_ticks;
    Lookahead m_closers[4];
    Lookahead m_blankLine, m_closeBracket, m_closeParen, m_openBracket, m_newline;
    qsizetype m_runEnd = -1, m_runStart = -1;
    qsizetype m_linkText = -1;
    bool m_linkSafe = false;
};

}  // namespace

QString toHtml(const QString& markdown)
{
    return QLatin1String("<span style=\"white-space: pre-wrap;\">") + Renderer(markdown).convert(0, markdown.size()) + QLatin1String("</span>");
}

}  // namespace InlineMarkdown
