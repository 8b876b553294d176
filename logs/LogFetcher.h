#pragma once

#include "logs/LogQuery.h"
#include "logs/journal/JournalAccess.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>

// What the last fetch came to, beside its user-facing text: views and the
// command line decide by this, never by matching the text.
struct FetchOutcome {
    enum class Kind {
        none,          // no fetch has finished since the last one started (or the archive closed)
        loaded,        // entries were published; `stop` tells whether the list was cut
        emptyLive,     // the live store returned no records
        emptyArchive,  // the archive returned no records
        failed,        // `failure` tells why; the list is empty
        timedOut,      // the read ran out of time before finding any entry
    };
    Kind kind = Kind::none;
    std::optional<QueryFailure> failure;
    QueryStop stop = QueryStop::complete;
    // With `failed`: a live-tail poll failed; the list stays as it was.
    bool liveTail = false;
    // What the read skipped as damaged or missing: the list is partial.
    SkipCounts skipped;
    // With `emptyLive`, or a live store that could not be opened: what keeps
    // the user from the journal, found when the read came back.
    JournalAccess liveAccess;

    // The outcome of a finished query of the live store or of an archive.
    static FetchOutcome of(const QueryResult& result, bool archive);
    bool isCut() const { return kind == Kind::loaded && stop != QueryStop::complete; }
    bool operator==(const FetchOutcome&) const = default;
};

// The service that reads the log: owns the entries of the current view, runs
// range queries against the live store or an open archive on the thread pool,
// and runs live tail. Lives on the main thread; every signal stands for a
// published property.
class LogFetcher : public QObject {
    Q_OBJECT
public:
    explicit LogFetcher(QObject* parent = nullptr);
    ~LogFetcher() override;

    // Published state.
    const LogEntryList& entries() const { return m_entries; }
    bool isLoading() const { return m_isLoading; }
    const std::optional<QString>& errorMessage() const { return m_errorMessage; }
    const FetchOutcome& outcome() const { return m_outcome; }
    bool isLiveTailing() const { return m_isLiveTailing; }
    const std::optional<QString>& archivePath() const { return m_archivePath; }  // a path
    bool isViewingArchive() const { return m_archivePath.has_value(); }
    // The open archive's first and last dates, found in the background after
    // it opens; none before then, and for an archive that holds nothing.
    const std::optional<DateRange>& archiveSpan() const { return m_archiveSpan; }
    std::optional<double> lastFetchStart() const { return m_lastFetchStart; }
    std::optional<double> lastFetchEnd() const { return m_lastFetchEnd; }

    void fetch(double start, double end);
    void refresh();
    void openArchive(const QString& path);
    void reloadArchive();
    void closeArchive();
    void startLiveTail();
    void stopLiveTail();

    // User-facing texts of the fetcher. The live store is this machine's
    // systemd journal: an empty one says why, by what `access` found.
    static QString emptyResultText(bool archive, const JournalAccess& access = {});
    // What to do about the access limit on this system; nothing without one.
    static std::optional<QString> accessAdvice(const JournalAccess& access);
    // A read that ran out of time with nothing found: not an empty log.
    static QString timedOutText();
    static QString failureText(const QueryError& error);
    // What to say when a loaded list was cut short; nothing when it is whole.
    // Given the dates the list holds and those of its archive, a list cut by
    // the cap says how much of the archive it holds.
    static std::optional<QString> cutText(const FetchOutcome& outcome, qsizetype entriesRead,
                                          const std::optional<DateRange>& listed = std::nullopt,
                                          const std::optional<DateRange>& archive = std::nullopt);
    // What the read skipped, in one sentence; nothing when it skipped nothing.
    static std::optional<QString> skipText(const SkipCounts& skipped);
    // The message a finished query publishes: the failure or empty-result
    // text, or nothing. A live read that needs the user's access and is not
    // given it looks at this process's.
    static std::optional<QString> resultText(const QueryResult& result, bool archive,
                                             const std::optional<JournalAccess>& access = std::nullopt);
    // Whether the result of a live read calls for the user's access to be found.
    static bool needsAccess(const QueryResult& result);

    // Test seams: where stores come from, the wall clock, the tail interval.
    void setStoreProvider(const LogStoreProvider* provider) { m_provider = provider; }
    void setClock(std::function<double()> now) { m_now = std::move(now); }
    void setLiveTailInterval(int msec) { m_tailIntervalMs = msec; }
    // Called on the thread pool; the default looks at this process.
    void setJournalAccessProbe(std::function<JournalAccess()> probe) { m_accessProbe = std::move(probe); }

    // The live-tail duplicate key of a record.
    static QString tailKey(const LogEntry& entry);
    // Appends the records of a poll that are not among the last 500 shown.
    void mergeTailResult(const LogEntryList& result, double pollStart);

signals:
    void entriesChanged();
    void isLoadingChanged();
    void errorMessageChanged();
    void outcomeChanged();
    void isLiveTailingChanged();
    void archivePathChanged();
    void archiveSpanChanged();

private:
    void setLoading(bool v);
    void setError(const std::optional<QString>& e);
    void setOutcome(const FetchOutcome& o);
    void setEntries(LogEntryList list);
    void findArchiveSpan();
    void liveTailStep(quint64 generation);
    void schedulePoll(quint64 generation);
    double now() const;
    // Stops the running fetch and poll and the live-tail loop, for good.
    void cancelAll();
    QueryContext context(std::shared_ptr<std::atomic_bool> cancelled) const;

    LogEntryList m_entries;
    bool m_isLoading = false;
    std::optional<QString> m_errorMessage;
    FetchOutcome m_outcome;
    std::pair<FetchOutcome, std::optional<QString>> m_beforeTailError;  // restored when the tail recovers
    bool m_isLiveTailing = false;
    std::optional<QString> m_archivePath;
    std::optional<DateRange> m_archiveSpan;
    quint64 m_spanGeneration = 0;
    std::shared_ptr<std::atomic_bool> m_spanCancel;  // the running span search's flag
    std::optional<double> m_lastFetchStart;
    std::optional<double> m_lastFetchEnd;

    std::shared_ptr<std::atomic_bool> m_fetchCancel;                                           // the fetchTask's flag
    std::shared_ptr<std::atomic_bool> m_quitting = std::make_shared<std::atomic_bool>(false);  // every task's
    quint64 m_fetchGeneration = 0;
    quint64 m_tailGeneration = 0;  // the liveTailTask; bumping it cancels the loop
    bool m_tailTaskRunning = false;

    const LogStoreProvider* m_provider = nullptr;
    std::function<double()> m_now;
    std::function<JournalAccess()> m_accessProbe;
    int m_tailIntervalMs = 2000;
};
