// A collector's folder: 20 journal files of 50,000 entries, one machine each,
// spread over a day. A one-hour range through queryEntries against
// `journalctl --directory=… --since … --until … -o export` over the same hour.

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
constexpr int kMachines = 20;
constexpr int kPerMachine = 50000;
constexpr double kBase = 1767600000;
constexpr double kSpan = 86400;                      // one day per file
constexpr double kFrom = kBase + 12 * 3600, kTo = kFrom + 3600;  // the hour asked for
QString g_dir;
qsizetype g_inRange = 0;
std::vector<double> g_ours, g_journalctl;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void BM_RangeQuery(benchmark::State& state)
{
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        const QueryResult r = queryEntries(kFrom, kTo, g_dir);
        const double s = t.nsecsElapsed() / 1e9;
        if (!r.ok() || r.stop != QueryStop::complete)
            state.SkipWithError("query failed or was cut");
        g_inRange = r.entries.size();
        g_ours.push_back(s);
        state.SetIterationTime(s);
    }
}

void BM_JournalctlRange(benchmark::State& state)
{
    const QByteArray cmd = "journalctl --directory='" + g_dir.toUtf8() + "' --since @" +
                           QByteArray::number(qint64(kFrom)) + " --until @" + QByteArray::number(qint64(kTo)) +
                           " -o export > /dev/null";
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
        const QString error =
            JournalFixture::writeJournal(g_dir, records, QStringLiteral("remote-%1.journal").arg(QString::fromLatin1(host)));
        if (!error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double ours = median(g_ours), theirs = median(g_journalctl);
    std::printf("one hour of %d machines (%lld entries): queryEntries median %.1f ms, journalctl --since/--until "
                "-o export median %.1f ms, ratio %.2fx\n",
                kMachines, static_cast<long long>(g_inRange), ours * 1e3, theirs * 1e3, theirs > 0 ? ours / theirs : 0.0);
    return 0;
}
