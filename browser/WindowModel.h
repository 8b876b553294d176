#pragma once

#include "ai/AnalysisItem.h"
#include "browser/DetailWindowState.h"
#include "browser/FilterPipeline.h"
#include "browser/PendingArchive.h"
#include "browser/Timeline.h"
#include "logs/LogEntry.h"
#include "logs/RecentArchives.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUuid>

#include <optional>

class AISettings;
class LogFetcher;
class ProcessNameResolver;

// The main window without its widgets: the window's own services, the filter
// inputs, the browsing state, the derived lists and the analysis run. The
// views read it, call its operations and redraw on its signals. Every change
// of the fetched entries or of the filters makes one pipeline pass. Main
// thread only.
class WindowModel : public QObject {
    Q_OBJECT
public:
    // The three shared objects may be null (a window on its own).
    WindowModel(DetailWindowState* detailState, RecentArchives* recentArchives, PendingArchive* pending,
                QObject* parent = nullptr);
    ~WindowModel() override;

    // Services, owned by the model.
    LogFetcher* logFetcher() const { return m_fetcher; }
    AISettings* aiSettings() const { return m_aiSettings; }
    ProcessNameResolver* processNames() const { return m_processNames; }
    FilterPipeline& pipeline() { return m_pipeline; }
    const FilterPipeline& pipeline() const { return m_pipeline; }
    DetailWindowState* detailWindowState() const { return m_detailState; }
    RecentArchives* recentArchives() const { return m_recentArchives; }

    // Derived by the last pipeline pass.
    const EntryRows& filteredEntries() const { return m_filtered; }
    const QStringList& processOptions() const { return m_processOptions; }
    const QStringList& subsystemOptions() const { return m_subsystemOptions; }
    const QList<OptionalColumn>& visibleColumns() const { return m_columns; }
    // The listed entries over time; empty (and the strip hidden) when none is listed.
    const QList<TimelineBucket>& timeline() const { return m_timeline; }
    // "N of M entries".
    QString statusText() const;

    // What the content area shows: the fetch error (with no entries), "No
    // log entries found" (none, not loading), or the list.
    enum class Content { error, empty, list };
    Content content() const;
    // Why the loaded list is cut short (the entry cap, with how much of an
    // archive it holds; the time-out); nothing while it is whole.
    std::optional<QString> cutNotice() const;
    // What the read skipped or could not resolve (damage, strings files
    // missing): said quietly, it is no failure.
    std::optional<QString> skipNotice() const;
    // Whether the read left whole files of the archive unread (not for damage).
    bool lacksFiles() const;
    // The last path component of the open archive.
    std::optional<QString> archiveName() const;

    // Filters.
    void toggleSeverity(SeverityLevel level);
    // Shows the PID column filtered to the entry's process identifier.
    void filterToPID(const LogEntry& entry);

    // Time range. On an archive the quick ranges count back from its last
    // entry, and wait until its dates are known; "All" is the whole archive.
    bool rangesAvailable() const;
    void selectQuickRange(QuickTimeRange range);
    void selectWholeArchive();
    // The refresh command: the current range again, or the whole archive.
    void refresh();
    void toggleCustomRange();
    void setCustomRange(double start, double end);
    void applyCustomRange();
    // A span dragged on the timeline becomes the custom range, applied. The
    // range active before the first of such drags is kept until the user
    // picks a range otherwise (or the archive changes), and restored by
    // restoreRangeBeforeDrag; false when there is none.
    void applyTimelineSpan(double from, double to);
    bool restoreRangeBeforeDrag();

    // Selection and the inline detail pane. The selected entry is the
    // highlighted row and the keyboard's position; the pane shows it while
    // open. Across a new read (another archive, a refresh, a new range) the
    // selection follows its record by the live-tail key, or is dropped when
    // the new list lacks it.
    const std::optional<LogEntry>& selectedEntry() const { return m_selectedEntry; }
    // Selects the entry and opens the inline pane on it; none clears both.
    void setSelectedEntry(const std::optional<LogEntry>& entry);
    bool isPaneOpen() const { return m_selectedEntry && m_paneOpen; }
    // The selected entry is among the filtered rows (not hidden by a filter).
    bool isSelectionListed() const { return m_selectionListed; }
    // A row click: opens the pane on the entry, a click on the row the pane
    // shows clears the selection; with the floating window open the entry
    // goes there and the inline pane stays closed.
    void clickEntry(const LogEntry& entry);
    // A row reached by the keyboard: selected (never toggled off), sent to
    // the floating window while it is open. The pane opens from no
    // selection, else stays as it was (closed after Escape).
    void selectEntry(const LogEntry& entry);
    // Enter on the selected row: the pane opens (not while floating).
    void openPane();
    // Escape: closes the pane and keeps the row; false when it was closed (passed on).
    bool closePane();
    // The text Copy and "Copy Row" put on the clipboard; none without a selection.
    std::optional<QString> selectedRowText() const;
    double detailPaneHeight() const { return m_detailPaneHeight; }
    void setDetailPaneHeight(double height);  // clamped to 100–500
    void dragDetailPane(double dy);           // one drag update of the bar (up is negative)

    // Analysis jump: selects the entry and highlights it for highlightDurationMs.
    void selectFromAnalysis(const LogEntry& entry);
    const std::optional<QUuid>& highlightedEntryID() const { return m_highlightedEntryID; }
    static constexpr int highlightDurationMs = 3000;
    void setHighlightDuration(int ms) { m_highlightMs = ms; }  // tests shorten it

    // Live tail.
    void toggleLiveTail();
    bool autoScrollEnabled() const { return m_autoScrollEnabled; }
    // Direct scrolling by the user: while tailing it stops following.
    void userScrolled();
    void jumpToBottom();
    bool showsJumpToBottom() const;

    // Tabs, collection, settings popover.
    bool showCrashes() const { return m_showCrashes; }
    void setShowCrashes(bool crashes);
    // The folder of crash reports the Crashes tab lists instead of the
    // user's own; it outlives visits to the Logs tab.
    const std::optional<QString>& crashFolder() const { return m_crashFolder; }
    void setCrashFolder(const std::optional<QString>& folder) { m_crashFolder = folder; }
    bool isCollecting() const { return m_isCollecting; }
    void setCollecting(bool collecting);
    // A finished collection: recorded among the recent archives and opened.
    void openCollectedArchive(const QString& path);
    bool showSettings() const { return m_showSettings; }
    void setShowSettings(bool show);

    // Pop-out: hands the entry and the services to the floating window's
    // state, closes the inline pane (the row stays selected) and asks for
    // the floating window.
    void popOut();

    // Proactive analysis.
    bool isAnalyzing() const { return m_isAnalyzing; }
    bool canAnalyze() const { return !m_isAnalyzing && !m_filtered.isEmpty(); }
    bool showAnalysis() const { return m_showAnalysis; }
    void setShowAnalysis(bool show);
    const QList<AnalysisItem>& analysisItems() const { return m_analysisItems; }
    const std::optional<QString>& analysisError() const { return m_analysisError; }
    // Without an API key it shows the settings instead. While the batch it
    // would send is the one the kept findings were made of (ids are fresh per
    // read), it shows those again and sends nothing.
    void startAnalysis();

    // The window was shown: the first time it opens the pending archive, or
    // else, when nothing is loaded yet, fetches the last hour.
    void windowShown();

signals:
    // The filtered list, the dropdown options, the columns, the sort or the status.
    void listChanged();
    void selectionChanged();
    void highlightChanged();
    void detailPaneHeightChanged();
    // Live tail following, the jump button.
    void followChanged();
    // New rows while following: scroll to the last one.
    void followEndRequested();
    // Tabs, time range, collecting, analysis flags, the fetcher's loading,
    // tail and archive state, the API key.
    void toolbarChanged();
    void contentChanged();
    void showCrashesChanged();
    // Friendly process names were learned: rows and options redraw.
    void displayNamesChanged();
    void showSettingsChanged();
    void analysisChanged();
    // startAnalysis showed the kept findings again, without a request.
    void keptAnalysisShown();
    void floatingWindowRequested();

private:
    void evaluate();
    void followSelection();
    bool floatingOpen() const { return m_detailState && m_detailState->isOpen(); }
    // The same record in the fetched list: by id, else by the live-tail key.
    std::optional<LogEntry> inFetched(const LogEntry& entry) const;
    void takePendingArchive();
    void fetchCustomRange();
    static double now();

    QPointer<DetailWindowState> m_detailState;
    QPointer<RecentArchives> m_recentArchives;
    QPointer<PendingArchive> m_pending;

    ProcessNameResolver* m_processNames;
    AISettings* m_aiSettings;
    LogFetcher* m_fetcher;
    FilterPipeline m_pipeline;

    EntryRows m_filtered;
    QStringList m_processOptions;
    QStringList m_subsystemOptions;
    QList<OptionalColumn> m_columns;
    QList<TimelineBucket> m_timeline;

    struct RangeBeforeDrag {
        FilterState inputs;
        FetchInterval fetched;
        bool archive = false;
    };
    std::optional<RangeBeforeDrag> m_rangeBeforeDrag;

    std::optional<LogEntry> m_selectedEntry;
    bool m_paneOpen = false;
    bool m_selectionListed = false;
    std::optional<QUuid> m_highlightedEntryID;
    quint64 m_highlightGeneration = 0;
    int m_highlightMs = highlightDurationMs;
    double m_detailPaneHeight = 220;
    bool m_autoScrollEnabled = true;
    bool m_showCrashes = false;
    std::optional<QString> m_crashFolder;
    bool m_isCollecting = false;
    bool m_showSettings = false;
    bool m_firstShown = false;

    bool m_isAnalyzing = false;
    bool m_showAnalysis = false;
    QList<AnalysisItem> m_analysisItems;
    std::optional<QString> m_analysisError;
    std::optional<QList<QUuid>> m_analysisBatch;  // the entries the kept findings were made of
};
