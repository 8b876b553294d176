#include "logs/LogQuery.h"

#include "base/Platform.h"
#include "logs/VisibleText.h"

#include <QDateTime>
#include <QFileInfo>

double wallClockNow() { return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0; }

QString describe(const QueryError& error)
{
    if (const auto* a = std::get_if<ArchiveError>(&error))
        return a->description();
    return std::get<StoreError>(error).description;
}

QueryFailure failureKind(const QueryError& error)
{
    if (const auto* a = std::get_if<ArchiveError>(&error))
        return a->kind() == ArchiveError::Case::notReadable ? QueryFailure::archiveNotReadable
                                                            : QueryFailure::archiveOpenFailed;
    switch (std::get<StoreError>(error).cause) {
    case StoreError::Cause::denied: return QueryFailure::liveStoreDenied;
    case StoreError::Cause::unavailable: return QueryFailure::liveStoreUnavailable;
    case StoreError::Cause::other: break;
    }
    return QueryFailure::storeError;
}

std::optional<DateRange> archiveSpan(const QString& archivePath, const QueryContext& context)
{
    const LogStoreProvider& provider = context.provider ? *context.provider : platformLogStoreProvider();
    if (provider.absentReason(archivePath) || !provider.isReadable(archivePath))
        return std::nullopt;
    StoreOpenResult opened = provider.openArchive(archivePath);
    auto* store = std::get_if<std::unique_ptr<LogStore>>(&opened);
    const std::function<bool()> stop = context.isCancelled ? context.isCancelled : [] { return false; };
    return store ? (*store)->span(stop) : std::nullopt;
}

namespace {

// A name of megabytes (a forged host, process or category) would stall every
// row, tooltip and pane that shows it; the message has bounds of its own.
void cutFields(LogEntry& e)
{
    for (QString* field : {&e.process, &e.subsystem, &e.category, &e.sender, &e.senderImagePath, &e.host}) {
        if (field->size() > VisibleText::maxFieldChars)
            *field = VisibleText::cutField(*field);
    }
}

// The archive's store; on failure none, and result.error says why.
std::unique_ptr<LogStore> openArchiveStore(const LogStoreProvider& provider, const QString& archivePath,
                                           QueryResult& result)
{
    qCInfo(lcLogFetcher, "Opening OSLogStore from archive: %s", qUtf8Printable(archivePath));
    if (const std::optional<QString> absent = provider.absentReason(archivePath)) {
        qCCritical(lcLogFetcher, "Archive missing: %s — %s", qUtf8Printable(archivePath), qUtf8Printable(*absent));
        result.error = ArchiveError::openFailed(archivePath, *absent);
        return nullptr;
    }
    if (!provider.isReadable(archivePath)) {
        qCCritical(lcLogFetcher, "Archive not readable: %s", qUtf8Printable(archivePath));
        result.error = ArchiveError::notReadable(archivePath);
        return nullptr;
    }
    StoreOpenResult opened = provider.openArchive(archivePath);
    if (auto* e = std::get_if<StoreError>(&opened)) {
        qCCritical(lcLogFetcher, "OSLogStore(url:) failed: %s — path: %s", qUtf8Printable(e->description),
                   qUtf8Printable(archivePath));
        result.error = ArchiveError::openFailed(archivePath, e->description);
        return nullptr;
    }
    return std::move(std::get<std::unique_ptr<LogStore>>(opened));
}

// The archive's store, or this system's without an archive path.
std::unique_ptr<LogStore> openStore(const LogStoreProvider& provider, const QString& archivePath, QueryResult& result)
{
    if (!archivePath.isEmpty())
        return openArchiveStore(provider, archivePath, result);
    StoreOpenResult opened = provider.openSystemStore();
    if (auto* e = std::get_if<StoreError>(&opened)) {
        result.error = *e;
        return nullptr;
    }
    return std::move(std::get<std::unique_ptr<LogStore>>(opened));
}

enum class Scan { done,
                  timedOut,
                  cancelled };

// The log messages of `entries` into result, up to the cap, the time-out or a cancellation.
Scan collect(LogEnumerator& entries, const std::function<double()>& now, const std::function<bool()>& cancelled,
             double t0, QueryResult& result, long& scanned)
{
    RawEntry raw;
    while (entries.next(raw)) {
        const bool pause = raw.kind == RawEntryKind::none;
        if (!pause)
            ++scanned;
        if (pause || scanned % kCheckInterval == 0) {
            if (now() - t0 > kQueryTimeout)
                return Scan::timedOut;
            if (cancelled && cancelled()) {
                qCInfo(lcLogFetcher, "Query cancelled after scanning %ld entries", scanned);
                result.stop = QueryStop::cancelled;
                return Scan::cancelled;
            }
        }
        if (raw.kind != RawEntryKind::logMessage)
            continue;
        cutFields(raw.entry);
        raw.entry.id = makeEntryId();
        result.entries.append(std::move(raw.entry));
        if (result.entries.size() == kEntryCap) {
            qCInfo(lcLogFetcher, "Hit 50,000 entry cap after scanning %ld raw entries", scanned);
            result.stop = QueryStop::entryCap;
            break;
        }
    }
    return Scan::done;
}

}  // namespace

QueryResult queryEntries(double start, double end, const QString& archivePath, const QueryContext& context)
{
    const LogStoreProvider& provider = context.provider ? *context.provider : platformLogStoreProvider();
    const auto now = context.now ? context.now : std::function<double()>(wallClockNow);
    const double t0 = now();
    QueryResult result;

    const std::unique_ptr<LogStore> store = openStore(provider, archivePath, result);
    if (!store)
        return result;

    std::optional<DateRange> predicate;
    if (start != kDistantPast)
        predicate = DateRange{start, end};
    auto enumerated = store->entries(start == kDistantPast ? 0.0 : start, predicate);
    if (auto* e = std::get_if<StoreError>(&enumerated)) {
        result.error = *e;
        return result;
    }
    LogEnumerator& entries = *std::get<std::unique_ptr<LogEnumerator>>(enumerated);

    result.entries.reserve(kInitialCapacity);
    long scanned = 0;
    const Scan scan = collect(entries, now, context.isCancelled, t0, result, scanned);
    if (scan == Scan::cancelled)
        return result;
    const double elapsed = now() - t0;
    result.skipped = entries.skipped();
    if (result.skipped.any())
        qCWarning(lcLogFetcher, "Skipped while reading: %lld files, %lld chunks, %lld records, %lld strings files, "
                                "%lld lines; %lld messages without their data, %lld without their strings files; "
                                "%lld files not read",
                  result.skipped.files, result.skipped.chunks, result.skipped.records, result.skipped.stringFiles,
                  result.skipped.lines, result.skipped.missingData, result.skipped.withoutStrings,
                  result.skipped.notRead);
    if (scan == Scan::timedOut) {
        result.stop = QueryStop::timeOut;
        qCCritical(lcLogFetcher, "Query timeout after %.*fs — returning %ld entries (scanned %ld)", 1, elapsed,
                   long(result.entries.size()), scanned);
    } else if (auto readError = entries.error()) {
        // A damaged file part-way: keep what was read; with nothing read it is a failure.
        if (result.entries.isEmpty()) {
            qCCritical(lcLogFetcher, "Read failed: %s", qUtf8Printable(readError->description));
            if (!archivePath.isEmpty())
                result.error = ArchiveError::openFailed(archivePath, readError->description);
            else
                result.error = *readError;
            return result;
        }
        result.stop = QueryStop::readError;
        qCCritical(lcLogFetcher, "Read error after %ld entries, keeping them: %s", long(result.entries.size()),
                   qUtf8Printable(readError->description));
    }
    qCInfo(lcLogFetcher, "Query complete: %ld entries from %ld scanned in %.*fs", long(result.entries.size()),
           scanned, 1, elapsed);
    return result;
}
