#pragma once

// A catalog and the chunksets it describes: the processes they use, with
// their images and subsystems, and each chunkset's span and size.

#include "tools/archivewriter/ArchiveWriter.h"
#include "tools/archivewriter/Chunkset.h"

#include <vector>

namespace ArchiveWriter::detail {

class CatalogBuilder {
public:
    explicit CatalogBuilder(const Bundle& bundle) : m_bundle(bundle) {}

    bool empty() const { return m_chunksets.empty(); }
    int chunksetCount() const { return int(m_chunksets.size()); }
    // Whether the chunkset can join with every offset of the catalog still in 16 bits.
    bool accepts(const SealedChunkset& s) const;
    void add(SealedChunkset s);
    // The catalog chunk, preamble included.
    QByteArray chunk() const;
    // The chunksets in order, leaving the catalog empty.
    std::vector<SealedChunkset> take();

private:
    std::vector<int> joined(const SealedChunkset& s) const;

    const Bundle& m_bundle;
    std::vector<int> m_processes;  // indexes into Bundle::processes; the position is the entry index
    std::vector<SealedChunkset> m_chunksets;
};

}  // namespace ArchiveWriter::detail
