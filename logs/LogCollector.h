#pragma once

// One-click collection of the last hour of system logs into a .logarchive on
// the Desktop with the platform's log tool, then opened in the window's log
// fetcher. Headless: the window shows the confirmation sheet, the button
// state and the failure alert from the state and texts published here.
// Main thread only; the tool runs as a child process watched by the event
// loop, so nothing waits on it.

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <optional>

class LogFetcher;
class QProcess;
class RecentArchives;

class LogCollector : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool showCollectConfirm READ showCollectConfirm NOTIFY showCollectConfirmChanged)
    Q_PROPERTY(bool isCollecting READ isCollecting NOTIFY isCollectingChanged)

public:
    // A modal alert to show: warning style, one "OK" button.
    struct Alert {
        QString title;
        QString informativeText;
        bool operator==(const Alert&) const = default;
    };

    // Texts of the toolbar button, the confirmation sheet and the alert.
    static QString buttonIcon() { return QStringLiteral("tray.and.arrow.down"); }
    static QString buttonText() { return QStringLiteral("Collect"); }
    static QString collectingText() { return QStringLiteral("Collecting…"); }
    static QString buttonTooltip() { return QStringLiteral("Collect system logs into a .logarchive on your Desktop"); }
    static QString confirmTitle() { return QStringLiteral("Collect System Logs"); }
    static QString confirmMessage();
    static QString cancelButtonText() { return QStringLiteral("Cancel"); }
    static QString collectButtonText() { return QStringLiteral("Collect"); }
    static QString alertTitle() { return QStringLiteral("Log Collection Failed"); }
    static QString alertButtonText() { return QStringLiteral("OK"); }
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

    // The fetcher opens the collected archive; the recent list records it.
    // Either may be absent (the step is then skipped).
    LogCollector(LogFetcher* fetcher, RecentArchives* recentArchives, QObject* parent = nullptr);
    ~LogCollector() override;

    bool showCollectConfirm() const { return m_showCollectConfirm; }
    bool isCollecting() const { return m_isCollecting; }
    // The failure to report, until the user dismisses it.
    const std::optional<Alert>& alert() const { return m_alert; }
    // The output path of the current or last run.
    const QString& lastOutputPath() const { return m_outputPath; }

    // The toolbar's Collect button: shows the confirmation sheet (not while
    // a run is going on).
    void requestCollect();
    // The sheet's "Cancel".
    void cancelCollect();
    // The sheet's "Collect": closes the sheet and starts a run.
    void confirmCollect();
    // Starts a run now; false when one is already running.
    bool start();
    // The alert's "OK".
    void dismissAlert();

signals:
    void showCollectConfirmChanged();
    void isCollectingChanged();
    void alertChanged();
    // A run ended: with success, the archive was recorded and opened.
    void finished(bool success, const QString& outputPath);

private:
    void setShowConfirm(bool v);
    void setCollecting(bool v);
    void fail(const QString& informativeText);
    void onExited(int exitCode, bool crashed);

    QPointer<LogFetcher> m_fetcher;
    QPointer<RecentArchives> m_recent;
    QProcess* m_process = nullptr;
    bool m_showCollectConfirm = false;
    bool m_isCollecting = false;
    std::optional<Alert> m_alert;
    QString m_outputPath;
};
