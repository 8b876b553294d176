#include "browser/FilterPipeline.h"

#include "base/TextTrim.h"
#include "browser/DistinctTexts.h"
#include "browser/EntrySort.h"
#include "browser/LoweredMatcher.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <vector>

namespace {

// What one evaluation of matchingEntries prepares once.
struct Prepared {
    quint8 levelMask = 0;  // bit n set: level n passes
    LoweredMatcher search;
    SourceType source = SourceType::all;
    std::optional<QString> process;
    std::optional<QString> subsystem;
    std::vector<std::pair<const ColumnSpec*, LoweredMatcher>> columnFilters;
    // The search's outcome for each entry of the list at base, when known.
    const quint8* searchHits = nullptr;
    const LogEntry* base = nullptr;

    Prepared(const FilterState& s, bool skipProcess, bool skipSubsystem)
        : search(Pipeline::searchTerm(s.searchText))
    {
        for (SeverityLevel l : s.activeFilters)
            levelMask |= quint8(1u << Severity::logLevel(l));
        source = Source::fromName(s.sourceFilter).value_or(SourceType::all);
        if (!skipProcess)
            process = s.selectedProcess;
        if (!skipSubsystem)
            subsystem = s.selectedSubsystem;
        for (ColumnId c : Columns::optional())
            if (s.isShown(c) && !s.filter(c).isEmpty())
                columnFilters.emplace_back(&Columns::spec(c), LoweredMatcher(s.filter(c).toLower()));
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
            if (!columnMatches(*column, matcher, e))
                return false;
        return true;
    }

    bool searchMatches(const LogEntry& e) const
    {
        return search.matches(e.message) || search.matches(e.process) || search.matches(e.subsystem);
    }

    // As its cell: numbers by their decimal digits without building a text.
    static bool columnMatches(const ColumnSpec& c, const LoweredMatcher& m, const LogEntry& e)
    {
        char buf[24];
        switch (c.sort) {
        case ColumnSpec::Sort::processId: {
            const auto r = std::to_chars(buf, buf + sizeof buf, e.processIdentifier);
            return m.matchesDigits(std::string_view(buf, size_t(r.ptr - buf)));
        }
        case ColumnSpec::Sort::threadId: {
            if (!e.threadKnown)
                return m.matches(QString());  // as its empty cell
            const auto r = std::to_chars(buf, buf + sizeof buf, e.threadIdentifier);
            return m.matchesDigits(std::string_view(buf, size_t(r.ptr - buf)));
        }
        default: return c.field ? m.matches(e.*c.field) : m.matches(c.text(e));
        }
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

// The list's sort order and tested fields, kept while the list and the
// sort stay; a new list also drops its search texts.
void keepOrder(const FilterState& s, const LogEntryList& entries, Pipeline::SortedOrder& kept)
{
    if (kept.source.constData() != entries.constData() || kept.source.size() != entries.size()) {
        kept.source = entries;
        kept.order.clear();
        kept.fields.reset();
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
    if (!kept.fields)
        kept.fields.emplace(entries);
}

// One pass over the side-by-side fields: which entries are listed, which
// names each dropdown offers, and the timeline of the listed ones.
struct KeptPass {
    std::vector<quint8> listed, processSeen, subsystemSeen;
    Timeline::Collector timeline;

    KeptPass(const TestedFields& c, size_t n)
        : listed(n), processSeen(size_t(c.processNames.size())), subsystemSeen(size_t(c.subsystemNames.size()))
    {
        timeline.reserve(qsizetype(n));
    }

    void run(const FilterState& s, const Prepared& p, const TestedFields& c, const LogEntry* base,
             const std::vector<quint8>* hits)
    {
        // A selection that no entry has is a number no entry has.
        std::optional<quint32> process, subsystem;
        if (s.selectedProcess)
            process = c.processNumber(*s.selectedProcess).value_or(quint32(c.processNames.size()));
        if (s.selectedSubsystem)
            subsystem = c.subsystemNumber(*s.selectedSubsystem).value_or(quint32(c.subsystemNames.size()));
        const bool rest = p.needsRest();
        for (size_t i = 0; i < listed.size(); ++i) {
            if (!(p.levelMask & (1u << c.level[i])))  // level 0 (outside 1–5) has no bit
                continue;
            const bool processOK = !process || c.process[i] == *process;
            const bool subsystemOK = !subsystem || c.subsystem[i] == *subsystem;
            if (!(processOK || subsystemOK) || (hits && !(*hits)[i]) || (rest && !p.passesRest(base[i])))
                continue;
            take(c, i, processOK, subsystemOK);
        }
    }

    void take(const TestedFields& c, size_t i, bool processOK, bool subsystemOK)
    {
        if (processOK && subsystemOK) {
            listed[i] = 1;
            timeline.add(c.date[i], c.level[i]);
        }
        if (subsystemOK)
            processSeen[c.process[i]] = 1;
        if (processOK)
            subsystemSeen[c.subsystem[i]] = 1;
    }
};

// The window's evaluation: the list is sorted once per order, its tested
// fields are laid side by side once, its texts gathered at its first search;
// the pass reads those arrays in storage order, marks the rows, and the
// order then picks them. The entry itself is read only for the tests the
// arrays do not hold (source, column filters).
Pipeline::Evaluation evaluateKept(const FilterState& s, const LogEntryList& entries, Pipeline::SortedOrder& kept)
{
    keepOrder(s, entries, kept);
    const TestedFields& c = *kept.fields;
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
    KeptPass pass(c, size_t(entries.size()));
    pass.run(s, p, c, base, hits ? &*hits : nullptr);
    std::vector<const LogEntry*> rows;
    rows.reserve(size_t(entries.size()));
    for (const LogEntry* e : kept.order)
        if (pass.listed[size_t(e - base)])
            rows.push_back(e);
    return {EntryRows(entries, std::move(rows)), seenNames(c.processNames, pass.processSeen, true, s.selectedProcess),
            seenNames(c.subsystemNames, pass.subsystemSeen, false, s.selectedSubsystem), pass.timeline.buckets()};
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

namespace Pipeline {

QString searchTerm(const QString& searchText)
{
    return trimmedHorizontal(searchText).toLower();
}

QList<ColumnId> visibleColumns(const FilterState& s)
{
    QList<ColumnId> out;
    for (ColumnId c : Columns::optional())
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

}  // namespace Pipeline
