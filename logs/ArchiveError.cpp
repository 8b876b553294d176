#include "logs/ArchiveError.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Whether the store's error is the system refusing access: only then can
// changing permissions help. Stores pass strerror's text, in English or in
// the process's language.
bool isPermissionFailure(const QString& underlying)
{
    for (const int e : {EACCES, EPERM}) {
        if (underlying.contains(QString::fromLocal8Bit(std::strerror(e))))
            return true;
    }
    return underlying.contains(QLatin1String("Permission denied")) || underlying.contains(QLatin1String("Operation not permitted"));
}

}  // namespace

ArchiveError::ArchiveError(Case c, const QString& path, QString underlying)
    : m_case(c),
      m_path(QDir::cleanPath(QFileInfo(path).absoluteFilePath())),
      m_name(QFileInfo(m_path).fileName()),
      m_underlying(std::move(underlying))
{
    if (m_name.isEmpty())  // the root folder
        m_name = m_path;
}

QString ArchiveError::shellQuoted(const QString& path)
{
    static const QLatin1String kPlain("._/-+,:@%~");
    const bool plain = !path.isEmpty() && std::all_of(path.begin(), path.end(), [](QChar c) {
        return (c.unicode() < 128 && c.isLetterOrNumber()) || kPlain.contains(c);
    });
    if (plain)
        return path;
    QString quoted = path;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString ArchiveError::description() const
{
    if (m_case == Case::notReadable)
        return QStringLiteral("Cannot read archive \"") + m_name + QStringLiteral("\". If it was created with sudo, run:\nsudo chmod -R a+r ") + shellQuoted(m_path);
    if (isPermissionFailure(m_underlying))
        return QStringLiteral("Unable to read archive \"") + m_name + QStringLiteral("\". The archive may have permission issues.\n\nTry: sudo chmod -R a+r ") + shellQuoted(m_path) + QStringLiteral("\n\nUnderlying error: ") + m_underlying;
    // Damage is not mended by permissions: no chmod for it.
    if (m_underlying.contains(QLatin1String("corrupt")) || m_underlying.contains(QLatin1String("incomplete")))
        return QStringLiteral("Unable to read archive \"") + m_name + QStringLiteral("\". The archive is damaged or incomplete.\n\nUnderlying error: ") + m_underlying;
    return QStringLiteral("Failed to open archive \"") + m_name + QStringLiteral("\": ") + m_underlying;
}
