// The last hour of a large `log show --style ndjson` export (1.7 GB by
// default; VELLACORD_BENCH_NDJSON_MB sets another size), written into /tmp:
// the whole-file load as the application opens it, the first range read
// after it (which scans what the capped load did not reach and learns the
// file's order), then the same range again, found by bisection (goal: at
// most 100 ms).

#include "logs/LogQuery.h"
#include "logs/ndjson/NdjsonOrder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <vector>

namespace {
QString g_file;
double g_first = 0, g_last = 0;
std::vector<double> g_load, g_scan, g_bisected;
qsizetype g_inRange = 0;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Events 0.3 s apart, about 850 bytes each, until the file has `bytes`.
bool makeFile(const QString& path, long long bytes)
{
    std::FILE* f = std::fopen(path.toLocal8Bit().constData(), "w");
    if (!f)
        return false;
    std::mt19937 rng(11);
    const char* types[] = {"Default", "Info", "Debug", "Error", "Fault"};
    std::string padding(420, 'x');
    long long written = 0;
    long long ms = 1767000000LL * 1000;
    g_first = double(ms) / 1000;
    char stamp[64], line[2048];
    while (written < bytes) {
        ms += 300;
        const std::time_t s = std::time_t(ms / 1000);
        std::tm tm{};
        gmtime_r(&s, &tm);
        std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03lld000+0000", tm.tm_year + 1900,
                      tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, ms % 1000);
        const int n = std::snprintf(
            line, sizeof line,
            "{\"traceID\":%u,\"eventMessage\":\"connection %u invalidated after %s\",\"eventType\":\"logEvent\","
            "\"source\":null,\"formatString\":\"%%{public}s\",\"activityIdentifier\":%u,\"subsystem\":\"com.apple.xpc\","
            "\"category\":\"connection\",\"threadID\":%u,\"senderImageUUID\":\"6F2A1C3E-9B4D-3E8F-A1B2-C3D4E5F60718\","
            "\"bootUUID\":\"\",\"processImagePath\":\"/sbin/launchd\",\"senderImagePath\":\"/usr/lib/system/libxpc.dylib\","
            "\"timestamp\":\"%s\",\"machTimestamp\":%llu,\"messageType\":\"%s\",\"processID\":%u,"
            "\"parentActivityIdentifier\":0,\"timezoneName\":\"\"}\n",
            unsigned(rng()), unsigned(rng() % 100000), padding.c_str(), unsigned(rng() % 100000),
            unsigned(rng() % 2000000), stamp, (unsigned long long)(ms * 24000), types[rng() % 5],
            unsigned(rng() % 90000));
        std::fwrite(line, 1, size_t(n), f);
        written += n;
    }
    g_last = double(ms) / 1000;
    return std::fclose(f) == 0;
}

double timed(double start, double end, benchmark::State& state)
{
    QElapsedTimer t;
    t.start();
    const QueryResult r = queryEntries(start, end, g_file);
    const double s = t.nsecsElapsed() / 1e9;
    if (!r.ok())
        state.SkipWithError("query failed");
    g_inRange = r.entries.size();
    state.SetIterationTime(s);
    return s;
}

void BM_WholeFileLoad(benchmark::State& state)
{
    for (auto _ : state) {
        Ndjson::forgetOrders();
        g_load.push_back(timed(kDistantPast, g_last + 1, state));
    }
}

void BM_FirstLastHour(benchmark::State& state)
{
    for (auto _ : state)
        g_scan.push_back(timed(g_last - 3600, g_last, state));
}

void BM_LastHourBisected(benchmark::State& state)
{
    for (auto _ : state)
        g_bisected.push_back(timed(g_last - 3600, g_last, state));
}
}  // namespace

BENCHMARK(BM_WholeFileLoad)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FirstLastHour)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_LastHourBisected)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("com.corvistra.Vellacord.*=false"));
    const long long mb = std::max(1LL, std::atoll(qgetenv("VELLACORD_BENCH_NDJSON_MB").isEmpty()
                                                      ? "1700"
                                                      : qgetenv("VELLACORD_BENCH_NDJSON_MB").constData()));
    QTemporaryDir dir(QStringLiteral("/tmp/vellacord-bench-XXXXXX"));
    g_file = dir.path() + "/export.ndjson";
    if (!makeFile(g_file, mb << 20)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(g_file));
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("%lld MB export, last hour (%lld entries): whole-file load median %.1f ms, first range read %.1f ms, "
                "bisected median %.1f ms (goal <= 100 ms), scan/bisected %.1fx\n",
                mb, static_cast<long long>(g_inRange), median(g_load) * 1e3, median(g_scan) * 1e3,
                median(g_bisected) * 1e3, median(g_bisected) > 0 ? median(g_scan) / median(g_bisected) : 0.0);
    return 0;
}
