#pragma once

#include "crashes/CrashLogFetcher.h"

#include <QWidget>

#include <functional>
#include <optional>

class AISettings;
class CrashDetailPane;
class CrashFolderBar;
class CrashListModel;
class PaneResizeBar;
class CrashRow;
class QLabel;
class QListView;
class QStackedWidget;
class TintedBar;

// The crash browser shown in the main window's Crashes tab: the reports of
// its own CrashLogFetcher in a four-column table, newest first, and the
// selected report in a resizable detail pane below; above them, a notice
// when reports could not be read, naming them in its tooltip. Scans each
// time it is shown: the user's own reports, or those of a folder they opened.
class CrashView : public QWidget {
    Q_OBJECT
public:
    explicit CrashView(AISettings* aiSettings, QWidget* parent = nullptr);
    ~CrashView() override;

    CrashLogFetcher* crashFetcher() const { return m_fetcher; }
    const std::optional<CrashReport>& selectedCrash() const { return m_selected; }
    double detailHeight() const { return m_detailHeight; }
    CrashDetailPane* detailPane() const { return m_pane; }
    QListView* listView() const { return m_list; }
    CrashFolderBar* folderBar() const { return m_folderBar; }

    // The opened folder, none for the user's own reports.
    const std::optional<QString>& folder() const;
    // Lists that folder's reports (none: the user's own) and closes the pane.
    void setFolder(const std::optional<QString>& folder);
    // "Open Folder…": asks for a folder, then lists it.
    void chooseFolder();
    // Test seam: the folder panel (returns the chosen folder).
    void setFolderPanelRunner(std::function<std::optional<QString>()> run) { m_folderPanel = std::move(run); }

    // Which presentation is up, decided like the redraw does.
    enum class Presentation { empty,
                              scanning,
                              table };
    Presentation presentation() const;

    // "2 reports could not be read", and the files with their reasons.
    static QString unreadNotice(qsizetype count);
    static QString unreadDetail(const QList<UnreadReport>& unread);

public slots:
    // Starts a new scan (the toolbar's Rescan and every show).
    void rescan();
    // Toggles the selection like a click on the row of `report`.
    void toggleSelection(const CrashReport& report);
    // Applies one drag update of the resize handle.
    void dragHandle(int dy);

signals:
    void folderChanged();

protected:
    void showEvent(QShowEvent* e) override;

private:
    void refresh();
    void applySelection();

    AISettings* m_aiSettings;
    CrashLogFetcher* m_fetcher;
    std::optional<CrashReport> m_selected;
    double m_detailHeight = 280;

    std::function<std::optional<QString>()> m_folderPanel;
    CrashFolderBar* m_folderBar;
    TintedBar* m_unreadBar;
    QStackedWidget* m_stack;
    QLabel* m_emptyText;
    QListView* m_list;
    CrashListModel* m_model;
    CrashRow* m_delegate;
    PaneResizeBar* m_handle;
    CrashDetailPane* m_pane;
};
