#include "browser/LoweredMatcher.h"

#include <algorithm>
#include <bit>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

char16_t lowerAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }
[[maybe_unused]] char16_t upperAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }

}  // namespace

LoweredMatcher::LoweredMatcher(const QString& term) : m_term(term)
{
    m_ascii = std::all_of(term.cbegin(), term.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (m_ascii) {
        m_ascii8.reserve(size_t(term.size()));
        for (QChar c : term)
            m_ascii8.push_back(char(c.unicode()));
    }
}

bool LoweredMatcher::matches(const QString& hay) const
{
    if (m_term.isEmpty())
        return true;
    if (!m_ascii)
        return hay.toLower().contains(m_term);
    const qsizetype m = m_term.size();
    const qsizetype n = hay.size();
    const char16_t* h = reinterpret_cast<const char16_t*>(hay.constData());
    bool special = false;
    qsizetype i = 0;
#ifdef __SSE2__
    // Eight start positions at a time: a candidate has the term's first
    // and last letters (either case) in place; candidates are verified.
    const char16_t first = char16_t(m_ascii8.front());
    const char16_t last = char16_t(m_ascii8.back());
    const __m128i f0 = _mm_set1_epi16(short(first)), f1 = _mm_set1_epi16(short(upperAscii(first)));
    const __m128i l0 = _mm_set1_epi16(short(last)), l1 = _mm_set1_epi16(short(upperAscii(last)));
    const __m128i s0 = _mm_set1_epi16(short(0x0130)), s1 = _mm_set1_epi16(short(0x212A));
    for (; i + m + 7 <= n; i += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i + m - 1));
        if (_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(a, s0), _mm_cmpeq_epi16(a, s1))))
            special = true;
        unsigned mask = unsigned(_mm_movemask_epi8(
            _mm_and_si128(_mm_or_si128(_mm_cmpeq_epi16(a, f0), _mm_cmpeq_epi16(a, f1)),
                          _mm_or_si128(_mm_cmpeq_epi16(b, l0), _mm_cmpeq_epi16(b, l1)))));
        while (mask) {
            if (verify(h + i + std::countr_zero(mask) / 2))
                return true;
            mask &= mask - 1;  // two mask bits per position
            mask &= mask - 1;
        }
    }
#endif
    for (; i < n; ++i) {
        const char16_t c = h[i];
        if (c >= 0x80) {
            if (c == 0x0130 || c == 0x212A)
                special = true;
            continue;
        }
        if (i + m <= n && lowerAscii(c) == char16_t(m_ascii8.front()) && verify(h + i))
            return true;
    }
    return special ? hay.toLower().contains(m_term) : false;
}

bool LoweredMatcher::verify(const char16_t* p) const
{
    for (size_t j = 0; j < m_ascii8.size(); ++j) {
        const char16_t d = p[j];
        if (d >= 0x80 || lowerAscii(d) != char16_t(m_ascii8[j]))
            return false;
    }
    return true;
}
