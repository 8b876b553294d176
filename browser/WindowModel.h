#pragma once

#include "browser/FilterPipeline.h"
#include "browser/Timeline.h"
#include "logs/LogEntry.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <optional>

class AISettings;
class AnalysisRun;
class DetailWindowState;
class EntrySelection;
class FetchRange;
class LogFetcher;
class Marks;
class PendingArchive;
class ProcessNameResolver;
class RecentArchives;
class TailFollow;

// The main window without its widgets: the window's own services, the filter
// inputs and the lists derived from them, and the four parts that act on
// them (the range that is read, the selection, live-tail following, the
// analysis run). The views read it, call its operations and redraw on its
// and its parts' signals. Every change of the fetched entries or of the
// filters makes one pipeline pass. Main thread only.
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
    DetailWindowState* detailWindowState() const;

    // The parts.
    FetchRange* range() const { return m_range; }
    EntrySelection* selection() const { return m_selection; }
    TailFollow* tail() const { return m_tail; }
    AnalysisRun* analysis() const { return m_analysis; }
    Marks* marks() const { return m_marks; }

    // Derived by the last pipeline pass.
    const EntryRows& filteredEntries() const { return m_filtered; }
    const QStringList& processOptions() const { return m_processOptions; }
    const QStringList& subsystemOptions() const { return m_subsystemOptions; }
    const QList<ColumnId>& visibleColumns() const { return m_columns; }
    // The listed entries over time; empty (and the strip hidden) when none is listed.
    const QList<TimelineBucket>& timeline() const { return m_timeline; }
    // Per hide rule, the entries it hides (Pipeline::Evaluation::hiddenCounts).
    const QList<qsizetype>& hiddenCounts() const { return m_hiddenCounts; }
    // The listed patterns, while the Patterns view is shown.
    const QList<PatternSummary>& patterns() const { return m_patterns; }
    // The dates of the listed marked entries: the timeline's ticks.
    const QList<double>& markDates() const { return m_markDates; }
    // "N of M entries".
    QString statusText() const;

    // What the content area shows: the fetch error (with no entries), "No
    // log entries found" (none, not loading), or the list.
    enum class Content { error,
                         empty,
                         list };
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
    // The row menu's hide rules: the entry's process, subsystem, or pattern.
    void hideProcess(const LogEntry& entry);
    void hideSubsystem(const LogEntry& entry);
    void hideLikeThis(const LogEntry& entry);

    // "Show in Context": the filters lifted, the entry selected and centred.
    void showInContext(const LogEntry& entry);
    // "Back to Filters": the filters put back; the selection stays while listed.
    void backToFilters();

    // Ctrl+M on the entry.
    void toggleMark(const LogEntry& entry);
    // F3 (forward) and Shift+F3: selects and centres the next (previous)
    // listed marked entry after (before) the selected row, wrapping around;
    // from no selection, the first (last). False when none is listed.
    bool goToMark(bool forward);

signals:
    // The filtered list, the dropdown options, the columns, the sort or the status.
    void listChanged();
    // What content() and the notices say.
    void contentChanged();
    // Friendly process names were learned: rows and options redraw.
    void displayNamesChanged();

private:
    void evaluate();

    QPointer<DetailWindowState> m_detailState;

    ProcessNameResolver* m_processNames;
    AISettings* m_aiSettings;
    LogFetcher* m_fetcher;
    FilterPipeline m_pipeline;

    EntryRows m_filtered;
    QStringList m_processOptions;
    QStringList m_subsystemOptions;
    QList<ColumnId> m_columns;
    QList<TimelineBucket> m_timeline;
    QList<qsizetype> m_hiddenCounts;
    QList<PatternSummary> m_patterns;
    QList<double> m_markDates;

    FetchRange* m_range;
    EntrySelection* m_selection;
    TailFollow* m_tail;
    AnalysisRun* m_analysis;
    Marks* m_marks;
};
