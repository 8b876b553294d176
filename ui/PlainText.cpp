#include "ui/PlainText.h"

#include <QToolTip>

namespace PlainText {

QString toolTip(const QString& text)
{
    if (text.isEmpty())
        return {};
    // Escaped, nothing in it can be markup; the wrapper only stops the guess.
    return QStringLiteral("<qt style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() + QStringLiteral("</qt>");
}

void showToolTip(const QPoint& globalPos, const QString& text, QWidget* w)
{
    QToolTip::showText(globalPos, toolTip(text), w);
}

}  // namespace PlainText
