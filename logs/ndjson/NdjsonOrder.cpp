#include "logs/ndjson/NdjsonOrder.h"

#include "base/Platform.h"
#include "base/SafeRead.h"
#include "logs/ndjson/NdjsonLineReader.h"

#include <QCryptographicHash>

#include <QFile>
#include <QHash>

#include <limits>
#include <mutex>

#include <sys/stat.h>
#include <unistd.h>

namespace Ndjson {

namespace {

// Below this span the remaining lines are cheaper to read than to bisect.
constexpr qint64 kBisectWindow = 64 * 1024;
// Files remembered at once; a folder of many parts is the large case.
constexpr qsizetype kMaxRemembered = 16384;

struct Known {
    FileStamp stamp;
    qint64 orderedUpTo = 0;
    QByteArray sample;
};

// A digest of evenly spaced blocks of the first `upTo` bytes, both ends
// included; empty when the file cannot be read.
QByteArray sampleOf(const QString& path, qint64 upTo)
{
    constexpr qint64 kBlock = 4096;
    constexpr int kBlocks = 8;
    const int fd = SafeRead::openRegularFile(QFile::encodeName(path), nullptr);
    if (fd < 0)
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray block;
    bool ok = true;
    for (int i = 0; i < kBlocks && ok; ++i) {
        const qint64 at = std::max<qint64>(0, (upTo - kBlock) * i / (kBlocks - 1));
        block.resize(qsizetype(std::min(kBlock, upTo - at)));
        ok = SafeRead::readAt(fd, quint64(at), std::size_t(block.size()), block.data());
        hash.addData(block);
    }
    ::close(fd);
    return ok ? hash.result() : QByteArray();
}

std::mutex g_mutex;
QHash<QPair<quint64, quint64>, Known>& known()
{
    static QHash<QPair<quint64, quint64>, Known> map;
    return map;
}

// What is remembered of the file with this stamp, its content not looked at.
qint64 knownOrderedPrefixUnchecked(const FileStamp& stamp)
{
    const std::lock_guard lock(g_mutex);
    const auto it = known().constFind({stamp.device, stamp.inode});
    return it != known().constEnd() && it->stamp == stamp ? it->orderedUpTo : 0;
}

}  // namespace

FileStamp stampOf(const QString& path)
{
    struct stat st {};
    FileStamp s;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return s;
    s.device = quint64(st.st_dev);
    s.inode = quint64(st.st_ino);
    s.size = qint64(st.st_size);
    s.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.changedNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return s;
}

void rememberOrder(const QString& path, const FileStamp& stamp, qint64 orderedUpTo)
{
    if (!stamp.valid() || orderedUpTo <= 0)
        return;
    // Known already: no need to read the samples again.
    if (knownOrderedPrefixUnchecked(stamp) >= orderedUpTo)
        return;
    QByteArray sample = sampleOf(path, orderedUpTo);
    if (sample.isEmpty())
        return;
    const std::lock_guard lock(g_mutex);
    auto& map = known();
    const QPair<quint64, quint64> key{stamp.device, stamp.inode};
    auto it = map.find(key);
    if (it != map.end()) {
        if (it->stamp == stamp && it->orderedUpTo >= orderedUpTo)
            return;
        *it = Known{stamp, orderedUpTo, std::move(sample)};
        return;
    }
    if (map.size() >= kMaxRemembered)
        map.clear();
    map.insert(key, Known{stamp, orderedUpTo, std::move(sample)});
}

qint64 knownOrderedPrefix(const QString& path, const FileStamp& stamp)
{
    if (!stamp.valid())
        return 0;
    Known k;
    {
        const std::lock_guard lock(g_mutex);
        const auto it = known().constFind({stamp.device, stamp.inode});
        if (it == known().constEnd() || !(it->stamp == stamp))
            return 0;
        k = *it;
    }
    if (sampleOf(path, k.orderedUpTo) == k.sample)
        return k.orderedUpTo;
    qCInfo(lcLogFetcher, "%s changed with its size and times kept; reading it whole", qUtf8Printable(path));
    return 0;
}

void forgetOrders()
{
    const std::lock_guard lock(g_mutex);
    known().clear();
}

std::optional<BisectResult> bisect(const QString& path, qint64 from, qint64 orderedUpTo, double target,
                                   LineParser& parser, RawEntry& scratch)
{
    // Invariant: every event before `lo` is dated before the target. Only
    // events starting before `hi` (within the ordered prefix) move `lo`.
    BisectResult r{from, -std::numeric_limits<double>::infinity()};
    qint64 hi = orderedUpTo;
    LineReader reader(path);
    const char* data;
    std::size_t size;
    while (hi - r.offset > kBisectWindow) {
        const qint64 mid = r.offset + (hi - r.offset) / 2;
        reader.close(mid);
        if (!reader.open())
            return std::nullopt;
        // The rest of the line holding `mid` is dropped: lines are read whole.
        LineReader::Read got;
        while ((got = reader.next(data, size)) == LineReader::Read::partial) {}
        if (got == LineReader::Read::failed)
            return std::nullopt;
        std::optional<double> date;
        while (got != LineReader::Read::end && reader.offset() < hi) {
            got = reader.next(data, size);
            if (got == LineReader::Read::failed)
                return std::nullopt;
            if (got == LineReader::Read::line && parser.parse(data, size, scratch) == LineStatus::event) {
                date = scratch.entry.date;
                break;
            }
        }
        if (date && *date < target) {
            r.offset = reader.offset();
            r.lastDate = *date;
        } else {
            hi = mid;
        }
    }
    return r;
}

}  // namespace Ndjson
