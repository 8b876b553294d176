#include "tools/archivewriter/Tracev3Writer.h"

#include "tools/archivewriter/CatalogWriter.h"
#include "tools/archivewriter/Chunkset.h"
#include "tools/archivewriter/Encoding.h"

#include <QFile>

#include <memory>

namespace ArchiveWriter::detail {

namespace {

// Chunks written one after the other, each starting 8-aligned.
class ChunkFile {
public:
    explicit ChunkFile(const QString& path) : m_file(path)
    {
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            fail(QStringLiteral("cannot write %1: %2").arg(path, m_file.errorString()));
    }

    // `preamble` is a chunk's 16 header bytes, with its data or all of it.
    void chunk(const QByteArray& preamble, const QByteArray& data = {})
    {
        if (const qint64 over = m_pos % 8)
            write(QByteArray(8 - over, '\0'));
        m_locations.push_back({m_pos, qFromLittleEndian<quint32>(preamble.constData()),
                               qFromLittleEndian<quint64>(preamble.constData() + 8)});
        write(preamble);
        write(data);
    }

    std::vector<ChunkLocation> finish()
    {
        if (!m_file.flush())
            fail(QStringLiteral("cannot write %1: %2").arg(m_file.fileName(), m_file.errorString()));
        m_file.close();
        return std::move(m_locations);
    }

private:
    void write(const QByteArray& bytes)
    {
        if (m_file.write(bytes) != bytes.size())
            fail(QStringLiteral("cannot write %1: %2").arg(m_file.fileName(), m_file.errorString()));
        m_pos += bytes.size();
    }

    QFile m_file;
    qint64 m_pos = 0;
    std::vector<ChunkLocation> m_locations;
};

// The entries of a file, from its list or its callback.
class EntrySource {
public:
    explicit EntrySource(const File& file) : m_file(file) {}

    const Entry* next()
    {
        if (m_file.next) {
            m_entry = Entry{};
            return m_file.next(m_entry) ? &m_entry : nullptr;
        }
        return m_index < m_file.entries.size() ? &m_file.entries[m_index++] : nullptr;
    }

private:
    const File& m_file;
    std::size_t m_index = 0;
    Entry m_entry;
};

QByteArray headerChunk(const File& f, quint64 start)
{
    QByteArray h;
    beginChunk(h, Tag::header, 0x11, 208);
    put<quint32>(h, f.timebaseNumer);
    put<quint32>(h, f.timebaseDenom);
    put<quint64>(h, start);
    put<qint32>(h, fitting<qint32>(f.bootWallSeconds, "boot wall seconds"));
    put<quint32>(h, 0);
    put<quint32>(h, f.bootWallMicros);
    put<qint32>(h, f.timeZoneMinutes);
    put<quint32>(h, 0);  // no daylight saving time
    put<quint32>(h, 1);  // 64-bit
    put<quint32>(h, 0x6100);
    put<quint32>(h, 8);
    put<quint64>(h, start);
    put<quint32>(h, 0x6101);
    put<quint32>(h, 56);
    put<quint32>(h, 0x0100000c);  // as an arm64 Mac writes
    put<quint32>(h, 1);
    putText(h, "23A344", 16, "build");
    putText(h, "Mac14,2", 32, "model");
    put<quint32>(h, 0x6102);
    put<quint32>(h, 24);
    putUuid(h, f.boot);
    put<quint32>(h, 96);  // logd's pid
    put<quint32>(h, 0);
    put<quint32>(h, 0x6103);
    put<quint32>(h, 48);
    putText(h, "/var/db/timezone/zoneinfo/UTC", 48, "time zone path");
    return h;
}

}  // namespace

std::vector<ChunkLocation> writeTracev3(const Bundle& bundle, const File& file, const QString& path)
{
    if (file.timebaseNumer == 0 || file.timebaseDenom == 0)
        fail(QStringLiteral("a timebase of 0"));
    if (file.entriesPerChunkset <= 0 || file.chunksetsPerCatalog <= 0)
        fail(QStringLiteral("chunksets and catalogs need at least one entry and chunkset"));
    ChunkFile out(path);
    EntrySource source(file);
    const Entry* e = source.next();
    out.chunk(headerChunk(file, e ? e->continuousTime : 0));

    CatalogBuilder catalog(bundle);
    const auto flush = [&] {
        if (catalog.empty())
            return;
        out.chunk(catalog.chunk());
        for (const SealedChunkset& s : catalog.take()) {
            QByteArray preamble;
            beginChunk(preamble, Tag::chunkset, 0x11, quint64(s.stream.size()));
            out.chunk(preamble, s.stream);
        }
    };
    const auto push = [&](SealedChunkset s) {
        if (!catalog.empty() && (catalog.chunksetCount() >= file.chunksetsPerCatalog || !catalog.accepts(s)))
            flush();
        catalog.add(std::move(s));
    };

    // A chunkset is sealed once the next is complete: until then oversize
    // chunks of the next one's entries may still join it.
    OversizeRefs refs;
    TracepointEncoder encoder;
    std::unique_ptr<ChunksetBuilder> previous;
    auto current = std::make_unique<ChunksetBuilder>(bundle, refs, encoder);
    qint64 index = 0;
    try {
        for (; e; e = source.next(), ++index) {
            current->add(*e, previous.get());
            if (current->entryCount() == file.entriesPerChunkset) {
                current->closeFirehose();
                if (previous)
                    push(previous->seal(file.compress));
                previous = std::move(current);
                current = std::make_unique<ChunksetBuilder>(bundle, refs, encoder);
            }
        }
    } catch (Failure& f) {
        f.message = QStringLiteral("entry %1: %2").arg(index).arg(f.message);
        throw;
    }
    if (previous)
        push(previous->seal(file.compress));
    if (current->entryCount() > 0)
        push(current->seal(file.compress));
    flush();
    return out.finish();
}

}  // namespace ArchiveWriter::detail
