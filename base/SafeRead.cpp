#include "base/SafeRead.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SafeRead {

namespace {

FileStamp stampFrom(const struct stat& st)
{
    return {quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size),
            qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

Result ignored(const QString& reason) { return {Result::Outcome::ignored, {}, reason, {}}; }

Result failed(int error)
{
    if (error == ENOENT || error == ENOTDIR)
        return {};
    return {Result::Outcome::failed, {}, QString::fromLocal8Bit(std::strerror(error)), {}};
}

QString tooLarge(qint64 maxBytes) { return QStringLiteral("larger than %1 MiB").arg(maxBytes >> 20); }

}  // namespace

bool readAt(int fd, quint64 offset, std::size_t size, char* out)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, out + done, size - done, off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

FileStamp stampOf(int fd)
{
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? stampFrom(st) : FileStamp{};
}

int openRegularFile(const QByteArray& nativePath, QString* reason)
{
    const auto fail = [reason](const QString& why) {
        if (reason)
            *reason = why;
        return -1;
    };
    // Looked at before opening, so that no FIFO or device is ever opened, and
    // again on the descriptor, so that a file swapped in between is caught.
    struct stat st {};
    if (::stat(nativePath.constData(), &st) != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISREG(st.st_mode))
        return fail(QStringLiteral("not a regular file"));
    const int fd = ::open(nativePath.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int e = errno;
        ::close(fd);
        return fail(S_ISREG(st.st_mode) ? QString::fromLocal8Bit(std::strerror(e)) : QStringLiteral("not a regular file"));
    }
    return fd;
}

Result readRegularFile(const QString& path, qint64 maxBytes)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    // Checked before opening, so that no device is ever opened, and again on
    // the open descriptor, so that a file swapped in between is caught too.
    if (::stat(name.constData(), &st) != 0)
        return failed(errno);
    if (!S_ISREG(st.st_mode))
        return ignored(QStringLiteral("not a regular file"));
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return failed(errno);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::fstat(fd, &st) != 0)
        return failed(errno);
    if (!S_ISREG(st.st_mode))
        return ignored(QStringLiteral("not a regular file"));
    if (st.st_size > maxBytes)
        return ignored(tooLarge(maxBytes));

    Result result{Result::Outcome::read, {}, {}, stampFrom(st)};
    // The size may change while reading: read to the end, but never past the cap.
    result.data.resize(qsizetype(st.st_size) + 1);
    qsizetype used = 0;
    for (;;) {
        if (used == result.data.size()) {
            if (used > maxBytes)
                return ignored(tooLarge(maxBytes));
            result.data.resize(qsizetype(qMin<qint64>(maxBytes + 1, qint64(used) * 2 + 4096)));
        }
        const ssize_t n = ::read(fd, result.data.data() + used, size_t(result.data.size() - used));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return failed(errno);
        }
        if (n == 0)
            break;
        used += n;
    }
    if (used > maxBytes)
        return ignored(tooLarge(maxBytes));
    result.data.truncate(used);
    return result;
}

Result readStateFile(const QString& path, const QLoggingCategory& category)
{
    Result r = readRegularFile(path);
    if (r.outcome == Result::Outcome::ignored)
        qCCritical(category, "Ignored %s: %s", qUtf8Printable(path), qUtf8Printable(r.reason));
    else if (r.outcome == Result::Outcome::failed)
        qCCritical(category, "Could not read %s: %s", qUtf8Printable(path), qUtf8Printable(r.reason));
    return r;
}

FileStamp stampOf(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return stampFrom(st);
}

}  // namespace SafeRead
