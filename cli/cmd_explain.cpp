#include "cli/Commands.h"

// Placeholder until the command is built.
int runExplain(const QStringList&)
{
    err() << "vellacord-cli: 'explain' is not available yet\n";
    return 2;
}
