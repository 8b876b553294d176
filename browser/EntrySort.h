#pragma once

// The list's sort by one column: rows with equal keys stay in time order, in
// the direction of the sort; text columns collate in the user's locale,
// ignoring case.

#include "logs/LogEntry.h"

#include <QString>

#include <vector>

namespace EntrySort {
// column is a header's raw value ("Time", "Severity", "Process", "PID", ...);
// an unknown one sorts by time.
void sortPointers(std::vector<const LogEntry*>& v, const QString& column, bool ascending);
}
