#include "cli/LogsOptions.h"

#include "browser/FilterPipeline.h"
#include "browser/MessagePattern.h"
#include "cli/Commands.h"
#include "logs/LogFetcher.h"
#include "logs/LogFormats.h"

#include <QDateTime>

namespace {

// The optional columns' labels, from the one list of them.
QStringList optionalColumnNames()
{
    QStringList names;
    for (ColumnId c : Columns::optional())
        names << Columns::title(c);
    return names;
}

QStringList sortColumnNames()
{
    QStringList names;
    for (const ColumnSpec& c : Columns::all())
        names << QString::fromLatin1(c.title);
    return names;
}

std::optional<ColumnId> optionalColumn(const QString& title)
{
    const std::optional<ColumnId> c = Columns::byTitle(title);
    return c && Columns::spec(*c).optional ? c : std::nullopt;
}

}  // namespace

void addLogsOptions(QCommandLineParser& parser, const QStringList& formats)
{
    QStringList archiveFormats;
    for (const LogFormat& f : LogFormats::all())
        archiveFormats << f.name;
    parser.addOption({QStringLiteral("archive"),
                      QStringLiteral("Read the whole archive at PATH instead of the live log: a ") +
                          archiveFormats.join(QStringLiteral(", a ")) + QStringLiteral(", whatever its name."),
                      QStringLiteral("PATH")});
    parser.addOption({QStringLiteral("last"),
                      QStringLiteral("Time range: 1h, 4h or 24h before now (default 1h), or with --archive before "
                                     "the archive's last entry (default: the whole archive)."),
                      QStringLiteral("RANGE")});
    parser.addOption({QStringLiteral("start"), QStringLiteral("Start of a custom range (ISO 8601)."),
                      QStringLiteral("DATE")});
    parser.addOption({QStringLiteral("end"), QStringLiteral("End of a custom range (ISO 8601)."), QStringLiteral("DATE")});
    const QString formatList = formats.size() < 2 ? formats.join(QString())
                                                  : formats.mid(0, formats.size() - 1).join(QStringLiteral(", ")) +
                                                        QStringLiteral(" or ") + formats.last();
    parser.addOption({QStringLiteral("format"),
                      QStringLiteral("Output format: ") + formatList + QStringLiteral(" (default ") + formats.value(0) +
                          QStringLiteral(")."),
                      QStringLiteral("FORMAT"), formats.value(0)});
    parser.addOption({QStringLiteral("columns"),
                      QStringLiteral("Optional columns of rows and csv, a comma list of ") +
                          optionalColumnNames().join(QStringLiteral(", ")) +
                          QStringLiteral(" (columns of --filter are added)."),
                      QStringLiteral("LIST")});
    // The main window's filters, with the defaults of a new window. Nothing
    // persisted is read: only these flags decide.
    parser.addOption({QStringLiteral("level"),
                      QStringLiteral("Severities shown, a comma list of fault, error, notice, info, debug, "
                                     "or all (default fault,error)."),
                      QStringLiteral("LIST"), QStringLiteral("fault,error")});
    parser.addOption({QStringLiteral("type"), QStringLiteral("Source type: all, system, user or hardware (default all)."),
                      QStringLiteral("TYPE"), QStringLiteral("all")});
    parser.addOption({QStringLiteral("process"), QStringLiteral("Only entries of this process (exact name)."),
                      QStringLiteral("NAME")});
    parser.addOption({QStringLiteral("subsystem"), QStringLiteral("Only entries of this subsystem (exact name)."),
                      QStringLiteral("NAME")});
    parser.addOption({QStringLiteral("search"),
                      QStringLiteral("Search text, matched in message, process and subsystem, any letter case."),
                      QStringLiteral("TEXT")});
    parser.addOption({QStringLiteral("filter"),
                      QStringLiteral("Column filter COLUMN=TEXT (") + optionalColumnNames().join(QStringLiteral(", ")) +
                          QStringLiteral("); shows the column. Repeatable."),
                      QStringLiteral("COLUMN=TEXT")});
    parser.addOption({QStringLiteral("sort"),
                      QStringLiteral("Sort column: ") + sortColumnNames().join(QStringLiteral(", ")) +
                          QStringLiteral(" (default Time)."),
                      QStringLiteral("COLUMN"), QStringLiteral("Time")});
    parser.addOption({QStringLiteral("descending"), QStringLiteral("Sort in descending order.")});
    parser.addOption({QStringLiteral("hide-process"), QStringLiteral("Hide the entries of this process (exact name). Repeatable."),
                      QStringLiteral("NAME")});
    parser.addOption({QStringLiteral("hide-subsystem"),
                      QStringLiteral("Hide the entries of this subsystem (exact name). Repeatable."),
                      QStringLiteral("NAME")});
    parser.addOption({QStringLiteral("hide-pattern"),
                      QStringLiteral("Hide the entries whose message has this pattern, as the patterns command prints "
                                     "it (placeholders may be typed <n>, <uuid>, ...). Repeatable."),
                      QStringLiteral("TEXT")});
    parser.addOption({QStringLiteral("exclude"),
                      QStringLiteral("Drop the entries whose message or process contains TEXT, any letter case. "
                                     "Repeatable."),
                      QStringLiteral("TEXT")});
}

namespace {

// --level: the severities shown; false with the usage error on a word it lacks.
bool readLevels(const QCommandLineParser& parser, FilterState& s, QString* usageError)
{
    s.activeFilters.clear();
    for (const QString& part : parser.value(QStringLiteral("level")).split(QLatin1Char(','))) {
        const QString name = part.trimmed().toLower();
        if (name.isEmpty())
            continue;  // "--level ''" selects nothing, like switching every toggle off
        bool found = false;
        for (SeverityLevel l : Severity::all()) {
            if (name == QLatin1String("all") || Severity::label(l).toLower() == name) {  // "all" spelled as for --type
                s.activeFilters.insert(l);
                found = true;
            }
        }
        if (!found) {
            *usageError = QStringLiteral("--level takes a comma list of fault, error, notice, info, debug, or all; got '") +
                          part.trimmed() + QLatin1Char('\'');
            return false;
        }
    }
    return true;
}

// --filter and --columns: the optional columns shown, and their filters.
bool readColumns(const QCommandLineParser& parser, FilterState& s, QString* usageError)
{
    for (const QString& f : parser.values(QStringLiteral("filter"))) {
        const qsizetype eq = f.indexOf(QLatin1Char('='));
        const std::optional<ColumnId> column = eq < 0 ? std::nullopt : optionalColumn(f.left(eq));
        if (!column) {
            *usageError = QStringLiteral("--filter takes COLUMN=TEXT with COLUMN one of ") +
                          optionalColumnNames().join(QStringLiteral(", ")) + QStringLiteral("; got '") + f +
                          QLatin1Char('\'');
            return false;
        }
        s.shown[size_t(*column)] = true;
        s.filterText[size_t(*column)] = f.mid(eq + 1);
    }
    for (const QString& part : parser.value(QStringLiteral("columns")).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const std::optional<ColumnId> column = optionalColumn(part.trimmed());
        if (!column) {
            *usageError = QStringLiteral("--columns takes a comma list of ") +
                          optionalColumnNames().join(QStringLiteral(", ")) + QStringLiteral("; got '") +
                          part.trimmed() + QLatin1Char('\'');
            return false;
        }
        s.shown[size_t(*column)] = true;
    }
    return true;
}

// --hide-* and --exclude. An empty value hides nothing, as an empty field would.
void readHideRules(const QCommandLineParser& parser, FilterState& s)
{
    const auto add = [&](const char* flag, HideRule::Kind kind) {
        for (const QString& v : parser.values(QLatin1String(flag))) {
            const HideRule rule{kind, kind == HideRule::Kind::pattern ? MessagePattern::fromTyped(v) : v};
            if (!v.isEmpty() && !s.hidden.contains(rule))
                s.hidden.append(rule);
        }
    };
    add("hide-process", HideRule::Kind::process);
    add("hide-subsystem", HideRule::Kind::subsystem);
    add("hide-pattern", HideRule::Kind::pattern);
    s.excluded = parser.values(QStringLiteral("exclude"));
}

}  // namespace

std::optional<FilterState> filterStateFromOptions(const QCommandLineParser& parser, QString* usageError)
{
    FilterState s;
    if (!readLevels(parser, s, usageError))
        return std::nullopt;
    const QString type = parser.value(QStringLiteral("type"));
    if (!Source::fromName(type)) {
        *usageError = QStringLiteral("--type must be all, system, user or hardware");
        return std::nullopt;
    }
    s.sourceFilter = type;
    if (parser.isSet(QStringLiteral("process")))
        s.selectedProcess = parser.value(QStringLiteral("process"));
    if (parser.isSet(QStringLiteral("subsystem")))
        s.selectedSubsystem = parser.value(QStringLiteral("subsystem"));
    s.searchText = parser.value(QStringLiteral("search"));
    if (!readColumns(parser, s, usageError))
        return std::nullopt;
    const std::optional<ColumnId> sort = Columns::byTitle(parser.value(QStringLiteral("sort")));
    if (!sort) {
        *usageError = QStringLiteral("--sort must be one of ") + sortColumnNames().join(QStringLiteral(", "));
        return std::nullopt;
    }
    s.sortColumn = *sort;
    s.sortAscending = !parser.isSet(QStringLiteral("descending"));
    readHideRules(parser, s);
    return s;
}

static std::optional<double> parseDate(const QString& text)
{
    QDateTime dt = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!dt.isValid())
        dt = QDateTime::fromString(text, Qt::ISODate);
    if (!dt.isValid())
        return std::nullopt;
    return double(dt.toMSecsSinceEpoch()) / 1000.0;
}

std::optional<LogsRun> runLogsQuery(const QCommandLineParser& parser, QString* usageError)
{
    const QString format = parser.value(QStringLiteral("format"));
    if (format != QLatin1String("rows") && format != QLatin1String("csv") && format != QLatin1String("json")) {
        *usageError = QStringLiteral("--format must be rows, csv or json");
        return std::nullopt;
    }
    const bool hasStart = parser.isSet(QStringLiteral("start"));
    const bool hasEnd = parser.isSet(QStringLiteral("end"));
    if (hasStart != hasEnd) {
        *usageError = QStringLiteral("--start and --end go together");
        return std::nullopt;
    }
    if (hasStart && parser.isSet(QStringLiteral("last"))) {
        *usageError = QStringLiteral("--last cannot be combined with --start/--end");
        return std::nullopt;
    }
    std::optional<double> start, end;
    if (hasStart) {
        start = parseDate(parser.value(QStringLiteral("start")));
        end = parseDate(parser.value(QStringLiteral("end")));
        if (!start || !end) {
            *usageError = QStringLiteral("--start and --end take ISO 8601 dates, e.g. 2026-01-05T09:30:00Z");
            return std::nullopt;
        }
        if (*start > *end) {
            *usageError = QStringLiteral("--start must not be after --end");
            return std::nullopt;
        }
    }
    // An empty path must not quietly mean the live log.
    if (parser.isSet(QStringLiteral("archive")) && parser.value(QStringLiteral("archive")).isEmpty()) {
        *usageError = QStringLiteral("--archive needs a path");
        return std::nullopt;
    }
    const std::optional<FilterState> filters = filterStateFromOptions(parser, usageError);
    if (!filters)
        return std::nullopt;
    double lastSeconds = 3600;
    if (parser.isSet(QStringLiteral("last"))) {
        const QString last = parser.value(QStringLiteral("last"));
        if (last == QLatin1String("1h"))
            lastSeconds = 3600;
        else if (last == QLatin1String("4h"))
            lastSeconds = 14400;
        else if (last == QLatin1String("24h"))
            lastSeconds = 86400;
        else {
            *usageError = QStringLiteral("--last must be 1h, 4h or 24h");
            return std::nullopt;
        }
    }

    // One store query, as the main window's fetch would run it: the whole
    // archive, or the range given (with an archive, the range narrows it).
    const QString archive = parser.value(QStringLiteral("archive"));
    double queryStart = kDistantPast, queryEnd = wallClockNow();
    if (start) {
        queryStart = *start;
        queryEnd = *end;
    } else if (archive.isEmpty()) {
        queryStart = queryEnd - lastSeconds;
    } else if (parser.isSet(QStringLiteral("last"))) {
        // On an archive --last counts back from its last entry, as the window's
        // quick ranges do; an archive without dates is read whole (and says why).
        if (const std::optional<DateRange> span = archiveSpan(archive)) {
            queryEnd = span->end;
            queryStart = queryEnd - lastSeconds;
        }
    }
    QueryResult result = queryEntries(queryStart, queryEnd, archive);

    LogsRun run;
    run.archive = archive;
    run.outcome = FetchOutcome::of(result, !archive.isEmpty());
    run.message = LogFetcher::resultText(result, !archive.isEmpty()).value_or(QString());
    run.entries = std::move(result.entries);
    run.filters = *filters;
    run.rows = Pipeline::evaluate(run.filters, run.entries, false).filtered.toList();
    return run;
}

bool reportFailureOrCut(const LogsRun& run)
{
    if (run.outcome.kind == FetchOutcome::Kind::failed || run.outcome.kind == FetchOutcome::Kind::timedOut) {
        err() << run.message << "\n";
        return true;
    }
    std::optional<DateRange> listed, archive;
    if (run.outcome.stop == QueryStop::entryCap && !run.entries.isEmpty()) {
        listed = DateRange{run.entries.first().date, run.entries.last().date};
        if (!run.archive.isEmpty())
            archive = archiveSpan(run.archive);
    }
    if (const auto cut = LogFetcher::cutText(run.outcome, run.entries.size(), listed, archive))
        err() << *cut << "\n";
    if (const auto skipped = LogFetcher::skipText(run.outcome.skipped))
        err() << *skipped << "\n";
    return false;
}
