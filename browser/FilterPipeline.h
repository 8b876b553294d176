#pragma once

// The main window's filter and sort pipeline: from the fetcher's entries and
// the filter inputs to the visible rows, the dropdown options and the visible
// optional columns. Everything is derived on every evaluation; only the sort
// order of the whole entry list and its lowercased searched texts are kept
// between evaluations (typing in the search field changes which rows show,
// not their order or their texts). Main thread only.

#include "browser/EntryRows.h"
#include "browser/HideRules.h"
#include "browser/LogColumns.h"
#include "browser/PatternTable.h"
#include "browser/QuickRange.h"
#include "browser/SearchCorpus.h"
#include "browser/TestedFields.h"
#include "browser/Timeline.h"
#include "logs/LogEntry.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <utility>

class QSettings;

// Every input of the pipeline, each at its default. The persisted ones are
// loaded by Pipeline::loadPersisted; the rest live as long as the window.
struct FilterState {
    QSet<SeverityLevel> activeFilters{SeverityLevel::fault, SeverityLevel::error};
    std::optional<QuickTimeRange> selectedQuickRange = QuickTimeRange::last1h;
    bool wholeArchive = false;  // "All": the whole open archive, no quick range
    double customStart = 0;     // window creation time minus 3600 s (see Pipeline::initialState)
    double customEnd = 0;       // window creation time
    bool showCustomRange = false;
    QString searchText;
    std::optional<QString> selectedProcess;
    std::optional<QString> selectedSubsystem;
    ColumnId sortColumn = ColumnId::time;
    bool sortAscending = true;
    std::array<bool, kColumnCount> shown{};  // of the optional columns, indexed by ColumnId
    QString sourceFilter = QStringLiteral("all");
    std::array<QString, kColumnCount> filterText;  // of the optional columns, indexed by ColumnId
    QList<HideRule> hidden;                        // persisted as "hiddenRules"
    std::optional<QString> pattern;                // only entries of this pattern (the Patterns view's pick)
    bool markedOnly = false;                       // only marked entries
    QStringList excluded;                          // entries whose message or process contains one are dropped

    bool isShown(ColumnId c) const { return shown[size_t(c)]; }
    const QString& filter(ColumnId c) const { return filterText[size_t(c)]; }
};

// A fetch interval, seconds since 1970.
struct FetchInterval {
    double start = 0;
    double end = 0;
};

// The pure operations. None touches the settings store except load/save.
namespace Pipeline {

// Defaults, with the custom range set from the window's creation time.
FilterState initialState(double creationTime);

QList<ColumnId> visibleColumns(const FilterState& s);  // the optional ones shown
// Entries passing every test, in fetch order.
LogEntryList matchingEntries(const FilterState& s, const LogEntryList& entries, bool skipProcess, bool skipSubsystem);
// What the window lists: matching entries, sorted unless live tailing.
LogEntryList filteredEntries(const FilterState& s, const LogEntryList& entries, bool liveTailing);
QStringList availableProcesses(const FilterState& s, const LogEntryList& entries);
QStringList availableSubsystems(const FilterState& s, const LogEntryList& entries);

// What a pass needs beyond the filter inputs: the marked entries' keys (for
// "Marked Only" and the timeline's ticks) and whether the Patterns view wants
// the list's patterns.
struct Extras {
    QSet<QString> marks;
    quint64 marksGeneration = 0;
    bool patterns = false;
};

// The derived lists of one redraw, from a single pass: the rows equal
// filteredEntries, the options availableProcesses and availableSubsystems.
struct Evaluation {
    EntryRows filtered;
    QStringList processes;
    QStringList subsystems;
    QList<TimelineBucket> timeline;  // of `filtered`
    // Per hide rule, in order: the entries it hides that every other
    // filter keeps (an entry two rules hide counts for both).
    QList<qsizetype> hiddenCounts;
    // The patterns of the list without the pattern pick, most frequent
    // first; only when Extras::patterns.
    QList<PatternSummary> patterns;
    QList<double> markDates;  // of the listed entries that are marked, ascending
};
// Every entry of one list in one sort order, the tested fields side by side,
// and the searched texts once there is a search, kept for the next
// evaluation of the same list. The list is held, so its identity is its data.
struct SortedOrder {
    LogEntryList source;
    ColumnId column = ColumnId::time;
    bool ascending = true;
    bool storageOrder = false;  // live tail: the list's own order
    std::vector<const LogEntry*> order;
    std::optional<TestedFields> fields;
    std::optional<SearchCorpus> corpus;
    std::optional<PatternTable> patterns;
    std::vector<quint8> marked;  // per entry, for marksGeneration
    quint64 marksGeneration = 0;
};
// With an order to keep, the entries are sorted once per list and order and
// then only filtered: the rows are the same as sorting the filtered rows.
// While live tailing the rows keep the list's order.
Evaluation evaluate(const FilterState& s, const LogEntryList& entries, bool liveTailing, SortedOrder* kept = nullptr,
                    const Extras& extras = {});

// The filter inputs "Show in Context" lifts, lifted: every level, no search,
// dropdown, type, column filter, hide rule, pattern or "Marked Only", sorted
// by time ascending. The columns and the range stay.
FilterState lifted(const FilterState& s);

// The search term: horizontal white space trimmed at both ends, lowercased.
QString searchTerm(const QString& searchText);

// A click on a column header.
void toggleSort(FilterState& s, ColumnId column);
// Show flag change; turning a column off empties its filter text.
void setShown(FilterState& s, ColumnId c, bool on);
// The column's two stored choices as the state has them.
void persistColumn(const FilterState& s, ColumnId c, QSettings& store);

// Time range to fetch interval.
FetchInterval initialInterval(double now);
// A quick range counts back from `end`: now for the live log, an archive's last entry.
FetchInterval selectQuickRange(FilterState& s, QuickTimeRange r, double end);  // returns what to fetch
void selectWholeArchive(FilterState& s);                                       // "All"
void toggleCustomRange(FilterState& s);                                        // fetches nothing
FetchInterval customInterval(const FilterState& s);                            // "Apply"

// Persisted keys: "sortColumn" (a column title; an unknown one sorts by
// time), "sortAscending", "sourceFilter", "column_…", "filter_…",
// "hiddenRules", "showPatterns".
void loadPersisted(FilterState& s, QSettings& store);

}  // namespace Pipeline

// The window's filter inputs as an observable object: each setter updates the
// state, persists what is persisted (through Platform::settings()) and emits
// changed(); the derived values are computed on each call. The time range is
// kept here too but decides only what is fetched: it emits rangeChanged().
class FilterPipeline : public QObject {
    Q_OBJECT
public:
    // Loads the persisted inputs from Platform::settings(); the custom range
    // starts as the hour before now.
    explicit FilterPipeline(QObject* parent = nullptr);

    const FilterState& state() const { return m_state; }

    const QSet<SeverityLevel>& activeFilters() const { return m_state.activeFilters; }
    void setActiveFilters(const QSet<SeverityLevel>& filters);
    const QString& searchText() const { return m_state.searchText; }
    void setSearchText(const QString& text);
    const std::optional<QString>& selectedProcess() const { return m_state.selectedProcess; }
    void setSelectedProcess(const std::optional<QString>& process);
    const std::optional<QString>& selectedSubsystem() const { return m_state.selectedSubsystem; }
    void setSelectedSubsystem(const std::optional<QString>& subsystem);
    const QString& sourceFilter() const { return m_state.sourceFilter; }
    void setSourceFilter(const QString& raw);
    ColumnId sortColumn() const { return m_state.sortColumn; }
    bool sortAscending() const { return m_state.sortAscending; }
    void toggleSort(ColumnId column);
    bool isShown(ColumnId c) const { return m_state.isShown(c); }
    void setShown(ColumnId c, bool on);
    const QString& filterText(ColumnId c) const { return m_state.filter(c); }
    void setFilterText(ColumnId c, const QString& text);
    // Hide rules, in the order they were made; a rule already there is not added twice.
    const QList<HideRule>& hiddenRules() const { return m_state.hidden; }
    void addHideRule(const HideRule& rule);
    void removeHideRule(qsizetype index);
    void clearHideRules();  // "Show All"
    // The Patterns view's pick: only entries of this pattern.
    const std::optional<QString>& patternFilter() const { return m_state.pattern; }
    void setPatternFilter(const std::optional<QString>& pattern);
    bool markedOnly() const { return m_state.markedOnly; }
    void setMarkedOnly(bool on);
    // Whether the Patterns view is shown (persisted "showPatterns"): the
    // pass then counts the patterns.
    bool patternsShown() const { return m_patternsShown; }
    void setPatternsShown(bool on);

    // "Show in Context": the filters lifted (Pipeline::lifted) until
    // backToFilters(), which puts back every one exactly as it was, even
    // after changes made meanwhile. Lifting persists nothing.
    bool inContext() const { return m_beforeContext.has_value(); }
    void showInContext();
    void backToFilters();

    // Search, severities, process, subsystem, type, the column filters, the
    // hide rules, the pattern pick and "Marked Only" back to what a new
    // window starts with; the columns and range stay.
    void clearFilters();
    // Whether any of those differs from that start.
    bool hasFilters() const;

    QList<ColumnId> visibleColumns() const { return Pipeline::visibleColumns(m_state); }
    Pipeline::Evaluation evaluate(const LogEntryList& entries, bool liveTailing, Pipeline::Extras extras = {}) const
    {
        extras.patterns = m_patternsShown;
        return Pipeline::evaluate(m_state, entries, liveTailing, &m_order, extras);
    }

    // Time range to fetch interval.
    const std::optional<QuickTimeRange>& selectedQuickRange() const { return m_state.selectedQuickRange; }
    bool wholeArchive() const { return m_state.wholeArchive; }
    bool showCustomRange() const { return m_state.showCustomRange; }
    double customStart() const { return m_state.customStart; }
    double customEnd() const { return m_state.customEnd; }
    void setCustomRange(double start, double end);
    FetchInterval selectQuickRange(QuickTimeRange r, double end);  // what to fetch
    void selectWholeArchive();
    void toggleCustomRange();
    FetchInterval customInterval() const { return Pipeline::customInterval(m_state); }
    // Puts back the range inputs of an earlier state: the quick range or
    // "All", the custom row's visibility and its two dates.
    void restoreRange(const FilterState& earlier);

signals:
    void changed();
    void rangeChanged();
    void contextChanged();

private:
    void persistFilters() const;

    FilterState m_state;
    std::optional<FilterState> m_beforeContext;
    bool m_patternsShown = false;
    mutable Pipeline::SortedOrder m_order;
};
