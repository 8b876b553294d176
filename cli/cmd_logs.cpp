#include "browser/EntryExport.h"
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
    // Rows escape control characters (a terminal would act on them); csv and
    // json keep the exact text, quoted.
    const QString format = parser.value(QStringLiteral("format"));
    const QList<ColumnId> columns = Pipeline::visibleColumns(run->filters);
    if (format == QLatin1String("csv"))
        out() << QString::fromUtf8(EntryExport::csvRecord(EntryExport::columnTitles(columns)));
    for (const LogEntry& e : run->rows) {
        if (format == QLatin1String("json"))
            out() << QString::fromUtf8(EntryExport::entryJson(e)) << '\n';
        else if (format == QLatin1String("csv"))
            out() << QString::fromUtf8(EntryExport::csvRecord(EntryExport::csvCells(e, columns)));
        else
            out() << EntryExport::textRow(e, columns) << '\n';
    }
    if (run->entries.isEmpty())
        err() << run->message << "\n";
    // Whole files left out (named on standard error) make the list wrong, not short.
    return run->outcome.skipped.notRead > 0 ? 1 : 0;
}
