#pragma once

// The list's sort by one column: rows with equal keys stay in time order, in
// the direction of the sort; text columns collate in the user's locale,
// ignoring case.

#include "browser/LogColumns.h"
#include "logs/LogEntry.h"

#include <vector>

namespace EntrySort {
void sortPointers(std::vector<const LogEntry*>& v, ColumnId column, bool ascending);
}
