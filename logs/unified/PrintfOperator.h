#pragma once

// One printf operator of an os_log format string: its parts as parsed, and
// numbers rendered as printf in the C locale lays them out, whatever locale
// the application runs in.

#include <QtGlobal>

#include <cstddef>
#include <string>
#include <string_view>

namespace Unified {

inline constexpr int kMaxField = 4096;  // width and precision, so that no conversion explodes

namespace PrintfFlag {
inline constexpr quint8 alternate = 1, zeroPad = 2, leftAlign = 4, spaceSign = 8, plusSign = 16;
}

struct Operator {
    std::string_view annotations;
    int width = 0;
    int precision = -1;  // none
    int lengthBits = 32;
    quint8 flags = 0;
    bool widthStar = false;
    bool precisionStar = false;
    bool wide = false;  // a single "l", which makes c and s wide
    char conversion = 0;
};

// Reads the operator after its "%" at format[i], leaving i past what it read.
// False when it is none we show a value for ("%n", an unknown letter, the
// format ending inside it): the caller prints that text unchanged.
bool parseOperator(std::string_view format, std::size_t& i, Operator& op);

// An integer conversion (d i u o x X p) of the value, cut and extended already.
void appendInteger(std::string& out, const Operator& op, quint64 raw);
// A floating-point conversion (a e f g, either case).
void appendFloat(std::string& out, const Operator& op, double v);

}  // namespace Unified
