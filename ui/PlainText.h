#pragma once

// Text from logs, reports, providers and files shown as plain text where Qt
// would otherwise guess rich text (tooltips guess; a label's markup can make
// it load a file).

#include <QString>

class QPoint;
class QWidget;

namespace PlainText {

// A tooltip that shows `text` literally, line breaks kept.
QString toolTip(const QString& text);

// Shows `text` as a plain-text tooltip at `globalPos` over `w`.
void showToolTip(const QPoint& globalPos, const QString& text, QWidget* w);

}  // namespace PlainText
