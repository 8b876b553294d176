// `vellacord-cli logs` over a 50,000-entry journal archive as whole processes,
// timed in one run beside journalctl over the same files: rows against
// `-o short-iso`, json against `-o json` (goal: at most 1.0x each).

#include "tests/support/JournalFixture.h"
#include "tests/support/TestEnv.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {
QString g_archive;
std::map<std::string, std::vector<double>> g_times;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void run(benchmark::State& state, const std::string& name, const QByteArray& cmd)
{
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        if (std::system(cmd.constData()) != 0)
            state.SkipWithError("command failed");
        const double s = t.nsecsElapsed() / 1e9;
        g_times[name].push_back(s);
        state.SetIterationTime(s);
    }
}

QByteArray cli(const char* format)
{
    return "'" + TestEnv::cliPath().toUtf8() + "' logs --archive '" + g_archive.toUtf8() +
           "' --level fault,error,notice,info,debug --format " + format + " > /dev/null 2>&1";
}

QByteArray journalctl(const char* output)
{
    return "journalctl --directory='" + g_archive.toUtf8() + "' -o " + output + " > /dev/null";
}

void BM_CliRows(benchmark::State& s) { run(s, "rows", cli("rows")); }
void BM_JournalctlShortIso(benchmark::State& s) { run(s, "short-iso", journalctl("short-iso")); }
void BM_CliJson(benchmark::State& s) { run(s, "json", cli("json")); }
void BM_JournalctlJson(benchmark::State& s) { run(s, "journalctl json", journalctl("json")); }
}  // namespace

BENCHMARK(BM_CliRows)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);
BENCHMARK(BM_JournalctlShortIso)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);
BENCHMARK(BM_CliJson)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);
BENCHMARK(BM_JournalctlJson)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QList<JournalFixture::Record> records;
    records.reserve(50000);
    for (int i = 0; i < 50000; ++i) {
        auto r = JournalFixture::message(1767600000 + i * 0.05, i % 7 ? "backupd" : "kernel",
                                         "Backup step " + QByteArray::number(i) + " finished with status " +
                                             QByteArray::number(i % 13) + " after copying files to the target volume",
                                         i % 8);
        r.set("_PID", QByteArray::number(100 + i % 50)).set("_HOSTNAME", "web-01");
        records.append(r);
    }
    g_archive = dir.path() + "/Bench.logarchive";
    const QString error = JournalFixture::writeJournal(g_archive, records);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double rows = median(g_times["rows"]), iso = median(g_times["short-iso"]);
    const double json = median(g_times["json"]), jjson = median(g_times["journalctl json"]);
    std::printf("50,000 entries: rows %.1f ms vs journalctl -o short-iso %.1f ms, ratio %.2fx; json %.1f ms vs "
                "journalctl -o json %.1f ms, ratio %.2fx (goal <= 1.0x each)\n",
                rows * 1e3, iso * 1e3, iso > 0 ? rows / iso : 0.0, json * 1e3, jjson * 1e3,
                jjson > 0 ? json / jjson : 0.0);
    return 0;
}
