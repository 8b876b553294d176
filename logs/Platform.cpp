#include "logs/Platform.h"

#include <QLoggingCategory>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcLogFetcher, "com.corvistra.Vellacord.LogFetcher")
Q_LOGGING_CATEGORY(lcCrashFetcher, "com.corvistra.Vellacord.CrashFetcher")
Q_LOGGING_CATEGORY(lcProcessNames, "com.corvistra.Vellacord.ProcessNames")

namespace Platform {

QSettings& settings()
{
    static QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Vellacord"),
                           QStringLiteral("Vellacord"));
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

bool writeFileAtomically(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    // QSaveFile writes through a symbolic link and renames over its target.
    // A link to anything but a regular file (a device, a FIFO, nothing) is
    // replaced itself instead, so that no write ever lands on /dev/zero.
    const QByteArray name = QFile::encodeName(path);
    struct stat link {}, target {};
    if (::lstat(name.constData(), &link) == 0 && S_ISLNK(link.st_mode)
        && (::stat(name.constData(), &target) != 0 || !S_ISREG(target.st_mode)) && !QFile::remove(path))
        return false;
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    if (f.write(data) != data.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
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
