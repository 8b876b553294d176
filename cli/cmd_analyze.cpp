#include "ai/AIExplainer.h"
#include "browser/EntryExport.h"
#include "cli/AIOptions.h"
#include "cli/Commands.h"
#include "cli/LogsOptions.h"

#include <QCommandLineParser>

// Runs the proactive analysis on the rows the logs command prints with the
// same flags: the 100 most recent of them, numbered in their printed order.
// One finding per line: title, tab, concern, tab, and the index of its entry
// in the batch that was sent, or "-". Control characters in the provider's
// text are escaped, so that a line is a finding and a tab a column.
int runAnalyze(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Ask the AI provider which of the 100 most recent rows deserve attention. Prints title, concern and batch index."));
    parser.addHelpOption();
    addLogsOptions(parser);
    addAIOptions(parser);
    if (const auto stop = parseCommand(parser, QStringLiteral("analyze"), args))
        return *stop;
    QString usageError;
    std::unique_ptr<AISettings> settings = aiSettingsFor(parser, &usageError);
    if (!settings) {
        err() << "vellacord-cli analyze: " << usageError << "\n";
        return 2;
    }
    const auto run = runLogsQuery(parser, &usageError);
    if (!run) {
        err() << "vellacord-cli analyze: " << usageError << "\n";
        return 2;
    }
    if (reportFailureOrCut(*run))
        return 1;
    const LogEntryList batch = AIExplainer::analysisBatch(run->rows);
    const AIResult<AnalysisItemList> result = awaitAI<AnalysisItemList>(
        [&](QObject* context, AIExplainer::AnalysisCompletion done) {
            AIExplainer::analyze(run->rows, *settings, context, std::move(done));
        });
    if (!result.ok()) {
        err() << EntryExport::escapedControls(result.error().description()) << "\n";
        return 1;
    }
    if (result.value().isEmpty())
        err() << "No notable issues found\n";
    for (const AnalysisItem& item : result.value()) {
        QString index = QStringLiteral("-");
        if (item.entry)
            for (qsizetype i = 0; i < batch.size(); ++i)
                if (batch.at(i).id == item.entry->id) {
                    index = QString::number(i);
                    break;
                }
        out() << EntryExport::escapedControls(item.title) << '\t' << EntryExport::escapedControls(item.concern) << '\t'
              << index << '\n';
    }
    return 0;
}
