#pragma once

// Untrusted names shown to the user: what may hide or reorder other text is
// made visible instead of acted on.

#include <QString>
#include <QStringView>

namespace VisibleText {

// Longest field other than the message that a store hands on (hosts,
// processes, senders, subsystems, categories): enough for any real name,
// small enough that no row, tooltip or detail pane stalls on it.
inline constexpr qsizetype maxFieldChars = 4096;

// The Unicode bidirectional controls (embeddings, overrides, isolates and
// marks): in a name they reorder what is shown ("web\u202Eexe.01" reads as
// "web10.exe").
bool isBidiControl(char16_t u);

// `s` with each bidirectional control written as "<U+202E>"; `s` itself
// (shared, not copied) when it has none.
QString showingBidiControls(const QString& s);

// `s` cut to at most `maxChars` UTF-16 units, never inside a surrogate pair.
QString cutField(const QString& s, qsizetype maxChars = maxFieldChars);

// A name on one line for a label, a row or a tooltip: cut as cutField,
// bidirectional controls written out as above, and other control characters
// as their visible symbols (U+2400 + code, U+2421 for DEL, U+21B5 for the
// Unicode line and paragraph separators, U+FFFD for a C1 control), as the
// text viewer draws them.
QString shownName(const QString& s);

}  // namespace VisibleText
