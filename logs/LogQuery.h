#pragma once

#include "logs/ArchiveError.h"
#include "logs/LogEntry.h"
#include "logs/LogStore.h"

#include <functional>
#include <optional>
#include <variant>

using QueryError = std::variant<ArchiveError, StoreError>;
QString describe(const QueryError& error);

// What kind of failure a query error is, for callers that decide by it
// rather than by its text.
enum class QueryFailure {
    liveStoreDenied,       // the live store refused the current user
    liveStoreUnavailable,  // the live store could not be opened
    archiveNotReadable,
    archiveOpenFailed,
    storeError,  // any other error of a store, passed on unchanged
};
QueryFailure failureKind(const QueryError& error);

// Why the query stopped reading. Only `complete` means the list holds every
// matching record; the others return what was gathered so far.
enum class QueryStop {
    complete,
    entryCap,   // the 50,000th record
    timeOut,    // 30 s passed
    readError,  // the store failed part-way; the records read are kept
    cancelled,
};

struct QueryResult {
    LogEntryList entries;
    std::optional<QueryError> error;
    QueryStop stop = QueryStop::complete;
    SkipCounts skipped;  // what the store skipped as damaged or missing
    bool ok() const { return !error.has_value(); }
};

// What the query may be given besides its range: where stores come from, how
// to see cancellation, and the wall clock (seconds). Defaults: the platform's
// stores, never cancelled, the real clock.
struct QueryContext {
    const LogStoreProvider* provider = nullptr;
    std::function<bool()> isCancelled;
    std::function<double()> now;
};

inline constexpr int kEntryCap = 50000;
inline constexpr double kQueryTimeout = 30.0;
inline constexpr int kCheckInterval = 10000;
inline constexpr int kInitialCapacity = 10000;

// The store query: callable from any thread, touches no shared state. An
// empty `archivePath` means the live system store.
QueryResult queryEntries(double start, double end, const QString& archivePath, const QueryContext& context = {});

// The first and last dates of the archive, as its store finds them; none when
// it cannot be opened, holds nothing or cannot tell. Callable from any thread.
std::optional<DateRange> archiveSpan(const QString& archivePath, const QueryContext& context = {});

// Current wall-clock time in seconds since 1970.
double wallClockNow();
