#include "browser/EntryText.h"
#include "cli/Commands.h"
#include "cli/LogsOptions.h"

#include <QCommandLineParser>

int runLogs(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Print log entries of the live log or of an archive."));
    parser.addHelpOption();
    addLogsOptions(parser);
    if (const auto stop = parseCommand(parser, QStringLiteral("logs"), args))
        return *stop;
    QString usageError;
    const auto run = runLogsQuery(parser, &usageError);
    if (!run) {
        err() << "vellacord-cli logs: " << usageError << "\n";
        return 2;
    }
    if (reportFailureOrCut(*run))
        return 1;
    const bool json = parser.value(QStringLiteral("format")) == QLatin1String("json");
    for (const LogEntry& e : run->rows) {
        if (json)
            out() << QString::fromUtf8(entryJson(e)) << '\n';
        else
            out() << EntryText::rowText(e) << '\n';
    }
    if (run->entries.isEmpty())
        err() << run->message << "\n";
    return 0;
}
