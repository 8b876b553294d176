#include "logs/LogFetcher.h"

#include "base/Background.h"
#include "base/Platform.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSet>
#include <QTimer>

namespace {
constexpr double kDefaultLiveRange = 3600.0;
constexpr double kTailLookBack = 60.0;
constexpr double kTailOverlap = 1.0;
constexpr int kTailWindow = 500;
constexpr int kTailKeyPrefix = 100;
}

LogFetcher::LogFetcher(QObject* parent) : QObject(parent)
{
    // The application waits for the thread pool when it ends, often before
    // any window (and so this fetcher) is destroyed: a running query must
    // stop when quitting starts, or the process never exits.
    if (QCoreApplication* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &LogFetcher::cancelAll);
}

LogFetcher::~LogFetcher() { cancelAll(); }

void LogFetcher::cancelAll()
{
    m_quitting->store(true);
    if (m_fetchCancel)
        m_fetchCancel->store(true);
    ++m_tailGeneration;
}

double LogFetcher::now() const { return m_now ? m_now() : wallClockNow(); }

QueryContext LogFetcher::context(std::shared_ptr<std::atomic_bool> cancelled) const
{
    QueryContext ctx;
    ctx.provider = m_provider;
    ctx.isCancelled = [cancelled, quitting = m_quitting] {
        return quitting->load() || (cancelled && cancelled->load());
    };
    return ctx;
}

QString LogFetcher::emptyResultText(bool archive, const JournalAccess& access)
{
    if (archive)
        return QStringLiteral("No log entries found in this archive.");
    switch (access.limit) {
    case JournalAccess::Limit::noJournal:
        return QStringLiteral("No log entries found: this machine keeps no systemd journal. ") + *accessAdvice(access);
    case JournalAccess::Limit::notInGroup:
        return QStringLiteral("No log entries found. Your account is in neither the systemd-journal nor the adm "
                              "group, so the system journal shows it only its own entries.\n\n") +
               *accessAdvice(access);
    case JournalAccess::Limit::none:
        break;
    }
    return QStringLiteral("No log entries found in the system journal for this time range.");
}

std::optional<QString> LogFetcher::accessAdvice(const JournalAccess& access)
{
    switch (access.limit) {
    case JournalAccess::Limit::noJournal:
        return QStringLiteral("Open a folder of journal files or a log archive with File > Open Log Archive… instead.");
    case JournalAccess::Limit::notInGroup:
        return QStringLiteral("To read the whole journal, add yourself to the systemd-journal group, then log out and "
                              "back in:\n") +
               access.groupCommand();
    case JournalAccess::Limit::none:
        break;
    }
    return std::nullopt;
}

bool LogFetcher::needsAccess(const QueryResult& result)
{
    if (result.error) {
        const QueryFailure f = failureKind(*result.error);
        return f == QueryFailure::liveStoreDenied || f == QueryFailure::liveStoreUnavailable;
    }
    return result.entries.isEmpty() && result.stop != QueryStop::timeOut;
}

QString LogFetcher::timedOutText()
{
    return QStringLiteral("The read timed out after %1 seconds before finding any log entry.").arg(int(kQueryTimeout));
}

QString LogFetcher::failureText(const QueryError& error)
{
    return QStringLiteral("Failed to read logs: ") + describe(error);
}

std::optional<QString> LogFetcher::cutText(const FetchOutcome& outcome, qsizetype entriesRead,
                                           const std::optional<DateRange>& listed, const std::optional<DateRange>& archive)
{
    if (!outcome.isCut())
        return std::nullopt;
    const auto time = [](double d) {
        return QDateTime::fromMSecsSinceEpoch(qint64(d * 1000)).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    };
    switch (outcome.stop) {
    case QueryStop::entryCap:
        return QStringLiteral("Showing the first %1 entries%2%3. Narrow the time range to see later ones.")
            .arg(QLocale(QLocale::English).toString(kEntryCap),
                 listed ? QStringLiteral(", from %1 to %2").arg(time(listed->start), time(listed->end)) : QString(),
                 archive ? QStringLiteral(", of an archive that runs from %1 to %2").arg(time(archive->start), time(archive->end))
                         : QString());
    case QueryStop::timeOut:
        return QStringLiteral("The query took longer than %1 seconds; showing the %2 entries read so far.")
            .arg(int(kQueryTimeout))
            .arg(QLocale(QLocale::English).toString(entriesRead));
    case QueryStop::readError:
        return QStringLiteral("The store failed part-way; showing the %1 entries read before the failure.")
            .arg(QLocale(QLocale::English).toString(entriesRead));
    case QueryStop::complete:
    case QueryStop::cancelled:
        break;
    }
    return std::nullopt;
}

std::optional<QString> LogFetcher::skipText(const SkipCounts& s)
{
    const QLocale english(QLocale::English);
    QStringList sentences;
    if (s.notRead > 0) {
        QString names = s.notReadNames.join(QStringLiteral(", "));
        if (s.notRead > s.notReadNames.size())
            names += QStringLiteral(" and %1 more").arg(english.toString(s.notRead - s.notReadNames.size()));
        sentences << QStringLiteral("%1 not read (%2): %3.")
                         .arg(s.notRead == 1 ? QStringLiteral("1 file was") : english.toString(s.notRead) + QStringLiteral(" files were"),
                              s.notReadReason, names);
    }
    if (s.damaged()) {
        QStringList parts;
        const auto add = [&](qint64 n, const char* one, const char* many) {
            if (n > 0)
                parts << english.toString(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? one : many);
        };
        add(s.files, "damaged file", "damaged files");
        add(s.chunks, "damaged chunk", "damaged chunks");
        add(s.records, "damaged record", "damaged records");
        add(s.stringFiles, "damaged strings file", "damaged strings files");
        add(s.missingData, "message without its data", "messages without their data");
        add(s.lines, "line that is not a log event", "lines that are not log events");
        sentences << QStringLiteral("Skipped while reading: %1.").arg(parts.join(QStringLiteral(", ")));
    }
    if (s.withoutStrings > 0)
        sentences << (s.withoutStrings == 1
                          ? QStringLiteral("1 entry has no format string in this archive (strings files missing).")
                          : QStringLiteral("%1 entries have no format string in this archive (strings files missing).")
                                .arg(english.toString(s.withoutStrings)));
    if (sentences.isEmpty())
        return std::nullopt;
    return sentences.join(QLatin1Char(' '));
}

std::optional<QString> LogFetcher::resultText(const QueryResult& result, bool archive,
                                              const std::optional<JournalAccess>& access)
{
    JournalAccess found;
    if (!archive && needsAccess(result))
        found = access ? *access : JournalAccess::ofThisProcess();
    if (result.error) {
        const std::optional<QString> advice = accessAdvice(found);
        return failureText(*result.error) + (advice ? QStringLiteral("\n\n") + *advice : QString());
    }
    if (result.entries.isEmpty())
        return result.stop == QueryStop::timeOut ? timedOutText() : emptyResultText(archive, found);
    return std::nullopt;
}

FetchOutcome FetchOutcome::of(const QueryResult& result, bool archive)
{
    FetchOutcome o;
    if (result.error) {
        o.kind = Kind::failed;
        o.failure = failureKind(*result.error);
    } else if (result.entries.isEmpty() && result.stop == QueryStop::timeOut) {
        o.kind = Kind::timedOut;
    } else if (result.entries.isEmpty()) {
        o.kind = archive ? Kind::emptyArchive : Kind::emptyLive;
    } else {
        o.kind = Kind::loaded;
    }
    o.stop = result.stop;
    o.skipped = result.skipped;
    return o;
}

void LogFetcher::setOutcome(const FetchOutcome& o)
{
    if (m_outcome == o)
        return;
    m_outcome = o;
    emit outcomeChanged();
}

void LogFetcher::setLoading(bool v)
{
    if (m_isLoading == v)
        return;
    m_isLoading = v;
    emit isLoadingChanged();
}

void LogFetcher::setError(const std::optional<QString>& e)
{
    if (m_errorMessage == e)
        return;
    m_errorMessage = e;
    emit errorMessageChanged();
}

void LogFetcher::setEntries(LogEntryList list)
{
    m_entries = std::move(list);
    emit entriesChanged();
}

void LogFetcher::fetch(double start, double end)
{
    if (m_fetchCancel)
        m_fetchCancel->store(true);
    setLoading(true);
    setOutcome({});
    setError(std::nullopt);
    setEntries({});
    m_lastFetchStart = start;
    m_lastFetchEnd = end;
    qCInfo(lcLogFetcher, "Fetching logs: %.*fh range", 1, (end - start) / 3600.0);

    const QString archive = m_archivePath.value_or(QString());
    auto cancel = std::make_shared<std::atomic_bool>(false);
    m_fetchCancel = cancel;
    const quint64 generation = ++m_fetchGeneration;
    const QueryContext ctx = context(cancel);
    const auto probe = m_accessProbe ? m_accessProbe : std::function<JournalAccess()>(&JournalAccess::ofThisProcess);

    Background::run(
        this,
        [start, end, archive, ctx, probe] {
            QueryResult r = queryEntries(start, end, archive, ctx);
            // Looking up groups may ask a directory service: not on the UI thread.
            JournalAccess access;
            if (archive.isEmpty() && needsAccess(r))
                access = probe();
            return std::pair(std::move(r), access);
        },
        [this, generation, archive](std::pair<QueryResult, JournalAccess> done) {
            if (generation != m_fetchGeneration)
                return;  // superseded (its flag was set): publish nothing
            QueryResult& r = done.first;
            // The outcome first, so that whoever reacts to the text sees it.
            FetchOutcome outcome = FetchOutcome::of(r, !archive.isEmpty());
            outcome.liveAccess = done.second;
            setOutcome(outcome);
            const std::optional<QString> text = resultText(r, !archive.isEmpty(), done.second);
            if (r.ok()) {
                const long n = long(r.entries.size());
                setEntries(std::move(r.entries));
                setLoading(false);
                qCInfo(lcLogFetcher, "Loaded %ld entries", n);
                setError(text);
            } else {
                setError(text);
                setLoading(false);
                qCCritical(lcLogFetcher, "Fetch failed: %s", qUtf8Printable(describe(*r.error)));
            }
        });
}

void LogFetcher::refresh()
{
    if (!m_lastFetchStart)
        return;
    if (m_archivePath) {
        reloadArchive();
        return;
    }
    const double t = now();
    const double e = m_lastFetchEnd.value_or(t);
    fetch(*m_lastFetchStart, t >= e ? t : e);
}

void LogFetcher::openArchive(const QString& path)
{
    stopLiveTail();
    m_archivePath = path;
    emit archivePathChanged();
    qCInfo(lcLogFetcher, "Opening archive: %s", qUtf8Printable(path));
    findArchiveSpan();
    reloadArchive();
}

void LogFetcher::findArchiveSpan()
{
    const quint64 generation = ++m_spanGeneration;
    // A search for the previous archive's dates (a long scan) is of no use now.
    if (m_spanCancel)
        m_spanCancel->store(true);
    m_spanCancel = std::make_shared<std::atomic_bool>(false);
    m_archiveSpan.reset();
    emit archiveSpanChanged();
    if (!m_archivePath)
        return;
    const QueryContext ctx = context(m_spanCancel);
    Background::run(
        this, [path = *m_archivePath, ctx] { return ::archiveSpan(path, ctx); },
        [this, generation](std::optional<DateRange> span) {
            if (generation != m_spanGeneration)
                return;  // another archive since
            m_archiveSpan = span;
            emit archiveSpanChanged();
        });
}

void LogFetcher::reloadArchive()
{
    if (!m_archivePath)
        return;
    fetch(kDistantPast, now());
}

void LogFetcher::closeArchive()
{
    m_archivePath.reset();
    emit archivePathChanged();
    findArchiveSpan();
    setEntries({});
    setOutcome({});
    setError(std::nullopt);
    const double t = now();
    fetch(t - kDefaultLiveRange, t);
}

void LogFetcher::startLiveTail()
{
    if (m_isLiveTailing || m_archivePath)
        return;
    m_isLiveTailing = true;
    emit isLiveTailingChanged();
    const quint64 generation = ++m_tailGeneration;
    QTimer::singleShot(0, this, [this, generation] { liveTailStep(generation); });
}

void LogFetcher::stopLiveTail()
{
    const bool was = m_isLiveTailing;
    m_isLiveTailing = false;
    ++m_tailGeneration;  // cancels the loop; a running poll still merges when it returns
    if (was)
        emit isLiveTailingChanged();
}

void LogFetcher::liveTailStep(quint64 generation)
{
    if (generation != m_tailGeneration || !m_isLiveTailing)
        return;
    const double t = now();
    const double since = m_entries.isEmpty() ? t - kTailLookBack : m_entries.last().date;
    const double start = since - kTailOverlap;
    const QueryContext ctx = context(nullptr);
    Background::run(
        this, [start, t, ctx] { return queryEntries(start, t, QString(), ctx); },
        [this, generation, start](QueryResult r) {
            if (r.ok()) {
                if (m_outcome.liveTail) {  // the tail recovered: back to what the fetch said
                    setOutcome(m_beforeTailError.first);
                    setError(m_beforeTailError.second);
                }
                mergeTailResult(r.entries, start);
            } else {
                if (!m_outcome.liveTail)
                    m_beforeTailError = {m_outcome, m_errorMessage};
                FetchOutcome o;
                o.kind = FetchOutcome::Kind::failed;
                o.failure = failureKind(*r.error);
                o.liveTail = true;
                setOutcome(o);
                setError(QStringLiteral("Live tail error: ") + describe(*r.error));
            }
            schedulePoll(generation);
        });
}

void LogFetcher::schedulePoll(quint64 generation)
{
    if (generation != m_tailGeneration)
        return;
    QTimer::singleShot(m_tailIntervalMs, Qt::PreciseTimer, this, [this, generation] { liveTailStep(generation); });
}

QString LogFetcher::tailKey(const LogEntry& e)
{
    return QString::number(e.date, 'g', QLocale::FloatingPointShortest) + QLatin1Char('-') + e.process + QLatin1Char('-') + e.message.left(kTailKeyPrefix);
}

void LogFetcher::mergeTailResult(const LogEntryList& result, double pollStart)
{
    // Every record the poll could have read again: the last ones and all
    // dated at or after the poll's start, however many fall in that second.
    const qsizetype n = m_entries.size();
    qsizetype from = std::max<qsizetype>(0, n - kTailWindow);
    while (from > 0 && m_entries.at(from - 1).date >= pollStart)
        --from;
    QSet<QString> seen;
    seen.reserve(n - from);
    for (qsizetype i = from; i < n; ++i)
        seen.insert(tailKey(m_entries.at(i)));
    LogEntryList kept;
    for (const LogEntry& e : result)
        if (!seen.contains(tailKey(e)))
            kept.append(e);
    if (kept.isEmpty())
        return;
    m_entries.append(std::move(kept));
    emit entriesChanged();
}
