#include "logs/unified/Tracev3File.h"

#include "base/Platform.h"
#include "base/SafeRead.h"
#include "logs/unified/IndexCache.h"

#include <QFile>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>

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
                catalog = parseCatalog(Bytes(data.constData(), std::size_t(data.size())), false);
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

std::atomic_int g_decodeThreads = -1;  // unset: one per core

QThreadPool* decodePool()
{
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(QThread::idealThreadCount());
        return p;
    }();
    return pool;
}

int decodeThreads()
{
    const int set = g_decodeThreads.load();
    return set < 0 ? QThread::idealThreadCount() : set;
}

// The chunksets that can hold a time in the range, by their start (as the merge opens them).
std::vector<std::size_t> openingOrder(const FileIndex& index, const std::optional<DateRange>& range)
{
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < index.chunksets.size(); ++i) {
        if (overlaps(index.chunksets[i].start, index.chunksets[i].end, range))
            order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return index.chunksets[a].start < index.chunksets[b].start; });
    return order;
}

}  // namespace

void setDecodeThreads(int threads)
{
    g_decodeThreads = threads;
    if (threads > 0)
        decodePool()->setMaxThreadCount(threads);
}

Tracev3Stream::Tracev3Stream(FileIndex index, std::optional<DateRange> range, SkipCounts& skips)
    : m_index(std::move(index)),
      m_range(range),
      m_skips(skips),
      m_order(openingOrder(m_index, m_range)),
      m_rank(m_index.chunksets.size()),
      m_merge([this] {
          std::vector<LazyMerge<ChunksetStream>::Source> sources;
          for (std::size_t place = 0; place < m_order.size(); ++place) {
              const std::size_t i = m_order[place];
              m_rank[i] = place;
              sources.push_back({m_index.chunksets[i].start, [this, i] { return open(i); }});
          }
          return sources;
      }())
{
}

Tracev3Stream::~Tracev3Stream()
{
    for (auto& [chunkset, future] : m_ahead)
        future.waitForFinished();  // they read through the descriptor
    if (m_fd >= 0)
        ::close(m_fd);
}

bool Tracev3Stream::ensureOpen()
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
    return m_fd >= 0;
}

std::shared_ptr<const Catalog> Tracev3Stream::catalogAt(quint64 offset, quint64 size)
{
    if (m_catalog && m_catalogOffset == offset)
        return m_catalog;
    QByteArray data(qsizetype(size), Qt::Uninitialized);
    std::optional<Catalog> parsed;
    if (SafeRead::readAt(m_fd, offset, std::size_t(size), data.data()))
        parsed = parseCatalog(Bytes(data.constData(), std::size_t(size)));
    m_catalog = parsed ? std::make_shared<const Catalog>(std::move(*parsed)) : nullptr;
    m_catalogOffset = offset;
    return m_catalog;
}

Tracev3Stream::Decoded Tracev3Stream::decode(std::size_t chunkset, std::shared_ptr<const Catalog> catalog) const
{
    const ChunksetPlace& place = m_index.chunksets[chunkset];
    QByteArray compressed(qsizetype(place.size), Qt::Uninitialized);
    std::optional<std::shared_ptr<const Buffer>> buffer;
    if (catalog && SafeRead::readAt(m_fd, place.offset, std::size_t(place.size), compressed.data()))
        buffer = decompressChunkset(Bytes(compressed.constData(), std::size_t(place.size)));
    if (!buffer)
        return {};
    return {std::make_unique<ChunksetStream>(std::move(*buffer), std::move(catalog), m_index.clock, m_range)};
}

// The chunksets that open after this one are read and decoded on the pool
// meanwhile, a few at a time.
void Tracev3Stream::decodeAhead(std::size_t chunkset)
{
    const int threads = decodeThreads();
    if (threads <= 0)
        return;
    const std::size_t from = m_rank[chunkset] + 1;
    for (std::size_t place = from; place < m_order.size() && place <= from + std::size_t(threads); ++place) {
        const std::size_t i = m_order[place];
        if (m_ahead.count(i))
            continue;
        std::shared_ptr<const Catalog> catalog =
            catalogAt(m_index.chunksets[i].catalogOffset, m_index.chunksets[i].catalogSize);
        m_ahead.emplace(i, QtConcurrent::run(decodePool(), [this, i, catalog] { return decode(i, catalog); }));
    }
}

std::unique_ptr<ChunksetStream> Tracev3Stream::open(std::size_t chunkset)
{
    if (!ensureOpen())
        return nullptr;
    decodeAhead(chunkset);
    Decoded d;
    const auto ahead = m_ahead.find(chunkset);
    if (ahead != m_ahead.end()) {
        ahead->second.waitForFinished();
        d = ahead->second.takeResult();
        m_ahead.erase(ahead);
    } else {
        const ChunksetPlace& place = m_index.chunksets[chunkset];
        d = decode(chunkset, catalogAt(place.catalogOffset, place.catalogSize));
    }
    if (!d.stream) {
        qCWarning(lcLogFetcher, "%s: skipped a damaged chunkset at %llu", qUtf8Printable(m_index.path),
                  m_index.chunksets[chunkset].offset - kChunkHeaderBytes);
        ++m_skips.chunks;
        return nullptr;
    }
    for (ChunksetStream::OversizeChunk& o : d.stream->takeOversize())
        m_oversize.insert(o.procIdFirst, o.procIdSecond, o.reference, std::move(o.data));
    const SkipCounts& found = d.stream->skipped();
    m_skips.chunks += found.chunks;
    m_skips.records += found.records;
    return std::move(d.stream);
}

}  // namespace Unified
