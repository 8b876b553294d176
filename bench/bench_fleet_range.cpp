// A collector's folder: 20 journal files of 50,000 entries, one machine each,
// spread over a day. A one-hour range through queryEntries against
// `journalctl --directory=… --since … --until … -o export` over the same hour.

#include "bench/support/JournalBench.h"
#include "logs/LogQuery.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {
constexpr int kMachines = 20;
constexpr int kPerMachine = 50000;
constexpr double kBase = 1767600000;
constexpr double kSpan = 86400;                                  // one day per file
constexpr double kFrom = kBase + 12 * 3600, kTo = kFrom + 3600;  // the hour asked for
QString g_dir;
qsizetype g_inRange = 0;
std::vector<double> g_ours, g_journalctl;

void BM_RangeQuery(benchmark::State& state)
{
    JournalBench::timeCall(state, g_ours, [&] {
        const QueryResult r = queryEntries(kFrom, kTo, g_dir);
        if (!r.ok() || r.stop != QueryStop::complete)
            state.SkipWithError("query failed or was cut");
        g_inRange = r.entries.size();
    });
}

void BM_JournalctlRange(benchmark::State& state)
{
    const QByteArray args = "--since @" + QByteArray::number(qint64(kFrom)) + " --until @" +
                            QByteArray::number(qint64(kTo)) + " -o export";
    JournalBench::timeCommand(state, JournalBench::journalctl(g_dir, args), g_journalctl);
}
}  // namespace

BENCHMARK(BM_RangeQuery)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);
BENCHMARK(BM_JournalctlRange)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("com.corvistra.Vellacord.*=false"));
    QTemporaryDir dir;
    g_dir = dir.path() + "/Fleet.logarchive";
    for (int m = 0; m < kMachines; ++m) {
        const QByteArray host = "host-" + QByteArray::number(m);
        QList<JournalFixture::Record> records;
        records.reserve(kPerMachine);
        for (int i = 0; i < kPerMachine; ++i) {
            const double date = kBase + m * 0.37 + i * (kSpan / kPerMachine);
            auto r = JournalFixture::message(date, i % 5 ? "sshd" : "kernel",
                                             "Accepted publickey for deploy from 10.0.0." + QByteArray::number(i % 250) +
                                                 " port " + QByteArray::number(40000 + i % 20000),
                                             i % 8);
            r.set("_PID", QByteArray::number(100 + i % 50)).set("_HOSTNAME", host);
            records.append(r);
        }
        if (!JournalBench::write(g_dir, records, QStringLiteral("remote-%1.journal").arg(QString::fromLatin1(host))))
            return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double ours = JournalBench::median(g_ours), theirs = JournalBench::median(g_journalctl);
    std::printf("one hour of %d machines (%lld entries): queryEntries median %.1f ms, journalctl --since/--until "
                "-o export median %.1f ms, ratio %.2fx\n",
                kMachines, static_cast<long long>(g_inRange), ours * 1e3, theirs * 1e3, theirs > 0 ? ours / theirs : 0.0);
    return 0;
}
