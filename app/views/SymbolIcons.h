#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

// Small vector drawings standing in for the system symbols the views name
// ("checkmark.circle", "wand.and.stars", ...). Drawn with QPainter so they
// look the same on every machine and need no icon theme.
namespace SymbolIcons {

// A pixmap of the named symbol, `size` logical pixels square, drawn in
// `color`. Unknown names give a filled circle, never an empty pixmap.
QPixmap pixmap(const QString& name, const QColor& color, int size, qreal devicePixelRatio = 0);

QIcon icon(const QString& name, const QColor& color, int size = 16);

// Names drawn specifically (anything else falls back to a dot).
bool isKnown(const QString& name);

// Named colours of the platform roles used by the views.
QColor green();
QColor orange();
QColor red();
QColor blue();
QColor accent();     // the palette's highlight colour
QColor secondary();  // the palette's placeholder/secondary text colour

}  // namespace SymbolIcons
