#include "logs/NdjsonLogStore.h"

#include "logs/NdjsonEvent.h"
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
    QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories);
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

// Streams one file line by line through a bounded buffer.
class LineReader {
public:
    LineReader(QString path, int fd) : m_path(std::move(path)), m_fd(fd), m_buf(256 * 1024) {}
    ~LineReader()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    const QString& path() const { return m_path; }
    const std::optional<StoreError>& error() const { return m_error; }

    // The next line without its line break, valid until the next call. A line
    // longer than the limit comes back once with `tooLong` and no text.
    bool nextLine(const char*& data, std::size_t& size, bool& tooLong)
    {
        for (;;) {
            if (m_scan < m_end) {
                char* const begin = m_buf.data() + m_begin;
                const void* nl = std::memchr(m_buf.data() + m_scan, '\n', m_end - m_scan);
                if (nl) {
                    const std::size_t len = std::size_t(static_cast<const char*>(nl) - begin);
                    m_begin += len + 1;
                    m_scan = m_begin;
                    return deliver(begin, len, data, size, tooLong);
                }
                m_scan = m_end;
                if (m_discarding || m_end - m_begin > Ndjson::kMaxLineBytes) {
                    m_discarding = true;
                    m_begin = m_end = m_scan = 0;
                }
            }
            if (m_eof) {
                if (m_begin < m_end) {  // last line without a line break
                    char* const begin = m_buf.data() + m_begin;
                    const std::size_t len = m_end - m_begin;
                    m_begin = m_end = m_scan = 0;
                    return deliver(begin, len, data, size, tooLong);
                }
                if (m_discarding)
                    return deliver(nullptr, 0, data, size, tooLong);
                return false;
            }
            if (!fill())
                return false;
        }
    }

private:
    bool deliver(char* begin, std::size_t len, const char*& data, std::size_t& size, bool& tooLong)
    {
        tooLong = m_discarding || len > Ndjson::kMaxLineBytes;
        m_discarding = false;
        if (tooLong) {
            data = nullptr;
            size = 0;
            return true;
        }
        if (len > 0 && begin[len - 1] == '\r')
            --len;
        data = begin;
        size = len;
        return true;
    }

    bool fill()
    {
        if (m_begin > 0) {
            std::memmove(m_buf.data(), m_buf.data() + m_begin, m_end - m_begin);
            m_end -= m_begin;
            m_scan -= m_begin;
            m_begin = 0;
        }
        // Grows only while one line is being gathered; bounded by the line limit.
        if (m_end == m_buf.size())
            m_buf.resize(m_buf.size() * 2);
        ssize_t r;
        do {
            r = ::read(m_fd, m_buf.data() + m_end, m_buf.size() - m_end);
        } while (r < 0 && errno == EINTR);
        if (r < 0) {
            m_error = StoreError{QStringLiteral("Failed to read \"%1\": %2")
                                     .arg(QFileInfo(m_path).fileName(), errnoText(errno))};
            return false;
        }
        if (r == 0)
            m_eof = true;
        m_end += std::size_t(r);
        return true;
    }

    QString m_path;
    int m_fd;
    std::vector<char> m_buf;
    std::size_t m_begin = 0, m_end = 0, m_scan = 0;
    bool m_eof = false;
    bool m_discarding = false;
    std::optional<StoreError> m_error;
};

struct Source {
    std::unique_ptr<LineReader> reader;
    RawEntry head;
    bool hasHead = false;
    long malformed = 0;
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
        bool tooLong;
        while (s.reader->nextLine(data, size, tooLong)) {
            if (tooLong) {
                ++s.malformed;
                continue;
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
        return false;
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
            malformed += s.malformed;
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
            const int fd = ::open(QFile::encodeName(f).constData(), O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                return StoreError{QStringLiteral("Cannot open \"%1\": %2").arg(QFileInfo(f).fileName(), errnoText(errno))};
            Source s;
            s.reader = std::make_unique<LineReader>(f, fd);
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
    // Refuse at once what cannot be read. A named pipe is only tested for
    // access: opening it here would wake, then abandon, a waiting writer.
    for (const QString& f : files) {
        const QByteArray native = QFile::encodeName(f);
        struct stat st {};
        int rc;
        if (::stat(native.constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
            rc = ::access(native.constData(), R_OK);
        } else {
            const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
            rc = fd < 0 ? -1 : ::close(fd);
        }
        if (rc != 0)
            return StoreError{QStringLiteral("Cannot open \"%1\": %2").arg(QFileInfo(f).fileName(), errnoText(errno))};
    }
    return std::unique_ptr<LogStore>(new NdjsonStore(std::move(files)));
}
