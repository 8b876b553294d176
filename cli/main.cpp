#include "cli/Commands.h"

#include "base/Platform.h"
#include "logs/ResourceLimits.h"
#include <QCommandLineParser>
#include <QCoreApplication>

#include <QLoggingCategory>
#include <QMap>

#include <cstdio>
#include <functional>

static void usage()
{
    err() << "usage: vellacord-cli COMMAND [options]\n"
             "commands:\n"
             "  logs       print log entries (live store or --archive PATH)\n"
             "  patterns   print the patterns of the listed entries, most frequent first\n"
             "  processes  print the process dropdown options\n"
             "  explain    explain one entry with the AI provider\n"
             "  analyze    run the proactive analysis on the filtered list\n"
             "  crashes    list crash reports\n"
             "  crash      print one crash report as JSON\n"
             "Run 'vellacord-cli COMMAND --help' for the options of a command.\n";
    err().flush();
}

int main(int argc, char** argv)
{
    guardStandardDescriptors();
    ResourceLimits::raiseOpenFileLimit();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vellacord-cli"));
    Platform::setDefaultDiagnostics(Platform::Diagnostics::none);
    QStringList args = app.arguments();
    args.removeFirst();
    if (args.isEmpty() || args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        usage();
        return args.isEmpty() ? 2 : 0;
    }
    const QString command = args.takeFirst();
    const QMap<QString, std::function<int(const QStringList&)>> commands{
        {QStringLiteral("logs"), runLogs},
        {QStringLiteral("patterns"), runPatterns},
        {QStringLiteral("processes"), runProcesses},
        {QStringLiteral("explain"), runExplain},
        {QStringLiteral("analyze"), runAnalyze},
        {QStringLiteral("crashes"), runCrashes},
        {QStringLiteral("crash"), runCrash},
    };
    const auto it = commands.find(command);
    if (it == commands.end()) {
        err() << "vellacord-cli: unknown command '" << command << "'\n";
        usage();
        return 2;
    }
    int rc = it.value()(args);
    if (const std::optional<QString> failure = finishOutput()) {
        err() << "vellacord-cli: cannot write the output: " << *failure << "\n";
        rc = 1;
    }
    err().flush();
    return rc;
}
