// Reads 50,000 entries of a journal archive through queryEntries, and the same
// archive through `journalctl --directory=… -o export`, and prints the ratio.

#include "bench/support/JournalBench.h"
#include "logs/LogQuery.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {
QString g_archive;
std::vector<double> g_ours, g_journalctl;

void BM_QueryEntries(benchmark::State& state)
{
    JournalBench::timeCall(state, g_ours, [&] {
        const QueryResult r = queryEntries(kDistantPast, wallClockNow(), g_archive);
        if (r.entries.size() != 50000)
            state.SkipWithError("wrong entry count");
    });
}

void BM_JournalctlExport(benchmark::State& state)
{
    JournalBench::timeCommand(state, JournalBench::journalctl(g_archive, "-o export"), g_journalctl);
}
}  // namespace

BENCHMARK(BM_QueryEntries)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);
BENCHMARK(BM_JournalctlExport)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("com.corvistra.Vellacord.*=false"));
    QTemporaryDir dir;
    QList<JournalFixture::Record> records = JournalBench::backupRecords(50000);
    for (int i = 0; i < records.size(); ++i) {
        records[i].set("_COMM", "backupd").set("TID", QByteArray::number(i % 300));
        records[i].set("SUBSYSTEM", "com.example.backup").set("CATEGORY", "engine");
    }
    g_archive = dir.path() + "/Bench.logarchive";
    if (!JournalBench::write(g_archive, records))
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double ours = JournalBench::median(g_ours), theirs = JournalBench::median(g_journalctl);
    std::printf("queryEntries median %.1f ms, journalctl -o export median %.1f ms, ratio %.2fx (goal <= 1.0x)\n",
                ours * 1e3, theirs * 1e3, theirs > 0 ? ours / theirs : 0.0);
    return 0;
}
