#include "base/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AtomicFile {

namespace {

QString systemText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Where the data lands: the entry renamed over, and its folder, which holds
// the temporary file so that the rename stays on one file system.
struct Destination {
    QByteArray name;
    QByteArray folder;
};

// Why what is at `st` is not replaced by a file the user named: only a regular file is.
std::optional<QString> notReplaceable(const struct stat& st)
{
    const auto refuse = [](const char* what) { return QStringLiteral("it is %1; choose another name").arg(QLatin1String(what)); };
    if (S_ISREG(st.st_mode))
        return std::nullopt;
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("it is a folder");
    // Written through, a link would replace a file in another folder.
    if (S_ISLNK(st.st_mode))
        return refuse("a symbolic link");
    if (S_ISFIFO(st.st_mode))
        return refuse("a FIFO (named pipe)");
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return refuse("a device");
    if (S_ISSOCK(st.st_mode))
        return refuse("a socket");
    return refuse("not a regular file");
}

// Why a state file at `name` is not replaced: a folder, or a file the user
// made read-only, is left alone.
std::optional<QString> notWritable(const QByteArray& name, const struct stat& st)
{
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("it is a folder");
    if (::access(name.constData(), W_OK) != 0)
        return systemText(errno);
    return std::nullopt;
}

// A link to a regular file is followed to the file itself; a link to anything
// else (a device, a FIFO, nothing) is removed, so that no write ever lands on
// /dev/zero or creates a file wherever a dangling link points.
std::optional<QString> followLink(Destination& to)
{
    struct stat link {
    }, target{};
    if (::lstat(to.name.constData(), &link) != 0 || !S_ISLNK(link.st_mode))
        return std::nullopt;
    if (::stat(to.name.constData(), &target) != 0 || !S_ISREG(target.st_mode))
        return ::unlink(to.name.constData()) == 0 ? std::nullopt : std::optional(systemText(errno));
    char* resolved = ::realpath(to.name.constData(), nullptr);
    if (!resolved)
        return systemText(errno);
    to.name = resolved;
    std::free(resolved);
    const qsizetype slash = to.name.lastIndexOf('/');
    to.folder = slash > 0 ? to.name.left(slash) : QByteArray("/");
    return std::nullopt;
}

bool writeAll(int fd, const QByteArray& data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        done += n;
    }
    return true;
}

}  // namespace

std::optional<QString> write(const QString& path, const QByteArray& data, LinkPolicy links)
{
    // By hand rather than with QSaveFile: it writes through every link, and
    // its failures on a full disk read "Unknown error".
    Destination to{QFile::encodeName(path), QFile::encodeName(QFileInfo(path).absolutePath())};
    if (links == LinkPolicy::followToRegularFile) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (std::optional<QString> failure = followLink(to))
            return failure;
    }
    struct stat st {};
    const bool replacing = ::lstat(to.name.constData(), &st) == 0;
    if (!replacing && errno != ENOENT)
        return systemText(errno);
    if (replacing) {
        const std::optional<QString> refused =
            links == LinkPolicy::refuseLinks ? notReplaceable(st) : notWritable(to.name, st);
        if (refused)
            return refused;
    }
    // O_NOFOLLOW and the rename replace whatever is at the name by then,
    // never what a link put there in the meantime points to.
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temporary = to.folder + "/.Vellacord-" + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0 && errno != EEXIST)
            return systemText(errno);
    }
    if (fd < 0)
        return systemText(EEXIST);
    // A replaced file keeps its permissions; a new one gets the umask's.
    bool ok = (!replacing || ::fchmod(fd, st.st_mode & 07777) == 0) && writeAll(fd, data) && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temporary.constData(), to.name.constData()) != 0) {
        ok = false;
        error = errno;
    }
    if (ok)
        return std::nullopt;
    ::unlink(temporary.constData());
    return systemText(error);
}

}  // namespace AtomicFile
