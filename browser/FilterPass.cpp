#include "browser/FilterPipeline.h"

#include "base/TextTrim.h"
#include "browser/DistinctTexts.h"
#include "browser/EntrySort.h"
#include "browser/LoweredMatcher.h"
#include "browser/MessagePattern.h"
#include "logs/LogFetcher.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <vector>

namespace {

// Whether the filters test entries' patterns: a pattern pick or a pattern rule.
bool testsPatterns(const FilterState& s)
{
    return s.pattern || std::any_of(s.hidden.begin(), s.hidden.end(),
                                    [](const HideRule& r) { return r.kind == HideRule::Kind::pattern; });
}

// What one evaluation of matchingEntries prepares once.
struct Prepared {
    quint8 levelMask = 0;  // bit n set: level n passes
    LoweredMatcher search;
    SourceType source = SourceType::all;
    std::optional<QString> process;
    std::optional<QString> subsystem;
    std::vector<std::pair<const ColumnSpec*, LoweredMatcher>> columnFilters;
    std::vector<LoweredMatcher> excluded;
    // The entry-by-entry forms of the hide rules, the pattern pick and
    // "Marked Only"; the window's pass tests numbers instead.
    const FilterState& state;
    const QSet<QString>* marks = nullptr;
    // The search's outcome for each entry of the list at base, when known.
    const quint8* searchHits = nullptr;
    const LogEntry* base = nullptr;

    Prepared(const FilterState& s, bool skipProcess, bool skipSubsystem)
        : search(Pipeline::searchTerm(s.searchText)), state(s)
    {
        for (const QString& text : s.excluded)
            if (const QString term = Pipeline::searchTerm(text); !term.isEmpty())
                excluded.emplace_back(term);
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
        return passesRest(e) && passesByText(e);
    }

    bool passesByText(const LogEntry& e) const
    {
        if (state.markedOnly && !(marks && marks->contains(LogFetcher::tailKey(e))))
            return false;
        if (state.hidden.isEmpty() && !state.pattern)
            return true;
        QString pattern;
        if (testsPatterns(state))
            pattern = MessagePattern::of(e);
        if (state.pattern && pattern != *state.pattern)
            return false;
        for (const HideRule& r : state.hidden)
            if (r.value == (r.kind == HideRule::Kind::process     ? e.process
                            : r.kind == HideRule::Kind::subsystem ? e.subsystem
                                                                  : pattern))
                return false;
        return true;
    }

    // The tests that need more of the entry than its level and selections.
    bool needsRest() const
    {
        return source != SourceType::all || (searches() && !searchHits) || !columnFilters.empty() || !excluded.empty();
    }
    bool passesRest(const LogEntry& e) const
    {
        if (source != SourceType::all && !Source::matches(source, e))
            return false;
        for (const LoweredMatcher& m : excluded)
            if (m.matches(e.message) || m.matches(e.process))
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

// The list's order and tested fields, kept while the list and the order
// stay; a new list also drops its search texts and lends its patterns.
void keepOrder(const FilterState& s, const LogEntryList& entries, bool storageOrder, Pipeline::SortedOrder& kept)
{
    if (kept.source.constData() != entries.constData() || kept.source.size() != entries.size()) {
        std::optional<PatternTable> lend = std::move(kept.patterns);
        kept.patterns.reset();
        if (lend)  // the view wants them: a tail tick masks only its new entries
            kept.patterns.emplace(entries, &*lend);
        kept.source = entries;
        kept.order.clear();
        kept.fields.reset();
        kept.corpus.reset();
        kept.marked.clear();
    }
    const size_t n = size_t(entries.size());
    if (kept.order.size() != n || kept.column != s.sortColumn || kept.ascending != s.sortAscending ||
        kept.storageOrder != storageOrder) {
        kept.column = s.sortColumn;
        kept.ascending = s.sortAscending;
        kept.storageOrder = storageOrder;
        kept.order.clear();
        kept.order.reserve(n);
        for (const LogEntry& e : entries)
            kept.order.push_back(&e);
        if (!storageOrder)
            EntrySort::sortPointers(kept.order, s.sortColumn, s.sortAscending);
    }
    if (!kept.fields)
        kept.fields.emplace(entries);
}

// Which entries are marked, kept until the marks or the list change.
void keepMarked(const LogEntryList& entries, const Pipeline::Extras& extras, Pipeline::SortedOrder& kept)
{
    if (extras.marks.isEmpty()) {
        kept.marked.clear();
        return;
    }
    if (kept.marked.size() == size_t(entries.size()) && kept.marksGeneration == extras.marksGeneration)
        return;
    kept.marksGeneration = extras.marksGeneration;
    kept.marked.assign(size_t(entries.size()), 0);
    for (qsizetype i = 0; i < entries.size(); ++i)
        if (extras.marks.contains(LogFetcher::tailKey(entries[i])))
            kept.marked[size_t(i)] = 1;
}

// The hide rules and the pattern pick as numbers into the kept tables: a
// name no entry has is a number no entry has.
struct NumberedRules {
    struct Rule {
        HideRule::Kind kind;
        quint32 number;
    };
    std::vector<Rule> rules;
    std::optional<quint32> pick;

    NumberedRules(const FilterState& s, const TestedFields& c, const PatternTable* patterns)
    {
        for (const HideRule& r : s.hidden)
            rules.push_back({r.kind, numberOf(r.kind, r.value, c, patterns)});
        if (s.pattern)
            pick = numberOf(HideRule::Kind::pattern, *s.pattern, c, patterns);
    }

    static quint32 numberOf(HideRule::Kind kind, const QString& value, const TestedFields& c,
                            const PatternTable* patterns)
    {
        switch (kind) {
        case HideRule::Kind::process: return c.processNumber(value).value_or(quint32(c.processNames.size()));
        case HideRule::Kind::subsystem: return c.subsystemNumber(value).value_or(quint32(c.subsystemNames.size()));
        case HideRule::Kind::pattern: break;
        }
        return patterns->numberOf(value).value_or(quint32(patterns->texts.size()));
    }
};

// One pass over the side-by-side fields: which entries are listed, which
// names each dropdown offers, the timeline of the listed ones, what each
// hide rule hides and the patterns of the list without the pattern pick.
struct KeptPass {
    const TestedFields& c;
    const PatternTable* patterns;
    std::vector<quint8> listed, processSeen, subsystemSeen;
    Timeline::Collector timeline;
    QList<qsizetype> hiddenCounts;
    std::optional<PatternCounter> counter;

    KeptPass(const TestedFields& fields, const PatternTable* table, size_t n, bool countPatterns)
        : c(fields), patterns(table), listed(n), processSeen(size_t(c.processNames.size())),
          subsystemSeen(size_t(c.subsystemNames.size()))
    {
        timeline.reserve(qsizetype(n));
        if (countPatterns)
            counter.emplace(*patterns, c.process, quint32(c.processNames.size()));
    }

    void run(const FilterState& s, const Prepared& p, const LogEntry* base, const std::vector<quint8>* hits,
             const std::vector<quint8>& marked)
    {
        // A selection that no entry has is a number no entry has.
        std::optional<quint32> process, subsystem;
        if (s.selectedProcess)
            process = c.processNumber(*s.selectedProcess).value_or(quint32(c.processNames.size()));
        if (s.selectedSubsystem)
            subsystem = c.subsystemNumber(*s.selectedSubsystem).value_or(quint32(c.subsystemNames.size()));
        const NumberedRules rules(s, c, patterns);
        hiddenCounts.fill(0, qsizetype(rules.rules.size()));
        const bool rest = p.needsRest();
        if (s.markedOnly && marked.empty())
            return;  // nothing is marked
        for (size_t i = 0; i < listed.size(); ++i) {
            if (!(p.levelMask & (1u << c.level[i])))  // level 0 (outside 1–5) has no bit
                continue;
            const bool processOK = !process || c.process[i] == *process;
            const bool subsystemOK = !subsystem || c.subsystem[i] == *subsystem;
            if (!(processOK || subsystemOK) || (hits && !(*hits)[i]) || (s.markedOnly && !marked[i]) ||
                (rest && !p.passesRest(base[i])))
                continue;
            if (!rules.rules.empty() && hidden(rules, i, processOK && subsystemOK))
                continue;
            take(rules, i, processOK, subsystemOK);
        }
    }

    // Whether a rule hides entry i; counted when every other filter keeps it.
    bool hidden(const NumberedRules& rules, size_t i, bool selected)
    {
        const bool counts = selected && (!rules.pick || patterns->number[i] == *rules.pick);
        bool any = false;
        for (size_t r = 0; r < rules.rules.size(); ++r) {
            const auto& rule = rules.rules[r];
            const quint32 n = rule.kind == HideRule::Kind::process     ? c.process[i]
                              : rule.kind == HideRule::Kind::subsystem ? c.subsystem[i]
                                                                       : patterns->number[i];
            if (n == rule.number) {
                any = true;
                if (!counts)
                    return true;
                ++hiddenCounts[qsizetype(r)];
            }
        }
        return any;
    }

    void take(const NumberedRules& rules, size_t i, bool processOK, bool subsystemOK)
    {
        if (processOK && subsystemOK && counter)
            counter->add(i, c.level[i], c.date[i]);
        if (rules.pick && patterns->number[i] != *rules.pick)
            return;
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

// Searches the list's texts once there is a search, gathering them at the first.
std::optional<std::vector<quint8>> searchHits(const FilterState& s, const LogEntryList& entries, Prepared& p,
                                              Pipeline::SortedOrder& kept)
{
    if (!p.searches())
        return std::nullopt;
    if (!kept.corpus)
        kept.corpus.emplace(entries);
    std::optional<std::vector<quint8>> hits = kept.corpus->hits(Pipeline::searchTerm(s.searchText));
    if (hits) {
        p.searchHits = hits->data();
        p.base = entries.constData();
    }
    return hits;
}

// The window's evaluation: the list is sorted once per order, its tested
// fields are laid side by side once, its texts gathered at its first search
// and its patterns at their first use; the pass reads those arrays in
// storage order, marks the rows, and the order then picks them. The entry
// itself is read only for the tests the arrays do not hold (source, column
// filters, exclusions).
Pipeline::Evaluation evaluateKept(const FilterState& s, const LogEntryList& entries, bool storageOrder,
                                  Pipeline::SortedOrder& kept, const Pipeline::Extras& extras)
{
    keepOrder(s, entries, storageOrder, kept);
    keepMarked(entries, extras, kept);
    const TestedFields& c = *kept.fields;
    if ((extras.patterns || testsPatterns(s)) && !kept.patterns)
        kept.patterns.emplace(entries);
    Prepared p(s, true, true);
    const std::optional<std::vector<quint8>> hits = searchHits(s, entries, p, kept);
    const LogEntry* base = entries.constData();
    KeptPass pass(c, kept.patterns ? &*kept.patterns : nullptr, size_t(entries.size()), extras.patterns);
    pass.run(s, p, base, hits ? &*hits : nullptr, kept.marked);
    Pipeline::Evaluation out;
    std::vector<const LogEntry*> rows;
    rows.reserve(size_t(entries.size()));
    for (const LogEntry* e : kept.order)
        if (pass.listed[size_t(e - base)])
            rows.push_back(e);
    if (!kept.marked.empty()) {
        for (const LogEntry* e : rows)
            if (kept.marked[size_t(e - base)])
                out.markDates.append(e->date);
        std::sort(out.markDates.begin(), out.markDates.end());
    }
    out.filtered = EntryRows(entries, std::move(rows));
    out.processes = seenNames(c.processNames, pass.processSeen, true, s.selectedProcess);
    out.subsystems = seenNames(c.subsystemNames, pass.subsystemSeen, false, s.selectedSubsystem);
    out.timeline = pass.timeline.buckets();
    out.hiddenCounts = std::move(pass.hiddenCounts);
    if (pass.counter)
        out.patterns = pass.counter->summaries();
    return out;
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

Evaluation evaluate(const FilterState& s, const LogEntryList& entries, bool liveTailing, SortedOrder* kept,
                    const Extras& extras)
{
    SortedOrder once;
    return evaluateKept(s, entries, liveTailing, kept ? *kept : once, extras);
}

}  // namespace Pipeline
