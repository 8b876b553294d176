#pragma once

// A decompressed chunkset as a stream of records in ascending time: one per
// firehose tracepoint, simpledump and statedump. Only what the order needs
// is read here (the time and the kind); a log record is read whole when it
// becomes an entry. Oversize chunks are kept aside for the tracepoints that
// refer to them.

#include "logs/LogStore.h"
#include "logs/unified/Catalog.h"
#include "logs/unified/LazyMerge.h"
#include "logs/unified/Lz4Blocks.h"
#include "logs/unified/Timesync.h"

#include <QByteArray>

#include <deque>
#include <unordered_map>

namespace Unified {

enum class RecordKind : quint8 { log,
                                 simpleDump,
                                 other };

inline constexpr quint16 kNoProcess = 0xffff;

struct Record {
    double date = 0;
    quint32 offset = 0;            // of the tracepoint, or of the chunk for a dump
    quint32 chunk = 0;             // of the firehose chunk that holds the tracepoint
    quint16 process = kNoProcess;  // in the catalog
    RecordKind kind = RecordKind::other;
};

// The oversize chunks of a file, by process and reference, until the file
// ends; the oldest go first past a bound, so a file of nothing else cannot
// fill memory.
class OversizeStore {
public:
    struct Data {
        QByteArray items;     // unknown byte, item count, items, values
        QByteArray privates;  // the chunk's private data
    };
    void insert(quint64 procIdFirst, quint32 procIdSecond, quint32 reference, Data data);
    const Data* find(quint64 procIdFirst, quint32 procIdSecond, quint32 reference) const;

    static constexpr qsizetype kMaxBytes = qsizetype(32) << 20;

private:
    struct Key {
        quint64 first;
        quint32 second;
        quint32 reference;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& k) const
        {
            return std::hash<quint64>()(k.first * 0x9e3779b97f4a7c15ULL ^ (quint64(k.second) << 32 | k.reference));
        }
    };
    std::unordered_map<Key, Data, KeyHash> m_data;
    std::deque<Key> m_order;
    qsizetype m_bytes = 0;
};

class ChunksetStream {
public:
    // The records of the chunkset that fall in `range` (none: all), in time
    // order. Damaged chunks and tracepoints are skipped and counted; the
    // oversize chunks are kept for the file's store. Touches nothing shared,
    // so chunksets decode on any thread.
    ChunksetStream(std::shared_ptr<const Buffer> buffer, std::shared_ptr<const Catalog> catalog,
                   const BootClock& clock, const std::optional<DateRange>& range);

    struct OversizeChunk {
        quint64 procIdFirst;
        quint32 procIdSecond;
        quint32 reference;
        OversizeStore::Data data;
    };
    // What the decoding found beside the records; the file takes them once.
    std::vector<OversizeChunk> takeOversize() { return std::move(m_oversize); }
    const SkipCounts& skipped() const { return m_skips; }

    Fill fill() { return m_next < m_order.size() ? Fill::item : Fill::end; }
    double time() const { return m_records[m_order[m_next]].date; }
    void pop() { ++m_next; }

    const Record& current() const { return m_records[m_order[m_next]]; }
    Bytes bytes() const { return m_buffer->bytes(); }
    const Catalog& catalog() const { return *m_catalog; }

private:
    void readFirehose(std::size_t at, std::size_t size, const BootClock& clock, const std::optional<DateRange>& range);
    void add(const Record& r, const std::optional<DateRange>& range);

    std::shared_ptr<const Buffer> m_buffer;
    std::shared_ptr<const Catalog> m_catalog;
    std::vector<Record> m_records;
    std::vector<quint32> m_order;  // by time, then place in the chunkset
    std::size_t m_next = 0;
    std::vector<OversizeChunk> m_oversize;
    SkipCounts m_skips;
};

// Where a firehose chunk's private data lies in the chunkset, and how far its
// page offsets reach: a tracepoint's private range is given in page offsets.
struct PrivateArea {
    std::size_t start = 0;             // in the buffer
    quint16 firstPageOffset = 0x1000;  // 0x1000: none
};
PrivateArea privateAreaOf(Bytes bytes, std::size_t chunk);

}  // namespace Unified
