#pragma once

#include "ai/AnalysisItem.h"
#include "browser/FilterPipeline.h"
#include "browser/views/LogRowDelegate.h"
#include "browser/views/WindowParts.h"
#include "logs/LogEntry.h"

#include <QDateTime>
#include <QPointer>
#include <QSet>
#include <QWidget>

#include <functional>
#include <optional>

class AISettings;
class DetailPane;
class DetailWindowState;
class LogFetcher;
class LogHeader;
class LogListModel;
class PaneResizeBar;
class PendingArchive;
class PillButton;
class ProcessNameResolver;
class QComboBox;
class QDateTimeEdit;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QStackedWidget;
class QToolButton;
class QVBoxLayout;
class RecentArchives;
class SeverityChip;
class BusyIndicator;

// The main window's content: toolbar, banners, filter rows, the entry list
// and the inline detail pane. Owns the window's fetcher, AI settings and
// process-name resolver, and the browsing state; the filter inputs feed the
// pipeline, re-evaluated on every change.
class ContentView : public QWidget {
    Q_OBJECT
public:
    ContentView(DetailWindowState* detailState, RecentArchives* recentArchives, PendingArchive* pending,
                WindowParts parts = {}, QWidget* parent = nullptr);
    ~ContentView() override;

    LogFetcher* logFetcher() const { return m_fetcher; }
    AISettings* aiSettings() const { return m_aiSettings; }
    ProcessNameResolver* processNames() const { return m_processNames; }
    RecentArchives* recentArchives() const { return m_recentArchives; }

    // Browsing state.
    const std::optional<LogEntry>& selectedEntry() const { return m_selectedEntry; }
    void setSelectedEntry(const std::optional<LogEntry>& entry);
    const std::optional<QUuid>& highlightedEntryID() const { return m_rowContext.highlightedID; }
    double detailPaneHeight() const { return m_detailPaneHeight; }
    void setDetailPaneHeight(double h);
    bool autoScrollEnabled() const { return m_autoScrollEnabled; }
    bool showCrashes() const { return m_showCrashes; }
    void setShowCrashes(bool crashes);
    bool showSettings() const { return m_showSettings; }
    void setShowSettings(bool show);
    bool isCollecting() const { return m_isCollecting; }
    void setCollecting(bool collecting);
    bool isAnalyzing() const { return m_isAnalyzing; }
    const std::optional<QuickTimeRange>& selectedQuickRange() const { return m_selectedQuickRange; }
    bool showCustomRange() const { return m_showCustomRange; }
    void setCustomRange(const QDateTime& start, const QDateTime& end);
    FilterPipeline& pipeline() { return m_pipeline; }
    const LogEntryList& filteredEntries() const { return m_filtered; }

    // Actions of the controls.
    void toggleSeverity(SeverityLevel level);
    void selectQuickRange(QuickTimeRange range);
    void toggleCustomRange();
    void applyCustomRange();
    void setSearchText(const QString& text);
    void toggleSort(const QString& column);
    void clickRow(const LogEntry& entry);
    void filterToPID(const LogEntry& entry);
    void popOut();
    void toggleLiveTail();
    void jumpToBottom();
    void startAnalysis();
    // A finding's entry picked in the analysis sheet.
    void selectFromAnalysis(const LogEntry& entry);
    // Copies the selected row's text; nothing without a selection.
    bool copySelection();
    // A finished collection: record the archive and open it.
    void openCollectedArchive(const QString& path);

    // Children, for the application and for tests.
    QListView* listView() const { return m_list; }
    LogListModel* listModel() const { return m_model; }
    LogHeader* header() const { return m_header; }
    DetailPane* detailPane() const { return m_pane; }
    QWidget* contentArea() const;  // the error panel, the empty text or the list
    QString statusText() const;

signals:
    void selectedEntryChanged();

protected:
    void showEvent(QShowEvent* e) override;
    void changeEvent(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildArchiveBanner();
    QWidget* buildToolbar();
    QWidget* buildLogView();
    QWidget* buildCustomRow();
    QWidget* buildFilterBar();
    QWidget* buildSearchRow();
    QWidget* buildContent();
    QWidget* buildErrorPanel();
    void rebuildColumnFilters();
    void evaluate();
    // Redraws both dropdowns from the options of the last evaluation.
    void updateDropdowns();
    void updateToolbar();
    void updateContentArea();
    void updateArchiveBanner();
    void updatePane();
    void updateIcons();
    void updateJumpButton();
    void placeJumpButton();
    void scrollToLastAnimated();
    void takePendingArchive();
    void showContextMenu(const QPoint& pos);
    void openFullDiskAccessHelp();
    double now() const;

    WindowParts m_parts;
    DetailWindowState* m_detailState;
    RecentArchives* m_recentArchives;
    QPointer<PendingArchive> m_pending;

    ProcessNameResolver* m_processNames;
    AISettings* m_aiSettings;
    LogFetcher* m_fetcher;
    FilterPipeline m_pipeline;

    // Window state.
    bool m_showSettings = false;
    bool m_showCrashes = false;
    bool m_isCollecting = false;
    bool m_isAnalyzing = false;
    bool m_autoScrollEnabled = true;
    bool m_firstShown = false;
    double m_detailPaneHeight = 220;
    std::optional<LogEntry> m_selectedEntry;
    QList<AnalysisItem> m_analysisItems;
    std::optional<QString> m_analysisError;
    std::optional<QuickTimeRange> m_selectedQuickRange = QuickTimeRange::last1h;
    QDateTime m_customStart;
    QDateTime m_customEnd;
    bool m_showCustomRange = false;
    std::unique_ptr<AnalysisSheet> m_analysisSheet;
    quint64 m_highlightGeneration = 0;

    LogEntryList m_filtered;
    QStringList m_processOptions;
    QStringList m_subsystemOptions;
    RowContext m_rowContext;

    // Widgets.
    QWidget* m_archiveBanner = nullptr;
    QLabel* m_archiveLabel = nullptr;
    QLabel* m_archiveIcon = nullptr;
    QWidget* m_updateBannerSlot = nullptr;
    PillButton* m_logsTab = nullptr;
    PillButton* m_crashesTab = nullptr;
    QWidget* m_rangeButtons = nullptr;
    QList<PillButton*> m_quickButtons;
    PillButton* m_customButton = nullptr;
    QPushButton* m_rescanButton = nullptr;
    QPushButton* m_collectButton = nullptr;
    BusyIndicator* m_collectBusy = nullptr;
    QToolButton* m_refreshButton = nullptr;
    QPushButton* m_tailButton = nullptr;
    BusyIndicator* m_loadingBusy = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_analyzeButton = nullptr;
    QToolButton* m_settingsButton = nullptr;
    QPointer<QWidget> m_settingsPopover;
    QStackedWidget* m_tabs = nullptr;
    QWidget* m_crashesHost = nullptr;
    QPointer<QWidget> m_crashesView;
    std::function<void()> m_crashesRescan;

    QWidget* m_customRow = nullptr;
    QDateTimeEdit* m_customStartEdit = nullptr;
    QDateTimeEdit* m_customEndEdit = nullptr;
    QList<SeverityChip*> m_chips;
    QHBoxLayout* m_columnFilterLayout = nullptr;
    QLineEdit* m_search = nullptr;
    QToolButton* m_searchClear = nullptr;
    QLabel* m_searchIcon = nullptr;
    QComboBox* m_processCombo = nullptr;
    QComboBox* m_subsystemCombo = nullptr;
    QComboBox* m_typeCombo = nullptr;

    QStackedWidget* m_contentStack = nullptr;
    QWidget* m_errorPanel = nullptr;
    QLabel* m_errorIcon = nullptr;
    QLabel* m_errorText = nullptr;
    QPushButton* m_fdaButton = nullptr;
    QLabel* m_emptyLabel = nullptr;
    QWidget* m_listArea = nullptr;
    LogHeader* m_header = nullptr;
    QListView* m_list = nullptr;
    LogListModel* m_model = nullptr;
    LogRowDelegate* m_delegate = nullptr;
    QPushButton* m_jumpButton = nullptr;
    PaneResizeBar* m_resizeBar = nullptr;
    QVBoxLayout* m_paneSlot = nullptr;
    DetailPane* m_pane = nullptr;
};
