#pragma once

// A tracev3 file: its header chunk, then catalogs each followed by the
// chunksets they describe.

#include "tools/archivewriter/ArchiveWriter.h"

#include <vector>

namespace ArchiveWriter::detail {

// Writes `file` at `path` (an absolute path whose folder exists); the chunks
// at the top level of the file, in order.
std::vector<ChunkLocation> writeTracev3(const Bundle& bundle, const File& file, const QString& path);

}  // namespace ArchiveWriter::detail
