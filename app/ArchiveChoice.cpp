#include "app/ArchiveChoice.h"

namespace ArchiveChoice {

QString lastPathComponent(const QString& path)
{
    QString p = path;
    while (p.size() > 1 && p.endsWith(u'/'))
        p.chop(1);
    return p.mid(p.lastIndexOf(u'/') + 1);
}

bool isLogArchive(const QString& path)
{
    const QString name = lastPathComponent(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    // A name that is only an extension (".logarchive") has none.
    if (dot <= 0)
        return false;
    const QString extension = name.mid(dot + 1).toLower();
    return extension == QLatin1String("logarchive") || extension == QLatin1String("ndjson") ||
           extension == QLatin1String("jsonl");
}

QString notAnArchiveText(const QString& path)
{
    return QStringLiteral("Please select a .logarchive bundle. The selected item \"") + lastPathComponent(path) +
           QStringLiteral("\" is not a valid log archive.");
}

}  // namespace ArchiveChoice
