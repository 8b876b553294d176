#pragma once

// The output of macOS `log show --style ndjson` (one JSON event object per
// line) as a log store: a single .ndjson/.jsonl file, or a folder (such as a
// .logarchive) that holds such files and no journal files.

#include "logs/LogStore.h"

#include <QString>

#include <cstddef>

// Whether the path is an export: a file whose first line is a log event
// object (whatever its name), or a folder of .ndjson/.jsonl files without
// journal files.
bool isNdjsonSource(const QString& path);

// Opens the file, or every .ndjson/.jsonl file inside the folder. Fails when
// the path does not exist, holds no such file, or a file cannot be opened or
// is no regular file. The files of a folder are merged in time order while
// only a few of them are open at a time.
StoreOpenResult openNdjsonStore(const QString& path);

namespace Ndjson {

// Lines longer than this are skipped, with their size in the diagnostic log,
// without being buffered whole.
inline constexpr std::size_t kMaxLineBytes = std::size_t(64) << 20;
// Files of a folder held open at once by one read.
inline constexpr int kMaxOpenFiles = 16;

}  // namespace Ndjson
