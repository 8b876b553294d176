#pragma once

#include <QString>

class ContentView;
class QWidget;

// The main window's side of a log collection, after the user confirmed the
// sheet: "Collecting…" while the tool runs, then either the new archive is
// recorded and opened, or a warning alert "Log Collection Failed" explains
// why.
namespace LogCollectionUI {

inline const char* const failureTitle = "Log Collection Failed";

// The toolbar's Collect: the confirmation sheet, then collect() on "Collect".
void confirmAndCollect(ContentView* window);

// Runs a collection for `window` after the user confirmed the sheet, through
// the window's LogCollector (made on first use).
void collect(ContentView* window);

// The result step on the main thread: `isCollecting` ends in every case; a
// success records and opens `archivePath`, a failure shows `failureText`
// in the alert and opens nothing.
void finish(ContentView* window, bool succeeded, const QString& archivePath, const QString& failureText);

// The modal warning alert with one "OK" button; blocks until dismissed.
void showFailure(QWidget* parent, const QString& informativeText);

}  // namespace LogCollectionUI
