#include "browser/SearchCorpus.h"

#include <bit>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// UTF-8 of a lowercased text, with U+0000 as C0 80 and an unpaired
// surrogate as its own three bytes. Returns whether a surrogate was unpaired.
bool appendUtf8(QStringView text, std::string& out)
{
    bool unpaired = false;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = text[i].unicode();
        if (c == 0) {
            out += "\xC0\x80";
            continue;
        }
        if (c < 0x80) {
            out += char(c);
            continue;
        }
        if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(char16_t(c), text[++i].unicode());
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
            continue;
        }
        unpaired = unpaired || QChar::isSurrogate(c);
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
    return unpaired;
}

// The field lowercased, then one 0 byte. Nearly every text is ASCII, lowered
// here without a copy; any other goes through QString's lowercasing.
void appendField(const QString& text, std::string& out)
{
    const char16_t* p = reinterpret_cast<const char16_t*>(text.constData());
    const qsizetype n = text.size();
    const size_t at = out.size();
    out.resize(at + size_t(n));
    char* dst = out.data() + at;
    qsizetype i = 0;
#ifdef __SSE2__
    // Eight characters at a time while they are ASCII and not U+0000.
    const __m128i zero = _mm_setzero_si128();
    for (; i + 8 <= n; i += 8) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i ascii = _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(short(0xff80))), zero);
        if (_mm_movemask_epi8(_mm_andnot_si128(_mm_cmpeq_epi16(v, zero), ascii)) != 0xffff)
            break;
        const __m128i upper =
            _mm_and_si128(_mm_cmpgt_epi16(v, _mm_set1_epi16('A' - 1)), _mm_cmplt_epi16(v, _mm_set1_epi16('Z' + 1)));
        v = _mm_add_epi16(v, _mm_and_si128(upper, _mm_set1_epi16(32)));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + i), _mm_packus_epi16(v, v));
    }
#endif
    for (; i < n; ++i) {
        const char16_t c = p[i];
        if (c == 0 || c >= 0x80)
            break;
        dst[i] = (c >= u'A' && c <= u'Z') ? char(c + 32) : char(c);
    }
    if (i < n) {
        out.resize(at);
        appendUtf8(text.toLower(), out);
    }
    out += '\0';
}

// The first occurrence of needle in [p, end), or null.
const char* find(const char* p, const char* end, const std::string& needle)
{
    return static_cast<const char*>(memmem(p, size_t(end - p), needle.data(), needle.size()));
}

#if defined(__x86_64__) && defined(__GNUC__)
// 32 start positions at a time: a candidate has the needle's first and last
// bytes in place and is then compared whole. glibc's memmem takes about five
// times as long on log text, where short needles' letters are everywhere.
__attribute__((target("avx2"))) const char* findAvx2(const char* p, const char* end, const std::string& needle)
{
    const size_t m = needle.size();
    const __m256i first = _mm256_set1_epi8(needle.front());
    const __m256i last = _mm256_set1_epi8(needle.back());
    for (; end - p >= qsizetype(m + 31); p += 32) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + m - 1));
        for (unsigned mask = unsigned(_mm256_movemask_epi8(
                 _mm256_and_si256(_mm256_cmpeq_epi8(a, first), _mm256_cmpeq_epi8(b, last))));
             mask; mask &= mask - 1) {
            const char* at = p + std::countr_zero(mask);
            if (m <= 2 || std::memcmp(at + 1, needle.data() + 1, m - 2) == 0)
                return at;
        }
    }
    return find(p, end, needle);
}

const char* (*finder())(const char*, const char*, const std::string&)
{
    static const auto best = __builtin_cpu_supports("avx2") ? findAvx2 : find;
    return best;
}
#else
const char* (*finder())(const char*, const char*, const std::string&)
{
    return find;
}
#endif

}  // namespace

SearchCorpus::SearchCorpus(const LogEntryList& entries)
{
    m_start.reserve(size_t(entries.size()) + 1);
    size_t bytes = 0;
    for (const LogEntry& e : entries)
        bytes += size_t(e.message.size() + e.process.size() + e.subsystem.size()) + 3;
    m_text.reserve(bytes);
    for (const LogEntry& e : entries) {
        m_start.push_back(m_text.size());
        appendField(e.message, m_text);
        appendField(e.process, m_text);
        appendField(e.subsystem, m_text);
    }
    m_start.push_back(m_text.size());
}

std::optional<std::vector<quint8>> SearchCorpus::hits(const QString& term) const
{
    std::string needle;
    if (appendUtf8(term, needle))
        return std::nullopt;
    std::vector<quint8> out(size_t(size()), needle.empty() ? 1 : 0);
    if (needle.empty())
        return out;
    const char* data = m_text.data();
    const char* end = data + m_text.size();
    const char* p = data;
    size_t k = 0;
    const auto findIn = finder();
    while (const char* found = findIn(p, end, needle)) {
        const size_t at = size_t(found - data);
        while (m_start[k + 1] <= at)
            ++k;
        out[k] = 1;
        p = data + m_start[k + 1];  // one hit is enough for an entry
    }
    return out;
}
