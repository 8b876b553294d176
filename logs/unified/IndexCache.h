#pragma once

// What a scan of a tracev3 file found (its header, and each chunkset's place,
// catalog and span in continuous time), kept for the session so that the
// next read of an unchanged file starts without reading its catalogs again.
// A file is unchanged when its identity, size and modification time are the
// same and its header, first catalog and last chunk still read the same.

#include "base/SafeRead.h"
#include "logs/LogStore.h"
#include "logs/unified/Catalog.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace Unified {

struct RawPlace {
    quint64 offset = 0;  // of the chunkset's data
    quint64 size = 0;
    quint64 catalogOffset = 0;  // of its catalog's data
    quint64 catalogSize = 0;
    bool spanKnown = false;
    quint64 start = 0;  // continuous time
    quint64 end = 0;
};

struct RawIndex {
    SafeRead::FileStamp stamp;
    QByteArray header;        // the first 224 bytes
    QByteArray firstCatalog;  // the first catalog's fixed bytes (with its earliest time)
    quint64 firstCatalogOffset = 0;
    QByteArray lastChunk;  // the last chunk's header
    quint64 lastChunkOffset = 0;
    std::vector<RawPlace> places;
    SkipCounts skipped;  // what the scan skipped: said again on every read
};

namespace IndexCache {

// The remembered index of the file open as `fd`, when it is still the file
// it was; its content is checked with a few small reads.
std::optional<RawIndex> find(const QString& path, int fd, const SafeRead::FileStamp& stamp);
void remember(const QString& path, RawIndex index);
void clear();

}  // namespace IndexCache

}  // namespace Unified
