#pragma once

// The yardstick the keystroke benches compare with: a plain std::sort by
// date of the same entries, timed in the same run.

#include "logs/LogEntry.h"

namespace DateSort {

// The calling thread's CPU seconds: fair on a busy machine.
double threadSeconds();

// Sorts a copy of `entries` by date; returns the wall seconds of the sort
// alone and puts its thread CPU seconds in `cpu`.
double time(const LogEntryList& entries, double& cpu);

}  // namespace DateSort
