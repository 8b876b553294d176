#include "tools/archivewriter/CatalogWriter.h"

#include "tools/archivewriter/Encoding.h"

#include <QHash>

#include <algorithm>
#include <utility>

namespace ArchiveWriter::detail {

namespace {

// The UUID array and the strings region of a catalog, and where its offsets
// (from the end of its 24 fixed bytes) land.
struct Layout {
    std::vector<QUuid> uuids;
    QByteArray strings;
    QHash<QByteArray, quint16> stringOffsets;
    qsizetype processesOffset = 0;
    qsizetype chunksetsOffset = 0;

    quint16 uuidIndex(const QUuid& uuid) const
    {
        return quint16(std::find(uuids.begin(), uuids.end(), uuid) - uuids.begin());
    }
    quint16 stringOffset(const QByteArray& s) const { return stringOffsets.value(s); }
    bool fits() const { return chunksetsOffset <= 0xffff; }
};

void addUuid(Layout& l, const QUuid& uuid)
{
    if (std::find(l.uuids.begin(), l.uuids.end(), uuid) == l.uuids.end())
        l.uuids.push_back(uuid);
}

void addString(Layout& l, const QByteArray& s)
{
    if (l.stringOffsets.contains(s))
        return;
    // Offsets past 16 bits are caught by the size check; the value is then unused.
    l.stringOffsets.insert(s, quint16(l.strings.size()));
    l.strings.append(s).append('\0');
}

qsizetype processEntryBytes(const Process& p)
{
    const qsizetype bytes = 40 + 16 * qsizetype(p.images.size()) + 8 + 6 * qsizetype(p.subsystems.size());
    return (bytes + 7) & ~qsizetype(7);
}

Layout layoutOf(const Bundle& bundle, const std::vector<int>& processes)
{
    Layout l;
    qsizetype processBytes = 0;
    for (int i : processes) {
        const Process& p = bundle.processes[std::size_t(i)];
        addUuid(l, p.mainImage);
        if (p.sharedCache)
            addUuid(l, *p.sharedCache);
        for (const LoadedImage& image : p.images)
            addUuid(l, image.uuid);
        for (const Subsystem& s : p.subsystems) {
            addString(l, s.subsystem);
            addString(l, s.category);
        }
        processBytes += processEntryBytes(p);
    }
    // The process entries start 8-aligned, as the fixed part and UUIDs are.
    l.processesOffset = 16 * qsizetype(l.uuids.size()) + ((l.strings.size() + 7) & ~qsizetype(7));
    l.chunksetsOffset = l.processesOffset + processBytes;
    return l;
}

void putProcess(QByteArray& d, const Layout& l, const Process& p, quint16 index)
{
    put<quint16>(d, index);
    put<quint16>(d, 0);
    put<quint16>(d, l.uuidIndex(p.mainImage));
    put<quint16>(d, p.sharedCache ? l.uuidIndex(*p.sharedCache) : quint16(0xffff));
    put<quint64>(d, p.procIdFirst);
    put<quint32>(d, p.procIdSecond);
    put<qint32>(d, p.pid);
    put<quint32>(d, p.euid);
    put<quint32>(d, 0);
    put<quint32>(d, quint32(p.images.size()));
    put<quint32>(d, 0);
    for (const LoadedImage& image : p.images) {
        if (image.loadAddress >> 48)
            fail(QStringLiteral("load address %1 is over 48 bits").arg(image.loadAddress));
        put<quint32>(d, image.size);
        put<quint32>(d, 0);
        put<quint16>(d, l.uuidIndex(image.uuid));
        put<quint32>(d, quint32(image.loadAddress));
        put<quint16>(d, quint16(image.loadAddress >> 32));
    }
    put<quint32>(d, quint32(p.subsystems.size()));
    put<quint32>(d, 0);
    for (const Subsystem& s : p.subsystems) {
        put<quint16>(d, s.id);
        put<quint16>(d, l.stringOffset(s.subsystem));
        put<quint16>(d, l.stringOffset(s.category));
    }
    padTo(d, 8);
}

// The strings (subsystem and category) of the subsystems a chunkset uses;
// an identifier its process does not list has none.
std::vector<quint16> usedStrings(const Bundle& bundle, const Layout& l, const SealedChunkset& s)
{
    std::vector<quint16> offsets;
    const auto add = [&](const QByteArray& text) {
        const quint16 offset = l.stringOffset(text);
        if (std::find(offsets.begin(), offsets.end(), offset) == offsets.end())
            offsets.push_back(offset);
    };
    for (const auto& [process, id] : s.subsystems) {
        for (const Subsystem& sub : bundle.processes[std::size_t(process)].subsystems) {
            if (sub.id == id) {
                add(sub.subsystem);
                add(sub.category);
                break;
            }
        }
    }
    return offsets;
}

}  // namespace

std::vector<int> CatalogBuilder::joined(const SealedChunkset& s) const
{
    std::vector<int> all = m_processes;
    for (int p : s.processes) {
        if (std::find(all.begin(), all.end(), p) == all.end())
            all.push_back(p);
    }
    return all;
}

bool CatalogBuilder::accepts(const SealedChunkset& s) const { return layoutOf(m_bundle, joined(s)).fits(); }

void CatalogBuilder::add(SealedChunkset s)
{
    m_processes = joined(s);
    m_chunksets.push_back(std::move(s));
}

std::vector<SealedChunkset> CatalogBuilder::take()
{
    m_processes.clear();
    return std::exchange(m_chunksets, {});
}

QByteArray CatalogBuilder::chunk() const
{
    const Layout l = layoutOf(m_bundle, m_processes);
    if (!l.fits())
        fail(QStringLiteral("a catalog of %1 processes leaves its 16-bit offsets").arg(m_processes.size()));
    quint64 earliest = m_chunksets.front().start;
    for (const SealedChunkset& s : m_chunksets)
        earliest = std::min(earliest, s.start);

    QByteArray d;
    put<quint16>(d, quint16(16 * l.uuids.size()));
    put<quint16>(d, quint16(l.processesOffset));
    put<quint16>(d, quint16(m_processes.size()));
    put<quint16>(d, quint16(l.chunksetsOffset));
    put<quint16>(d, fitting<quint16>(m_chunksets.size(), "chunkset count of a catalog"));
    zeros(d, 6);
    put<quint64>(d, earliest);
    for (const QUuid& uuid : l.uuids)
        putUuid(d, uuid);
    d.append(l.strings);
    padTo(d, 8);
    for (std::size_t i = 0; i < m_processes.size(); ++i)
        putProcess(d, l, m_bundle.processes[std::size_t(m_processes[i])], quint16(i));

    for (const SealedChunkset& s : m_chunksets) {
        put<quint64>(d, s.start);
        put<quint64>(d, s.end);
        put<quint32>(d, s.uncompressedSize);
        put<quint32>(d, 0x100);  // LZ4
        put<quint32>(d, quint32(s.processes.size()));
        for (int p : s.processes)
            put<quint16>(d, quint16(std::find(m_processes.begin(), m_processes.end(), p) - m_processes.begin()));
        const std::vector<quint16> strings = usedStrings(m_bundle, l, s);
        put<quint32>(d, quint32(strings.size()));
        for (quint16 offset : strings)
            put<quint16>(d, offset);
        padTo(d, 8);
    }
    QByteArray chunk;
    beginChunk(chunk, Tag::catalog, 0x11, quint64(d.size()));
    chunk.append(d);
    return chunk;
}

}  // namespace ArchiveWriter::detail
