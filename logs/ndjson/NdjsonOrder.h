#pragma once

// What reading has found out about the time order of ndjson files, kept for
// the life of the process: an export is written in time order, so a range
// of it can be found by bisection instead of parsing every line before it.
// Only what a read actually saw is believed, and only while the file keeps
// the identity, size and modification time it had then.

#include "logs/ndjson/NdjsonEvent.h"

#include <QString>

#include <optional>

namespace Ndjson {

struct FileStamp {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;  // -1: the file could not be looked at
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;  // the inode's change time: setting the modification time back moves it

    bool valid() const { return size >= 0; }
    bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const QString& path);

// Every event line starting before byte `orderedUpTo` (a line start) of the
// file at `path` has a date at or after that of each event line before it.
// Knowledge only grows while the stamp stays the same; a new stamp replaces
// it. Blocks sampled across the prefix are kept as a digest too: a file
// rewritten in place with its stamp restored is caught by its content.
void rememberOrder(const QString& path, const FileStamp& stamp, qint64 orderedUpTo);
// 0 when nothing is known of the file as it is now.
qint64 knownOrderedPrefix(const QString& path, const FileStamp& stamp);
void forgetOrders();

struct BisectResult {
    qint64 offset = 0;  // a line start
    double lastDate;    // of the last event before it; -infinity when none was seen
};

// In a file whose events before `orderedUpTo` are in time order, a line start
// at or after `from` such that every event before it is dated before
// `target`, within a few tens of kilobytes of the first that is not. Reads a
// few lines near each of about log2(size / 64 KiB) offsets. None when the
// file cannot be read (the caller then scans).
std::optional<BisectResult> bisect(const QString& path, qint64 from, qint64 orderedUpTo, double target,
                                   LineParser& parser, RawEntry& scratch);

}  // namespace Ndjson
