#include "browser/LoweredMatcher.h"

#include <algorithm>
#include <bit>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

char16_t lowerAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }

// The ASCII term at p, ASCII letters compared without case.
bool termAt(const char16_t* p, const std::string& term)
{
    for (size_t j = 0; j < term.size(); ++j) {
        const char16_t d = p[j];
        if (d >= 0x80 || lowerAscii(d) != char16_t(term[j]))
            return false;
    }
    return true;
}

// Wide scans, many start positions at a time: a candidate has the term's
// first and last characters in place, compared with bit 5 set on both sides
// (that folds ASCII case; other characters it pairs up are only candidates,
// verified exactly). They advance i past the starts they have tried and note
// whether any character passed is at or above U+0080.
#ifdef __SSE2__
bool scanSse2(const char16_t* h, qsizetype n, const std::string& term, qsizetype& i, bool& high)
{
    const qsizetype m = qsizetype(term.size());
    const __m128i bit5 = _mm_set1_epi16(0x20);
    const __m128i f = _mm_set1_epi16(short(term.front() | 0x20));
    const __m128i l = _mm_set1_epi16(short(term.back() | 0x20));
    __m128i seen = _mm_setzero_si128();
    bool found = false;
    for (; i + m + 7 <= n && !found; i += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i + m - 1));
        seen = _mm_or_si128(seen, a);
        unsigned mask = unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi16(_mm_or_si128(a, bit5), f),
                                                                 _mm_cmpeq_epi16(_mm_or_si128(b, bit5), l))));
        for (; mask && !found; mask &= mask - 1, mask &= mask - 1)  // two mask bits per position
            found = termAt(h + i + std::countr_zero(mask) / 2, term);
    }
    const __m128i above = _mm_and_si128(seen, _mm_set1_epi16(short(0xff80)));
    high = high || _mm_movemask_epi8(_mm_cmpeq_epi16(above, _mm_setzero_si128())) != 0xffff;
    return found;
}
#endif

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx2"))) bool scanAvx2(const char16_t* h, qsizetype n, const std::string& term, qsizetype& i,
                                              bool& high)
{
    const qsizetype m = qsizetype(term.size());
    const __m256i bit5 = _mm256_set1_epi16(0x20);
    const __m256i f = _mm256_set1_epi16(short(term.front() | 0x20));
    const __m256i l = _mm256_set1_epi16(short(term.back() | 0x20));
    __m256i seen = _mm256_setzero_si256();
    bool found = false;
    for (; i + m + 15 <= n && !found; i += 16) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(h + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(h + i + m - 1));
        seen = _mm256_or_si256(seen, a);
        unsigned mask = unsigned(_mm256_movemask_epi8(_mm256_and_si256(
            _mm256_cmpeq_epi16(_mm256_or_si256(a, bit5), f), _mm256_cmpeq_epi16(_mm256_or_si256(b, bit5), l))));
        for (; mask && !found; mask &= mask - 1, mask &= mask - 1)
            found = termAt(h + i + std::countr_zero(mask) / 2, term);
    }
    const __m256i above = _mm256_and_si256(seen, _mm256_set1_epi16(short(0xff80)));
    high = high || !_mm256_testz_si256(above, above);
    return found;
}

bool hasAvx2()
{
    static const bool yes = __builtin_cpu_supports("avx2");
    return yes;
}
#endif

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
    qsizetype i = 0;
    bool high = false;
#if defined(__x86_64__) && defined(__GNUC__)
    if (hasAvx2() && scanAvx2(h, n, m_ascii8, i, high))
        return true;
#endif
#ifdef __SSE2__
    if (scanSse2(h, n, m_ascii8, i, high))
        return true;
#endif
    // Of the characters passed, only two that lower to ASCII matter (rare: a plain scan).
    bool special = false;
    for (qsizetype k = 0; high && k < i && !special; ++k)
        special = h[k] == 0x0130 || h[k] == 0x212A;
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
    return termAt(p, m_ascii8);
}
