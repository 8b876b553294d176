#pragma once

// One tracev3 file: first an index of its chunksets and their time spans,
// read from its header and catalogs without decompressing anything; then,
// while the archive's read reaches its time, its records in time order, its
// chunksets decompressed one at a time as the read reaches their spans.

#include "logs/LogStore.h"
#include "logs/unified/Chunkset.h"

#include <QFuture>
#include <QString>

#include <limits>
#include <unordered_map>

namespace Unified {

struct ChunksetPlace {
    quint64 offset = 0;  // of its compressed data in the file
    quint64 size = 0;
    quint64 catalogOffset = 0;  // of the data of the catalog it belongs to
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

// Threads that read and decode chunksets ahead of the merge, across files;
// 0 decodes each on the reading thread when it is needed. Default: one per core.
void setDecodeThreads(int threads);

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
    // A chunkset read and decoded; no stream when it is damaged.
    struct Decoded {
        std::unique_ptr<ChunksetStream> stream;
    };
    std::unique_ptr<ChunksetStream> open(std::size_t chunkset);
    // Reads and decodes on any thread: it reads only what stays as it was.
    Decoded decode(std::size_t chunkset, std::shared_ptr<const Catalog> catalog) const;
    void decodeAhead(std::size_t chunkset);
    bool ensureOpen();
    std::shared_ptr<const Catalog> catalogAt(quint64 offset, quint64 size);

    FileIndex m_index;
    std::optional<DateRange> m_range;
    SkipCounts& m_skips;
    int m_fd = -1;
    bool m_openFailed = false;
    quint64 m_catalogOffset = 0;
    std::shared_ptr<const Catalog> m_catalog;  // the last one read
    OversizeStore m_oversize;
    std::vector<std::size_t> m_order;  // chunksets in the order they open
    std::vector<std::size_t> m_rank;   // a chunkset's place in that order
    std::unordered_map<std::size_t, QFuture<Decoded>> m_ahead;
    LazyMerge<ChunksetStream> m_merge;
};

// Whether a chunkset or file spanning [start, end] can hold a time in `range`.
inline bool overlaps(double start, double end, const std::optional<DateRange>& range)
{
    return !range || (end >= range->start && start <= range->end);
}

}  // namespace Unified
