#include "cli/Commands.h"

// Placeholder until the command is built.
int runCrashes(const QStringList&)
{
    err() << "vellacord-cli: 'crashes' is not available yet\n";
    return 2;
}

// Placeholder until the command is built.
int runCrash(const QStringList&)
{
    err() << "vellacord-cli: 'crash' is not available yet\n";
    return 2;
}
