#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace TestEnv {
// Points HOME and the XDG folders at a temporary folder kept for the life of the process, so that the
// settings and application-support files never touch the real user's. Call it in initTestCase() before
// anything reads settings or paths. Returns the temporary home.
QString useTemporaryHome();
void clearSettings();
QString cliPath();  // the vellacord-cli built beside the tests

struct CliRun {
    int code = -1;
    QString out, err;
    QStringList lines() const { return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

// Runs vellacord-cli with the arguments (and the environment, when given); a run that hangs is killed.
CliRun runCli(const QStringList& args, const QProcessEnvironment& env = {}, int timeoutMs = 60000);
}  // namespace TestEnv
