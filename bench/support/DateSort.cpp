#include "bench/support/DateSort.h"

#include <QElapsedTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>

namespace DateSort {

double threadSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

double time(const LogEntryList& entries, double& cpu)
{
    LogEntryList copy = entries;
    copy.detach();
    QElapsedTimer t;
    const double cpuStart = threadSeconds();
    t.start();
    std::sort(copy.begin(), copy.end(), [](const LogEntry& a, const LogEntry& b) { return a.date < b.date; });
    const double s = double(t.nsecsElapsed()) / 1e9;
    cpu = threadSeconds() - cpuStart;
    benchmark::DoNotOptimize(copy);
    return s;
}

}  // namespace DateSort
