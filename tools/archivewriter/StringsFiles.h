#pragma once

// The bundle's files beside the tracev3 files: the uuidtext and shared-cache
// strings files that hold format strings, and the timesync database.

#include "tools/archivewriter/ArchiveWriter.h"

#include <vector>

namespace ArchiveWriter::detail {

QByteArray uuidtextFile(const Image& image);
QByteArray sharedCacheFile(const SharedCache& cache);
QByteArray timesyncFile(const std::vector<TimesyncBoot>& boots);

}  // namespace ArchiveWriter::detail
