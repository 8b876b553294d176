#pragma once

#include "browser/EntryExport.h"
#include "browser/views/TransientNotice.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class ContentView;
class QAction;
class WindowModel;

// File > "Export Visible Entries…" (Ctrl+E) of one main window: the rows the
// list shows, in its order and with its columns, written in the format of the
// save panel's file type or of a typed extension. Formatting and the atomic
// write run on the thread pool; a failure says why in an alert, success in a
// notice over the window that goes by itself.
class ExportCommand : public QObject {
    Q_OBJECT
public:
    ExportCommand(WindowModel* model, ContentView* window);

    // Enabled while the Logs tab lists entries and no export runs.
    QAction* action() const { return m_action; }
    bool isRunning() const { return m_running; }

    void run();

    // What the save panel answered: the path as typed, the chosen type, and
    // whether only the marked rows are written ("Marked entries only").
    struct SaveChoice {
        QString path;
        EntryExport::Format format = EntryExport::Format::text;
        bool markedOnly = false;
    };
    // Test seams: the save panel (given the suggested path) and the alert.
    void setSavePanelRunner(std::function<std::optional<SaveChoice>(const QString&)> run) { m_panel = std::move(run); }
    void setAlertRunner(std::function<void(const QString&)> run) { m_alert = std::move(run); }

    static QString failureTitle() { return QStringLiteral("Export Failed"); }
    static QString failureText(const QString& path, const QString& reason);
    // "Exported 1,234 entries to /path/rows.csv."
    static QString successText(const QString& path, qsizetype count);
    // The success notice, once an export has succeeded.
    TransientNotice* notice() const { return m_notice; }

signals:
    // The write ended: nothing, or the reason it failed.
    void finished(const std::optional<QString>& failure);

private:
    std::optional<SaveChoice> runSavePanel(const QString& suggested, bool anyMarked);
    void showFailure(const QString& text);
    void refresh();

    WindowModel* m_model;
    QPointer<ContentView> m_window;
    QAction* m_action;
    bool m_running = false;
    std::function<std::optional<SaveChoice>(const QString&)> m_panel;
    std::function<void(const QString&)> m_alert;
    QPointer<TransientNotice> m_notice;
};
