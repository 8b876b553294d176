#pragma once

// The compressed stream of a chunkset: "bv41" LZ4 blocks and "bv4-" stored
// blocks, ended by "bv4$". Decompressed with liblz4 into one buffer that the
// records read from it share.

#include "logs/unified/Bytes.h"

#include <memory>
#include <optional>

namespace Unified {

// A read-only block of bytes shared by everything that points into it.
struct Buffer {
    std::unique_ptr<char[]> data;
    std::size_t size = 0;
    Bytes bytes() const { return Bytes(data.get(), size); }
};

// Largest chunkset decompressed; Macs write about 64 KiB.
inline constexpr std::size_t kMaxChunksetBytes = std::size_t(64) << 20;

// The decompressed chunks, or nothing when the stream is damaged (a bad
// marker, a size past the bound or the data, a block that does not
// decompress to its stated size).
std::optional<std::shared_ptr<const Buffer>> decompressChunkset(Bytes stream);

}  // namespace Unified
