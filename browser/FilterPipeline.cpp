#include "browser/FilterPipeline.h"

#include "browser/DistinctTexts.h"
#include "browser/EntrySort.h"
#include "browser/LoweredMatcher.h"
#include "logs/Platform.h"
#include "logs/TextTrim.h"

#include <QDateTime>
#include <QSettings>

#include <algorithm>
#include <charconv>
#include <string_view>
#include <vector>

// ---------------------------------------------------------------- columns

namespace Column {

const QList<OptionalColumn>& allCases()
{
    static const QList<OptionalColumn> all{OptionalColumn::pid, OptionalColumn::thread, OptionalColumn::sender,
                                           OptionalColumn::subsystem, OptionalColumn::category, OptionalColumn::host};
    return all;
}

QString rawValue(OptionalColumn c)
{
    switch (c) {
    case OptionalColumn::pid: return QStringLiteral("PID");
    case OptionalColumn::thread: return QStringLiteral("Thread");
    case OptionalColumn::sender: return QStringLiteral("Sender");
    case OptionalColumn::subsystem: return QStringLiteral("Subsystem");
    case OptionalColumn::category: return QStringLiteral("Category");
    case OptionalColumn::host: return QStringLiteral("Host");
    }
    return {};
}

std::optional<OptionalColumn> fromRawValue(const QString& raw)
{
    for (OptionalColumn c : allCases())
        if (rawValue(c) == raw)
            return c;
    return std::nullopt;
}

QString showKey(OptionalColumn c) { return QStringLiteral("column_") + rawValue(c); }
QString filterKey(OptionalColumn c) { return QStringLiteral("filter_") + rawValue(c); }

QString filterValue(OptionalColumn c, const LogEntry& e)
{
    switch (c) {
    case OptionalColumn::pid: return QString::number(e.processIdentifier);
    case OptionalColumn::thread: return e.threadKnown ? QString::number(e.threadIdentifier) : QString();
    case OptionalColumn::sender: return e.sender;
    case OptionalColumn::subsystem: return e.subsystem;
    case OptionalColumn::category: return e.category;
    case OptionalColumn::host: return e.host;
    }
    return {};
}

}  // namespace Column

// ---------------------------------------------------------------- quick ranges

namespace QuickRange {

const QList<QuickTimeRange>& allCases()
{
    static const QList<QuickTimeRange> all{QuickTimeRange::last1h, QuickTimeRange::last4h, QuickTimeRange::last24h};
    return all;
}

QString rawValue(QuickTimeRange r)
{
    switch (r) {
    case QuickTimeRange::last1h: return QStringLiteral("1h");
    case QuickTimeRange::last4h: return QStringLiteral("4h");
    case QuickTimeRange::last24h: return QStringLiteral("24h");
    }
    return {};
}

std::optional<QuickTimeRange> fromRawValue(const QString& raw)
{
    for (QuickTimeRange r : allCases())
        if (rawValue(r) == raw)
            return r;
    return std::nullopt;
}

double offset(QuickTimeRange r)
{
    switch (r) {
    case QuickTimeRange::last1h: return -3600;
    case QuickTimeRange::last4h: return -14400;
    case QuickTimeRange::last24h: return -86400;
    }
    return -3600;
}

}  // namespace QuickRange

// ---------------------------------------------------------------- matching

namespace {

// What one evaluation of matchingEntries prepares once.
struct Prepared {
    quint8 levelMask = 0;  // bit n set: level n passes
    LoweredMatcher search;
    SourceType source = SourceType::all;
    std::optional<QString> process;
    std::optional<QString> subsystem;
    std::vector<std::pair<OptionalColumn, LoweredMatcher>> columnFilters;
    // The search's outcome for each entry of the list at base, when known.
    const quint8* searchHits = nullptr;
    const LogEntry* base = nullptr;

    Prepared(const FilterState& s, bool skipProcess, bool skipSubsystem)
        : search(Pipeline::searchTerm(s.searchText))
    {
        for (SeverityLevel l : s.activeFilters)
            levelMask |= quint8(1u << Severity::logLevel(l));
        source = Source::fromRawValue(s.sourceFilter).value_or(SourceType::all);
        if (!skipProcess)
            process = s.selectedProcess;
        if (!skipSubsystem)
            subsystem = s.selectedSubsystem;
        for (OptionalColumn c : Column::allCases())
            if (s.isShown(c) && !s.filter(c).isEmpty())
                columnFilters.emplace_back(c, LoweredMatcher(s.filter(c).toLower()));
    }

    bool searches() const { return !search.isEmpty(); }

    bool passes(const LogEntry& e) const
    {
        if (e.level < 1 || e.level > 5 || !(levelMask & (1u << e.level)))
            return false;
        if (process && e.process != *process)
            return false;
        if (subsystem && e.subsystem != *subsystem)
            return false;
        return passesRest(e);
    }

    // The tests that need more of the entry than its level and selections.
    bool needsRest() const { return source != SourceType::all || (searches() && !searchHits) || !columnFilters.empty(); }
    bool passesRest(const LogEntry& e) const
    {
        if (source != SourceType::all && !Source::matches(source, e))
            return false;
        if (!search.isEmpty() && !(searchHits ? searchHits[&e - base] != 0 : searchMatches(e)))
            return false;
        for (const auto& [column, matcher] : columnFilters)
            if (!columnMatches(column, matcher, e))
                return false;
        return true;
    }

    bool searchMatches(const LogEntry& e) const
    {
        return search.matches(e.message) || search.matches(e.process) || search.matches(e.subsystem);
    }

    static bool columnMatches(OptionalColumn c, const LoweredMatcher& m, const LogEntry& e)
    {
        char buf[24];
        switch (c) {
        case OptionalColumn::pid: {
            const auto r = std::to_chars(buf, buf + sizeof buf, e.processIdentifier);
            return m.matchesDigits(std::string_view(buf, size_t(r.ptr - buf)));
        }
        case OptionalColumn::thread: {
            if (!e.threadKnown)
                return m.matches(QString());  // as its empty cell
            const auto r = std::to_chars(buf, buf + sizeof buf, e.threadIdentifier);
            return m.matchesDigits(std::string_view(buf, size_t(r.ptr - buf)));
        }
        case OptionalColumn::sender: return m.matches(e.sender);
        case OptionalColumn::subsystem: return m.matches(e.subsystem);
        case OptionalColumn::category: return m.matches(e.category);
        case OptionalColumn::host: return m.matches(e.host);
        }
        return true;
    }
};

// The texts live in separate heap blocks that the hardware prefetcher cannot
// predict; ask for a later entry's message ahead of the search.
inline void prefetchMessage(const Prepared& p, const LogEntry* data, qsizetype i, qsizetype n)
{
    if (p.searches() && i + 8 < n) {
        const char* msg = reinterpret_cast<const char*>(data[i + 8].message.constData());
        for (int line = 0; line < 4; ++line)
            __builtin_prefetch(msg + 64 * line);
    }
}

// Calls fn(entry) for each entry in order that passes the prepared tests.
template <typename Fn>
void forEachPassing(const Prepared& p, const LogEntryList& entries, Fn fn)
{
    const qsizetype n = entries.size();
    const LogEntry* data = entries.constData();
    for (qsizetype i = 0; i < n; ++i) {
        prefetchMessage(p, data, i, n);
        if (p.passes(data[i]))
            fn(data[i]);
    }
}

// Entries passing every test but the two selections, with the outcome of each
// selection test; entries failing both selections are skipped untested.
template <typename Fn>
void passSelection(const Prepared& p, const FilterState& s, const LogEntry& e, Fn& fn)
{
    const bool processOK = !s.selectedProcess || e.process == *s.selectedProcess;
    const bool subsystemOK = !s.selectedSubsystem || e.subsystem == *s.selectedSubsystem;
    if ((processOK || subsystemOK) && p.passes(e))
        fn(e, processOK, subsystemOK);
}

template <typename Fn>
void forEachPassingSelection(const Prepared& p, const FilterState& s, const LogEntryList& entries, Fn fn)
{
    const qsizetype n = entries.size();
    const LogEntry* data = entries.constData();
    for (qsizetype i = 0; i < n; ++i) {
        prefetchMessage(p, data, i, n);
        passSelection(p, s, data[i], fn);
    }
}

std::vector<const LogEntry*> matchingPointers(const FilterState& s, const LogEntryList& entries, bool skipProcess,
                                              bool skipSubsystem)
{
    const Prepared p(s, skipProcess, skipSubsystem);
    std::vector<const LogEntry*> out;
    out.reserve(size_t(entries.size()));
    forEachPassing(p, entries, [&](const LogEntry& e) { out.push_back(&e); });
    return out;
}

// The listed names of one table, as the dropdowns list them.
QStringList seenNames(const QStringList& names, const std::vector<quint8>& seen, bool withEmpty,
                      const std::optional<QString>& selection)
{
    QStringList list;
    for (qsizetype i = 0; i < names.size(); ++i)
        if (seen[size_t(i)] && (withEmpty || !names[i].isEmpty()))
            list.append(names[i]);
    return DistinctTexts::options(std::move(list), selection);
}

// The window's evaluation: the list is sorted once per order, its tested
// fields are laid side by side once, its texts gathered at its first search;
// the pass reads those arrays in storage order, marks the rows, and the
// order then picks them. The entry itself is read only for the tests the
// arrays do not hold (source, column filters).
Pipeline::Evaluation evaluateKept(const FilterState& s, const LogEntryList& entries, Pipeline::SortedOrder& kept)
{
    if (kept.source.constData() != entries.constData() || kept.source.size() != entries.size()) {
        kept.source = entries;
        kept.order.clear();
        kept.columns.reset();
        kept.corpus.reset();
    }
    const size_t n = size_t(entries.size());
    if (kept.order.size() != n || kept.column != s.sortColumn || kept.ascending != s.sortAscending) {
        kept.column = s.sortColumn;
        kept.ascending = s.sortAscending;
        kept.order.clear();
        kept.order.reserve(n);
        for (const LogEntry& e : entries)
            kept.order.push_back(&e);
        EntrySort::sortPointers(kept.order, s.sortColumn, s.sortAscending);
    }
    if (!kept.columns)
        kept.columns.emplace(entries);
    const EntryColumns& c = *kept.columns;

    Prepared p(s, true, true);
    const LogEntry* base = entries.constData();
    std::optional<std::vector<quint8>> hits;
    if (p.searches()) {
        if (!kept.corpus)
            kept.corpus.emplace(entries);
        hits = kept.corpus->hits(Pipeline::searchTerm(s.searchText));
        if (hits) {
            p.searchHits = hits->data();
            p.base = base;
        }
    }
    // A selection that no entry has is a number no entry has.
    std::optional<quint32> process, subsystem;
    if (s.selectedProcess)
        process = c.processNumber(*s.selectedProcess).value_or(quint32(c.processNames.size()));
    if (s.selectedSubsystem)
        subsystem = c.subsystemNumber(*s.selectedSubsystem).value_or(quint32(c.subsystemNames.size()));
    const bool rest = p.needsRest();
    std::vector<quint8> listed(n), processSeen(size_t(c.processNames.size())),
        subsystemSeen(size_t(c.subsystemNames.size()));
    Timeline::Collector timeline;
    timeline.reserve(qsizetype(n));
    for (size_t i = 0; i < n; ++i) {
        if (!(p.levelMask & (1u << c.level[i])))  // level 0 (outside 1–5) has no bit
            continue;
        const bool processOK = !process || c.process[i] == *process;
        const bool subsystemOK = !subsystem || c.subsystem[i] == *subsystem;
        if (!(processOK || subsystemOK) || (hits && !(*hits)[i]) || (rest && !p.passesRest(base[i])))
            continue;
        if (processOK && subsystemOK) {
            listed[i] = 1;
            timeline.add(c.date[i], c.level[i]);
        }
        if (subsystemOK)
            processSeen[c.process[i]] = 1;
        if (processOK)
            subsystemSeen[c.subsystem[i]] = 1;
    }
    std::vector<const LogEntry*> rows;
    rows.reserve(n);
    for (const LogEntry* e : kept.order)
        if (listed[size_t(e - base)])
            rows.push_back(e);
    return {EntryRows(entries, std::move(rows)), seenNames(c.processNames, processSeen, true, s.selectedProcess),
            seenNames(c.subsystemNames, subsystemSeen, false, s.selectedSubsystem), timeline.buckets()};
}

LogEntryList toList(const std::vector<const LogEntry*>& v)
{
    LogEntryList out;
    out.reserve(qsizetype(v.size()));
    for (const LogEntry* e : v)
        out.append(*e);
    return out;
}

}  // namespace

// ---------------------------------------------------------------- pipeline

namespace Pipeline {

FilterState initialState(double creationTime)
{
    FilterState s;
    s.customStart = creationTime - 3600;
    s.customEnd = creationTime;
    return s;
}

QString searchTerm(const QString& searchText)
{
    return trimmedHorizontal(searchText).toLower();
}

QList<OptionalColumn> visibleColumns(const FilterState& s)
{
    QList<OptionalColumn> out;
    for (OptionalColumn c : Column::allCases())
        if (s.isShown(c))
            out.append(c);
    return out;
}

LogEntryList matchingEntries(const FilterState& s, const LogEntryList& entries, bool skipProcess, bool skipSubsystem)
{
    return toList(matchingPointers(s, entries, skipProcess, skipSubsystem));
}

LogEntryList filteredEntries(const FilterState& s, const LogEntryList& entries, bool liveTailing)
{
    std::vector<const LogEntry*> v = matchingPointers(s, entries, false, false);
    if (!liveTailing)
        EntrySort::sortPointers(v, s.sortColumn, s.sortAscending);
    return toList(v);
}

QStringList availableProcesses(const FilterState& s, const LogEntryList& entries)
{
    DistinctTexts values;
    for (const LogEntry* e : matchingPointers(s, entries, true, false))
        values.add(e->process);
    return values.sorted(s.selectedProcess);
}

QStringList availableSubsystems(const FilterState& s, const LogEntryList& entries)
{
    DistinctTexts values;
    for (const LogEntry* e : matchingPointers(s, entries, false, true))
        if (!e->subsystem.isEmpty())
            values.add(e->subsystem);
    return values.sorted(s.selectedSubsystem);
}

Evaluation evaluate(const FilterState& s, const LogEntryList& entries, bool liveTailing, SortedOrder* kept)
{
    if (kept && !liveTailing)
        return evaluateKept(s, entries, *kept);
    // One pass for the three results: the shared tests run once per entry,
    // the two selections decide which results the entry belongs to.
    const Prepared p(s, true, true);
    std::vector<const LogEntry*> rows;
    rows.reserve(size_t(entries.size()));
    DistinctTexts processes, subsystems;
    Timeline::Collector timeline;
    timeline.reserve(entries.size());
    const auto take = [&](const LogEntry& e, bool processOK, bool subsystemOK) {
        if (processOK && subsystemOK) {
            timeline.add(e);
            rows.push_back(&e);
        }
        if (subsystemOK)
            processes.add(e.process);
        if (processOK && !e.subsystem.isEmpty())
            subsystems.add(e.subsystem);
    };
    forEachPassingSelection(p, s, entries, take);
    if (!liveTailing)
        EntrySort::sortPointers(rows, s.sortColumn, s.sortAscending);
    return {EntryRows(entries, std::move(rows)), processes.sorted(s.selectedProcess),
            subsystems.sorted(s.selectedSubsystem), timeline.buckets()};
}

void toggleSort(FilterState& s, const QString& columnName)
{
    if (columnName != s.sortColumn) {
        s.sortColumn = columnName;
        s.sortAscending = true;
    } else {
        s.sortAscending = !s.sortAscending;
    }
}

void setShown(FilterState& s, OptionalColumn c, bool on)
{
    const bool was = s.shown[size_t(c)];
    s.shown[size_t(c)] = on;
    if (was && !on)
        s.filterText[size_t(c)].clear();
}

FetchInterval initialInterval(double now) { return {now - 3600, now}; }

FetchInterval selectQuickRange(FilterState& s, QuickTimeRange r, double end)
{
    s.selectedQuickRange = r;
    s.wholeArchive = false;
    s.showCustomRange = false;
    return {end + QuickRange::offset(r), end};
}

void selectWholeArchive(FilterState& s)
{
    s.wholeArchive = true;
    s.selectedQuickRange.reset();
    s.showCustomRange = false;
}

void toggleCustomRange(FilterState& s)
{
    s.showCustomRange = !s.showCustomRange;
    s.selectedQuickRange.reset();
    s.wholeArchive = false;
}

FetchInterval customInterval(const FilterState& s) { return {s.customStart, s.customEnd}; }

void loadPersisted(FilterState& s, QSettings& store)
{
    const QVariant sortColumn = store.value(QStringLiteral("sortColumn"));
    if (sortColumn.isValid())
        s.sortColumn = sortColumn.toString();
    const QVariant ascending = store.value(QStringLiteral("sortAscending"));
    if (ascending.isValid())
        s.sortAscending = ascending.toBool();
    const QVariant source = store.value(QStringLiteral("sourceFilter"));
    if (source.isValid())
        s.sourceFilter = source.toString();
    for (OptionalColumn c : Column::allCases()) {
        s.shown[size_t(c)] = store.value(Column::showKey(c), false).toBool();
        s.filterText[size_t(c)] = store.value(Column::filterKey(c), QString()).toString();
    }
}

}  // namespace Pipeline

// ---------------------------------------------------------------- observable inputs

FilterPipeline::FilterPipeline(QObject* parent)
    : QObject(parent), m_state(Pipeline::initialState(double(QDateTime::currentMSecsSinceEpoch()) / 1000.0))
{
    Pipeline::loadPersisted(m_state, Platform::settings());
}

void FilterPipeline::setActiveFilters(const QSet<SeverityLevel>& filters)
{
    if (m_state.activeFilters == filters)
        return;
    m_state.activeFilters = filters;
    emit changed();
}

void FilterPipeline::setSearchText(const QString& text)
{
    if (m_state.searchText == text)
        return;
    m_state.searchText = text;
    emit changed();
}

void FilterPipeline::setSelectedProcess(const std::optional<QString>& process)
{
    if (m_state.selectedProcess == process)
        return;
    m_state.selectedProcess = process;
    emit changed();
}

void FilterPipeline::setSelectedSubsystem(const std::optional<QString>& subsystem)
{
    if (m_state.selectedSubsystem == subsystem)
        return;
    m_state.selectedSubsystem = subsystem;
    emit changed();
}

void FilterPipeline::setSourceFilter(const QString& raw)
{
    if (m_state.sourceFilter == raw)
        return;
    m_state.sourceFilter = raw;
    Platform::settings().setValue(QStringLiteral("sourceFilter"), raw);
    emit changed();
}

void FilterPipeline::toggleSort(const QString& columnName)
{
    Pipeline::toggleSort(m_state, columnName);
    QSettings& store = Platform::settings();
    store.setValue(QStringLiteral("sortColumn"), m_state.sortColumn);
    store.setValue(QStringLiteral("sortAscending"), m_state.sortAscending);
    emit changed();
}

void FilterPipeline::setShown(OptionalColumn c, bool on)
{
    if (m_state.isShown(c) == on)
        return;
    Pipeline::setShown(m_state, c, on);
    QSettings& store = Platform::settings();
    store.setValue(Column::showKey(c), on);
    if (!on)
        store.setValue(Column::filterKey(c), QString());
    emit changed();
}

void FilterPipeline::setFilterText(OptionalColumn c, const QString& text)
{
    if (m_state.filter(c) == text)
        return;
    m_state.filterText[size_t(c)] = text;
    Platform::settings().setValue(Column::filterKey(c), text);
    emit changed();
}

bool FilterPipeline::hasFilters() const
{
    const FilterState fresh;
    for (OptionalColumn c : Column::allCases())
        if (!m_state.filter(c).isEmpty())
            return true;
    return m_state.activeFilters != fresh.activeFilters || !m_state.searchText.isEmpty() ||
           m_state.selectedProcess || m_state.selectedSubsystem || m_state.sourceFilter != fresh.sourceFilter;
}

void FilterPipeline::clearFilters()
{
    if (!hasFilters())
        return;
    const FilterState fresh;
    m_state.activeFilters = fresh.activeFilters;
    m_state.searchText.clear();
    m_state.selectedProcess.reset();
    m_state.selectedSubsystem.reset();
    m_state.sourceFilter = fresh.sourceFilter;
    QSettings& store = Platform::settings();
    store.setValue(QStringLiteral("sourceFilter"), fresh.sourceFilter);
    for (OptionalColumn c : Column::allCases()) {
        m_state.filterText[size_t(c)].clear();
        store.setValue(Column::filterKey(c), QString());
    }
    emit changed();  // one pass for all of them
}

void FilterPipeline::setCustomRange(double start, double end)
{
    if (m_state.customStart == start && m_state.customEnd == end)
        return;
    m_state.customStart = start;
    m_state.customEnd = end;
    emit rangeChanged();
}

FetchInterval FilterPipeline::selectQuickRange(QuickTimeRange r, double end)
{
    const FetchInterval interval = Pipeline::selectQuickRange(m_state, r, end);
    emit rangeChanged();
    return interval;
}

void FilterPipeline::selectWholeArchive()
{
    Pipeline::selectWholeArchive(m_state);
    emit rangeChanged();
}

void FilterPipeline::toggleCustomRange()
{
    Pipeline::toggleCustomRange(m_state);
    emit rangeChanged();
}

void FilterPipeline::restoreRange(const FilterState& earlier)
{
    m_state.selectedQuickRange = earlier.selectedQuickRange;
    m_state.wholeArchive = earlier.wholeArchive;
    m_state.showCustomRange = earlier.showCustomRange;
    m_state.customStart = earlier.customStart;
    m_state.customEnd = earlier.customEnd;
    emit rangeChanged();
}
