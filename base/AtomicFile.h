#pragma once

// Whole-file writes that never leave a half-written file: the data goes to a
// temporary file beside the target, is flushed to disk, and is renamed over it,
// so that a failure leaves the old file whole.

#include <QByteArray>
#include <QString>

#include <optional>

namespace AtomicFile {

// What a write does when the path holds a symbolic link, or anything else
// that is not a regular file. A replaced file keeps its permissions.
enum class LinkPolicy {
    // The program's own state files: the folder is made when missing; a link
    // to a regular file is written through (the file it points to is
    // replaced), a link to anything else is replaced itself, as is a FIFO, a
    // device or a socket. A folder, or a file we may not write, stays.
    followToRegularFile,
    // Files the user names: only a regular file is replaced. A link (and what
    // it points to), a folder, a FIFO, a device or a socket stays, and the
    // reason says which it is.
    refuseLinks,
};

// Replaces the file at `path` with `data`. On failure the reason, as a
// sentence fragment for the user ("it is a symbolic link; choose another
// name", or the system's text).
std::optional<QString> write(const QString& path, const QByteArray& data, LinkPolicy links);

}  // namespace AtomicFile
