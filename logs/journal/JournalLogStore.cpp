#include "logs/journal/JournalLogStore.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QHash>

#include "base/Platform.h"
#include "logs/ResourceLimits.h"
#include "logs/VisibleText.h"

#include <systemd/sd-journal.h>

#include <algorithm>
#include <vector>

#include <cerrno>
#include <cstring>

namespace {

QString errnoText(int r) { return QString::fromLocal8Bit(std::strerror(r < 0 ? -r : r)); }

struct JournalHandle {
    sd_journal* j = nullptr;
    ~JournalHandle()
    {
        if (j)
            sd_journal_close(j);
    }
};

// Parses a decimal field value; false when it is not a plain number.
template <typename T>
bool parseNumber(const char* p, size_t n, T& out)
{
    if (n == 0 || n > 20)
        return false;
    bool neg = false;
    size_t i = 0;
    if (p[0] == '-') {
        neg = true;
        i = 1;
        if (n == 1)
            return false;
    }
    unsigned long long v = 0;
    for (; i < n; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return false;
        v = v * 10 + unsigned(p[i] - '0');
    }
    out = neg ? T(-(long long)v) : T(v);
    return true;
}

// Names repeat across entries (a few hundred processes, subsystems, hosts in
// 50,000 entries): one shared string per distinct value saves an allocation
// per field, and lets the pipeline's option lists tell repeats by identity.
// Bounded: a journal of all-different values must not grow it without end.
class NameTable {
public:
    QString get(const char* v, size_t n)
    {
        const auto it = m_map.constFind(QByteArray::fromRawData(v, qsizetype(n)));
        if (it != m_map.constEnd())
            return *it;
        if (m_map.size() >= 4096)
            m_map.clear();
        QString text = QString::fromUtf8(v, qsizetype(n));
        m_map.insert(QByteArray(v, qsizetype(n)), text);
        return text;
    }

private:
    QHash<QByteArray, QString> m_map;
};

class JournalEnumerator final : public LogEnumerator {
public:
    JournalEnumerator(std::shared_ptr<JournalHandle> h, std::optional<DateRange> predicate, SkipCounts skipped)
        : m_h(std::move(h)), m_predicate(predicate), m_skipped(std::move(skipped)) {}

    bool next(RawEntry& out) override
    {
        sd_journal* j = m_h->j;
        for (;;) {
            const int r = sd_journal_next(j);
            if (r == 0)
                return false;
            if (r < 0) {
                m_error = StoreError{QStringLiteral("Failed to read journal entry: ") + errnoText(r)};
                return false;
            }
            uint64_t usec = 0;
            if (sd_journal_get_realtime_usec(j, &usec) < 0)
                continue;
            const double date = double(usec) / 1e6;
            if (m_predicate) {
                if (date < m_predicate->start)
                    continue;
                // The journal yields entries in time order, so nothing later can match.
                if (date > m_predicate->end)
                    return false;
            }
            fill(j, date, out);
            return true;
        }
    }

    std::optional<StoreError> error() const override { return m_error; }
    SkipCounts skipped() const override { return m_skipped; }

private:
    // What an entry's fields say beyond the entry's own members.
    struct Fields {
        bool haveMessage = false, haveIdentifier = false, haveSender = false;
        QByteArray priority;
        QString comm, exe, exePath;
    };

    void fill(sd_journal* j, double date, RawEntry& out)
    {
        LogEntry& e = out.entry;
        e = LogEntry{};
        e.date = date;
        e.origin = LogOrigin::linuxJournal;
        e.threadKnown = false;
        Fields f;
        const void* data = nullptr;
        size_t len = 0;
        sd_journal_restart_data(j);
        while (sd_journal_enumerate_data(j, &data, &len) > 0)
            take(static_cast<const char*>(data), len, e, f);
        if (!f.haveIdentifier)
            e.process = f.comm;
        // The sender is the program that logged: the executable's name, which
        // _COMM (cut to 15 bytes, and settable by the process) only stands in
        // for. A SENDER field written on purpose is believed first.
        if (!f.haveSender) {
            e.sender = f.exe.isEmpty() ? f.comm : f.exe;
            e.senderImagePath = f.exePath;
        }
        e.level = JournalLogStore::levelForPriority(f.priority);
        // A journal entry without MESSAGE is metadata (e.g. a coredump or audit record), not a log message.
        out.kind = f.haveMessage ? RawEntryKind::logMessage : RawEntryKind::other;
    }

    // One "KEY=value" field of len bytes at d.
    void take(const char* d, size_t len, LogEntry& e, Fields& f)
    {
        const char* eq = static_cast<const char*>(std::memchr(d, '=', len));
        if (!eq)
            return;
        const size_t klen = size_t(eq - d);
        const char* v = eq + 1;
        const size_t vlen = len - klen - 1;
        auto key = [&](const char* k) { return klen == std::strlen(k) && std::memcmp(d, k, klen) == 0; };
        auto name = [&] { return m_names.get(v, vlen); };
        switch (d[0]) {
        case 'M':
            if (key("MESSAGE")) {
                e.message = QString::fromUtf8(v, qsizetype(vlen));
                f.haveMessage = true;
            }
            break;
        case 'P':
            if (key("PRIORITY"))
                f.priority = QByteArray(v, qsizetype(vlen));
            break;
        case 'S':
            if (key("SYSLOG_IDENTIFIER")) {
                e.process = name();
                f.haveIdentifier = true;
            } else if (key("SUBSYSTEM")) {
                e.subsystem = name();
            } else if (key("SENDER")) {
                e.sender = name();
                f.haveSender = true;
            }
            break;
        case 'C':
            if (key("CATEGORY"))
                e.category = name();
            break;
        case 'T':
            if (key("TID"))
                e.threadKnown = parseNumber(v, vlen, e.threadIdentifier);
            break;
        case 'A':
            if (key("ACTIVITY"))
                parseNumber(v, vlen, e.activityIdentifier);
            break;
        case '_':
            if (key("_PID")) {
                parseNumber(v, vlen, e.processIdentifier);
            } else if (key("_COMM")) {
                f.comm = name();
            } else if (key("_EXE")) {
                f.exe = executableName(v, vlen);
                f.exePath = name();
            } else if (key("_HOSTNAME")) {
                e.host = name();
            }
            break;
        default:
            break;
        }
    }

    // The last component of an _EXE path ("/usr/sbin/sshd" -> "sshd").
    QString executableName(const char* v, size_t n)
    {
        size_t from = n;
        while (from > 0 && v[from - 1] != '/')
            --from;
        return m_names.get(v + from, n - from);
    }

    std::shared_ptr<JournalHandle> m_h;
    NameTable m_names;
    std::optional<DateRange> m_predicate;
    SkipCounts m_skipped;
    std::optional<StoreError> m_error;
};

class JournalStore final : public LogStore {
public:
    JournalStore(std::shared_ptr<JournalHandle> h, SkipCounts skipped) : m_h(std::move(h)), m_skipped(std::move(skipped)) {}

    std::variant<std::unique_ptr<LogEnumerator>, StoreError>
    entries(double position, const std::optional<DateRange>& predicate) override
    {
        sd_journal* j = m_h->j;
        int r;
        if (position <= 0)
            r = sd_journal_seek_head(j);
        else
            r = sd_journal_seek_realtime_usec(j, uint64_t(position * 1e6));
        if (r < 0)
            return StoreError{QStringLiteral("Failed to position in the journal: ") + errnoText(r)};
        return std::unique_ptr<LogEnumerator>(new JournalEnumerator(m_h, predicate, m_skipped));
    }

    // The head's and the tail's times (the journal keeps entries in time order).
    std::optional<DateRange> span(const std::function<bool()>&) override
    {
        sd_journal* j = m_h->j;
        uint64_t first = 0, last = 0;
        if (sd_journal_seek_head(j) < 0 || sd_journal_next(j) <= 0 || sd_journal_get_realtime_usec(j, &first) < 0 ||
            sd_journal_seek_tail(j) < 0 || sd_journal_previous(j) <= 0 || sd_journal_get_realtime_usec(j, &last) < 0)
            return std::nullopt;
        return DateRange{double(first) / 1e6, double(std::max(first, last)) / 1e6};
    }

private:
    std::shared_ptr<JournalHandle> m_h;
    SkipCounts m_skipped;
};

StoreOpenResult wrap(sd_journal* j, SkipCounts skipped = {})
{
    auto h = std::make_shared<JournalHandle>();
    h->j = j;
    // Whole messages: the default threshold would cut long ones.
    sd_journal_set_data_threshold(j, 0);
    return std::unique_ptr<LogStore>(new JournalStore(std::move(h), std::move(skipped)));
}

const QStringList& journalPatterns()
{
    static const QStringList patterns{QStringLiteral("*.journal"), QStringLiteral("*.journal~")};
    return patterns;
}

bool holdsJournalFiles(const QString& path)
{
    QDirIterator it(path, journalPatterns(), QDir::Files, QDirIterator::Subdirectories);
    return it.hasNext();
}

int openList(const QStringList& files, sd_journal** j)
{
    std::vector<QByteArray> names;
    names.reserve(std::size_t(files.size()));
    std::vector<const char*> list;
    for (const QString& f : files) {
        names.push_back(QFile::encodeName(f));
        list.push_back(names.back().constData());
    }
    list.push_back(nullptr);
    return sd_journal_open_files(j, list.data(), 0);
}

bool lacksResources(int r) { return r == -EMFILE || r == -ENFILE || r == -ENOMEM; }

QString relativeName(const QString& folder, const QString& file) { return QDir(folder).relativeFilePath(file); }

// Opens the journal files of a folder. Every file is kept open while the
// folder is read (entries interleave across hosts), so a folder larger than
// the process may hold open is read as far as it fits and the rest is named
// as not read; a file the library refuses (truncated, damaged) is left out
// and counted, not allowed to spoil the others or vanish without a word.
StoreOpenResult openFiles(const QString& folder, const QStringList& files)
{
    sd_journal* j = nullptr;
    int r = openList(files, &j);
    if (r >= 0)
        return wrap(j);
    SkipCounts skipped;
    QStringList good;
    for (const QString& f : files) {
        sd_journal* one = nullptr;
        const int single = openList({f}, &one);
        if (single >= 0)
            sd_journal_close(one);
        if (single >= 0 || lacksResources(single)) {
            good << f;
            continue;
        }
        ++skipped.files;
        qCWarning(lcLogFetcher, "Skipped the damaged journal file %s: %s", qUtf8Printable(f),
                  qUtf8Printable(errnoText(single)));
    }
    if (good.isEmpty())
        return StoreError{QStringLiteral("The journal files are corrupt or incomplete.")};
    // As many as fit, leaving the process descriptors for everything else.
    qsizetype count = good.size();
    if (const long left = ResourceLimits::openFilesLeft(); left >= 0)
        count = std::min<qsizetype>(count, std::max(1L, left - std::min(64L, left / 4)));
    int shortOf = 0;  // what the first attempt that did not fit ran out of
    for (;;) {
        r = openList(good.mid(0, count), &j);
        if (r >= 0 || !lacksResources(r) || count == 1)
            break;
        shortOf = shortOf ? shortOf : r;
        count -= std::max<qsizetype>(1, count / 8);
    }
    if (r < 0)
        return StoreError{QStringLiteral("The journal files could not be opened: ") + errnoText(r)};
    if (count < good.size()) {
        skipped.notRead = good.size() - count;
        skipped.notReadReason = shortOf == -ENOMEM ? QStringLiteral("out of memory")
                                                   : QStringLiteral("the open-file limit is %1").arg(ResourceLimits::openFileLimit());
        for (qsizetype i = count; i < good.size(); ++i) {
            if (skipped.notReadNames.size() < 3)
                skipped.notReadNames << VisibleText::shownName(relativeName(folder, good[i]));
            qCCritical(lcLogFetcher, "Not read (%s): %s", qUtf8Printable(skipped.notReadReason), qUtf8Printable(good[i]));
        }
    }
    return wrap(j, std::move(skipped));
}

}  // namespace

namespace JournalLogStore {

int levelForPriority(const QByteArray& priority)
{
    int p = -1;
    if (!parseNumber(priority.constData(), size_t(priority.size()), p))
        return 0;
    switch (p) {
    case 0:
    case 1:
    case 2: return 5;
    case 3: return 4;
    case 4:
    case 5: return 3;
    case 6: return 2;
    case 7: return 1;
    default: return 0;
    }
}

StoreOpenResult openSystem()
{
    sd_journal* j = nullptr;
    const int r = sd_journal_open(&j, SD_JOURNAL_LOCAL_ONLY);
    if (r < 0) {
        const bool denied = r == -EACCES || r == -EPERM;
        return StoreError{QStringLiteral("Failed to open the system journal: ") + errnoText(r),
                          denied ? StoreError::Cause::denied : StoreError::Cause::unavailable};
    }
    return wrap(j);
}

bool isJournalFolder(const QString& path)
{
    return QFileInfo(path).isDir() && holdsJournalFiles(path);
}

StoreOpenResult openDirectory(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return StoreError{QStringLiteral("The file or folder does not exist.")};
    if (!info.isDir())
        return StoreError{QStringLiteral("The item is not a folder of journal files.")};
    QStringList files;
    for (QDirIterator it(info.absoluteFilePath(), journalPatterns(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
        files << it.next();
    if (files.isEmpty())
        return StoreError{QStringLiteral("The folder holds no journal files.")};
    files.sort();
    return openFiles(info.absoluteFilePath(), files);
}

}  // namespace JournalLogStore
