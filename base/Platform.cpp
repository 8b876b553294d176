#include "base/Platform.h"

#include "base/SafeRead.h"

#include <QLoggingCategory>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcLogFetcher, "com.corvistra.Vellacord.LogFetcher")
Q_LOGGING_CATEGORY(lcCrashFetcher, "com.corvistra.Vellacord.CrashFetcher")
Q_LOGGING_CATEGORY(lcProcessNames, "com.corvistra.Vellacord.ProcessNames")

namespace Platform {

namespace {

// A few keys of short texts; anything far larger is not ours.
constexpr qint64 maxSettingsBytes = qint64(1) << 20;

// Why the settings file at `path` may be neither read nor replaced; none when
// it is a regular file of sane size, a link to one, or missing.
std::optional<QString> settingsFileProblem(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0)
        return errno == ENOENT ? std::nullopt : std::optional(QString::fromLocal8Bit(std::strerror(errno)));
    // Qt would write through a dangling link, creating a file wherever it points.
    if (S_ISLNK(st.st_mode) && ::stat(name.constData(), &st) != 0)
        return errno == ENOENT ? QStringLiteral("a link to nothing") : QString::fromLocal8Bit(std::strerror(errno));
    QString reason;
    const int fd = SafeRead::openRegularFile(name, &reason);
    if (fd < 0)
        return reason;
    const qint64 size = SafeRead::stampOf(fd).size;
    ::close(fd);
    if (size > maxSettingsBytes)
        return QStringLiteral("larger than %1 MiB").arg(maxSettingsBytes >> 20);
    return std::nullopt;
}

QString settingsPath()
{
    // Where QSettings keeps the native user settings of "Vellacord"/"Vellacord".
    const QString path = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Vellacord/Vellacord.conf");
    std::optional<QString> problem = settingsFileProblem(path);
    // QSettings's lock file beside it is opened and read on every write.
    if (const std::optional<QString> lock = problem ? std::nullopt : settingsFileProblem(path + QStringLiteral(".lock")))
        problem = QStringLiteral("its lock file is ") + *lock;
    if (!problem)
        return path;
    qCCritical(lcLogFetcher, "Ignored the settings file %s: %s; the settings start from their defaults and are not saved",
               qUtf8Printable(path), qUtf8Printable(*problem));
    // Nothing can ever be created under a device: the values live in memory only.
    return QStringLiteral("/dev/null/Vellacord.conf");
}

}  // namespace

QSettings& settings()
{
    // Checked before QSettings first opens it: a FIFO there would block the
    // read forever, a huge file would be read whole. The path is given
    // explicitly so that no other file (the organisation's, the system's) is read.
    static QSettings store(settingsPath(), QSettings::IniFormat);
    return store;
}

void restrictSettingsToOwner()
{
    // Qt rewrites the file through a temporary one that takes over the
    // permissions of the file it replaces; a file it creates gets 0644.
    const QString path = settings().fileName();
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0)
            ::close(fd);
    } else if (S_ISREG(st.st_mode) && (st.st_mode & 0077)) {
        ::chmod(name.constData(), st.st_mode & 0700);
    }
}

QString appSupportDir()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString dir = base + QStringLiteral("/Vellacord");
    QDir().mkpath(dir);
    return dir;
}

QString homeDir() { return QDir::homePath(); }

QString desktopDir()
{
    const QString d = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return d.isEmpty() ? QDir::homePath() + QStringLiteral("/Desktop") : d;
}

QByteArray prettyJson(const QJsonDocument& doc) { return doc.toJson(QJsonDocument::Indented); }

}  // namespace Platform

void Platform::setDefaultDiagnostics(Diagnostics shown)
{
    // Rules set here rank below QT_LOGGING_RULES, so the environment still decides.
    QLoggingCategory::setFilterRules(shown == Diagnostics::none
                                         ? QStringLiteral("com.corvistra.Vellacord.*=false")
                                         : QStringLiteral("com.corvistra.Vellacord.*.debug=false\n"
                                                          "com.corvistra.Vellacord.*.info=false"));
}
