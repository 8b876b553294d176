// `vellacord-cli logs` over a 50,000-entry journal archive as whole processes,
// timed in one run beside journalctl over the same files: rows against
// `-o short-iso`, json against `-o json` (goal: at most 1.0x each).

#include "bench/support/JournalBench.h"
#include "tests/support/TestEnv.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {
QString g_archive;
std::map<std::string, std::vector<double>> g_times, g_cpu;

QByteArray cli(const char* format)
{
    return "'" + TestEnv::cliPath().toUtf8() + "' logs --archive '" + g_archive.toUtf8() +
           "' --level fault,error,notice,info,debug --format " + format + " > /dev/null 2>&1";
}

void BM_CliRows(benchmark::State& s) { JournalBench::timeCommand(s, cli("rows"), g_times["rows"], &g_cpu["rows"]); }
void BM_JournalctlShortIso(benchmark::State& s)
{
    JournalBench::timeCommand(s, JournalBench::journalctl(g_archive, "-o short-iso"), g_times["short-iso"], &g_cpu["short-iso"]);
}
void BM_CliJson(benchmark::State& s) { JournalBench::timeCommand(s, cli("json"), g_times["json"], &g_cpu["json"]); }
void BM_JournalctlJson(benchmark::State& s)
{
    JournalBench::timeCommand(s, JournalBench::journalctl(g_archive, "-o json"), g_times["journalctl json"], &g_cpu["journalctl json"]);
}
}  // namespace

BENCHMARK(BM_CliRows)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);
BENCHMARK(BM_JournalctlShortIso)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);
BENCHMARK(BM_CliJson)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);
BENCHMARK(BM_JournalctlJson)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QList<JournalFixture::Record> records = JournalBench::backupRecords(50000);
    for (auto& r : records)
        r.set("_HOSTNAME", "web-01");
    g_archive = dir.path() + "/Bench.logarchive";
    if (!JournalBench::write(g_archive, records))
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    using JournalBench::median;
    const auto line = [](const char* what, const std::map<std::string, std::vector<double>>& t) {
        const auto m = [&](const char* k) { return t.count(k) ? median(t.at(k)) : 0.0; };
        const double rows = m("rows"), iso = m("short-iso"), json = m("json"), jjson = m("journalctl json");
        std::printf("50,000 entries, %s: rows %.1f ms vs journalctl -o short-iso %.1f ms, ratio %.2fx; json %.1f ms vs "
                    "journalctl -o json %.1f ms, ratio %.2fx (goal <= 1.0x each)\n",
                    what, rows * 1e3, iso * 1e3, iso > 0 ? rows / iso : 0.0, json * 1e3, jjson * 1e3,
                    jjson > 0 ? json / jjson : 0.0);
    };
    line("wall", g_times);
    line("cpu of the processes", g_cpu);
    return 0;
}
