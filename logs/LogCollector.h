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

#include <optional>

class QProcess;

class LogCollector : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isCollecting READ isCollecting NOTIFY isCollectingChanged)

public:
    // A modal alert to show: warning style, one "OK" button.
    struct Alert {
        QString title;
        QString informativeText;
        bool operator==(const Alert&) const = default;
    };

    static QString alertTitle() { return QStringLiteral("Log Collection Failed"); }
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
    // The alert text of a run that ended with a non-zero exit status.
    static QString failureText(int exitStatus, const QString& errorText);

    explicit LogCollector(QObject* parent = nullptr);
    ~LogCollector() override;

    bool isCollecting() const { return m_isCollecting; }
    // The failure to report, until the user dismisses it.
    const std::optional<Alert>& alert() const { return m_alert; }
    // The output path of the current or last run.
    const QString& lastOutputPath() const { return m_outputPath; }

    // Starts a run now; false when one is already running.
    bool start();
    // The alert's "OK".
    void dismissAlert();

signals:
    void isCollectingChanged();
    void alertChanged();
    // A run ended; with success, the archive is at `outputPath`.
    void finished(bool success, const QString& outputPath);

private:
    void setCollecting(bool v);
    void fail(const QString& informativeText);
    void onExited(int exitCode, bool crashed);

    QProcess* m_process = nullptr;
    bool m_isCollecting = false;
    std::optional<Alert> m_alert;
    QString m_outputPath;
};
