#pragma once

#include "browser/LogColumns.h"
#include "logs/LogEntry.h"

#include <QList>
#include <QRect>

#include <array>

// Cell geometry shared by the column header and the rows, so that labels and
// cells line up: the fixed columns and the visible optional ones, each as wide
// as its default or as the user dragged it (persisted), then the message in
// the rest.
namespace RowLayout {

inline constexpr int leading = 8;
inline constexpr int spacing = 8;
// In a narrow row the process and optional columns shrink, not below this,
// so that the message keeps at least minimumMessageWidth.
inline constexpr int minimumColumnWidth = 40;
inline constexpr int minimumMessageWidth = 160;

inline constexpr int maximumColumnWidth = 800;

// The widths of the sized cells. An optional column with no text in any
// listed row takes the floor, so it never narrows the message.
struct Widths {
    std::array<int, kColumnCount> dragged{};  // indexed by ColumnId; 0: the default
    std::array<bool, kColumnCount> empty{};

    int of(ColumnId c) const;  // -1 for the message, which has no width
    // Bounded to minimumColumnWidth–maximumColumnWidth; false for the message.
    bool set(ColumnId c, int width);
};
// The widths saved under "columnWidth_<title>", next to the column keys.
Widths loadWidths();
void saveWidth(ColumnId c, int width);

struct Cells {
    QRect time, severity, process, message;
    QList<QRect> columns;  // one per visible optional column, in order
};

Cells cells(const QRect& row, const QList<ColumnId>& visible, const Widths& widths = {});
// The cell of a column, null when it is not shown.
QRect cellOf(const Cells& cells, ColumnId c, const QList<ColumnId>& visible);

}  // namespace RowLayout
