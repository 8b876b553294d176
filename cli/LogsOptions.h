#pragma once

// The options shared by every command that works on a list of log entries
// (logs, processes, explain, analyze) and the run that turns them into rows.

#include "browser/FilterPipeline.h"
#include "logs/LogEntry.h"

#include <QCommandLineParser>
#include <QString>

#include <optional>

void addLogsOptions(QCommandLineParser& parser);

struct LogsRun {
    bool ok = false;               // false: the fetch failed, `message` holds the user-facing text
    QString message;               // failure text, or the empty-result text when `entries` is empty
    LogEntryList entries;          // what the fetch loaded, in store order
    LogEntryList rows;             // after the window's filters and sort
    FilterState filters;           // the filter inputs the rows were derived with
};

// Validates the options; on a usage error writes it into `usageError` and
// returns nothing. Otherwise runs one fetch (as the main window would) and
// derives the rows.
std::optional<LogsRun> runLogsQuery(const QCommandLineParser& parser, QString* usageError);

// The filter inputs given by the flags (defaults of a new window otherwise);
// on a usage error writes it into `usageError` and returns nothing.
std::optional<FilterState> filterStateFromOptions(const QCommandLineParser& parser, QString* usageError);

// A row as the copy-row command writes it.
QString rowText(const LogEntry& entry);
// A record as one JSON object (compact, one line).
QByteArray entryJson(const LogEntry& entry);
