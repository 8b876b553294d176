#pragma once

#include <QStringList>
#include <QTextStream>

#include <optional>

// Each subcommand gets its own arguments (without the program and command
// names) and returns the process exit code.
int runLogs(const QStringList& args);
int runProcesses(const QStringList& args);
int runExplain(const QStringList& args);
int runAnalyze(const QStringList& args);
int runCrashes(const QStringList& args);
int runCrash(const QStringList& args);

QTextStream& out();
QTextStream& err();

class QCommandLineParser;
// Parses a command's arguments; a value means "stop with this exit code"
// (usage error, --help, stray positional argument).
std::optional<int> parseCommand(QCommandLineParser& parser, const QString& command, const QStringList& args);
