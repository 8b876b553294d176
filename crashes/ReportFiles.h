#pragma once

// The file-system side of a crash scan: listing a reports folder and reading
// one report, bounded and never blocking. Every failure comes with a reason
// a person can act on; nothing waits on a FIFO, follows a link loop or reads
// past the bound.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace ReportFiles {

// The names in a folder (without "." and ".."), in name order.
struct Listing {
    QStringList names;
    QString reason;        // set when the folder could not be listed
    bool missing = false;  // nothing is at the path
    bool notFolder = false;
};
Listing listFolder(const QString& dir);

// "No such folder: PATH", "Not a folder: PATH" or "Cannot read PATH: REASON".
QString folderError(const QString& dir, const Listing& listing);

struct FileRead {
    QByteArray bytes;       // the whole file, when `reason` is empty
    QString reason;         // why it was not read ("a symlink loop", "Permission denied")
    bool missing = false;   // no file (and no link) at the path
    bool tooLarge = false;  // a regular file over the bound; `modified` is its time
    QDateTime modified;     // UTC, of the file read or too large
};
// Reads a regular file (or one a link leads to) of at most `maxBytes`.
FileRead readFile(const QString& path, qint64 maxBytes);

// "too large to read: 107374 MB" (decimal megabytes of `size`, rounded down).
QString tooLargeText(qint64 size);

// The folder's identity (device and inode); equal for two names of one folder.
struct FolderId {
    quint64 device = 0, inode = 0;
    bool operator==(const FolderId&) const = default;
};
bool folderId(const QString& dir, FolderId* id);

}  // namespace ReportFiles
