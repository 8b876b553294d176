#pragma once

// A chunkset: consecutive entries as firehose chunks per process, oversize,
// simpledump and statedump chunks, compressed into "bv41" (or stored "bv4-")
// blocks once complete.

#include "tools/archivewriter/ArchiveWriter.h"
#include "tools/archivewriter/Firehose.h"

#include <map>
#include <utility>
#include <vector>

namespace ArchiveWriter::detail {

// What a catalog needs of a complete chunkset, and its stream.
struct SealedChunkset {
    QByteArray stream;  // the ChunkSet chunk's data
    quint32 uncompressedSize = 0;
    quint64 start = 0;
    quint64 end = 0;
    std::vector<int> processes;                       // indexes into Bundle::processes, first use first
    std::vector<std::pair<int, quint16>> subsystems;  // (process, subsystem id) used
};

// The file's oversize references: per process, counting up from 1.
class OversizeRefs {
public:
    quint16 take(int process);

private:
    std::map<int, quint32> m_next;
};

class ChunksetBuilder {
public:
    ChunksetBuilder(const Bundle& bundle, OversizeRefs& refs, TracepointEncoder& encoder)
        : m_bundle(bundle), m_refs(refs), m_encoder(encoder)
    {
    }

    // Adds an entry; oversize data meant for the chunkset before goes into `previous`.
    void add(const Entry& e, ChunksetBuilder* previous);
    int entryCount() const { return m_entries; }
    // Writes out the firehose chunks still open; oversize chunks may follow.
    void closeFirehose();
    SealedChunkset seal(bool compress);

private:
    void note(int process, quint64 time);
    void appendChunk(const QByteArray& chunk, int process, quint64 time);
    void addTracepoint(const Entry& e, const Process& p, std::optional<quint16> oversizeRef);

    const Bundle& m_bundle;
    OversizeRefs& m_refs;
    TracepointEncoder& m_encoder;
    QByteArray m_out;
    QByteArray m_tracepoint;
    std::vector<std::pair<int, FirehoseChunk>> m_open;
    int m_entries = 0;
    bool m_any = false;
    SealedChunkset m_sealed;
};

}  // namespace ArchiveWriter::detail
