#include "logs/unified/Lz4Blocks.h"

#include <lz4.h>

#include <vector>

namespace Unified {

namespace {

struct Block {
    bool compressed;
    Bytes data;
    std::size_t size;  // decompressed
};

constexpr std::string_view kCompressed = "bv41", kStored = "bv4-", kEnd = "bv4$";

// The blocks of the stream, checked against the stream and the bound before
// anything is allocated.
std::optional<std::vector<Block>> blocksOf(Bytes stream, std::size_t* total)
{
    std::vector<Block> blocks;
    Cursor c(stream);
    *total = 0;
    while (true) {
        const Bytes marker = c.take(4);
        if (!c.ok())
            return std::nullopt;  // no end marker
        if (marker.view() == kEnd)
            break;
        Block b{marker.view() == kCompressed, {}, 0};
        if (!b.compressed && marker.view() != kStored)
            return std::nullopt;
        b.size = c.u32();
        const std::size_t stored = b.compressed ? c.u32() : b.size;
        b.data = c.take(stored);
        if (!c.ok() || b.size > kMaxChunksetBytes - *total)
            return std::nullopt;
        *total += b.size;
        blocks.push_back(b);
    }
    return blocks;
}

}  // namespace

std::optional<std::shared_ptr<const Buffer>> decompressChunkset(Bytes stream)
{
    std::size_t total = 0;
    const std::optional<std::vector<Block>> blocks = blocksOf(stream, &total);
    if (!blocks)
        return std::nullopt;
    auto buffer = std::make_shared<Buffer>();
    buffer->data = std::make_unique_for_overwrite<char[]>(std::max<std::size_t>(total, 1));
    buffer->size = total;
    char* out = buffer->data.get();
    for (const Block& b : *blocks) {
        if (!b.compressed) {
            std::memcpy(out, b.data.data(), b.size);
        } else if (b.data.size() > std::size_t(LZ4_MAX_INPUT_SIZE) ||
                   LZ4_decompress_safe(b.data.data(), out, int(b.data.size()), int(b.size)) != int(b.size)) {
            return std::nullopt;
        }
        out += b.size;
    }
    return std::shared_ptr<const Buffer>(std::move(buffer));
}

}  // namespace Unified
