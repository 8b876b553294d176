#pragma once

#include "browser/FilterPipeline.h"
#include "logs/LogEntry.h"

#include <QList>
#include <QRect>

// Cell geometry shared by the column header and the rows, so that labels and
// cells line up: Time 160, Severity 70, Process 150, the visible optional
// columns, then the message in the rest.
namespace RowLayout {

inline constexpr int leading = 8;
inline constexpr int spacing = 8;
inline constexpr int timeWidth = 160;
inline constexpr int severityWidth = 70;
inline constexpr int processWidth = 150;
// In a narrow row the process and optional columns shrink, not below this,
// so that the message keeps at least minimumMessageWidth.
inline constexpr int minimumColumnWidth = 40;
inline constexpr int minimumMessageWidth = 160;

int columnWidth(OptionalColumn c);
QString columnLabel(OptionalColumn c);
// The cell text of an optional column: decimal identifiers or the string.
QString columnText(OptionalColumn c, const LogEntry& e);

struct Cells {
    QRect time, severity, process, message;
    QList<QRect> columns;  // one per visible column, in order
};

Cells cells(const QRect& row, const QList<OptionalColumn>& visible);

}  // namespace RowLayout
