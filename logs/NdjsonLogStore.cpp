#include "logs/NdjsonLogStore.h"

#include "logs/NdjsonEvent.h"
#include "logs/NdjsonLineReader.h"
#include "logs/Platform.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Ndjson::LineStatus;

QString errnoText(int e) { return QString::fromLocal8Bit(std::strerror(e)); }

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

using Ndjson::LineReader;

struct Source {
    std::unique_ptr<LineReader> reader;
    RawEntry head;
    bool hasHead = false;
    long malformed = 0;
    long tooLong = 0;
};

// Lazily reads the files, skipping malformed lines and entries outside the
// position and predicate; several files are merged in time order.
class NdjsonEnumerator final : public LogEnumerator {
public:
    NdjsonEnumerator(std::vector<Source> sources, double position, std::optional<DateRange> predicate)
        : m_sources(std::move(sources)), m_position(position), m_predicate(predicate) {}

    ~NdjsonEnumerator() override { reportSkipped(); }

    bool next(RawEntry& out) override
    {
        if (m_finished)
            return false;
        if (m_sources.size() == 1) {
            if (advance(m_sources[0], out))
                return true;
            finish();
            return false;
        }
        if (!m_primed) {
            m_primed = true;
            for (Source& s : m_sources) {
                s.hasHead = advance(s, s.head);
                if (!s.hasHead && s.reader->error()) {
                    finish();
                    return false;
                }
            }
        }
        Source* first = nullptr;
        for (Source& s : m_sources) {
            if (s.hasHead && (!first || s.head.entry.date < first->head.entry.date))
                first = &s;
        }
        if (!first) {
            finish();
            return false;
        }
        out = std::move(first->head);
        first->hasHead = advance(*first, first->head);
        if (!first->hasHead && first->reader->error())
            m_stopAfterThis = true;
        if (m_stopAfterThis)
            finish();
        return true;
    }

    std::optional<StoreError> error() const override { return m_error; }

private:
    bool advance(Source& s, RawEntry& into)
    {
        const char* data;
        std::size_t size;
        for (;;) {
            switch (s.reader->next(data, size)) {
            case LineReader::Read::line:
                break;
            case LineReader::Read::partial:
                continue;
            case LineReader::Read::tooLong:
                ++s.tooLong;
                qCInfo(lcLogFetcher, "Skipped a line of %zu bytes in %s (longer than %zu MiB)", size,
                       qUtf8Printable(s.reader->path()), Ndjson::kMaxLineBytes >> 20);
                continue;
            case LineReader::Read::end:
            case LineReader::Read::failed:
                return false;
            }
            switch (m_parser.parse(data, size, into)) {
            case LineStatus::blank:
                continue;
            case LineStatus::malformed:
                ++s.malformed;
                continue;
            case LineStatus::event:
                break;
            }
            ++m_events;
            const double date = into.entry.date;
            if (m_position > 0 && date < m_position)
                continue;
            if (m_predicate && !m_predicate->contains(date))
                continue;
            return true;
        }
    }

    void finish()
    {
        m_finished = true;
        for (const Source& s : m_sources) {
            if (s.reader->error() && !m_error)
                m_error = s.reader->error();
        }
        // Only bad lines is not an empty log but something else given as one.
        long malformed = 0;
        for (const Source& s : m_sources)
            malformed += s.malformed + s.tooLong;
        if (!m_error && m_events == 0 && malformed > 0)
            m_error = StoreError{
                QStringLiteral("No line of this file is a log event (%1 lines could not be read).").arg(malformed)};
        reportSkipped();
    }

    void reportSkipped()
    {
        if (m_reported)
            return;
        m_reported = true;
        for (const Source& s : m_sources) {
            if (s.malformed > 0)
                qCInfo(lcLogFetcher, "Skipped %ld malformed lines in %s", s.malformed,
                       qUtf8Printable(s.reader->path()));
        }
    }

    std::vector<Source> m_sources;
    double m_position;
    std::optional<DateRange> m_predicate;
    Ndjson::LineParser m_parser;
    std::optional<StoreError> m_error;
    bool m_primed = false;
    bool m_finished = false;
    bool m_stopAfterThis = false;
    bool m_reported = false;
    long m_events = 0;  // event lines read, in the range or not
};

class NdjsonStore final : public LogStore {
public:
    explicit NdjsonStore(QStringList files) : m_files(std::move(files)) {}

    std::variant<std::unique_ptr<LogEnumerator>, StoreError>
    entries(double position, const std::optional<DateRange>& predicate) override
    {
        std::vector<Source> sources;
        sources.reserve(std::size_t(m_files.size()));
        for (const QString& f : m_files) {
            Source s;
            s.reader = std::make_unique<LineReader>(f);
            if (!s.reader->open())
                return *s.reader->error();
            sources.push_back(std::move(s));
        }
        return std::unique_ptr<LogEnumerator>(new NdjsonEnumerator(std::move(sources), position, predicate));
    }

private:
    QStringList m_files;
};

}  // namespace

bool isNdjsonSource(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return !ndjsonFilesIn(path).isEmpty();
    return hasNdjsonExtension(info.fileName());
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
        const int fd = Ndjson::openRegularFile(QFile::encodeName(f), &why);
        if (fd < 0)
            return StoreError{f == path ? why : QStringLiteral("Cannot open \"%1\": %2").arg(QFileInfo(f).fileName(), why)};
        ::close(fd);
    }
    return std::unique_ptr<LogStore>(new NdjsonStore(std::move(files)));
}
