#pragma once

#include <QStringList>
#include <QTextStream>

#include <optional>

// Each subcommand gets its own arguments (without the program and command
// names) and returns the process exit code.
int runLogs(const QStringList& args);
int runPatterns(const QStringList& args);
int runProcesses(const QStringList& args);
int runExplain(const QStringList& args);
int runAnalyze(const QStringList& args);
int runCrashes(const QStringList& args);
int runCrash(const QStringList& args);

// Standard output and error. Writes to standard output are checked: a full
// disk, a closed descriptor or a broken pipe is remembered, not ignored.
QTextStream& out();
QTextStream& err();

// Call first in main: a closed standard descriptor gets /dev/null, so that no
// file opened later takes its number (and receives the output); writing to
// a closed standard output is then still a failure.
void guardStandardDescriptors();

// Flushes standard output; the system's reason when any write to it failed.
std::optional<QString> finishOutput();

class QCommandLineParser;
// Parses a command's arguments; a value means "stop with this exit code"
// (usage error, --help, stray positional argument).
std::optional<int> parseCommand(QCommandLineParser& parser, const QString& command, const QStringList& args);
