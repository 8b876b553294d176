#include "cli/Commands.h"
#include "cli/LogsOptions.h"
#include "processnames/ProcessNameResolver.h"

#include <QCommandLineParser>

// The process dropdown of the main window: friendly name, tab, raw name.
int runProcesses(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Print the options of the process filter for the same fetch and filters as 'logs'."));
    parser.addHelpOption();
    addLogsOptions(parser);
    if (!parser.parse(QStringList{QStringLiteral("vellacord-cli processes")} + args)) {
        err() << parser.errorText() << "\n" << parser.helpText();
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        out() << parser.helpText();
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        err() << "vellacord-cli processes: unexpected argument '" << parser.positionalArguments().first() << "'\n";
        return 2;
    }
    QString usageError;
    const auto run = runLogsQuery(parser, &usageError);
    if (!run) {
        err() << "vellacord-cli processes: " << usageError << "\n";
        return 2;
    }
    if (!run->ok) {
        err() << run->message << "\n";
        return 1;
    }
    const ProcessNameResolver names;
    for (const QString& raw : Pipeline::availableProcesses(run->filters, run->entries))
        out() << names.displayName(raw) << '\t' << raw << '\n';
    if (run->entries.isEmpty())
        err() << run->message << "\n";
    return 0;
}
