#pragma once

// Bounded reads of the small state files (caches, learned names): only a
// regular file, or a link to one, of limited size is read. Anything else
// (a FIFO, a device, a socket, a folder, a giant file) is treated as missing
// instead of hanging the reader or filling memory.

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>

namespace SafeRead {

inline constexpr qint64 maxStateFileBytes = qint64(64) << 20;

// Identity and version of a file: equal stamps mean an unchanged file (every
// atomic rewrite makes a new inode).
struct FileStamp {
    quint64 device = 0, inode = 0;
    qint64 size = -1, modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

struct Result {
    enum class Outcome {
        read,     // `data` holds the whole file
        missing,  // no such file
        ignored,  // not a regular file, or too large; `reason` says which
        failed,   // it exists but could not be read; `reason` has the system's text
    };
    Outcome outcome = Outcome::missing;
    QByteArray data;
    QString reason;
    FileStamp stamp;  // of the file read (outcome read)
};

// Opens a regular file (or a link to one) for reading; never opens a FIFO, a
// device or a socket, so no open blocks or wakes anything. -1 with the
// reason ("not a regular file", or the system's text) on failure.
int openRegularFile(const QByteArray& nativePath, QString* reason);

// Reads exactly `size` bytes at `offset` of an open file; false on an error
// or when the file ends first (it shrank).
bool readAt(int fd, quint64 offset, std::size_t size, char* out);

// The identity and version of an open file.
FileStamp stampOf(int fd);

// Never blocks on a FIFO and never reads more than maxBytes + 1 bytes.
Result readRegularFile(const QString& path, qint64 maxBytes = maxStateFileBytes);

// readRegularFile for a state file, saying in `category` what was ignored
// ("Ignored PATH: REASON") or could not be read ("Could not read PATH:
// REASON"), at error level.
Result readStateFile(const QString& path, const QLoggingCategory& category);

// The stamp of what is at `path` now (links followed); size -1 when nothing is there.
FileStamp stampOf(const QString& path);

}  // namespace SafeRead
