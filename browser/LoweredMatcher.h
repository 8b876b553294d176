#pragma once

// Case-insensitive substring search of the filter and search fields.

#include <QString>

#include <string>
#include <string_view>

// Finds `term` (already lowercased) in hay.toLower() without building the
// lowered copy. Only ASCII terms take the fast path: an ASCII letter lowers
// the same in any string, and of all non-ASCII characters only U+0130
// (lowers to "i" + U+0307) and U+212A (Kelvin sign, lowers to "k") become
// ASCII; seeing either sends the test to the exact slow path.
class LoweredMatcher {
public:
    explicit LoweredMatcher(const QString& term);

    bool isEmpty() const { return m_term.isEmpty(); }

    bool matches(const QString& hay) const;

    // The decimal text of a number (never changed by lowercasing).
    bool matchesDigits(std::string_view digits) const
    {
        return m_ascii && digits.find(std::string_view(m_ascii8)) != std::string_view::npos;
    }

private:
    // The term at p, ASCII letters compared without case.
    bool verify(const char16_t* p) const;

    QString m_term;
    bool m_ascii = false;
    std::string m_ascii8;
};
