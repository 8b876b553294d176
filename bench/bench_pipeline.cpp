// The filter and sort pipeline over 50,000 mixed entries: the re-evaluation
// after a search keystroke, a sort by Process, and a plain std::sort by date
// of the same list for scale; the timeline's buckets alone and with the
// keystroke; the keystroke with three hide rules and the patterns counted;
// gathering the searched texts, once per list. Prints the medians
// and their ratios at the end.

#include "bench/support/DateSort.h"
#include "browser/FilterPipeline.h"
#include "browser/MessagePattern.h"
#include "browser/Timeline.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kEntries = 50000;
LogEntryList g_entries;
std::map<std::string, std::vector<double>> g_times;
std::map<std::string, std::vector<double>> g_cpu;  // thread CPU time: fair on a busy machine

LogEntryList makeEntries()
{
    std::mt19937 rng(20240611);
    const QStringList baseProcesses{"kernel_task", "WindowServer", "launchd", "mDNSResponder", "Safari", "Finder",
                                    "bluetoothd", "airportd", "cloudd", "trustd", "sharingd", "locationd",
                                    "runningboardd", "symptomsd", "backupd", "configd", "powerd", "coreaudiod",
                                    "Dock", "loginwindow", "softwareupdated", "nsurlsessiond", "apsd", "tccd"};
    QStringList processes = baseProcesses;
    for (int i = 0; i < 56; ++i)  // 80 distinct names, mixed letter case
        processes.append((i % 3 ? QStringLiteral("helper") : QStringLiteral("Agent")) + QString::number(i) +
                         (i % 2 ? QStringLiteral("d") : QStringLiteral("Service")));
    QStringList subsystems;
    for (int i = 0; i < 150; ++i)
        subsystems.append((i % 4 ? QStringLiteral("com.apple.") : QStringLiteral("com.example.")) +
                          QStringLiteral("component%1.%2").arg(i).arg(i % 7 ? "core" : "iokit"));
    const QStringList words{"connection", "request", "failed", "timeout", "network", "session", "handler",
                            "received", "state", "changed", "error", "device", "service", "queue",
                            "completed", "interface", "policy", "token", "Bluetooth", "Wi-Fi", "update"};
    const int levels[] = {1, 1, 1, 2, 2, 2, 3, 3, 4, 4, 5, 0};

    LogEntryList out;
    out.reserve(kEntries);
    double date = 1'700'000'000;
    for (int i = 0; i < kEntries; ++i) {
        LogEntry e;
        e.id = makeEntryId();
        date += std::uniform_real_distribution<double>(0.0, 0.07)(rng);
        e.date = date + std::uniform_real_distribution<double>(-0.5, 0.5)(rng);  // nearly in order
        e.level = levels[rng() % 12];
        e.process = processes[int(rng() % processes.size())];
        QString msg;
        const int n = 6 + int(rng() % 14);
        for (int w = 0; w < n; ++w) {
            if (w)
                msg += QLatin1Char(' ');
            msg += words[int(rng() % words.size())];
            if (rng() % 5 == 0)
                msg += QStringLiteral(" 0x%1").arg(rng() % 0xffffff, 0, 16);
        }
        e.message = msg;
        e.subsystem = (rng() % 10) ? subsystems[int(rng() % subsystems.size())] : QString();
        e.category = QStringLiteral("cat%1").arg(rng() % 20);
        e.sender = (rng() % 3) ? QStringLiteral("com.apple.framework%1").arg(rng() % 30)
                               : QStringLiteral("libhelper%1.dylib").arg(rng() % 30);
        e.processIdentifier = qint32(100 + rng() % 3000);
        e.threadIdentifier = quint64(rng());
        out.append(e);
    }
    return out;
}

FilterState allLevels()
{
    FilterState s;
    s.activeFilters = {SeverityLevel::fault, SeverityLevel::error, SeverityLevel::notice, SeverityLevel::info,
                       SeverityLevel::debug};
    return s;
}

template <typename F>
void timed(benchmark::State& state, const char* name, F body)
{
    for (auto _ : state) {
        QElapsedTimer t;
        const double cpu = DateSort::threadSeconds();
        t.start();
        body();
        const double s = double(t.nsecsElapsed()) / 1e9;
        g_cpu[name].push_back(DateSort::threadSeconds() - cpu);
        g_times[name].push_back(s);
        state.SetIterationTime(s);
    }
}

// Typing one more letter into the search field: the list is re-derived and
// sorted by time (the default), with the default severities fault and error.
void BM_SearchKeystrokeDefaultLevels(benchmark::State& state)
{
    FilterState s;
    s.searchText = QStringLiteral("net");
    timed(state, "keystroke, fault+error", [&] {
        benchmark::DoNotOptimize(Pipeline::filteredEntries(s, g_entries, false));
    });
}

// The same with all five severities active: every entry is searched.
void BM_SearchKeystrokeAllLevels(benchmark::State& state)
{
    FilterState s = allLevels();
    s.searchText = QStringLiteral("net");
    timed(state, "keystroke, all levels", [&] {
        benchmark::DoNotOptimize(Pipeline::filteredEntries(s, g_entries, false));
    });
}

// The window's whole redraw after a keystroke: the list and both dropdowns.
void BM_SearchKeystrokeWithDropdowns(benchmark::State& state)
{
    FilterState s = allLevels();
    s.searchText = QStringLiteral("net");
    timed(state, "keystroke + dropdowns, all levels", [&] {
        benchmark::DoNotOptimize(Pipeline::filteredEntries(s, g_entries, false));
        benchmark::DoNotOptimize(Pipeline::availableProcesses(s, g_entries));
        benchmark::DoNotOptimize(Pipeline::availableSubsystems(s, g_entries));
    });
}

// The same redraw as the window evaluates it: one pass, over the sort order
// kept since the entries arrived.
void BM_SearchKeystrokeEvaluate(benchmark::State& state)
{
    FilterState s = allLevels();
    Pipeline::SortedOrder kept;
    Pipeline::evaluate(s, g_entries, false, &kept);
    s.searchText = QStringLiteral("net");
    timed(state, "keystroke + dropdowns, one pass", [&] {
        benchmark::DoNotOptimize(Pipeline::evaluate(s, g_entries, false, &kept));
    });
}

// The searched texts gathered into one buffer, once per entry list at its
// first search: the first keystroke pays this on top.
void BM_SearchCorpus(benchmark::State& state)
{
    timed(state, "searched texts gathered (first search)", [&] { benchmark::DoNotOptimize(SearchCorpus(g_entries)); });
}

// The timeline's buckets over every entry (the most it is ever fed).
void BM_TimelineBuckets(benchmark::State& state)
{
    timed(state, "timeline buckets, 50,000 entries", [&] { benchmark::DoNotOptimize(Timeline::buckets(g_entries)); });
}

// The window's keystroke with the timeline shown: the one-pass evaluation,
// which gathers the buckets of the list it yields.
void BM_SearchKeystrokeWithTimeline(benchmark::State& state)
{
    FilterState s = allLevels();
    Pipeline::SortedOrder kept;
    Pipeline::evaluate(s, g_entries, false, &kept);
    s.searchText = QStringLiteral("net");
    timed(state, "keystroke + dropdowns + timeline", [&] {
        benchmark::DoNotOptimize(Pipeline::evaluate(s, g_entries, false, &kept));
    });
}

// The window's keystroke with three hide rules (a process, a subsystem, a
// pattern) and the Patterns view shown, which folds the listed entries into
// patterns in the same pass; the list's patterns were computed at its first use.
// The same list with its messages from 441 templates with values, as a
// real log repeats itself (the list above has a pattern per message, the
// worst case for the Patterns view).
LogEntryList makeTemplated()
{
    static const char* words[] = {"connection", "request", "session", "handler", "device", "service", "queue",
                                  "interface", "policy", "token", "Bluetooth", "Wi-Fi", "update", "network",
                                  "state", "timeout", "error", "received", "changed", "completed", "failed"};
    std::mt19937 rng(7);
    LogEntryList out = g_entries;
    for (LogEntry& e : out)
        e.message = QStringLiteral("%1 %2 for id %3 took %4 ms at /var/lib/%5")
                        .arg(QLatin1String(words[rng() % 21]), QLatin1String(words[rng() % 21]))
                        .arg(rng() % 100000)
                        .arg(rng() % 5000)
                        .arg(rng() % 1000);
    return out;
}

const LogEntryList& templatedEntries()
{
    static const LogEntryList list = makeTemplated();
    return list;
}

void keystrokeWithTriage(benchmark::State& state, const LogEntryList& entries, bool triage, const char* name)
{
    FilterState s = allLevels();
    if (triage)
        s.hidden = {{HideRule::Kind::process, QStringLiteral("kernel_task")},
                    {HideRule::Kind::subsystem, entries[7].subsystem},
                    {HideRule::Kind::pattern, MessagePattern::of(entries[3])}};
    Pipeline::Extras extras;
    extras.patterns = triage;
    Pipeline::SortedOrder kept;
    Pipeline::evaluate(s, entries, false, &kept, extras);
    s.searchText = QStringLiteral("net");
    timed(state, name, [&] { benchmark::DoNotOptimize(Pipeline::evaluate(s, entries, false, &kept, extras)); });
}

void BM_SearchKeystrokeHiddenAndPatterns(benchmark::State& state)
{
    keystrokeWithTriage(state, g_entries, true, "keystroke + 3 hide rules + patterns");
}

void BM_TemplatedKeystroke(benchmark::State& state)
{
    keystrokeWithTriage(state, templatedEntries(), false, "templated: keystroke");
}

void BM_TemplatedKeystrokeHiddenAndPatterns(benchmark::State& state)
{
    keystrokeWithTriage(state, templatedEntries(), true, "templated: keystroke + 3 hide rules + patterns");
}

// A click on the Process header with every entry listed.
void BM_SortByProcess(benchmark::State& state)
{
    FilterState s = allLevels();
    s.sortColumn = ColumnId::process;
    timed(state, "sort by Process, all levels", [&] {
        benchmark::DoNotOptimize(Pipeline::filteredEntries(s, g_entries, false));
    });
}

// The filtered list of the Process sort above, sorted by date with std::sort.
void BM_StdSortByDate(benchmark::State& state)
{
    const LogEntryList matching = Pipeline::matchingEntries(allLevels(), g_entries, false, false);
    for (auto _ : state) {
        double cpu = 0;
        const double s = DateSort::time(matching, cpu);
        g_cpu["std::sort by date"].push_back(cpu);
        g_times["std::sort by date"].push_back(s);
        state.SetIterationTime(s);
    }
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

BENCHMARK(BM_SearchKeystrokeDefaultLevels)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SearchKeystrokeAllLevels)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SearchKeystrokeWithDropdowns)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SearchKeystrokeEvaluate)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SearchCorpus)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_TimelineBuckets)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SearchKeystrokeWithTimeline)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SearchKeystrokeHiddenAndPatterns)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_TemplatedKeystroke)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_TemplatedKeystrokeHiddenAndPatterns)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SortByProcess)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_StdSortByDate)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    g_entries = makeEntries();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const double base = median(g_times["std::sort by date"]);
    const double cpuBase = median(g_cpu["std::sort by date"]);
    std::printf("\nmedians over %d entries (%lld listed with all levels), wall and thread CPU time:\n", kEntries,
                static_cast<long long>(Pipeline::matchingEntries(allLevels(), g_entries, false, false).size()));
    for (const auto& [name, times] : g_times) {
        const double m = median(times), c = median(g_cpu[name]);
        std::printf("  %-36s %8.3f ms %6.2fx   cpu %8.3f ms %6.2fx std::sort by date\n", name.c_str(), m * 1e3,
                    base > 0 ? m / base : 0, c * 1e3, cpuBase > 0 ? c / cpuBase : 0);
    }
    const double plain = median(g_times["keystroke + dropdowns, one pass"]);
    const double withTimeline = median(g_times["keystroke + dropdowns + timeline"]);
    std::printf("timeline: buckets %.3f ms (goal <= 2 ms); keystroke with it %.2fx without (goal <= 1.2x)\n",
                median(g_times["timeline buckets, 50,000 entries"]) * 1e3, plain > 0 ? withTimeline / plain : 0);
    const double hidden = median(g_times["keystroke + 3 hide rules + patterns"]);
    const double templated = median(g_times["templated: keystroke"]);
    const double templatedHidden = median(g_times["templated: keystroke + 3 hide rules + patterns"]);
    std::printf("keystroke with 3 hide rules and the Patterns view %.2fx without them (goal <= 1.2x): "
                "%.2fx with one pattern per message, %.2fx with 441 templates\n",
                templated > 0 ? templatedHidden / templated : 0, plain > 0 ? hidden / plain : 0,
                templated > 0 ? templatedHidden / templated : 0);
    return 0;
}
