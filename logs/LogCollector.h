#pragma once

// One run of the platform's log tool collecting the last hour of system logs
// into a .logarchive on the Desktop. The window asks for confirmation, shows
// the button state and the failure alert, and records and opens the new
// archive. Main thread only; the tool runs as a child process watched by the
// event loop, so nothing waits on it.

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

class QProcess;

class LogCollector : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isCollecting READ isCollecting NOTIFY isCollectingChanged)

public:
    static QString cancelledText() { return QStringLiteral("Log collection was cancelled or requires administrator privileges."); }

    // "<Desktop>/Vellacord-yyyy-MM-dd-HHmmss.logarchive", local time.
    static QString outputPath(const QDateTime& start);
    // The collection tool: the environment's VELLACORD_LOG_TOOL when set;
    // otherwise /usr/bin/log on macOS, and elsewhere vellacord-log installed
    // beside the application (../libexec/vellacord), the source tree's
    // script (runs from a build tree), or the configured install location.
    static QString toolPath();
    // "collect", "--last", "1h", "--output", path.
    static QStringList toolArguments(const QString& outputPath);
    // The tool's standard error as text; empty when it is not valid UTF-8.
    static QString decodeToolErrors(const QByteArray& bytes);
    // The alert text of a run that ended with a non-zero exit status. Our
    // Linux tool has no password prompt to cancel: its status 1 means the
    // journal could not be read, and its own words say why.
    static QString failureText(int exitStatus, const QString& errorText);

    explicit LogCollector(QObject* parent = nullptr);
    ~LogCollector() override;

    bool isCollecting() const { return m_isCollecting; }

    // Starts a run now; false when one is already running.
    bool start();

signals:
    void isCollectingChanged();
    // A run ended, after isCollecting went false; with success the archive is
    // at `outputPath`, otherwise `failureText` says why, for the alert.
    void finished(bool success, const QString& outputPath, const QString& failureText);

private:
    void setCollecting(bool v);
    void onExited(int exitCode, bool crashed);

    QProcess* m_process = nullptr;
    bool m_isCollecting = false;
    QString m_outputPath;
};
