#include "logs/unified/Chunkset.h"

#include "base/Platform.h"

#include <algorithm>

namespace Unified {

void OversizeStore::insert(quint64 procIdFirst, quint32 procIdSecond, quint32 reference, Data data)
{
    const Key key{procIdFirst, procIdSecond, reference};
    if (m_data.count(key))
        return;  // the first one stays, as a later duplicate cannot be told apart
    m_bytes += data.items.size() + data.privates.size();
    m_data.emplace(key, std::move(data));
    m_order.push_back(key);
    while (m_bytes > kMaxBytes && !m_order.empty()) {
        const auto it = m_data.find(m_order.front());
        m_bytes -= it->second.items.size() + it->second.privates.size();
        m_data.erase(it);
        m_order.pop_front();
    }
}

const OversizeStore::Data* OversizeStore::find(quint64 procIdFirst, quint32 procIdSecond, quint32 reference) const
{
    const auto it = m_data.find(Key{procIdFirst, procIdSecond, reference});
    return it == m_data.end() ? nullptr : &it->second;
}

namespace {

// Offsets inside a chunk, from its header.
constexpr std::size_t kData = kChunkHeaderBytes;
constexpr std::size_t kFirehosePage = kData + 16;  // the page header: sizes, stream, base time
constexpr std::size_t kFirehoseTracepoints = kData + 32;
constexpr std::size_t kTracepointHeader = 24;
constexpr quint16 kPageSize = 0x1000;

std::size_t align8(std::size_t n) { return (n + 7) & ~std::size_t(7); }

}  // namespace

PrivateArea privateAreaOf(Bytes bytes, std::size_t chunk)
{
    PrivateArea area;
    const quint64 size = bytes.le<quint64>(chunk + 8).value_or(0);
    const quint16 first = bytes.le<quint16>(chunk + kFirehosePage + 2).value_or(kPageSize);
    // The private data fills the page from its offset to the page's end; a
    // collapsed chunk keeps it at its own end, and so does a whole page.
    if (first < kPageSize && size >= quint64(kPageSize - first)) {
        area.firstPageOffset = first;
        area.start = chunk + kData + std::size_t(size) - (kPageSize - first);
    }
    return area;
}

ChunksetStream::ChunksetStream(std::shared_ptr<const Buffer> buffer, std::shared_ptr<const Catalog> catalog,
                               const BootClock& clock, const std::optional<DateRange>& range)
    : m_buffer(std::move(buffer)), m_catalog(std::move(catalog))
{
    SkipCounts& skips = m_skips;
    const Bytes b = m_buffer->bytes();
    std::size_t at = 0;
    while (b.has(at, kChunkHeaderBytes)) {
        const ChunkHeader h = *chunkHeaderAt(b, at);
        if (!b.has(at + kData, h.size)) {
            qCWarning(lcLogFetcher, "Skipped a chunk (tag 0x%x) whose size passes its chunkset's end", h.tag);
            ++skips.chunks;
            break;  // nothing after it can be found
        }
        const std::size_t size = std::size_t(h.size);
        Cursor c(b, at + kData);
        const quint64 first = c.u64();
        const quint32 second = c.u32();
        switch (h.tag) {
        case Tag::firehose:
            readFirehose(at, size, clock, range);
            break;
        case Tag::oversize: {
            c.skip(4 + 8);  // ttl and reserved, time
            const quint32 reference = c.u32();
            const quint16 dataSize = c.u16();
            const quint16 privateSize = c.u16();
            if (!c.ok() || 32 + std::size_t(dataSize) + privateSize > size) {
                ++skips.chunks;
                break;
            }
            const char* data = b.data() + at + kData + 32;
            m_oversize.push_back(
                {first, second, reference, {QByteArray(data, dataSize), QByteArray(data + dataSize, privateSize)}});
            break;
        }
        case Tag::simpleDump:
        case Tag::stateDump: {
            c.skip(4);
            const quint64 ct = c.u64();
            if (!c.ok()) {
                ++skips.chunks;
                break;
            }
            const CatalogProcess* p = m_catalog->process(first, second);
            add({clock.wallAt(ct), quint32(at), quint32(at),
                 p ? quint16(p - m_catalog->processes.data()) : kNoProcess,
                 h.tag == Tag::simpleDump ? RecordKind::simpleDump : RecordKind::other},
                range);
            break;
        }
        default:
            qCWarning(lcLogFetcher, "Skipped a chunk of unknown tag 0x%x", h.tag);
            ++skips.chunks;
            break;
        }
        at = align8(at + kData + size);
    }
    m_order.resize(m_records.size());
    for (quint32 i = 0; i < m_order.size(); ++i)
        m_order[i] = i;
    std::stable_sort(m_order.begin(), m_order.end(),
                     [this](quint32 a, quint32 b) { return m_records[a].date < m_records[b].date; });
}

void ChunksetStream::add(const Record& r, const std::optional<DateRange>& range)
{
    if (!range || range->contains(r.date))
        m_records.push_back(r);
}

void ChunksetStream::readFirehose(std::size_t at, std::size_t size, const BootClock& clock,
                                  const std::optional<DateRange>& range)
{
    SkipCounts& skips = m_skips;
    const Bytes b = m_buffer->bytes();
    const quint16 publicSize = b.le<quint16>(at + kFirehosePage).value_or(0);
    const std::optional<quint64> base = b.le<quint64>(at + kFirehosePage + 8);
    if (publicSize < 16 || std::size_t(publicSize) + 16 > size || !base) {
        qCWarning(lcLogFetcher, "Skipped a firehose chunk whose public data size %u does not fit", publicSize);
        ++skips.chunks;
        return;
    }
    const CatalogProcess* p = m_catalog->process(*b.le<quint64>(at + kData), *b.le<quint32>(at + kData + 8));
    const quint16 process = p ? quint16(p - m_catalog->processes.data()) : kNoProcess;
    const std::size_t end = at + kFirehosePage + publicSize;
    std::size_t q = at + kFirehoseTracepoints;
    while (q + kTracepointHeader <= end) {
        const quint8 recordType = quint8(b.data()[q]);
        if (recordType == 0)
            break;  // the rest of the page is unused
        const quint16 dataSize = *b.le<quint16>(q + 22);
        if (q + kTracepointHeader + dataSize > end) {
            ++skips.records;
            break;
        }
        const quint64 delta = *b.le<quint32>(q + 16) | quint64(*b.le<quint16>(q + 20)) << 32;
        RecordKind kind = RecordKind::other;
        switch (recordType) {
        case 4: kind = RecordKind::log; break;
        case 2:  // activity
        case 3:  // trace
        case 6:  // signpost
        case 7:  // loss
            break;
        default:
            ++skips.records;
            q = align8(q + kTracepointHeader + dataSize);
            continue;
        }
        add({clock.wallAt(*base + delta), quint32(q), quint32(at), process, kind}, range);
        q = align8(q + kTracepointHeader + dataSize);
    }
}

}  // namespace Unified
