#include "logs/unified/IndexCache.h"

#include <QHash>
#include <QMutex>

namespace Unified::IndexCache {

namespace {

// Files remembered at most; past it the cache starts again.
constexpr qsizetype kMaxFiles = 4096;

struct Cache {
    QMutex mutex;
    QHash<QString, RawIndex> files;
};

Cache& cache()
{
    static Cache c;
    return c;
}

bool stillReads(int fd, quint64 offset, const QByteArray& expected)
{
    QByteArray now(expected.size(), Qt::Uninitialized);
    return SafeRead::readAt(fd, offset, std::size_t(now.size()), now.data()) && now == expected;
}

}  // namespace

std::optional<RawIndex> find(const QString& path, int fd, const SafeRead::FileStamp& stamp)
{
    std::optional<RawIndex> index;
    {
        QMutexLocker lock(&cache().mutex);
        const auto it = cache().files.constFind(path);
        if (it == cache().files.constEnd() || !(it->stamp == stamp))
            return std::nullopt;
        index = *it;
    }
    if (!stillReads(fd, 0, index->header) || !stillReads(fd, index->firstCatalogOffset, index->firstCatalog) ||
        !stillReads(fd, index->lastChunkOffset, index->lastChunk))
        return std::nullopt;
    return index;
}

void remember(const QString& path, RawIndex index)
{
    QMutexLocker lock(&cache().mutex);
    if (cache().files.size() >= kMaxFiles && !cache().files.contains(path))
        cache().files.clear();
    cache().files.insert(path, std::move(index));
}

void clear()
{
    QMutexLocker lock(&cache().mutex);
    cache().files.clear();
}

}  // namespace Unified::IndexCache
