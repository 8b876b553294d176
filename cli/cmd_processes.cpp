#include "cli/Commands.h"

// Placeholder until the command is built.
int runProcesses(const QStringList&)
{
    err() << "vellacord-cli: 'processes' is not available yet\n";
    return 2;
}
