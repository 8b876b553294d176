#include "tests/support/TestEnv.h"

#include "base/Platform.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

namespace TestEnv {

QString useTemporaryHome()
{
    static QTemporaryDir dir;
    static const bool done = [] {
        const QString home = dir.path();
        qputenv("HOME", home.toUtf8());
        for (const auto& [variable, sub] : {std::pair{"XDG_CONFIG_HOME", "config"}, {"XDG_DATA_HOME", "data"}, {"XDG_CACHE_HOME", "cache"}, {"XDG_DESKTOP_DIR", "Desktop"}}) {
            QDir(home).mkpath(QString::fromLatin1(sub));
            qputenv(variable, (home + QLatin1Char('/') + QLatin1String(sub)).toUtf8());
        }
        return true;
    }();
    Q_UNUSED(done);
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
