#include "ui/SeverityPalette.h"

#include <array>

namespace SeverityPalette {

namespace {

QColor rgb(double r, double g, double b) { return QColor::fromRgbF(float(r), float(g), float(b), 1.0f); }
QColor grey(double w) { return rgb(w, w, w); }
QColor rgb255(int r, int g, int b) { return rgb(r / 255.0, g / 255.0, b / 255.0); }

constexpr int levels = 6;
using Table = std::array<Colors, levels>;

Table darkTable()
{
    struct Row {
        QColor tone, message;
    };
    const Row rows[levels] = {
        {grey(0.4), grey(0.35)},                      // undefined
        {grey(0.4), grey(0.35)},                      // debug
        {grey(0.7), grey(0.55)},                      // info
        {rgb(1.0, 0.85, 0.2), rgb(0.75, 0.72, 0.5)},  // notice
        {rgb(1.0, 0.6, 0.2), rgb(0.75, 0.62, 0.5)},   // error
        {rgb(1.0, 0.3, 0.3), rgb(0.75, 0.55, 0.55)},  // fault
    };
    Table t;
    for (int i = 0; i < levels; ++i)
        t[i] = {rows[i].tone, rows[i].tone, rows[i].tone, rows[i].message, QColor(Qt::transparent)};
    return t;
}

Table lightTable()
{
    struct Row {
        QColor badge, badgeText, rowTint;
    };
    const QColor black(Qt::black), white(Qt::white);
    const Row rows[levels] = {
        {rgb255(127, 140, 141), white, rgb255(250, 250, 250)},  // undefined
        {rgb255(149, 165, 166), white, rgb255(250, 250, 250)},  // debug
        {rgb255(41, 128, 185), white, rgb255(235, 245, 251)},   // info
        {rgb255(241, 196, 15), black, rgb255(255, 242, 204)},   // notice: white would not read on yellow
        {rgb255(230, 126, 34), white, rgb255(252, 228, 214)},   // error
        {rgb255(192, 57, 43), white, rgb255(255, 214, 214)},    // fault
    };
    const QColor ink = grey(0.13);
    Table t;
    for (int i = 0; i < levels; ++i)
        t[i] = {rows[i].badge, ink, rows[i].badgeText, ink, rows[i].rowTint};
    return t;
}

}  // namespace

const Colors& colors(int level, bool dark)
{
    static const Table darkColors = darkTable(), lightColors = lightTable();
    const int row = level >= 0 && level < levels ? level : 0;
    return dark ? darkColors[row] : lightColors[row];
}

}  // namespace SeverityPalette
