#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace TestEnv {
// Points HOME, XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_CACHE_HOME at a fresh
// temporary folder kept for the life of the process, so that the settings
// store and the application-support folder never touch the real user's.
// Call it in initTestCase() before anything reads settings or paths.
// Returns the temporary home.
QString useTemporaryHome();

// Clears every key of the settings store.
void clearSettings();

// Absolute path of the vellacord-cli binary built beside the tests.
QString cliPath();

// One finished run of vellacord-cli: exit status and both streams as text.
struct CliRun {
    int code = -1;
    QString out, err;
    QStringList lines() const { return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

// Runs vellacord-cli with the arguments (and the environment, when one is
// given) and waits up to `timeoutMs`; a run that hangs is killed.
CliRun runCli(const QStringList& args, const QProcessEnvironment& env = {}, int timeoutMs = 60000);
}
