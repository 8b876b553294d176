// Reading a `log show --style ndjson` export of 50,000 events through the log
// query, against `jq -c .` on the same file (the goal: at most 1.0x jq's time).

#include "logs/LogQuery.h"
#include "logs/ndjson/NdjsonEvent.h"

#include <QLoggingCategory>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kEvents = 50000;
QString g_file;
double g_jqSeconds = 0;

struct Source {
    const char* process;
    const char* sender;
    const char* subsystem;
    const char* category;
};

// What a Mac's log mostly holds: Apple daemons through their frameworks, some apps.
const Source kSources[] = {
    {"/sbin/launchd", "/usr/lib/system/libxpc.dylib", "com.apple.xpc", "connection"},
    {"/System/Library/CoreServices/launchservicesd",
     "/System/Library/Frameworks/CoreServices.framework/Versions/A/Frameworks/LaunchServices.framework/Versions/A/"
     "LaunchServices",
     "com.apple.launchservices", "db"},
    {"/usr/libexec/runningboardd", "/System/Library/PrivateFrameworks/RunningBoard.framework/Versions/A/RunningBoard",
     "com.apple.runningboard", "process"},
    {"/kernel", "/System/Library/Extensions/AppleSMC.kext/Contents/MacOS/AppleSMC", "", ""},
    {"/usr/libexec/powerd", "/usr/libexec/powerd", "com.apple.iokit.power", "assertions"},
    {"/Applications/Example.app/Contents/MacOS/Example", "/Applications/Example.app/Contents/MacOS/Example",
     "com.example.app", "network"},
    {"/System/Library/Frameworks/WebKit.framework/Versions/A/XPCServices/com.apple.WebKit.Networking.xpc/Contents/"
     "MacOS/com.apple.WebKit.Networking",
     "/System/Library/Frameworks/CFNetwork.framework/Versions/A/CFNetwork", "com.apple.CFNetwork", "Summary"},
};
const char* kTypes[] = {"Default", "Default", "Info", "Debug", "Error", "Fault", "Default", "Info"};
const char* kWords[] = {"connection", "invalidated", "because", "the", "remote", "process", "exited",
                        "assertion", "acquired", "for", "pid", "state", "changed", "to", "running-active",
                        "Task", "<private>", "received", "response", "status=200", "bytes=5823", "\\\"quoted\\\"",
                        "caf\\u00e9", "ok"};

std::string makeFile(const std::string& path)
{
    std::mt19937 rng(42);
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f)
        return {};
    char stamp[64];
    char buf[4096];
    long long us = 1767605400LL * 1000000;
    for (int i = 0; i < kEvents; ++i) {
        us += 1 + rng() % 50000;
        const long long local = us / 1000000 + 3600;
        const int sec = int(local % 60), min = int(local / 60 % 60), hour = int(local / 3600 % 24);
        std::snprintf(stamp, sizeof stamp, "2026-01-05 %02d:%02d:%02d.%06lld+0100", hour, min, sec, us % 1000000);
        const Source& s = kSources[rng() % std::size(kSources)];
        if (rng() % 10 == 0) {  // activities and signposts among the messages
            std::snprintf(buf, sizeof buf,
                          "{\"traceID\":%u,\"eventMessage\":\"\",\"eventType\":\"%s\",\"source\":null,"
                          "\"formatString\":\"\",\"activityIdentifier\":%u,\"subsystem\":\"%s\",\"category\":\"%s\","
                          "\"threadID\":%u,\"senderImageUUID\":\"6F2A1C3E-9B4D-3E8F-A1B2-C3D4E5F60718\","
                          "\"bootUUID\":\"\",\"processImagePath\":\"%s\",\"senderImagePath\":\"%s\","
                          "\"timestamp\":\"%s\",\"machTimestamp\":%llu,\"messageType\":\"\","
                          "\"processImageUUID\":\"0A1B2C3D-4E5F-3A6B-9C7D-8E9F0A1B2C3D\",\"processID\":%u,"
                          "\"senderProgramCounter\":%u,\"parentActivityIdentifier\":0,\"timezoneName\":\"\"}\n",
                          unsigned(rng()), i % 2 ? "activityCreateEvent" : "signpostEvent", unsigned(rng() % 100000),
                          s.subsystem, s.category, unsigned(rng() % 2000000), s.process, s.sender, stamp,
                          (unsigned long long)(us * 24), unsigned(rng() % 90000), unsigned(rng() % 300000));
        } else {
            std::string message;
            const int words = 4 + int(rng() % 30);
            for (int w = 0; w < words; ++w) {
                if (w)
                    message += ' ';
                message += kWords[rng() % std::size(kWords)];
            }
            std::snprintf(buf, sizeof buf,
                          "{\"traceID\":%u,\"eventMessage\":\"%s\",\"eventType\":\"logEvent\",\"source\":null,"
                          "\"formatString\":\"%%{public}s: %%{public}@\",\"activityIdentifier\":%u,"
                          "\"subsystem\":\"%s\",\"category\":\"%s\",\"threadID\":%u,"
                          "\"senderImageUUID\":\"6F2A1C3E-9B4D-3E8F-A1B2-C3D4E5F60718\","
                          "\"backtrace\":{\"frames\":[{\"imageOffset\":%u,"
                          "\"imageUUID\":\"6F2A1C3E-9B4D-3E8F-A1B2-C3D4E5F60718\"}]},"
                          "\"bootUUID\":\"\",\"processImagePath\":\"%s\",\"senderImagePath\":\"%s\","
                          "\"timestamp\":\"%s\",\"machTimestamp\":%llu,\"messageType\":\"%s\","
                          "\"processImageUUID\":\"0A1B2C3D-4E5F-3A6B-9C7D-8E9F0A1B2C3D\",\"processID\":%u,"
                          "\"senderProgramCounter\":%u,\"parentActivityIdentifier\":0,\"timezoneName\":\"\"}\n",
                          unsigned(rng()), message.c_str(), unsigned(rng() % 100000), s.subsystem, s.category,
                          unsigned(rng() % 2000000), unsigned(rng() % 300000), s.process, s.sender, stamp,
                          (unsigned long long)(us * 24), kTypes[rng() % std::size(kTypes)], unsigned(rng() % 90000),
                          unsigned(rng() % 300000));
        }
        std::fputs(buf, f);
    }
    std::fclose(f);
    return path;
}

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Median of several runs of `jq -c . file > /dev/null`; 0 when jq is missing.
double timeJq(const QString& file, int runs)
{
    const std::string cmd = "jq -c . '" + file.toStdString() + "' > /dev/null";
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        if (std::system(cmd.c_str()) != 0)
            return 0;
        t.push_back(seconds(std::chrono::steady_clock::now() - t0));
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

void BM_ReadNdjson50k(benchmark::State& state)
{
    std::vector<double> runs;
    qsizetype count = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const QueryResult r = queryEntries(kDistantPast, 1.0e10, g_file);
        runs.push_back(seconds(std::chrono::steady_clock::now() - t0));
        count = r.entries.size();
        benchmark::DoNotOptimize(r.entries.data());
    }
    std::sort(runs.begin(), runs.end());
    const double median = runs[runs.size() / 2];
    state.counters["entries"] = double(count);
    state.counters["median_s"] = median;
    state.counters["jq_s"] = g_jqSeconds;
    if (g_jqSeconds > 0)
        state.counters["ratio_vs_jq"] = median / g_jqSeconds;
}
BENCHMARK(BM_ReadNdjson50k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

// The line parser alone, over lines already in memory.
void BM_ParseLines(benchmark::State& state)
{
    std::FILE* f = std::fopen(g_file.toLocal8Bit().constData(), "r");
    std::vector<std::string> lines;
    char buf[8192];
    while (f && std::fgets(buf, sizeof buf, f)) {
        std::string l(buf);
        if (!l.empty() && l.back() == '\n')
            l.pop_back();
        lines.push_back(std::move(l));
    }
    if (f)
        std::fclose(f);
    Ndjson::LineParser parser;
    RawEntry raw;
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (const std::string& l : lines) {
            benchmark::DoNotOptimize(parser.parse(l.data(), l.size(), raw));
            bytes += l.size();
        }
    }
    state.SetBytesProcessed(int64_t(bytes));
}
BENCHMARK(BM_ParseLines)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    QLoggingCategory::setFilterRules(QStringLiteral("com.corvistra.Vellacord.*=false"));
    QTemporaryDir dir;
    g_file = QString::fromStdString(makeFile((dir.path() + QStringLiteral("/export.ndjson")).toStdString()));
    if (g_file.isEmpty()) {
        std::fprintf(stderr, "cannot write the event file\n");
        return 1;
    }
    g_jqSeconds = timeJq(g_file, 5);
    if (g_jqSeconds == 0)
        std::fprintf(stderr, "jq not found (scripts/setup installs it): no ratio\n");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
