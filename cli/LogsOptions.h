#pragma once

// The options shared by every command that works on a list of log entries
// (logs, processes, explain, analyze) and the run that turns them into rows.

#include "browser/FilterPipeline.h"
#include "logs/LogEntry.h"
#include "logs/LogFetcher.h"

#include <QCommandLineParser>
#include <QString>

#include <optional>

// `formats` are the --format values the command takes, the first the default.
void addLogsOptions(QCommandLineParser& parser,
                    const QStringList& formats = {QStringLiteral("rows"), QStringLiteral("csv"), QStringLiteral("json")});

struct LogsRun {
    QString archive;       // the --archive path; empty for the live log
    FetchOutcome outcome;  // what the query came to
    QString message;       // failure text, or the empty-result text when `entries` is empty
    LogEntryList entries;  // what the fetch loaded, in store order
    LogEntryList rows;     // after the window's filters and sort
    FilterState filters;   // the filter inputs the rows were derived with
};

// Validates the options; on a usage error writes it into `usageError` and
// returns nothing. Otherwise runs the one store query (as the main window's
// fetch would) and derives the rows.
std::optional<LogsRun> runLogsQuery(const QCommandLineParser& parser, QString* usageError);

// When the query failed, or timed out before finding anything: writes its
// text to standard error and returns true.
// Otherwise notes on standard error a list cut short (cap, time-out, read
// error) or partial (damaged data skipped) and returns false.
bool reportFailureOrCut(const LogsRun& run);

// The filter inputs given by the flags (defaults of a new window otherwise);
// on a usage error writes it into `usageError` and returns nothing.
std::optional<FilterState> filterStateFromOptions(const QCommandLineParser& parser, QString* usageError);
