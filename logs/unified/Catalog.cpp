#include "logs/unified/Catalog.h"

namespace Unified {

std::optional<ChunkHeader> chunkHeaderAt(Bytes bytes, std::size_t offset)
{
    Cursor c(bytes, offset);
    ChunkHeader h{c.u32(), c.u32(), c.u64()};
    if (!c.ok())
        return std::nullopt;
    return h;
}

namespace {

QString textField(Bytes bytes, std::size_t offset, std::size_t size)
{
    const std::optional<Bytes> field = bytes.sub(offset, size);
    if (!field)
        return {};
    const std::string_view s = field->cstring(0);
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

// A header sub chunk: its tag and size at `offset`, its data after them.
std::optional<Bytes> subChunk(Bytes header, std::size_t offset, quint32 tag, std::size_t size)
{
    if (header.le<quint32>(offset) != tag || header.le<quint32>(offset + 4) < size)
        return std::nullopt;
    return header.sub(offset + 8, size);
}

}  // namespace

std::optional<Tracev3Header> parseHeader(Bytes first)
{
    const std::optional<ChunkHeader> chunk = chunkHeaderAt(first, 0);
    if (!chunk || chunk->tag != Tag::header || chunk->size < kHeaderChunkBytes - kChunkHeaderBytes ||
        !first.has(0, kHeaderChunkBytes))
        return std::nullopt;
    Tracev3Header h;
    h.timebase = {*first.le<quint32>(16), *first.le<quint32>(20)};
    if (h.timebase.numer == 0 || h.timebase.denom == 0)
        return std::nullopt;
    // The wall time at continuous time 0 (the boot's): seconds at 32 and, in
    // the field at 40 that the format's description leaves unnamed, its
    // microseconds; real files' dates need them. A value past a second is
    // no microsecond count and is left out.
    const quint32 micros = *first.le<quint32>(40);
    h.bootWallSeconds = double(*first.le<qint32>(32)) + (micros < 1000000 ? micros / 1e6 : 0.0);
    h.timeZoneMinutes = *first.le<qint32>(44);
    if (const auto info = subChunk(first, 72, 0x6101, 56)) {
        h.build = textField(*info, 8, 16);
        h.model = textField(*info, 24, 32);
    }
    if (const auto generation = subChunk(first, 136, 0x6102, 24))
        h.boot = *generation->uuid(0);
    if (const auto zone = subChunk(first, 168, 0x6103, 48))
        h.timeZonePath = textField(*zone, 0, 48);
    return h;
}

const CatalogProcess* Catalog::process(quint64 procIdFirst, quint32 procIdSecond) const
{
    for (const CatalogProcess& p : processes) {
        if (p.procIdFirst == procIdFirst && p.procIdSecond == procIdSecond)
            return &p;
    }
    return nullptr;
}

namespace {

// Offsets in a catalog count from the UUID array after its 24 fixed bytes.
constexpr std::size_t kCatalogFixedBytes = 24;

// Reads one process entry; into `p` when given, else only past it.
bool parseProcess(Cursor& c, const std::vector<QUuid>& uuids, Bytes strings, CatalogProcess* p)
{
    if (!p) {
        c.skip(32);
        const quint32 imageCount = c.u32();
        c.skip(4);
        if (!c.ok() || imageCount > c.remaining() / 16)
            return false;
        c.skip(std::size_t(imageCount) * 16);
        const quint32 subsystemCount = c.u32();
        c.skip(4);
        if (!c.ok() || subsystemCount > c.remaining() / 6)
            return false;
        c.skip(std::size_t(subsystemCount) * 6);
        c.alignTo8();
        return c.ok();
    }
    const auto uuidAt = [&](quint16 i) { return i < uuids.size() ? uuids[i] : QUuid(); };
    const auto text = [&](quint16 offset) {
        const std::string_view s = strings.cstring(offset);
        return QString::fromUtf8(s.data(), qsizetype(s.size()));
    };
    p->index = c.u16();
    c.skip(2);
    p->mainImage = uuidAt(c.u16());
    const quint16 cache = c.u16();
    if (cache != 0xffff && cache < uuids.size())
        p->sharedCache = uuids[cache];
    p->procIdFirst = c.u64();
    p->procIdSecond = c.u32();
    p->pid = c.i32();
    p->euid = c.u32();
    c.skip(4);
    const quint32 imageCount = c.u32();
    c.skip(4);
    if (!c.ok() || imageCount > c.remaining() / 16)
        return false;
    p->images.reserve(imageCount);
    for (quint32 i = 0; i < imageCount; ++i) {
        LoadedImageInfo image;
        image.size = c.u32();
        c.skip(4);
        image.uuid = uuidAt(c.u16());
        const quint32 low = c.u32();
        image.loadAddress = low | (quint64(c.u16()) << 32);
        p->images.push_back(image);
    }
    const quint32 subsystemCount = c.u32();
    c.skip(4);
    if (!c.ok() || subsystemCount > c.remaining() / 6)
        return false;
    for (quint32 i = 0; i < subsystemCount; ++i) {
        const quint16 id = c.u16();
        const quint16 subsystem = c.u16();
        const quint16 category = c.u16();
        p->subsystems.insert_or_assign(id, SubsystemNames{text(subsystem), text(category)});
    }
    c.alignTo8();
    return c.ok();
}

}  // namespace

std::optional<Catalog> parseCatalog(Bytes data, bool names)
{
    Cursor head(data);
    const quint16 stringsOffset = head.u16();
    const quint16 processesOffset = head.u16();
    const quint16 processCount = head.u16();
    const quint16 chunksetsOffset = head.u16();
    const quint16 chunksetCount = head.u16();
    if (!head.ok() || stringsOffset > processesOffset || processesOffset > chunksetsOffset ||
        !data.has(kCatalogFixedBytes, chunksetsOffset))
        return std::nullopt;
    const Bytes body = *data.sub(kCatalogFixedBytes, data.size() - kCatalogFixedBytes);

    std::vector<QUuid> uuids;
    uuids.reserve(names ? stringsOffset / 16 : 0);
    for (std::size_t at = 0; names && at + 16 <= stringsOffset; at += 16)
        uuids.push_back(*body.uuid(at));
    const Bytes strings = *body.sub(stringsOffset, processesOffset - stringsOffset);

    Catalog catalog;
    // The process entries end where the chunkset descriptions begin.
    Cursor processes(*data.sub(0, kCatalogFixedBytes + chunksetsOffset), kCatalogFixedBytes + processesOffset);
    if (processCount > processes.remaining() / 40)  // the fixed part of an entry
        return std::nullopt;
    catalog.processes.resize(names ? processCount : 0);
    for (quint16 i = 0; i < processCount; ++i) {
        if (!parseProcess(processes, uuids, strings, names ? &catalog.processes[i] : nullptr))
            return std::nullopt;
    }

    Cursor spans(data, kCatalogFixedBytes + chunksetsOffset);
    for (quint16 i = 0; i < chunksetCount; ++i) {
        ChunksetSpan span;
        span.start = spans.u64();
        span.end = spans.u64();
        span.uncompressedSize = spans.u32();
        spans.skip(4);  // the compression: LZ4 is the only one seen
        const quint32 indexes = spans.u32();
        spans.skip(std::size_t(indexes) * 2);
        const quint32 offsets = spans.u32();
        spans.skip(std::size_t(offsets) * 2);
        spans.alignTo8();
        if (!spans.ok())
            return std::nullopt;
        catalog.chunksets.push_back(span);
    }
    return catalog;
}

}  // namespace Unified
