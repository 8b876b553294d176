#include "browser/EntryExport.h"
#include "cli/Commands.h"
#include "cli/LogsOptions.h"
#include "processnames/ProcessNameResolver.h"

#include <QCommandLineParser>

// The process dropdown of the main window: friendly name, tab, raw name, with
// control characters escaped so that each line is one process.
int runProcesses(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Print the options of the process filter for the same fetch and filters as 'logs'."));
    parser.addHelpOption();
    addLogsOptions(parser);
    if (const auto stop = parseCommand(parser, QStringLiteral("processes"), args))
        return *stop;
    QString usageError;
    const auto run = runLogsQuery(parser, &usageError);
    if (!run) {
        err() << "vellacord-cli processes: " << usageError << "\n";
        return 2;
    }
    if (reportFailureOrCut(*run))
        return 1;
    const ProcessNameResolver names;
    for (const QString& raw : Pipeline::availableProcesses(run->filters, run->entries))
        out() << EntryExport::escapedControls(names.displayName(raw)) << '\t' << EntryExport::escapedControls(raw) << '\n';
    if (run->entries.isEmpty())
        err() << run->message << "\n";
    return 0;
}
