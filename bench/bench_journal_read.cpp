// Reads 50,000 entries of a journal archive through queryEntries, and the same
// archive through `journalctl --directory=… -o export`, and prints the ratio.

#include "logs/LogQuery.h"
#include "tests/support/JournalFixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {
QString g_archive;
std::vector<double> g_ours, g_journalctl;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void BM_QueryEntries(benchmark::State& state)
{
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        const QueryResult r = queryEntries(kDistantPast, wallClockNow(), g_archive);
        const double s = t.nsecsElapsed() / 1e9;
        if (r.entries.size() != 50000)
            state.SkipWithError("wrong entry count");
        g_ours.push_back(s);
        state.SetIterationTime(s);
    }
}

void BM_JournalctlExport(benchmark::State& state)
{
    const QByteArray cmd = "journalctl --directory='" + g_archive.toUtf8() + "' -o export > /dev/null";
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        if (std::system(cmd.constData()) != 0)
            state.SkipWithError("journalctl failed");
        const double s = t.nsecsElapsed() / 1e9;
        g_journalctl.push_back(s);
        state.SetIterationTime(s);
    }
}
}

BENCHMARK(BM_QueryEntries)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);
BENCHMARK(BM_JournalctlExport)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("com.corvistra.Vellacord.*=false"));
    QTemporaryDir dir;
    QList<JournalFixture::Record> records;
    records.reserve(50000);
    const double base = 1767600000;
    for (int i = 0; i < 50000; ++i) {
        auto r = JournalFixture::message(base + i * 0.05, i % 7 ? "backupd" : "kernel",
                                         "Backup step " + QByteArray::number(i) + " finished with status "
                                             + QByteArray::number(i % 13) + " after copying files to the target volume",
                                         i % 8);
        r.set("_PID", QByteArray::number(100 + i % 50)).set("_COMM", "backupd").set("TID", QByteArray::number(i % 300));
        r.set("SUBSYSTEM", "com.example.backup").set("CATEGORY", "engine");
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
    const double ours = median(g_ours), theirs = median(g_journalctl);
    std::printf("queryEntries median %.1f ms, journalctl -o export median %.1f ms, ratio %.2fx (goal <= 1.0x)\n",
                ours * 1e3, theirs * 1e3, theirs > 0 ? ours / theirs : 0.0);
    return 0;
}
