#include "logs/Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <sys/stat.h>

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
