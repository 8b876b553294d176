#include "ui/PlainText.h"

#include <QHelpEvent>
#include <QLabel>
#include <QToolTip>

#include <utility>

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

bool answerToolTip(QHelpEvent* event, const QString& text, QWidget* w)
{
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        showToolTip(event->globalPos(), text, w);
    }
    return true;
}

void makePlain(QWidget* root)
{
    for (QLabel* l : root->findChildren<QLabel*>())
        l->setTextFormat(Qt::PlainText);
}

namespace {
// UTF-8 bytes of the character at `i`, and how many UTF-16 units it takes.
std::pair<int, int> utf8At(QStringView text, qsizetype i)
{
    const char16_t u = text[i].unicode();
    if (u < 0x80)
        return {1, 1};
    if (u < 0x800)
        return {2, 1};
    if (QChar::isHighSurrogate(u) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode()))
        return {4, 2};
    return {3, 1};
}
}  // namespace

qsizetype utf8Size(QStringView text)
{
    qsizetype bytes = 0;
    for (qsizetype i = 0; i < text.size();) {
        const auto [b, units] = utf8At(text, i);
        bytes += b;
        i += units;
    }
    return bytes;
}

qsizetype charsInUtf8(QStringView text, qsizetype bytes)
{
    qsizetype i = 0;
    while (i < text.size()) {
        const auto [b, units] = utf8At(text, i);
        if (b > bytes)
            break;
        bytes -= b;
        i += units;
    }
    return i;
}

}  // namespace PlainText
