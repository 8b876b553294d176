#pragma once

#include "browser/views/WindowParts.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class DetailPane;
class DetailWindowState;
class ExportCommand;
class FetchErrorPanel;
class LogHeader;
class LogListArea;
class LogListModel;
class PendingArchive;
class QAction;
class QLabel;
class QAbstractItemView;
class QStackedWidget;
class RecentArchives;
class SearchRow;
class Toolbar;
class TransientNotice;
class WindowModel;

// The main window's content. The window model holds the services and the
// state; this view lays out the widgets that show it (archive banner,
// toolbar, update banner, custom range row, filter bar, search row, and the
// error panel, the empty text or the list area) and plugs in what the shell
// gives: the Crashes tab, the settings popover, the analysis sheet, log
// collection and the floating window. It holds what only the views use: the
// tab, the crash folder, the popover and the collecting flag. Escape and
// Copy are its commands.
class ContentView : public QWidget {
    Q_OBJECT
public:
    ContentView(DetailWindowState* detailState, RecentArchives* recentArchives, PendingArchive* pending,
                WindowParts parts = {}, QWidget* parent = nullptr);
    ~ContentView() override;

    WindowModel* model() const { return m_model; }

    // Children, for the application and for tests.
    QAbstractItemView* listView() const;
    LogListModel* listModel() const;
    LogHeader* header() const;
    DetailPane* detailPane() const;  // the inline pane while open
    QWidget* contentArea() const;    // the error panel, the empty text or the list
    // Escape: closes the detail pane, keeping the row (enabled only while
    // it is open, so that the key passes on otherwise). Copy: the selected text of the focused field or
    // label, else the selected row's text, else nothing.
    QAction* clearSelectionAction() const { return m_clearSelection; }
    QAction* copyAction() const { return m_copy; }
    // File > "Export Visible Entries…" of this window.
    ExportCommand* exportCommand() const { return m_export; }
    // Find: the search field takes the focus (on the Logs tab). Refresh: the
    // log query again on Logs, a rescan on Crashes. The View menu shows both.
    QAction* findAction() const { return m_find; }
    QAction* refreshAction() const { return m_refresh; }
    void refreshCurrentTab();

    // The tab: the crash browser instead of the logs.
    bool showCrashes() const { return m_showCrashes; }
    void setShowCrashes(bool crashes);
    // The folder of crash reports the Crashes tab lists instead of the
    // user's own; it outlives visits to the Logs tab.
    const std::optional<QString>& crashFolder() const { return m_crashFolder; }
    void setCrashFolder(const std::optional<QString>& folder) { m_crashFolder = folder; }
    // A log collection under way (the toolbar says so).
    bool isCollecting() const { return m_isCollecting; }
    void setCollecting(bool collecting);
    // The settings popover under the gear.
    bool showSettings() const { return m_showSettings; }
    void setShowSettings(bool show);

signals:
    void showCrashesChanged();
    void collectingChanged();

protected:
    void showEvent(QShowEvent* e) override;

private:
    QWidget* buildLogView();
    // Show in Context (Ctrl+J), Mark (Ctrl+M), Next and Previous Mark (F3, Shift+F3).
    void addTriageActions();
    void copy();
    void refreshContent();
    void showCrashesTab();
    void showSettingsPopover();
    void showAnalysis();
    void openFloatingWindow();

    WindowParts m_parts;
    WindowModel* m_model;
    bool m_showCrashes = false;
    std::optional<QString> m_crashFolder;
    bool m_isCollecting = false;
    bool m_showSettings = false;

    Toolbar* m_toolbar = nullptr;
    QStackedWidget* m_tabs = nullptr;
    QWidget* m_crashesHost = nullptr;
    QPointer<QWidget> m_crashesView;
    std::function<void()> m_crashesRescan;
    QPointer<QWidget> m_settingsPopover;
    std::unique_ptr<AnalysisSheet> m_analysisSheet;
    bool m_sheetRunning = false;

    QStackedWidget* m_content = nullptr;
    FetchErrorPanel* m_errorPanel = nullptr;
    QLabel* m_emptyLabel = nullptr;
    LogListArea* m_listArea = nullptr;

    QAction* m_clearSelection = nullptr;
    QAction* m_copy = nullptr;
    ExportCommand* m_export = nullptr;
    QAction* m_find = nullptr;
    QAction* m_refresh = nullptr;
    SearchRow* m_searchRow = nullptr;
    TransientNotice* m_markNotice = nullptr;  // "No marked entries"
};
