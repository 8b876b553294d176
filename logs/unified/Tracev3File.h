#pragma once

// One tracev3 file: first an index of its chunksets and their time spans,
// read from its header and catalogs without decompressing anything; then,
// while the archive's read reaches its time, its records in time order, its
// chunksets decompressed one at a time as the read reaches their spans.

#include "logs/LogStore.h"
#include "logs/unified/Chunkset.h"

#include <QString>

#include <limits>

namespace Unified {

struct ChunksetPlace {
    quint64 offset = 0;        // of its compressed data in the file
    quint64 size = 0;
    quint64 catalogOffset = 0; // of the data of the catalog it belongs to
    quint64 catalogSize = 0;
    double start = -std::numeric_limits<double>::infinity();  // unknown spans hold everything
    double end = std::numeric_limits<double>::infinity();
};

struct FileIndex {
    QString path;
    Tracev3Header header;
    BootClock clock;
    std::vector<ChunksetPlace> chunksets;
};

// Chunks larger than this are no real file's: a catalog, or a compressed chunkset.
inline constexpr quint64 kMaxChunkBytes = quint64(64) << 20;

// Reads the header and the catalogs. Nothing, counted in `skips`, when the
// file cannot be read or is no tracev3 file; damage part-way keeps what
// came before it.
std::optional<FileIndex> scanTracev3(const QString& path, const Timesync& timesync, SkipCounts& skips);

class Tracev3Stream {
public:
    // The file's records within `range` (both ends included), whose spans
    // the caller has already checked against it.
    Tracev3Stream(FileIndex index, std::optional<DateRange> range, SkipCounts& skips);
    ~Tracev3Stream();
    Tracev3Stream(const Tracev3Stream&) = delete;
    Tracev3Stream& operator=(const Tracev3Stream&) = delete;

    Fill fill() { return m_merge.fill(); }
    double time() const { return m_merge.time(); }
    void pop() { m_merge.pop(); }

    const ChunksetStream& chunkset() { return m_merge.head(); }
    const OversizeStore& oversize() const { return m_oversize; }

private:
    std::unique_ptr<ChunksetStream> open(const ChunksetPlace& place);
    std::shared_ptr<const Catalog> catalogAt(quint64 offset, quint64 size);
    bool readAt(quint64 offset, std::size_t size, char* out);

    FileIndex m_index;
    std::optional<DateRange> m_range;
    SkipCounts& m_skips;
    int m_fd = -1;
    bool m_openFailed = false;
    quint64 m_catalogOffset = 0;
    std::shared_ptr<const Catalog> m_catalog;  // the last one read
    OversizeStore m_oversize;
    LazyMerge<ChunksetStream> m_merge;
};

// Whether a chunkset or file spanning [start, end] can hold a time in `range`.
inline bool overlaps(double start, double end, const std::optional<DateRange>& range)
{
    return !range || (end >= range->start && start <= range->end);
}

}  // namespace Unified
