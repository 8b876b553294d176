// The per-redraw cache test (one SHA-256 of the entry text), a store into a
// full 1000-record cache (whole-file rewrite, atomic), and the answer parsers.

#include "ai/AIExplainer.h"
#include "ai/ExplanationCache.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

LogEntry sampleEntry(int i)
{
    LogEntry e;
    e.id = QUuid::createUuid();
    e.level = 4;
    e.process = QStringLiteral("backupd");
    e.subsystem = QStringLiteral("com.apple.TimeMachine");
    e.message = QStringLiteral("Backup failed with error 19: the destination disk could not be found (attempt %1)").arg(i);
    return e;
}

void BM_IsCached(benchmark::State& state)
{
    QTemporaryDir dir;
    ExplanationCache cache(dir.path());
    const LogEntry e = sampleEntry(1);
    for (auto _ : state)
        benchmark::DoNotOptimize(cache.isCached(e));
}
BENCHMARK(BM_IsCached);

void BM_StoreIntoFullCache(benchmark::State& state)
{
    QTemporaryDir dir;
    ExplanationCache cache(dir.path());
    // Explanations of a realistic size: about 2 KB each.
    const QString text = QString(QStringLiteral("This entry means the backup destination was unavailable. ")).repeated(35);
    for (int i = 0; i < 1000; ++i)
        cache.store(ExplanationCache::cacheKey(sampleEntry(i)), text);
    int n = 1000;
    for (auto _ : state)
        cache.store(ExplanationCache::cacheKey(sampleEntry(n++)), text);
    state.counters["records"] = cache.count();
}
BENCHMARK(BM_StoreIntoFullCache)->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_ParseAnalysis(benchmark::State& state)
{
    LogEntryList batch;
    for (int i = 0; i < 100; ++i)
        batch << sampleEntry(i);
    QString answer;
    for (int i = 0; i < 5; ++i)
        answer += QStringLiteral("ENTRY: [%1]\nTITLE: Repeated backup failures seen\nCONCERN: Backups have not completed, so data is at risk.\n\n").arg(i * 17);
    for (auto _ : state)
        benchmark::DoNotOptimize(AIExplainer::parseAnalysis(answer, batch));
}
BENCHMARK(BM_ParseAnalysis)->Unit(benchmark::kMicrosecond);

void BM_BatchMessage(benchmark::State& state)
{
    LogEntryList batch;
    for (int i = 0; i < 100; ++i)
        batch << sampleEntry(i);
    for (auto _ : state)
        benchmark::DoNotOptimize(AIExplainer::batchMessage(batch));
}
BENCHMARK(BM_BatchMessage)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
