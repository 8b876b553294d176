#pragma once

// The colours of the log levels: one table, keyed by level and theme, that
// every view showing a level reads (the list's rows and badges, the filter
// chips, the timeline's bars, the detail pane, the analysis sheet). Colours
// derived for contrast start from it.

#include <QColor>

namespace SeverityPalette {

// A level's colours in one theme. The dark list writes the level in its
// bright tone and the message in a dimmed one; the light list fills a badge
// with the tone and tints the row.
struct Colors {
    QColor tone;       // the level's own colour: a chip's fill, a timeline bar, the light list's badge
    QColor label;      // the level's name where no badge is drawn (the dark list, the detail pane)
    QColor badgeText;  // the level's name on the light list's badge; the label's colour in dark
    QColor message;    // the message in the list
    QColor rowTint;    // behind a light row's content; transparent in dark
};

// The colours of `level` (0 undefined, 1 debug, 2 info, 3 notice, 4 error,
// 5 fault; any other is drawn as undefined) in the dark or the light theme.
const Colors& colors(int level, bool dark);

}  // namespace SeverityPalette
