#include "logs/LogFetcher.h"

#include "logs/Platform.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSet>
#include <QThreadPool>
#include <QTimer>

namespace {
constexpr double kDefaultLiveRange = 3600.0;
constexpr double kTailLookBack = 60.0;
constexpr double kTailOverlap = 1.0;
constexpr int kTailWindow = 500;
constexpr int kTailKeyPrefix = 100;

// Runs `work` on the thread pool and `done` with its result on the main thread,
// unless `target` is gone by then.
template <typename Work, typename Done>
void runDetached(LogFetcher* target, Work work, Done done)
{
    QPointer<LogFetcher> guard(target);
    QThreadPool::globalInstance()->start([guard, work = std::move(work), done = std::move(done)]() mutable {
        auto result = work();
        if (!result)
            return;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [guard, done = std::move(done), result = std::move(result)]() mutable {
                if (guard)
                    done(std::move(*result));
            },
            Qt::QueuedConnection);
    });
}
}

LogFetcher::LogFetcher(QObject* parent) : QObject(parent) {}

LogFetcher::~LogFetcher()
{
    if (m_fetchCancel)
        m_fetchCancel->store(true);
    ++m_tailGeneration;
}

double LogFetcher::now() const { return m_now ? m_now() : wallClockNow(); }

QueryContext LogFetcher::context(std::shared_ptr<std::atomic_bool> cancelled) const
{
    QueryContext ctx;
    ctx.provider = m_provider;
    if (cancelled)
        ctx.isCancelled = [cancelled] { return cancelled->load(); };
    return ctx;
}

QString LogFetcher::emptyResultText(bool archive)
{
    if (archive)
        return QStringLiteral("No log entries found in this archive.");
    return QStringLiteral(
        "No log entries found. If you expected system logs, grant Full Disk Access to Vellacord in System Settings "
        "→ Privacy & Security → Full Disk Access.");
}

QString LogFetcher::failureText(const QueryError& error)
{
    return QStringLiteral("Failed to read logs: ") + describe(error);
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
    setError(std::nullopt);
    setEntries({});
    m_lastFetchStart = start;
    m_lastFetchEnd = end;
    qCInfo(lcLogFetcher, "Fetching logs: %.*fh range", 1, (end - start) / 3600.0);

    const QString archive = m_archiveURL.value_or(QString());
    auto cancel = std::make_shared<std::atomic_bool>(false);
    m_fetchCancel = cancel;
    const quint64 generation = ++m_fetchGeneration;
    const QueryContext ctx = context(cancel);

    runDetached(
        this,
        [start, end, archive, ctx, cancel]() -> std::optional<QueryResult> {
            QueryResult r = queryEntries(start, end, archive, ctx);
            if (cancel->load())
                return std::nullopt;  // superseded: publish nothing
            return r;
        },
        [this, generation, archive](QueryResult r) {
            if (generation != m_fetchGeneration)
                return;
            if (r.ok()) {
                const bool empty = r.entries.isEmpty();
                const long n = long(r.entries.size());
                setEntries(std::move(r.entries));
                setLoading(false);
                qCInfo(lcLogFetcher, "Loaded %ld entries", n);
                if (empty)
                    setError(emptyResultText(!archive.isEmpty()));
            } else {
                const QString description = describe(*r.error);
                setError(failureText(*r.error));
                setLoading(false);
                qCCritical(lcLogFetcher, "Fetch failed: %s", qUtf8Printable(description));
            }
        });
}

void LogFetcher::refresh()
{
    if (!m_lastFetchStart)
        return;
    if (m_archiveURL) {
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
    m_archiveURL = path;
    emit archiveURLChanged();
    qCInfo(lcLogFetcher, "Opening archive: %s", qUtf8Printable(path));
    reloadArchive();
}

void LogFetcher::reloadArchive()
{
    if (!m_archiveURL)
        return;
    fetch(kDistantPast, now());
}

void LogFetcher::closeArchive()
{
    m_archiveURL.reset();
    emit archiveURLChanged();
    setEntries({});
    setError(std::nullopt);
    const double t = now();
    fetch(t - kDefaultLiveRange, t);
}

void LogFetcher::startLiveTail()
{
    if (m_isLiveTailing || m_archiveURL)
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
    runDetached(
        this, [start, t, ctx]() -> std::optional<QueryResult> { return queryEntries(start, t, QString(), ctx); },
        [this, generation](QueryResult r) {
            if (r.ok())
                mergeTailResult(r.entries);
            else
                setError(QStringLiteral("Live tail error: ") + describe(*r.error));
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
    return QString::number(e.date, 'g', QLocale::FloatingPointShortest) + QLatin1Char('-') + e.process
        + QLatin1Char('-') + e.message.left(kTailKeyPrefix);
}

void LogFetcher::mergeTailResult(const LogEntryList& result)
{
    const qsizetype n = m_entries.size();
    const qsizetype window = std::min<qsizetype>(kTailWindow, n);
    QSet<QString> seen;
    seen.reserve(window);
    for (qsizetype i = n - window; i < n; ++i)
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
