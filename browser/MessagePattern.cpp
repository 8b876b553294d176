#include "browser/MessagePattern.h"

#include "browser/MessageValues.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

using namespace MessageValues;

// The placeholders with room to be copied 8 characters at a time.
struct PaddedPlaceholder {
    std::array<char16_t, 8> text{};
    qsizetype size = 0;
};
const std::array<PaddedPlaceholder, reference> kPadded = [] {
    std::array<PaddedPlaceholder, reference> out{};
    for (size_t i = 0; i < out.size(); ++i) {
        out[i].size = kPlaceholders[i].size();
        std::copy(kPlaceholders[i].utf16(), kPlaceholders[i].utf16() + out[i].size, out[i].text.begin());
    }
    return out;
}();

// A run of word characters and what it is made of.
struct Run {
    qsizetype end = 0;
    quint16 classes = 0;      // the ASCII classes of its characters, or'ed
    quint16 common = 0xffff;  // and and'ed
    bool ascii = true;
    bool allHex() const { return ascii && (common & kHex); }
};

// One left-to-right scan. Text is copied in slices between the values found;
// a position where a value may start always follows a non-word character, and
// a word that holds no value is passed over whole, so no number inside a word
// is ever masked.
class Masker : private Reader {
public:
    Masker(QStringView s, QString& out) : Reader(s), m_out(out) {}

    bool run()
    {
        qsizetype i = 0, done = 0;
        while (i < m_n) {
            // Letters, spaces and most punctuation start no value: passed over
            // up to a character that may, or may end a word that does ("fe80:").
            i = nextTrigger(i);
            if (i == m_n)
                break;
            // A word the skip went into, or that a connector or ':' ends,
            // is read from its start.
            qsizetype start = i;
            if (m_s[i] < 128 && (kClasses[m_s[i]] & (kDigit | kLeadsBack)))
                while (start > done && (kClasses[m_s[start - 1]] & (kLetter | kUnderscore)))
                    --start;
            i = start < i ? word(start) : startAt(i);
            done = i;
        }
        if (!m_masked)
            return false;
        write(m_s + m_copied, m_n - m_copied);
        m_out.resize(m_written);
        return true;
    }

private:
    qsizetype nextTrigger(qsizetype i) const
    {
#if defined(__SSE2__)
        // Eight characters at a time: non-ASCII, '+' to ':', '"', '\'' or '~'.
        const __m128i high = _mm_set1_epi16(short(0xff80)), first = _mm_set1_epi16(u'+'),
                      span = _mm_set1_epi16(u':' - u'+'), zero = _mm_setzero_si128();
        for (; i + 8 <= m_n; i += 8) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_s + i));
            const __m128i ascii = _mm_cmpeq_epi16(_mm_and_si128(v, high), zero);
            const __m128i inSpan = _mm_cmpeq_epi16(_mm_subs_epu16(_mm_sub_epi16(v, first), span), zero);
            const __m128i quote = _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16(u'"')),
                                               _mm_cmpeq_epi16(v, _mm_set1_epi16(u'\'')));
            const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_andnot_si128(ascii, _mm_set1_epi16(-1)), inSpan),
                                             _mm_or_si128(quote, _mm_cmpeq_epi16(v, _mm_set1_epi16(u'~'))));
            if (const int bits = _mm_movemask_epi8(hit))
                return i + __builtin_ctz(unsigned(bits)) / 2;
        }
#endif
        while (i < m_n && m_s[i] < 128 && !(kClasses[m_s[i]] & kTrigger))
            ++i;
        return i;
    }

    // What starts at a trigger that no word leads to.
    qsizetype startAt(qsizetype i)
    {
        const char16_t c = m_s[i];
        const quint16 k = classOf(c);
        if (k & kDigit)
            return digits(i);
        if (k & kStarts)
            return startingMark(i);
        if (c >= 128)
            return other(i);
        return i + 1;
    }

    // Into the buffer's own memory, kept 24 characters longer than what is
    // written: the reused buffer only grows, and a short slice or a
    // placeholder is copied in one or two 16-byte moves (past its end, when
    // its source goes on that far) instead of a call.
    void reserve(qsizetype size)
    {
        if (size > m_room) {
            m_out.resize(std::max(size, 2 * m_out.size()));
            m_room = m_out.size();
            m_buffer = reinterpret_cast<char16_t*>(m_out.data());
        }
    }

    void write(const char16_t* text, qsizetype size)
    {
        reserve(m_written + size + 24);
        char16_t* to = m_buffer + m_written;
        const qsizetype readable = m_s + m_n - text;
        if (size <= 8 && readable >= 8) {
            std::memcpy(to, text, 16);
        } else if (size <= 16 && readable >= 16) {
            std::memcpy(to, text, 16);
            std::memcpy(to + 8, text + 8, 16);
        } else {
            std::copy(text, text + size, to);
        }
        m_written += size;
    }

    void put(qsizetype from, qsizetype to, Placeholder kind)
    {
        if (!m_masked) {
            // The buffer's data, taken (and detached) once.
            if (m_out.size() < m_n + 24)
                m_out.resize(m_n + 24);
            m_room = m_out.size();
            m_buffer = reinterpret_cast<char16_t*>(m_out.data());
            m_masked = true;
        }
        write(m_s + m_copied, from - m_copied);
        std::memcpy(m_buffer + m_written, kPadded[kind].text.data(), 16);
        m_written += kPadded[kind].size;
        m_copied = to;
    }

    qsizetype emitted(qsizetype from, Value v)
    {
        put(from, v.end, v.kind);
        return v.end;
    }

    Run wordRun(qsizetype i) const
    {
        Run r;
        for (; i < m_n; ++i) {
            const char16_t c = m_s[i];
            if (c < 128) {
                const quint16 k = kClasses[c];
                if (!(k & (kLetter | kDigit | kUnderscore)))
                    break;
                r.classes |= k;
                r.common &= k;
            } else if (isWord(c)) {
                r.ascii = false;
            } else {
                break;
            }
        }
        r.end = i;
        return r;
    }

    // Glued to a word before it by '.', '-' or '+' ("v1.2", "utf-8", "C++11").
    bool glued(qsizetype i) const
    {
        qsizetype j = i;
        while (j > 0 && i - j < 3 && isConnector(m_s[j - 1]))
            --j;
        return j < i && j == m_glueEnd;
    }

    // A word that holds no value, copied as it is; one with a letter joins
    // what a connector glues to it.
    qsizetype passed(qsizetype i, const Run& r)
    {
        if (!r.ascii || (r.classes & (kLetter | kUnderscore)) || glued(i))
            m_glueEnd = r.end;
        return r.end;
    }

    qsizetype word(qsizetype i)
    {
        const Run r = wordRun(i);
        const char16_t next = at(r.end);
        // Values led by a letter: a hash has a digit; a UUID, an address or
        // a URL goes on with '-' or ':'. Most words are none of them.
        if (r.ascii && ((r.classes & kDigit) || next == u'-' || next == u':') && !glued(i)) {
            if (r.allHex())
                if (const Value v = hexLed(i, r); v.end)
                    return emitted(i, v);
            if (next == u':' && at(r.end + 1) == u'/' && at(r.end + 2) == u'/')
                if (const qsizetype e = pathEnd(r.end + 3); e > r.end + 3)
                    return emitted(i, {e, url});
        }
        m_glueEnd = r.end;  // it has a letter
        return r.end;
    }

    qsizetype digits(qsizetype i)
    {
        const Run r = wordRun(i);
        if (glued(i))
            return passed(i, r);
        if (const Value v = digitLed(i, r); v.end)
            return emitted(i, v);
        // The groups after the first of a dotted run that is no value
        // ("1.2.3a") end where it ends and fail the same way: passed with it,
        // so that no run is read again from each of its groups.
        const qsizetype e = dottedEnd(i);
        if (e == r.end)
            return passed(i, r);
        m_glueEnd = e;
        return e;
    }

    // Values that may start with a hex letter: a UUID, an IPv6 or MAC address, a hash.
    Value hexLed(qsizetype i, const Run& r) const
    {
        const qsizetype len = r.end - i;
        const char16_t next = at(r.end);
        if (next == u'-' && len == 8)
            if (const qsizetype e = uuidEnd(i))
                return {e, uuid};
        if (next == u':' && len <= 4) {
            if (const qsizetype e = ipv6End(i))
                return {e, ip};
            if (const qsizetype e = macEnd(i))
                return {e, mac};
        }
        // A hash: eight hex digits or more, with a digit and a letter, in one letter case.
        const quint16 k = r.classes;
        if (len >= 8 && (k & kDigit) && (k & kLetter) && !((k & kLower) && (k & kUpper)))
            return {r.end, hex};
        return {};
    }

    Value digitLed(qsizetype i, const Run& r) const
    {
        const qsizetype len = r.end - i;
        const char16_t next = at(r.end);
        if (r.allHex() && ((r.classes & kLetter) || next == u'-' || next == u':'))
            if (const Value v = hexLed(i, r); v.end)
                return v;
        if ((next == u':' && len <= 2) || (next == u'-' && len == 4))
            if (const qsizetype e = timeEnd(i))
                return {e, timestamp};
        if (next == u'.' && len <= 3)
            if (const qsizetype e = ipv4End(i); e && aloneAfter(e) && !(at(e) == u'.' && isDigit(at(e + 1))))
                return {e, ip};
        if (len > 2 && m_s[i] == u'0' && (m_s[i + 1] | 0x20) == u'x') {
            qsizetype e = i + 2;
            while (e < r.end && isHex(m_s[e]))
                ++e;
            return e == r.end ? Value{e, hex} : Value{};
        }
        return quantity(i);
    }

    qsizetype startingMark(qsizetype i)
    {
        const char16_t c = m_s[i];
        const char16_t prev = i > 0 ? m_s[i - 1] : 0;
        switch (c) {
        case u'"': return quotedString(i, u'"', u'"');
        case u'\'': return isWord(prev) ? i + 1 : quotedString(i, u'\'', u'\'');
        case u'~': return at(i + 1) == u'/' ? pathAt(i, prev, i + 2) : i + 1;
        case u'/': return pathAt(i, prev, i + 1);
        case u'-':
        case u'+':
            if (isDigit(at(i + 1)) && !isWord(prev) && !isConnector(prev))
                if (const Value v = quantity(i); v.end)
                    return emitted(i, v);
            return i + 1;
        case u':':
            if (at(i + 1) == u':' && !isWord(prev))
                if (const qsizetype e = ipv6End(i))
                    return emitted(i, {e, ip});
            return i + 1;
        default: return i + 1;
        }
    }

    // A path starts outside a word and not after '.' ("./rel" stays), and
    // has more than slashes.
    qsizetype pathAt(qsizetype i, char16_t prev, qsizetype rest)
    {
        if (isWord(prev) || prev == u'.')
            return i + 1;
        const qsizetype e = pathEnd(i);
        for (qsizetype k = rest; k < e; ++k)
            if (m_s[k] != u'/')
                return emitted(i, {e, path});
        return std::max(e, i + 1);  // slashes only, passed at once
    }

    qsizetype other(qsizetype i)
    {
        const char16_t c = m_s[i];
        if (c == 0x201c)
            return quotedString(i, 0x201c, 0x201d);
        if (isWord(c))
            return passed(i, wordRun(i));
        return i + 1;
    }

    // A quoted string closed on the same line; a single quote opens only
    // outside a word and closes only at a word's end, so "don't" is no
    // quote. When no close is found before the line ends, no later opening
    // quote of that line can find one either (the scan is not repeated).
    qsizetype quotedString(qsizetype i, char16_t open, char16_t close)
    {
        qsizetype& noCloseUntil = open == u'"' ? m_noDoubleUntil : open == u'\'' ? m_noSingleUntil
                                                                                 : m_noCurlyUntil;
        if (i < noCloseUntil)
            return i + 1;
        for (qsizetype j = i + 1; j < m_n; ++j) {
            const char16_t c = m_s[j];
            if (c == u'\n' || c == u'\r') {
                noCloseUntil = j;
                return i + 1;
            }
            if (c == u'\\' && open == u'"' && at(j + 1) != u'\n' && at(j + 1) != u'\r')
                ++j;
            else if (c == close && (open != u'\'' || !isWord(at(j + 1))))
                return emitted(i, {j + 1, quoted});
        }
        noCloseUntil = m_n;
        return i + 1;
    }

    QString& m_out;
    char16_t* m_buffer = nullptr;  // m_out's
    qsizetype m_room = 0;          // m_out's size
    qsizetype m_written = 0;       // in m_out
    qsizetype m_copied = 0;
    qsizetype m_glueEnd = -1;  // end of the last word copied that a connector glues to
    qsizetype m_noDoubleUntil = 0, m_noSingleUntil = 0, m_noCurlyUntil = 0;
    bool m_masked = false;
};

}  // namespace

namespace MessagePattern {

bool maskInto(QStringView message, QString& out) { return Masker(message, out).run(); }

QString mask(QStringView message)
{
    QString out;
    return maskInto(message, out) ? out : message.toString();
}

QString of(const LogEntry& entry)
{
    if (const auto& t = entry.messageTemplate) {
        if (t->found)
            return t->format;
        return kPlaceholders[reference].toString() + u' ' + t->image.toString(QUuid::WithoutBraces).toUpper() +
               QStringLiteral("+0x") + QString::number(t->offset, 16);
    }
    QString out;
    return maskInto(entry.message, out) ? out : entry.message;
}

QString fromTyped(const QString& text)
{
    QString out;
    qsizetype copied = 0;
    qsizetype close = -1;
    for (qsizetype i = text.indexOf(u'<'); i >= 0; i = text.indexOf(u'<', i + 1)) {
        if (close < i)
            close = text.indexOf(u'>', i + 1);  // each '>' looked for once
        if (close < 0)
            break;
        const QStringView name = QStringView(text).mid(i + 1, close - i - 1);
        for (QStringView p : kPlaceholders) {
            if (p.mid(1, p.size() - 2) == name) {
                out += QStringView(text).mid(copied, i - copied);
                out += p;
                copied = close + 1;
                i = close;
                break;
            }
        }
    }
    if (copied == 0)
        return text;
    out += QStringView(text).mid(copied);
    return out;
}

}  // namespace MessagePattern
