#include "logs/unified/Tracev3File.h"

#include "logs/Platform.h"
#include "logs/SafeRead.h"
#include "logs/unified/IndexCache.h"

#include <QFile>

#include <cerrno>
#include <tuple>

#include <sys/stat.h>
#include <unistd.h>

namespace Unified {

namespace {

std::size_t align8(quint64 n) { return std::size_t((n + 7) & ~quint64(7)); }

struct Fd {
    int fd;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// Reads the chunk headers and the catalogs of the file after its header.
RawIndex scanChunks(const QString& path, int fd, quint64 fileSize)
{
    RawIndex raw;
    std::optional<Catalog> catalog;  // of the chunksets that follow it
    quint64 catalogOffset = 0, catalogSize = 0;
    std::size_t next = 0;  // the next chunkset's place in the catalog
    QByteArray data;
    for (quint64 at = kHeaderChunkBytes; at + kChunkHeaderBytes <= fileSize;) {
        char head[kChunkHeaderBytes];
        if (!SafeRead::readAt(fd, at, kChunkHeaderBytes, head)) {
            ++raw.skipped.chunks;
            break;
        }
        const ChunkHeader h = *chunkHeaderAt(Bytes(head, kChunkHeaderBytes), 0);
        const quint64 dataAt = at + kChunkHeaderBytes;
        if (h.size > fileSize - dataAt || h.size > kMaxChunkBytes) {
            qCWarning(lcLogFetcher, "%s: a chunk at %llu claims %llu bytes; the rest of the file is skipped",
                      qUtf8Printable(path), at, quint64(h.size));
            ++raw.skipped.chunks;
            break;
        }
        raw.lastChunk = QByteArray(head, kChunkHeaderBytes);
        raw.lastChunkOffset = at;
        if (h.tag == Tag::catalog) {
            data.resize(qsizetype(h.size));
            catalog.reset();
            if (SafeRead::readAt(fd, dataAt, std::size_t(h.size), data.data()))
                catalog = parseCatalog(Bytes(data.constData(), std::size_t(data.size())));
            if (!catalog) {
                qCWarning(lcLogFetcher, "%s: skipped a damaged catalog at %llu and its chunksets", qUtf8Printable(path), at);
                ++raw.skipped.chunks;
            }
            if (raw.firstCatalog.isEmpty()) {
                raw.firstCatalog = data.left(24);
                raw.firstCatalogOffset = dataAt;
            }
            catalogOffset = dataAt;
            catalogSize = h.size;
            next = 0;
        } else if (h.tag == Tag::chunkset && catalog) {
            RawPlace place{dataAt, h.size, catalogOffset, catalogSize};
            if (next < catalog->chunksets.size() && catalog->chunksets[next].start <= catalog->chunksets[next].end) {
                place.spanKnown = true;
                place.start = catalog->chunksets[next].start;
                place.end = catalog->chunksets[next].end;
            }
            ++next;
            raw.places.push_back(place);
        } else {
            // A chunkset without its catalog cannot be read; other tags are unknown here.
            ++raw.skipped.chunks;
        }
        at = align8(dataAt + h.size);
    }
    return raw;
}

}  // namespace

std::optional<FileIndex> scanTracev3(const QString& path, const Timesync& timesync, SkipCounts& skips)
{
    QString why;
    const Fd file{SafeRead::openRegularFile(QFile::encodeName(path), &why)};
    struct stat st {};
    QByteArray first(kHeaderChunkBytes, Qt::Uninitialized);
    std::optional<Tracev3Header> header;
    if (file.fd >= 0 && ::fstat(file.fd, &st) == 0 && quint64(st.st_size) >= kHeaderChunkBytes &&
        SafeRead::readAt(file.fd, 0, kHeaderChunkBytes, first.data()))
        header = parseHeader(Bytes(first.constData(), kHeaderChunkBytes));
    if (!header) {
        qCWarning(lcLogFetcher, "Skipped %s: %s", qUtf8Printable(path),
                  qUtf8Printable(why.isEmpty() ? QStringLiteral("not a tracev3 file") : why));
        ++skips.files;
        return std::nullopt;
    }
    const SafeRead::FileStamp stamp = SafeRead::stampOf(file.fd);
    std::optional<RawIndex> raw = IndexCache::find(path, file.fd, stamp);
    if (!raw) {
        qCInfo(lcLogFetcher, "Reading %s: boot %s, %s %s, time zone %s", qUtf8Printable(path),
               qUtf8Printable(header->boot.toString(QUuid::WithoutBraces)), qUtf8Printable(header->model),
               qUtf8Printable(header->build), qUtf8Printable(header->timeZonePath));
        raw = scanChunks(path, file.fd, quint64(st.st_size));
        raw->stamp = stamp;
        raw->header = first;
        IndexCache::remember(path, *raw);
    }
    skips.chunks += raw->skipped.chunks;

    FileIndex index;
    index.path = path;
    index.header = *header;
    const BootClock* synced = timesync.boot(header->boot);
    index.clock = synced ? *synced : BootClock(header->timebase, header->bootWallSeconds);
    index.chunksets.reserve(raw->places.size());
    for (const RawPlace& p : raw->places) {
        ChunksetPlace place{p.offset, p.size, p.catalogOffset, p.catalogSize};
        if (p.spanKnown)
            std::tie(place.start, place.end) = index.clock.wallSpan(p.start, p.end);
        index.chunksets.push_back(place);
    }
    return index;
}

namespace {

std::vector<LazyMerge<ChunksetStream>::Source> sourcesOf(const FileIndex& index, const std::optional<DateRange>& range,
                                                         const std::function<std::unique_ptr<ChunksetStream>(std::size_t)>& open)
{
    std::vector<LazyMerge<ChunksetStream>::Source> sources;
    for (std::size_t i = 0; i < index.chunksets.size(); ++i) {
        const ChunksetPlace& c = index.chunksets[i];
        if (overlaps(c.start, c.end, range))
            sources.push_back({c.start, [open, i] { return open(i); }});
    }
    return sources;
}

}  // namespace

Tracev3Stream::Tracev3Stream(FileIndex index, std::optional<DateRange> range, SkipCounts& skips)
    : m_index(std::move(index)),
      m_range(range),
      m_skips(skips),
      m_merge(sourcesOf(m_index, m_range, [this](std::size_t i) { return open(m_index.chunksets[i]); }))
{
}

Tracev3Stream::~Tracev3Stream()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool Tracev3Stream::readAt(quint64 offset, std::size_t size, char* out)
{
    if (m_fd < 0 && !m_openFailed) {
        QString why;
        m_fd = SafeRead::openRegularFile(QFile::encodeName(m_index.path), &why);
        if (m_fd < 0) {
            qCWarning(lcLogFetcher, "Skipped %s: %s", qUtf8Printable(m_index.path), qUtf8Printable(why));
            m_openFailed = true;
            ++m_skips.files;
        }
    }
    return m_fd >= 0 && SafeRead::readAt(m_fd, offset, size, out);
}

std::shared_ptr<const Catalog> Tracev3Stream::catalogAt(quint64 offset, quint64 size)
{
    if (m_catalog && m_catalogOffset == offset)
        return m_catalog;
    QByteArray data(qsizetype(size), Qt::Uninitialized);
    std::optional<Catalog> parsed;
    if (readAt(offset, std::size_t(size), data.data()))
        parsed = parseCatalog(Bytes(data.constData(), std::size_t(size)));
    m_catalog = parsed ? std::make_shared<const Catalog>(std::move(*parsed)) : nullptr;
    m_catalogOffset = offset;
    return m_catalog;
}

std::unique_ptr<ChunksetStream> Tracev3Stream::open(const ChunksetPlace& place)
{
    if (m_openFailed)
        return nullptr;
    std::shared_ptr<const Catalog> catalog = catalogAt(place.catalogOffset, place.catalogSize);
    QByteArray compressed(qsizetype(place.size), Qt::Uninitialized);
    std::optional<std::shared_ptr<const Buffer>> buffer;
    if (catalog && readAt(place.offset, std::size_t(place.size), compressed.data()))
        buffer = decompressChunkset(Bytes(compressed.constData(), std::size_t(place.size)));
    if (!buffer) {
        if (!m_openFailed) {
            qCWarning(lcLogFetcher, "%s: skipped a damaged chunkset at %llu", qUtf8Printable(m_index.path),
                      place.offset - kChunkHeaderBytes);
            ++m_skips.chunks;
        }
        return nullptr;
    }
    return std::make_unique<ChunksetStream>(std::move(*buffer), std::move(catalog), m_index.clock, m_range, m_oversize,
                                            m_skips);
}

}  // namespace Unified
