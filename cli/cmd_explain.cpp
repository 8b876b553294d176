#include "ai/AIExplainer.h"
#include "ai/ExplanationCache.h"
#include "browser/EntryExport.h"
#include "cli/AIOptions.h"
#include "cli/Commands.h"
#include "cli/LogsOptions.h"
#include "processnames/ProcessNameResolver.h"

#include <QCommandLineParser>

namespace {

// The explanation keeps its line breaks, which are the reader's; every other
// control character (escape sequences, carriage returns) is written out.
QString shownText(const QString& text)
{
    QStringList lines = text.split(u'\n');
    for (QString& line : lines)
        line = EntryExport::escapedControls(line);
    return lines.join(u'\n');
}

}  // namespace

// Explains one row of the list the logs command prints with the same flags,
// through the explanation cache: a hit makes no request and learns nothing.
int runExplain(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Explain one log entry with the AI provider (answers are cached)."));
    parser.addHelpOption();
    addLogsOptions(parser);
    parser.addOption({QStringLiteral("index"),
                      QStringLiteral("Row to explain, counting from 0 in the rows 'logs' prints with the same flags."),
                      QStringLiteral("N")});
    addAIOptions(parser);
    if (const auto stop = parseCommand(parser, QStringLiteral("explain"), args))
        return *stop;
    bool indexOk = false;
    const qlonglong index = parser.value(QStringLiteral("index")).toLongLong(&indexOk);
    if (!parser.isSet(QStringLiteral("index")) || !indexOk || index < 0) {
        err() << "vellacord-cli explain: --index takes a row number (0 or more)\n";
        return 2;
    }
    QString usageError;
    std::unique_ptr<AISettings> settings = aiSettingsFor(parser, &usageError);
    if (!settings) {
        err() << "vellacord-cli explain: " << usageError << "\n";
        return 2;
    }
    const auto run = runLogsQuery(parser, &usageError);
    if (!run) {
        err() << "vellacord-cli explain: " << usageError << "\n";
        return 2;
    }
    if (reportFailureOrCut(*run))
        return 1;
    if (index >= run->rows.size()) {
        if (run->rows.isEmpty())
            err() << "vellacord-cli explain: index " << index << " is out of range: the list is empty\n";
        else
            err() << "vellacord-cli explain: index " << index << " is out of range: the list has "
                  << run->rows.size() << (run->rows.size() == 1 ? " entry" : " entries") << " (0 to "
                  << run->rows.size() - 1 << ")\n";
        return 1;
    }
    const LogEntry entry = run->rows.at(qsizetype(index));

    ExplanationCache& cache = ExplanationCache::shared();
    const QString key = ExplanationCache::cacheKey(entry);  // before any request
    if (const auto cached = cache.explanationForKey(key)) {
        out() << shownText(*cached) << "\n";
        return 0;
    }
    const AIResult<QString> answer = awaitAI<QString>([&](QObject* context, AIExplainer::TextCompletion done) {
        AIExplainer::explain(entry, *settings, context, std::move(done));
    });
    if (!answer.ok()) {
        err() << shownText(answer.error().description()) << "\n";
        return 1;
    }
    const AIExplainer::ProcessNamesAnswer parsed = AIExplainer::parseProcessNames(answer.value());
    out() << shownText(parsed.text) << "\n";
    cache.store(key, parsed.text);
    if (const QMap<QString, QString> learned = AIExplainer::namesToLearn(parsed, entry); !learned.isEmpty()) {
        ProcessNameResolver resolver;
        resolver.learn(learned);
    }
    return 0;
}
