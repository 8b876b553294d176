#include "crashes/ReportFiles.h"

#include "base/SafeRead.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace ReportFiles {

namespace {

QString systemText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QDateTime fromNs(qint64 ns) { return QDateTime::fromMSecsSinceEpoch(ns / 1000000, Qt::UTC); }

bool isLink(const QByteArray& native)
{
    struct stat st {};
    return ::lstat(native.constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

// Why following `native` failed with `error`; `missing` when nothing is there.
QString lookupFailure(const QByteArray& native, int error, bool* missing)
{
    if (error == ELOOP)
        return QStringLiteral("a symlink loop");
    if (error == ENOENT && isLink(native))
        return QStringLiteral("a broken symlink");
    if (error == ENOENT || error == ENOTDIR) {
        *missing = true;
        return QStringLiteral("no such file");
    }
    return systemText(error);
}

}  // namespace

Listing listFolder(const QString& dir)
{
    Listing out;
    const QByteArray native = QFile::encodeName(dir);
    // opendir opens without blocking and refuses anything but a folder.
    DIR* d = ::opendir(native.constData());
    if (!d) {
        const int error = errno;
        if (error == ENOTDIR) {
            out.notFolder = true;
            out.reason = QStringLiteral("not a folder");
        } else {
            out.reason = lookupFailure(native, error, &out.missing);
        }
        return out;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(d);
        if (!entry) {
            if (errno != 0) {
                out.reason = systemText(errno);
                out.names.clear();
            }
            break;
        }
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            out.names << QFile::decodeName(entry->d_name);
    }
    ::closedir(d);
    std::sort(out.names.begin(), out.names.end());
    return out;
}

QString folderError(const QString& dir, const Listing& listing)
{
    const QString shown = QDir::toNativeSeparators(dir);
    if (listing.missing)
        return QStringLiteral("No such folder: ") + shown;
    if (listing.notFolder)
        return QStringLiteral("Not a folder: ") + shown;
    return QStringLiteral("Cannot read ") + shown + QStringLiteral(": ") + listing.reason;
}

QString tooLargeText(qint64 size) { return QStringLiteral("too large to read: %1 MB").arg(size / 1000000); }

FileRead readFile(const QString& path, qint64 maxBytes)
{
    FileRead out;
    const QByteArray native = QFile::encodeName(path);
    const auto tooLarge = [&](qint64 size, qint64 modifiedNs) {
        out.tooLarge = true;
        out.reason = tooLargeText(size);
        out.modified = fromNs(modifiedNs);
        return out;
    };
    // The size is known before anything is opened: a huge file is never read.
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) {
        out.reason = lookupFailure(native, errno, &out.missing);
        return out;
    }
    if (S_ISDIR(st.st_mode)) {
        out.reason = QStringLiteral("a folder");
        return out;
    }
    const qint64 statNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    if (S_ISREG(st.st_mode) && st.st_size > maxBytes)
        return tooLarge(st.st_size, statNs);

    // Opened without blocking and checked again on the descriptor: a file
    // swapped for a FIFO or grown since is refused, not waited on.
    SafeRead::Result r = SafeRead::readRegularFile(path, maxBytes);
    switch (r.outcome) {
    case SafeRead::Result::Outcome::read:
        out.bytes = std::move(r.data);
        out.modified = fromNs(r.stamp.modifiedNs);
        return out;
    case SafeRead::Result::Outcome::missing:
        out.missing = true;
        out.reason = QStringLiteral("no such file");
        return out;
    case SafeRead::Result::Outcome::ignored: {
        const SafeRead::FileStamp now = SafeRead::stampOf(path);
        if (now.size > maxBytes)
            return tooLarge(now.size, now.modifiedNs);
        out.reason = r.reason;
        return out;
    }
    case SafeRead::Result::Outcome::failed:
        out.reason = r.reason;
        return out;
    }
    return out;
}

bool folderId(const QString& dir, FolderId* id)
{
    struct stat st {};
    if (::stat(QFile::encodeName(dir).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    *id = {quint64(st.st_dev), quint64(st.st_ino)};
    return true;
}

}  // namespace ReportFiles
