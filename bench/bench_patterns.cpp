// The patterns of 50,000 entries against a plain std::sort by date of the
// same list (dates shuffled), in the same run: journal-like messages masked
// from scratch; unified entries, whose format strings are their patterns; a
// tail tick lending from the previous table; the Patterns view's counting
// pass. Prints the medians and their ratios at the end.

#include "bench/support/DateSort.h"
#include "browser/PatternTable.h"
#include "browser/TestedFields.h"

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
LogEntryList g_journal;  // messages only: every one is masked
LogEntryList g_unified;  // with shared format strings
std::map<std::string, std::vector<double>> g_times;
std::map<std::string, std::vector<double>> g_cpu;  // thread CPU time: fair on a busy machine

// Messages as a Linux journal has them: numbers, addresses, paths, UUIDs,
// quoted names, durations and sizes among words.
QString journalMessage(std::mt19937& rng)
{
    const auto n = [&](int most) { return QString::number(rng() % unsigned(most)); };
    const auto hex = [&](int digits) {
        return QStringLiteral("%1").arg(quint64(rng()) << 32 | rng(), 16, 16, QLatin1Char('0')).right(digits);
    };
    const auto two = [&](int most) { return QStringLiteral("%1").arg(rng() % unsigned(most), 2, 10, QLatin1Char('0')); };
    const QStringList users{"alice", "bob", "root", "git", "www-data"};
    const QString user = users[int(rng() % users.size())];
    switch (rng() % 16) {
    case 0: return QStringLiteral("Started Session %1 of User %2.").arg(n(5000), user);
    case 1: return QStringLiteral("pam_unix(sshd:session): session opened for user %1(uid=%2) by (uid=0)").arg(user, n(2000));
    case 2:
        return QStringLiteral("Accepted publickey for %1 from 192.168.%2.%3 port %4 ssh2: ED25519 SHA256:%5")
            .arg(user, n(255), n(255), n(65535), hex(12));
    case 3: return QStringLiteral("wlan0: associated with %1:%2:%3:%4:%5:%6").arg(hex(2), hex(2), hex(2), hex(2), hex(2), hex(2));
    case 4: return QStringLiteral("Consumed %1.%2s CPU time, %3.%4M memory peak.").arg(n(60), n(999), n(900), n(9));
    case 5: return QStringLiteral("usb 1-%1: new high-speed USB device number %2 using xhci_hcd").arg(n(9), n(127));
    case 6:
        return QStringLiteral("EXT4-fs (sda%1): mounted filesystem %2-%3-%4-%5-%6 with ordered data mode. Quota mode: none.")
            .arg(n(9), hex(8), hex(4), hex(4), hex(4), hex(12));
    case 7: return QStringLiteral("Failed to open \"/var/lib/%1/state-%2.db\": No such file or directory").arg(user, n(100));
    case 8:
        return QStringLiteral("CPU%1: Core temperature above threshold, cpu clock throttled (total events = %2)").arg(n(8), n(100000));
    case 9: return QStringLiteral("GET /api/v1/items/%1 HTTP/1.1 200 %2 bytes in %3ms").arg(n(100000), n(90000), n(900));
    case 10:
        return QStringLiteral("audit: type=1400 audit(1700000000.%1:%2): apparmor=\"DENIED\" operation=\"open\" "
                              "profile=\"snap.%3\" name=\"/proc/%4/mounts\" pid=%4 comm=\"%3\"")
            .arg(n(999), n(9999), user, n(40000));
    case 11: return QStringLiteral("Connection to 10.0.%1.%2:%3 timed out after %4 seconds").arg(n(255), n(255), n(65535), n(120));
    case 12: return QStringLiteral("NetworkManager state changed to CONNECTED_GLOBAL (reason 'none')");
    case 13: return QStringLiteral("worker %1 exited at 2026-01-05T09:%2:%3Z, freed %4 KiB").arg(n(64), two(60), two(60), n(4096));
    case 14: return QStringLiteral("Reloading configuration of cups.service: 0x%1 flags, fe80::%2:%3 link").arg(hex(8), hex(4), hex(4));
    default: return QStringLiteral("VM Started with %1 vCPUs and %2 GiB, image ~/vms/%3.qcow2").arg(n(16), n(64), user);
    }
}

LogEntry makeEntry(std::mt19937& rng, const QStringList& processes)
{
    static const int levels[] = {1, 1, 2, 2, 3, 3, 4, 5};
    LogEntry e;
    e.id = makeEntryId();
    e.date = 1'700'000'000 + std::uniform_real_distribution<double>(0, 3600)(rng);  // shuffled
    e.level = levels[rng() % 8];
    e.process = processes[int(rng() % processes.size())];
    return e;
}

QStringList processNames()
{
    QStringList out;
    for (int i = 0; i < 80; ++i)
        out << QStringLiteral("proc%1d").arg(i);
    return out;
}

LogEntryList journalEntries()
{
    std::mt19937 rng(20260105);
    const QStringList processes = processNames();
    LogEntryList out;
    out.reserve(kEntries);
    for (int i = 0; i < kEntries; ++i) {
        LogEntry e = makeEntry(rng, processes);
        e.message = journalMessage(rng);
        out.append(e);
    }
    return out;
}

// 800 format strings, many entries to each, as the unified reader shares them.
LogEntryList unifiedEntries()
{
    std::mt19937 rng(20260106);
    const QStringList processes = processNames();
    std::vector<std::shared_ptr<const MessageTemplate>> formats;
    for (int i = 0; i < 800; ++i) {
        auto t = std::make_shared<MessageTemplate>();
        t->format = QStringLiteral("component %1: request %{public}s finished with %d in %.3f s").arg(i);
        t->found = i % 50 != 0;  // a few missing
        t->image = QUuid::createUuid();
        t->offset = quint64(i) * 64;
        formats.push_back(std::move(t));
    }
    LogEntryList out;
    out.reserve(kEntries);
    for (int i = 0; i < kEntries; ++i) {
        LogEntry e = makeEntry(rng, processes);
        e.messageTemplate = formats[rng() % formats.size()];
        e.message = QStringLiteral("request %1 finished with %2").arg(rng() % 1000).arg(rng() % 3);
        out.append(e);
    }
    return out;
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

void BM_StdSortByDate(benchmark::State& state)
{
    for (auto _ : state) {
        double cpu = 0;
        const double s = DateSort::time(g_journal, cpu);
        g_cpu["std::sort by date"].push_back(cpu);
        g_times["std::sort by date"].push_back(s);
        state.SetIterationTime(s);
    }
}

void BM_PatternsMasked(benchmark::State& state)
{
    timed(state, "patterns, journal (masked)", [] { benchmark::DoNotOptimize(PatternTable(g_journal)); });
}

void BM_PatternsUnified(benchmark::State& state)
{
    timed(state, "patterns, unified (formats)", [] { benchmark::DoNotOptimize(PatternTable(g_unified)); });
}

// A tail tick: the oldest 500 entries dropped, 500 new ones appended.
void BM_PatternsTailTick(benchmark::State& state)
{
    const PatternTable previous(g_journal);
    LogEntryList next = g_journal.mid(500);
    std::mt19937 rng(7);
    const QStringList processes = processNames();
    for (int i = 0; i < 500; ++i) {
        LogEntry e = makeEntry(rng, processes);
        e.message = journalMessage(rng);
        next.append(e);
    }
    timed(state, "patterns, tail tick lending", [&] { benchmark::DoNotOptimize(PatternTable(next, &previous)); });
}

// The Patterns view's pass over every entry, and its sorted rows.
void BM_PatternCounter(benchmark::State& state)
{
    const PatternTable table(g_journal);
    const TestedFields fields(g_journal);
    timed(state, "counting pass + summaries", [&] {
        PatternCounter counter(table, fields.process, quint32(fields.processNames.size()));
        for (size_t i = 0; i < fields.date.size(); ++i)
            counter.add(i, fields.level[i], fields.date[i]);
        benchmark::DoNotOptimize(counter.summaries());
    });
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

BENCHMARK(BM_StdSortByDate)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PatternsMasked)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PatternsUnified)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PatternsTailTick)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PatternCounter)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    g_journal = journalEntries();
    g_unified = unifiedEntries();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const double base = median(g_times["std::sort by date"]);
    const double cpuBase = median(g_cpu["std::sort by date"]);
    std::printf("\nmedians over %d entries (%lld distinct journal patterns), wall and thread CPU time:\n", kEntries,
                static_cast<long long>(PatternTable(g_journal).texts.size()));
    for (const auto& [name, times] : g_times) {
        const double m = median(times), c = median(g_cpu[name]);
        std::printf("  %-30s %8.3f ms %6.2fx   cpu %8.3f ms %6.2fx std::sort by date\n", name.c_str(), m * 1e3,
                    base > 0 ? m / base : 0, c * 1e3, cpuBase > 0 ? c / cpuBase : 0);
    }
    std::printf("goal: patterns of the whole list, masking included, <= 1.0x std::sort by date\n");
    return 0;
}
