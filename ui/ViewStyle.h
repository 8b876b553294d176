#pragma once

#include <QColor>
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QString>

class QFrame;
class QPainter;
class QRectF;
class QWidget;

// The look every view shares: the named colours, the light and dark
// palettes, and small vector drawings standing in for the system symbols the
// views name ("checkmark.circle", "wand.and.stars", ...), drawn with QPainter
// so that they look the same on every machine and need no icon theme.
namespace ViewStyle {

// ---- colours

// The scheme a widget is drawn in, read from its palette, so that it follows
// whatever theme the application applied (or the platform's own).
bool isDark(const QWidget* w);

QColor grey(double w);
QColor charcoal();  // sRGB 68, 68, 68
QColor withAlpha(QColor c, double alpha);

// The platform's named colours.
QColor green();
QColor orange();
QColor red();
QColor blue();

// Roles read from a widget's palette, or from the application's without one.
QColor accent(const QWidget* w);
QColor secondary(const QWidget* w);
QColor separator(const QWidget* w);
QColor accent();     // the highlight colour
QColor secondary();  // the window text at 55 %

// The palettes of the light and dark themes.
QPalette lightPalette();
QPalette darkPalette();

// `top` laid over the opaque `below`: the colour a translucent paint shows.
QColor over(const QColor& top, const QColor& below);
// The contrast ratio of two opaque colours by their relative luminance, from
// 1 (the same) to 21 (black on white); AA asks 4.5 of text.
double contrastRatio(const QColor& a, const QColor& b);

// The colours of a toggle chip on `background`: filled with `tone` while on,
// outlined only while off; `fill` is opaque, the label's colour reads on it.
struct ChipColors {
    QColor fill;
    QColor outline;
    QColor text;
};
ChipColors chipColors(const QColor& tone, bool on, const QPalette& palette);

// The keyboard's mark on a custom-drawn control: a 2-pixel ring in the accent
// colour just inside `r`. Style sheets draw theirs with focusRule().
void drawFocusRing(QPainter* p, const QRectF& r, double radius, const QWidget* w);
// A ":focus" rule for a push button whose style sheet drops the style's own
// focus frame: a 2-pixel border in the accent, or in the text colour for a
// button `filled` with the accent, where an accent ring would not show. The
// button's own rule keeps a 2-pixel border so that focus does not resize it.
QString focusRule(bool filled);

// A one-point horizontal rule in the separator tone.
QFrame* divider();

// ---- symbols

// A pixmap of the named symbol, `size` logical pixels square, drawn in
// `color` at `devicePixelRatio` (0: the screen's). Unknown names give a
// filled circle, never an empty pixmap.
QPixmap pixmap(const QString& name, const QColor& color, int size, qreal devicePixelRatio = 0);

// The symbol at 1x and 2x, or at `devicePixelRatio` alone when one is given
// (the log browser's toolbar and panes draw theirs at 2x).
QIcon icon(const QString& name, const QColor& color, int size = 16, qreal devicePixelRatio = 0);

}  // namespace ViewStyle
