#include "app/ArchiveChoice.h"

#include "logs/LogFormats.h"

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
    return LogFormats::of(path) || LogFormats::matchesName(path);
}

QStringList panelFilters()
{
    QStringList patterns;
    for (const LogFormat& f : LogFormats::all()) {
        for (const QString& filter : f.nameFilters) {
            if (!patterns.contains(filter))
                patterns << filter;
        }
    }
    return {QStringLiteral("Log archives (%1)").arg(patterns.join(QLatin1Char(' '))), QStringLiteral("All files (*)")};
}

QString notAnArchiveText(const QString& path)
{
    return QStringLiteral("Please select a .logarchive bundle. The selected item \"") + lastPathComponent(path) +
           QStringLiteral("\" is not a valid log archive.");
}

}  // namespace ArchiveChoice
