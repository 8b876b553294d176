#include "browser/EntryExport.h"
#include "browser/EntryText.h"
#include "browser/PatternTable.h"
#include "browser/TestedFields.h"
#include "cli/Commands.h"
#include "cli/LogsOptions.h"

#include <QCommandLineParser>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// Severest first, only the levels the pattern has.
QString levelCounts(const PatternSummary& s)
{
    QStringList parts;
    for (int level = 5; level >= 0; --level)
        if (const int n = s.levels[size_t(level)])
            parts << LogEntry::levelLabelFor(level) + u' ' + QString::number(n);
    return parts.join(u' ');
}

QByteArray patternJson(const PatternSummary& s)
{
    QJsonObject levels;
    for (int level = 5; level >= 0; --level)
        if (const int n = s.levels[size_t(level)])
            levels.insert(LogEntry::levelLabelFor(level), n);
    const QJsonObject o{{QStringLiteral("count"), s.count},
                        {QStringLiteral("levels"), levels},
                        {QStringLiteral("first"), EntryExport::isoTime(s.first)},
                        {QStringLiteral("last"), EntryExport::isoTime(s.last)},
                        {QStringLiteral("pattern"), s.pattern}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

}  // namespace

// The listed entries folded into their patterns, most frequent first: rows
// as `logs` prints them (tab-separated, control characters escaped), or one
// JSON object per line.
int runPatterns(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Print the patterns of the entries 'logs' would list, most frequent first: count, level "
                       "counts, first and last time, pattern."));
    parser.addHelpOption();
    addLogsOptions(parser, {QStringLiteral("rows"), QStringLiteral("json")});
    if (const auto stop = parseCommand(parser, QStringLiteral("patterns"), args))
        return *stop;
    const QString format = parser.value(QStringLiteral("format"));
    if (format != QLatin1String("rows") && format != QLatin1String("json")) {
        err() << "vellacord-cli patterns: --format must be rows or json\n";
        return 2;
    }
    QString usageError;
    const auto run = runLogsQuery(parser, &usageError);
    if (!run) {
        err() << "vellacord-cli patterns: " << usageError << "\n";
        return 2;
    }
    if (reportFailureOrCut(*run))
        return 1;
    const TestedFields fields(run->rows);
    const PatternTable table(run->rows);
    PatternCounter counter(table, fields.process, quint32(fields.processNames.size()));
    for (size_t i = 0; i < fields.date.size(); ++i)
        counter.add(i, fields.level[i], fields.date[i]);
    for (const PatternSummary& s : counter.summaries()) {
        if (format == QLatin1String("json"))
            out() << QString::fromUtf8(patternJson(s)) << '\n';
        else
            out() << s.count << '\t' << levelCounts(s) << '\t' << EntryText::timeString(s.first) << '\t'
                  << EntryText::timeString(s.last) << '\t' << EntryExport::escapedControls(s.pattern) << '\n';
    }
    if (run->entries.isEmpty())
        err() << run->message << "\n";
    // Whole files left out (named on standard error) make the counts wrong, not short.
    return run->outcome.skipped.notRead > 0 ? 1 : 0;
}
