#pragma once

#include <QFont>
#include <QString>

class QLabel;
class QWidget;

// The platform text roles the views are described in (body, headline,
// caption, ...), mapped to sizes relative to the application font.
namespace TextStyles {

enum class Style { largeTitle,
                   title,
                   title3,
                   headline,
                   body,
                   callout,
                   subheadline,
                   caption,
                   caption2 };

QFont font(Style style, bool monospaced = false, QFont::Weight weight = QFont::Normal);

// Applies the font; `secondary` dims the text colour like the platform's
// secondary label colour.
void apply(QWidget* w, Style style, bool monospaced = false, QFont::Weight weight = QFont::Normal,
           bool secondary = false);

// Dims the widget's text colour (foreground roles) to the secondary colour.
void setSecondary(QWidget* w);

// Sets the text colour of a widget's foreground roles.
void setTextColor(QWidget* w, const QColor& color);

// A label with the given text and style, word-wrapped when `wrap` is set.
QLabel* label(const QString& text, Style style, bool secondary = false, bool wrap = false,
              QWidget* parent = nullptr);

// A holder that centres a word-wrapped label of at most `width` points, so
// that the label gets the height its wrapped text needs (a label placed with
// an alignment flag is laid out at its unwrapped size hint and cut off).
QWidget* centredWrapped(QLabel* label, int width);

}  // namespace TextStyles
