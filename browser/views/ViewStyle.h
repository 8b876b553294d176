#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

class QFrame;
class QWidget;

// Colours and symbols shared by the log browser's views.
namespace ViewStyle {

// The scheme a widget is drawn in, read from its palette, so that it follows
// whatever theme the application applied (or the platform's own).
bool isDark(const QWidget* w);

QColor grey(double w);
QColor charcoal();  // sRGB 68, 68, 68
QColor withAlpha(QColor c, double alpha);

QColor accent(const QWidget* w);
QColor secondary(const QWidget* w);
QColor separator(const QWidget* w);

// A one-point horizontal rule in the separator tone.
QFrame* divider();

// The named symbol drawn in `color`: the log browser's own drawings
// (magnifyingglass, lock.shield, archivebox.fill, arrow.up.right.square,
// arrow.down.left.square, apple.logo, arrow.down.to.line) or the shared ones.
QIcon icon(const QString& name, const QColor& color, int size = 16);
QPixmap pixmap(const QString& name, const QColor& color, int size);

}  // namespace ViewStyle
