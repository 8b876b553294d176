#include "logs/LogCollector.h"

#include "base/Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>

namespace {

bool isExecutableFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

}  // namespace

QString LogCollector::outputPath(const QDateTime& start)
{
    return Platform::desktopDir() + QStringLiteral("/Vellacord-") + start.toLocalTime().toString(QStringLiteral("yyyy-MM-dd-HHmmss")) + QStringLiteral(".logarchive");
}

QString LogCollector::toolPath()
{
    const QByteArray env = qgetenv("VELLACORD_LOG_TOOL");
    if (!env.isEmpty())
        return QString::fromLocal8Bit(env);
#ifdef Q_OS_MACOS
    return QStringLiteral("/usr/bin/log");
#else
    if (QCoreApplication::instance()) {
        const QString beside =
            QCoreApplication::applicationDirPath() + QStringLiteral("/../libexec/vellacord/vellacord-log");
        if (isExecutableFile(beside))
            return QDir::cleanPath(beside);
    }
#ifdef VELLACORD_LOG_TOOL
    if (isExecutableFile(QStringLiteral(VELLACORD_LOG_TOOL)))
        return QStringLiteral(VELLACORD_LOG_TOOL);
#endif
#ifdef VELLACORD_LOG_TOOL_INSTALLED
    return QStringLiteral(VELLACORD_LOG_TOOL_INSTALLED);
#else
    return QStringLiteral("/usr/local/libexec/vellacord/vellacord-log");
#endif
#endif
}

QStringList LogCollector::toolArguments(const QString& outputPath)
{
    return {QStringLiteral("collect"), QStringLiteral("--last"), QStringLiteral("1h"), QStringLiteral("--output"),
            outputPath};
}

QString LogCollector::decodeToolErrors(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder(bytes);
    return decoder.hasError() ? QString() : text;
}

QString LogCollector::failureText(int exitStatus, const QString& errorText)
{
    if (errorText.contains(QLatin1String("cancel")))
        return cancelledText();
    if (exitStatus == 1) {
#ifndef Q_OS_MACOS
        const QString reason = errorText.trimmed();
        if (!reason.isEmpty())
            return QStringLiteral("Log collection could not read the system journal. Members of the groups "
                                  "systemd-journal and adm can read all of it.\n") +
                   reason;
#endif
        return cancelledText();
    }
    return QStringLiteral("Exit code ") + QString::number(exitStatus) + QLatin1Char('\n') + errorText;
}

LogCollector::LogCollector(QObject* parent) : QObject(parent) {}

LogCollector::~LogCollector()
{
    if (m_process) {
        // The window is going away mid-run: stop the tool rather than wait for
        // it; its partial output stays where it is.
        m_process->disconnect(this);
        m_process->kill();
        m_process->waitForFinished(1000);
    }
}

bool LogCollector::start()
{
    if (m_isCollecting)
        return false;
    setCollecting(true);
    m_outputPath = outputPath(QDateTime::currentDateTime());
    // A Linux home need not have a Desktop folder; the tool creates only the archive.
    QDir().mkpath(QFileInfo(m_outputPath).absolutePath());

    m_process = new QProcess(this);
    // Standard output is not used; sent nowhere, it can never fill a pipe and
    // stall the tool. Nor may the tool wait for input.
    m_process->setStandardOutputFile(QProcess::nullDevice());
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    connect(m_process, &QProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus status) { onExited(exitCode, status == QProcess::CrashExit); });
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;  // everything else ends in finished()
        const QString description = m_process->errorString();
        m_process->deleteLater();
        m_process = nullptr;
        setCollecting(false);
        emit finished(false, m_outputPath, description);
    });
    m_process->start(toolPath(), toolArguments(m_outputPath), QIODevice::ReadOnly);
    return true;
}

void LogCollector::onExited(int exitCode, bool crashed)
{
    const QString errorText = decodeToolErrors(m_process->readAllStandardError());
    m_process->deleteLater();
    m_process = nullptr;
    setCollecting(false);
    // A tool killed by a signal reports the signal number as its status, as
    // the macOS termination status does; it is never a success.
    const bool success = exitCode == 0 && !crashed;
    emit finished(success, m_outputPath, success ? QString() : failureText(exitCode, errorText));
}

void LogCollector::setCollecting(bool v)
{
    if (m_isCollecting == v)
        return;
    m_isCollecting = v;
    emit isCollectingChanged();
}
