#include "logs/ndjson/NdjsonLogStore.h"

#include "base/Platform.h"
#include "base/SafeRead.h"
#include "logs/ndjson/NdjsonMerge.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <cmath>

#include <unistd.h>

namespace {

bool hasNdjsonExtension(const QString& fileName)
{
    const QString lower = fileName.toLower();
    return lower.endsWith(QLatin1String(".ndjson")) || lower.endsWith(QLatin1String(".jsonl"));
}

// The .ndjson/.jsonl files under a folder, in path order; none when the folder
// also holds journal files (those make it a journal archive).
QStringList ndjsonFilesIn(const QString& dir)
{
    QStringList files;
    // System entries too (FIFOs, sockets, devices), so that the open refuses them.
    QDirIterator it(dir, QDir::Files | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = it.fileName();
        if (name.endsWith(QLatin1String(".journal")) || name.endsWith(QLatin1String(".journal~")))
            return {};
        if (hasNdjsonExtension(name))
            files.append(path);
    }
    files.sort();
    return files;
}

class NdjsonStore final : public LogStore {
public:
    explicit NdjsonStore(QStringList files) : m_files(std::move(files)) {}

    std::variant<std::unique_ptr<LogEnumerator>, StoreError>
    entries(double position, const std::optional<DateRange>& predicate) override
    {
        return Ndjson::mergedEntries(m_files, position, predicate);
    }

    // An export keeps no index: one read of every line (which also notes the
    // files' time order for later ranges).
    // Without an order note this reads every line: a huge export must not
    // keep quitting (or a newly opened archive) waiting on it.
    std::optional<DateRange> span(const std::function<bool()>& stop) override
    {
        const std::unique_ptr<LogEnumerator> all = Ndjson::mergedEntries(m_files, 0, std::nullopt);
        std::optional<DateRange> span;
        for (RawEntry raw; all->next(raw);) {
            if (stop()) {
                qCInfo(lcLogFetcher, "Stopped looking for the archive's first and last dates");
                return std::nullopt;
            }
            if (raw.kind == RawEntryKind::none || !std::isfinite(raw.entry.date))
                continue;
            if (!span)
                span = DateRange{raw.entry.date, raw.entry.date};
            span->start = std::min(span->start, raw.entry.date);
            span->end = std::max(span->end, raw.entry.date);
        }
        return span;
    }

private:
    QStringList m_files;
};

}  // namespace

// A file whose first line is a JSON object with the keys of a log event,
// whatever the file's name.
bool looksLikeNdjson(const QString& path)
{
    const int fd = SafeRead::openRegularFile(QFile::encodeName(path), nullptr);
    if (fd < 0)
        return false;
    char head[4096];
    const ssize_t n = ::read(fd, head, sizeof head);
    ::close(fd);
    if (n <= 0)
        return false;
    QByteArray line = QByteArray(head, qsizetype(n)).split('\n').first().trimmed();
    if (line.startsWith("\xEF\xBB\xBF"))
        line.remove(0, 3);
    return line.startsWith('{') && (line.contains("\"eventType\"") || line.contains("\"eventMessage\""));
}

bool isNdjsonSource(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return !ndjsonFilesIn(path).isEmpty();
    return looksLikeNdjson(path);
}

StoreOpenResult openNdjsonStore(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return StoreError{QStringLiteral("The file or folder does not exist.")};
    QStringList files;
    if (info.isDir()) {
        files = ndjsonFilesIn(path);
        if (files.isEmpty())
            return StoreError{QStringLiteral("The folder holds no .ndjson or .jsonl log files.")};
    } else {
        files.append(path);
    }
    // Refuse at once what cannot be read, and anything but regular files: a
    // FIFO would block or never end, a device never end.
    for (const QString& f : files) {
        QString why;
        const int fd = SafeRead::openRegularFile(QFile::encodeName(f), &why);
        if (fd < 0)
            return StoreError{f == path ? why : QStringLiteral("Cannot open \"%1\": %2").arg(QFileInfo(f).fileName(), why)};
        ::close(fd);
    }
    return std::unique_ptr<LogStore>(new NdjsonStore(std::move(files)));
}
