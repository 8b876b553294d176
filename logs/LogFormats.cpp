#include "logs/LogFormats.h"

#include "logs/journal/JournalLogStore.h"
#include "logs/ndjson/NdjsonLogStore.h"
#include "logs/unified/UnifiedLogStore.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace LogFormats {

namespace {

std::vector<LogFormat> builtIn()
{
    return {
        {QStringLiteral("Mac unified log bundle"),
         QStringLiteral("a .logarchive that a Mac wrote (log collect, sysdiagnose), or a Mac's diagnostics folder: "
                        "tracev3 files in Persist/, Special/, Signpost/ or HighVolume/"),
         QStringLiteral("tracev3 files"),
         {QStringLiteral("*.logarchive")},
         isUnifiedLogSource,
         openUnifiedStore},
        {QStringLiteral("systemd journal folder"),
         QStringLiteral("a folder of .journal files, such as a systemd-journal-remote collector's output"),
         QStringLiteral("journal files"),
         {QStringLiteral("*.logarchive")},
         JournalLogStore::isJournalFolder,
         JournalLogStore::openDirectory},
        {QStringLiteral("log show --style ndjson export"),
         QStringLiteral("a file of one JSON event per line from a Mac's log show --style ndjson, or a folder of them"),
         QStringLiteral("ndjson files (.ndjson, .jsonl)"),
         {QStringLiteral("*.ndjson"), QStringLiteral("*.jsonl")},
         isNdjsonSource,
         openNdjsonStore},
    };
}

std::vector<LogFormat>& table()
{
    static std::vector<LogFormat> rows = builtIn();
    return rows;
}

}  // namespace

const std::vector<LogFormat>& all()
{
    return table();
}

const LogFormat* of(const QString& path)
{
    for (const LogFormat& f : all()) {
        if (f.recognises(path))
            return &f;
    }
    return nullptr;
}

namespace {

bool nameMatches(const LogFormat& f, const QString& name)
{
    for (const QString& filter : f.nameFilters) {
        if (QDir::match(filter, name.toLower()))
            return true;
    }
    return false;
}

QString lastComponent(const QString& path)
{
    QString p = path;
    while (p.size() > 1 && p.endsWith(u'/'))
        p.chop(1);
    return p.mid(p.lastIndexOf(u'/') + 1);
}

}  // namespace

bool matchesName(const QString& path)
{
    const QString name = lastComponent(path);
    // A name that is only an extension (".logarchive") has none.
    if (name.lastIndexOf(u'.') <= 0)
        return false;
    return std::any_of(all().begin(), all().end(), [&](const LogFormat& f) { return nameMatches(f, name); });
}

const LogFormat* forOpening(const QString& path)
{
    if (const LogFormat* f = of(path))
        return f;
    if (QFileInfo(path).isDir())
        return nullptr;
    const QString name = lastComponent(path);
    for (const LogFormat& f : all()) {
        if (nameMatches(f, name))
            return &f;
    }
    return nullptr;
}

QString notRecognisedText(const QString& path)
{
    QStringList parts;
    for (const LogFormat& f : all())
        parts << (QFileInfo(path).isDir() ? f.files : f.name);
    const QString last = parts.size() > 1 ? parts.takeLast() : QString();
    const QString list = parts.join(QStringLiteral(", ")) + (last.isEmpty() ? QString() : QStringLiteral(" or ") + last);
    return QFileInfo(path).isDir() ? QStringLiteral("The folder holds no log files Vellacord reads (%1).").arg(list)
                                   : QStringLiteral("The file is no log Vellacord reads (%1).").arg(list);
}

void addFirst(LogFormat format)
{
    table().insert(table().begin(), std::move(format));
}

QString helpText()
{
    QStringList lines;
    for (const LogFormat& f : all())
        lines << f.name + QStringLiteral(": ") + f.description;
    return lines.join(QLatin1Char('\n'));
}

}  // namespace LogFormats
