#include "tests/support/TestEnv.h"

#include "logs/Platform.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

namespace TestEnv {

QString useTemporaryHome()
{
    static QTemporaryDir dir;
    static bool done = false;
    if (!done) {
        done = true;
        const QString home = dir.path();
        for (const char* sub : {"config", "data", "cache", "Desktop"})
            QDir(home).mkpath(QString::fromLatin1(sub));
        qputenv("HOME", home.toUtf8());
        qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/config")).toUtf8());
        qputenv("XDG_DATA_HOME", (home + QStringLiteral("/data")).toUtf8());
        qputenv("XDG_CACHE_HOME", (home + QStringLiteral("/cache")).toUtf8());
        qputenv("XDG_DESKTOP_DIR", (home + QStringLiteral("/Desktop")).toUtf8());
    }
    return dir.path();
}

void clearSettings()
{
    Platform::settings().clear();
    Platform::settings().sync();
}

QString cliPath()
{
    const QByteArray p = qgetenv("VELLACORD_CLI");
    return p.isEmpty() ? QStringLiteral(VELLACORD_CLI_DEFAULT) : QString::fromLocal8Bit(p);
}

CliRun runCli(const QStringList& args, const QProcessEnvironment& env, int timeoutMs)
{
    QProcess p;
    if (!env.isEmpty())
        p.setProcessEnvironment(env);
    p.start(cliPath(), args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
    }
    // A run killed or crashed has no exit code of its own.
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

}  // namespace TestEnv
