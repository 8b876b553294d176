#pragma once

#include <QStringList>
#include <QTextStream>

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
