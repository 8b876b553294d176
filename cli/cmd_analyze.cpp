#include "cli/Commands.h"

// Placeholder until the command is built.
int runAnalyze(const QStringList&)
{
    err() << "vellacord-cli: 'analyze' is not available yet\n";
    return 2;
}
