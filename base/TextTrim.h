#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

// Horizontal white space: the tab and the Unicode space separators. Line
// breaks (a carriage return included) are never horizontal space.
bool isHorizontalSpace(QChar c);

// `s` without leading and trailing horizontal white space; line breaks stay.
QString trimmedHorizontal(QStringView s);
