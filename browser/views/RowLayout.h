#pragma once

#include "browser/FilterPipeline.h"
#include "logs/LogEntry.h"

#include <QList>
#include <QRect>

#include <array>

// Cell geometry shared by the column header and the rows, so that labels and
// cells line up: Time 160, Severity 70, Process 150, the visible optional
// columns (each as wide as the user dragged it, persisted), then the message
// in the rest.
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

inline constexpr int maximumColumnWidth = 800;

int columnWidth(OptionalColumn c);  // the default
QString columnLabel(OptionalColumn c);

// The widths of the sized cells. An optional column with no text in any
// listed row takes the floor, so it never narrows the message.
struct Widths {
    int time = timeWidth;
    int severity = severityWidth;
    int process = processWidth;
    std::array<int, kOptionalColumnCount> columns{};   // indexed by OptionalColumn; 0: the default
    std::array<bool, kOptionalColumnCount> empty{};

    int of(OptionalColumn c) const;
    // Of a header label ("Time", "PID", ...); -1 for the message or an unknown one.
    int of(const QString& label) const;
    // Bounded to minimumColumnWidth–maximumColumnWidth; false for a label without a width.
    bool set(const QString& label, int width);
};
// The widths saved under "columnWidth_<label>", next to the column keys.
Widths loadWidths();
void saveWidth(const QString& label, int width);
// The cell text of an optional column: decimal identifiers or the string.
QString columnText(OptionalColumn c, const LogEntry& e);

struct Cells {
    QRect time, severity, process, message;
    QList<QRect> columns;  // one per visible column, in order
};

Cells cells(const QRect& row, const QList<OptionalColumn>& visible, const Widths& widths = {});

}  // namespace RowLayout
