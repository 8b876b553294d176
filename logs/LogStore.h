#pragma once

// The log store layer: what the log query needs of a platform log store.
// Implementations: the systemd journal (live store and journal-file archives)
// and, for tests, stores held in memory.

#include "logs/LogEntry.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <variant>

// Kinds of raw entries a store yields; only log messages become LogEntry.
// `none` is no entry: a store that reads much without finding one (lines
// that are malformed or out of range) yields it now and then, so that the
// caller can look at its time-out and cancellation; it is not counted.
enum class RawEntryKind { logMessage,
                          activity,
                          signpost,
                          boundary,
                          other,
                          none };

// One raw entry as enumerated. For a log message, `entry` carries every field
// except `id`, which the query assigns.
struct RawEntry {
    RawEntryKind kind = RawEntryKind::logMessage;
    LogEntry entry;
};

// A failure of the platform store, passed on unchanged to the user.
struct StoreError {
    QString description;
    // Set by the live store when it cannot be opened: whether the user was
    // refused (denied) or the store is not there (unavailable).
    enum class Cause { other,
                       denied,
                       unavailable } cause = Cause::other;
};

// Both ends included.
struct DateRange {
    double start = 0;
    double end = 0;
    bool contains(double d) const { return d >= start && d <= end; }
};

// What a read skipped as damaged or missing. A list read with any of these
// is partial and says so; the read itself goes on.
struct SkipCounts {
    qint64 files = 0;           // files that could not be read at all
    qint64 chunks = 0;          // damaged chunks and compressed blocks
    qint64 records = 0;         // damaged records inside readable chunks
    qint64 stringFiles = 0;     // damaged strings files (format strings, image names)
    qint64 missingData = 0;     // messages whose oversize data was not found
    qint64 withoutStrings = 0;  // messages whose strings file is not in the archive (or damaged)
    qint64 lines = 0;           // lines of a text export that are not an event (malformed, over-long)
    // Files left unread for want of resources (open files, memory), not for
    // damage: the list lacks whole sources, so the command line fails.
    qint64 notRead = 0;
    QStringList notReadNames = {};  // the first few of them
    QString notReadReason = {};     // why
    bool damaged() const { return files || chunks || records || stringFiles || missingData || lines; }
    bool any() const { return damaged() || withoutStrings || notRead; }
    bool operator==(const SkipCounts&) const = default;
};

// A lazy forward sequence of raw entries in ascending time order.
class LogEnumerator {
public:
    virtual ~LogEnumerator() = default;
    // Fills `out` with the next entry; false at the end or on a read error.
    virtual bool next(RawEntry& out) = 0;
    // After next() returned false: the read error that ended the sequence, if any.
    virtual std::optional<StoreError> error() const { return std::nullopt; }
    // What was skipped so far.
    virtual SkipCounts skipped() const { return {}; }
};

class LogStore {
public:
    virtual ~LogStore() = default;
    // Entries from `position` onwards; restricted to `predicate` when given.
    virtual std::variant<std::unique_ptr<LogEnumerator>, StoreError>
    entries(double position, const std::optional<DateRange>& predicate) = 0;
    // The dates of the first and the last entry held; none when the store
    // holds none, or cannot tell. Each store finds them its own cheapest way;
    // one that must read much gives up (none) once `stop` says so.
    virtual std::optional<DateRange> span(const std::function<bool()>& stop) = 0;
};

using StoreOpenResult = std::variant<std::unique_ptr<LogStore>, StoreError>;

// Opens stores. The query asks it for the live system store or for an archive.
class LogStoreProvider {
public:
    virtual ~LogStoreProvider() = default;
    virtual StoreOpenResult openSystemStore() const = 0;
    virtual StoreOpenResult openArchive(const QString& path) const = 0;
    // Whether the current user may read the path (file or folder).
    virtual bool isReadable(const QString& path) const;
    // The platform's reason when nothing is at the path ("No such file or directory").
    virtual std::optional<QString> absentReason(const QString& path) const;
};

// The platform's stores: the machine's systemd journal, and archives that are
// folders of journal files (or the other archive formats the application reads).
const LogStoreProvider& platformLogStoreProvider();

// The platform's distant past: 0001-01-01 00:00:00 UTC as seconds since 1970.
inline constexpr double kDistantPast = -62135596800.0;
