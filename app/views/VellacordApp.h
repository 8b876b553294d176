#pragma once

#include "app/AppTheme.h"
#include "browser/LogColumns.h"

#include <QList>
#include <QObject>
#include <QPalette>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <optional>

class ContentView;
class DetailWindowState;
class PendingArchive;
class QMainWindow;
class QMenu;
class QMenuBar;
class RecentArchives;

// The application shell: the objects all windows share, the windows by
// identifier, the menus (File, View, Help, Quit), the theme and the column
// settings that the View menu edits.
class VellacordApp : public QObject {
    Q_OBJECT
public:
    // A modal alert: what the user is asked and the buttons, first = default.
    struct Alert {
        QString title;
        QString informativeText;
        QStringList buttons;
        bool warning = true;
    };
    // The open panel's settings.
    struct OpenPanel {
        QString title = QStringLiteral("Open Log Archive");
        QString prompt = QStringLiteral("Open Archive");
        QString message = QStringLiteral("Select a .logarchive bundle");
    };

    explicit VellacordApp(QObject* parent = nullptr);
    ~VellacordApp() override;

    DetailWindowState* detailWindowState() const { return m_detailState; }
    RecentArchives* recentArchives() const { return m_recent; }
    PendingArchive* pendingArchive() const { return m_pending; }

    // A new main window (any number of them).
    QMainWindow* newMainWindow();
    QList<ContentView*> contentViews() const;
    // Opens the single window with that identifier, or brings it to the front.
    void openWindow(const QString& id);

    AppTheme theme() const { return Theme::stored(); }
    void setTheme(AppTheme t);
    void applyTheme();

    // Menu commands.
    void openArchiveCommand();
    // A chosen or given location: opened and remembered when it is a log
    // archive, the "Not a Log Archive" alert otherwise.
    void openPath(const QString& path);
    void openRecent(const QString& path);
    void clearRecent();
    void resetLearnedProcessNames();
    void toggleColumn(ColumnId c);
    void quit();

    // Test seam: alerts (return the chosen button's text).
    void setAlertRunner(std::function<QString(const Alert&)> run) { m_alert = std::move(run); }

    // Builds the menu bar of a main window; menus refresh themselves when shown.
    void installMenus(QMainWindow* window);
    // With the window's content, the File menu carries its export command and
    // the View menu its Find and Refresh commands (and their keys).
    void fillFileMenu(QMenu* menu, ContentView* content = nullptr);
    void fillViewMenu(QMenu* menu, ContentView* window = nullptr);
    void fillHelpMenu(QMenu* menu);

signals:
    // Emitted by quit() just before the event loop is asked to end.
    void quitRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::optional<QString> runOpenPanel(const OpenPanel& panel);
    QString runAlert(const Alert& alert);

    DetailWindowState* m_detailState;
    RecentArchives* m_recent;
    PendingArchive* m_pending;
    QList<QPointer<QMainWindow>> m_mainWindows;
    QPalette m_systemPalette;
    std::function<QString(const Alert&)> m_alert;
};
