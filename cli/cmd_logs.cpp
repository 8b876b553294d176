#include "browser/EntryExport.h"
#include "cli/Commands.h"
#include "cli/LogsOptions.h"

#include <QCommandLineParser>
#include <QSet>

#include <algorithm>
#include <vector>

namespace {

// The largest --context: past it a group is the whole list anyway.
constexpr qsizetype kMaxContext = 1'000'000;

// As grep -C: each match with `n` entries before and after it from the
// whole fetched list in time order, groups that meet merged, "--" between
// groups that do not.
void printContext(const LogsRun& run, qsizetype n, const QList<ColumnId>& columns)
{
    LogEntryList all = run.entries;
    std::stable_sort(all.begin(), all.end(), [](const LogEntry& a, const LogEntry& b) { return a.date < b.date; });
    QSet<QUuid> matched;
    for (const LogEntry& e : run.rows)
        matched.insert(e.id);
    std::vector<quint8> shown(size_t(all.size()), 0);
    for (qsizetype i = 0; i < all.size(); ++i) {
        if (!matched.contains(all[i].id))
            continue;
        const qsizetype from = std::max<qsizetype>(0, i - n), to = std::min(all.size() - 1, i + n);
        std::fill(shown.begin() + from, shown.begin() + to + 1, 1);
    }
    bool printed = false, gap = false;
    for (qsizetype i = 0; i < all.size(); ++i) {
        if (!shown[size_t(i)]) {
            gap = printed;
            continue;
        }
        if (gap)
            out() << "--\n";
        gap = false;
        printed = true;
        out() << EntryExport::textRow(all[i], columns) << '\n';
    }
}

// --context: a count of entries, rows only; nothing when it is not given.
std::optional<qsizetype> readContext(const QCommandLineParser& parser, QString* usageError)
{
    if (!parser.isSet(QStringLiteral("context")))
        return std::nullopt;
    bool ok = false;
    const qlonglong n = parser.value(QStringLiteral("context")).toLongLong(&ok);
    if (!ok || n < 0) {
        *usageError = QStringLiteral("--context takes a number of entries, 0 or more");
        return -1;
    }
    if (parser.value(QStringLiteral("format")) != QLatin1String("rows")) {
        *usageError = QStringLiteral("--context works with --format rows only");
        return -1;
    }
    return std::min<qsizetype>(qsizetype(n), kMaxContext);
}

}  // namespace

int runLogs(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Print log entries of the live log or of an archive."));
    parser.addHelpOption();
    addLogsOptions(parser);
    parser.addOption({QStringLiteral("context"),
                      QStringLiteral("Print each matching entry with N entries before and after it from the "
                                     "unfiltered list in time order, \"--\" between groups (rows only)."),
                      QStringLiteral("N")});
    if (const auto stop = parseCommand(parser, QStringLiteral("logs"), args))
        return *stop;
    QString usageError;
    const std::optional<qsizetype> context = readContext(parser, &usageError);
    const auto run = context == -1 ? std::nullopt : runLogsQuery(parser, &usageError);
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
    if (context) {
        printContext(*run, *context, columns);
    } else {
        for (const LogEntry& e : run->rows) {
            if (format == QLatin1String("json"))
                out() << QString::fromUtf8(EntryExport::entryJson(e)) << '\n';
            else if (format == QLatin1String("csv"))
                out() << QString::fromUtf8(EntryExport::csvRecord(EntryExport::csvCells(e, columns)));
            else
                out() << EntryExport::textRow(e, columns) << '\n';
        }
    }
    if (run->entries.isEmpty())
        err() << run->message << "\n";
    // Whole files left out (named on standard error) make the list wrong, not short.
    return run->outcome.skipped.notRead > 0 ? 1 : 0;
}
