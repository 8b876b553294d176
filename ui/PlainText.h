#pragma once

// Text from logs, reports, providers and files shown as plain text where Qt
// would otherwise guess rich text (tooltips guess; a label's markup can make
// it load a file).

#include <QString>
#include <QStringView>

class QHelpEvent;
class QPoint;
class QWidget;

namespace PlainText {

// A tooltip that shows `text` literally, line breaks kept.
QString toolTip(const QString& text);

// Shows `text` as a plain-text tooltip at `globalPos` over `w`.
void showToolTip(const QPoint& globalPos, const QString& text, QWidget* w);
// A delegate's answer to a tooltip event: `text` as above, or with no text
// the tooltip hidden and the event ignored. Always handled.
bool answerToolTip(QHelpEvent* event, const QString& text, QWidget* w);

// Every label under `root` shows its text literally (a message box leaves
// its informative text to Qt's rich-text guess).
void makePlain(QWidget* root);

// The size of `text` in UTF-8, and how many of its characters fit in
// `bytes` of UTF-8 without splitting one.
qsizetype utf8Size(QStringView text);
qsizetype charsInUtf8(QStringView text, qsizetype bytes);

}  // namespace PlainText
