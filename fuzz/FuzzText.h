#pragma once

// Fuzz input as UTF-16 text: bytes below 0xF0 are the characters
// U+0000–U+00EF; 0xF0 takes the next two bytes as any UTF-16 unit
// (surrogates too), so short inputs reach every unit.

#include <QString>

#include <cstddef>
#include <cstdint>

inline QString fuzzText(const uint8_t* data, size_t size)
{
    QString all;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] < 0xF0 || i + 2 >= size)
            all += QChar(char16_t(data[i]));
        else
            all += QChar(char16_t(data[i + 1] << 8 | data[i + 2])), i += 2;
    }
    return all;
}
