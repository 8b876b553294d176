// Reading a unified-log archive of 1,000,000 log messages (written by
// tools/archivewriter) whole through its store's enumerator, against the same
// messages in `log show --style ndjson` shape through the ndjson store
// (goal: at most 1.0x its time), and the peak memory of the unified read in
// a process of its own (goal: under 200 MB).

#include "logs/LogStore.h"
#include "logs/ndjson/NdjsonLogStore.h"
#include "logs/unified/UnifiedLogStore.h"
#include "tools/archivewriter/ArchiveWriter.h"

#include <QDateTime>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace AW = ArchiveWriter;

namespace {

constexpr int kMessages = 1000000;
constexpr double kBootWall = 1767600000.0;
QString g_bundle, g_ndjson;
double g_unifiedSeconds = 0, g_ndjsonSeconds = 0;

struct Source {
    const char* process;
    const char* sender;
    const char* subsystem;
    const char* category;
};
// What a Mac's log mostly holds: Apple daemons through their frameworks, some apps.
const Source kSources[] = {
    {"/sbin/launchd", "/usr/lib/system/libxpc.dylib", "com.apple.xpc", "connection"},
    {"/System/Library/CoreServices/launchservicesd", "/System/Library/Frameworks/CoreServices.framework/CoreServices",
     "com.apple.launchservices", "db"},
    {"/usr/libexec/runningboardd", "/System/Library/PrivateFrameworks/RunningBoard.framework/RunningBoard",
     "com.apple.runningboard", "process"},
    {"/usr/libexec/powerd", "/usr/libexec/powerd", "com.apple.iokit.power", "assertions"},
    {"/Applications/Example.app/Contents/MacOS/Example", "/Applications/Example.app/Contents/MacOS/Example",
     "com.example.app", "network"},
};
const char* kWords[] = {"connection", "invalidated", "because", "the", "remote", "process", "exited", "assertion",
                        "acquired", "running-active", "Task", "received", "response", "status=200", "ok"};
// Format strings and how many words and numbers each takes.
struct Format {
    const char* text;
    int words;
    int numbers;
};
const Format kFormats[] = {
    {"%{public}s: %{public}@", 2, 0},
    {"Assertion %d acquired for pid %d (%{public}s)", 1, 2},
    {"[%{public}s] state changed to %{public}s after %d ms", 3, 1},
    {"Received %d bytes for task %{public}s", 1, 1},
};

QUuid uuidOf(int kind, int i) { return QUuid(quint32(0xA0000000 + kind), 0, 0x4000, 0x80, 0, 0, 0, 0, 0, 0, quint8(i)); }

struct Message {
    int source;
    int format;
    int level;
    std::string words[3];
    int numbers[2];
    std::string text;
};

Message messageAt(std::mt19937& rng)
{
    Message m;
    m.source = int(rng() % std::size(kSources));
    m.format = int(rng() % std::size(kFormats));
    m.level = int(rng() % 8);
    const Format& f = kFormats[m.format];
    for (int w = 0; w < f.words; ++w)
        m.words[w] = std::string(kWords[rng() % std::size(kWords)]) + (w == 0 ? "" : "-" + std::to_string(rng() % 1000));
    for (int n = 0; n < f.numbers; ++n)
        m.numbers[n] = int(rng() % 100000);
    char buf[256];
    switch (m.format) {
    case 0: std::snprintf(buf, sizeof buf, "%s: %s", m.words[0].c_str(), m.words[1].c_str()); break;
    case 1: std::snprintf(buf, sizeof buf, "Assertion %d acquired for pid %d (%s)", m.numbers[0], m.numbers[1], m.words[0].c_str()); break;
    case 2: std::snprintf(buf, sizeof buf, "[%s] state changed to %s after %d ms", m.words[0].c_str(), m.words[1].c_str(), m.numbers[0]); break;
    default: std::snprintf(buf, sizeof buf, "Received %d bytes for task %s", m.numbers[0], m.words[0].c_str()); break;
    }
    m.text = buf;
    return m;
}

const quint8 kLogTypes[] = {0x00, 0x00, 0x01, 0x02, 0x10, 0x11, 0x00, 0x01};
const char* const kTypeNames[] = {"Default", "Default", "Info", "Debug", "Error", "Fault", "Default", "Info"};

bool writeArchives()
{
    AW::Bundle bundle;
    for (int s = 0; s < int(std::size(kSources)); ++s) {
        AW::Image main{uuidOf(1, s), kSources[s].process, {}};
        for (int f = 0; f < int(std::size(kFormats)); ++f)
            main.strings[quint32(0x1000 + 0x100 * f)] = kFormats[f].text;
        bundle.images.push_back(main);
        bundle.processes.push_back({quint64(100 + s), quint32(1000 + s), 100 + s, 0, main.uuid, std::nullopt, {}, {{1, kSources[s].subsystem, kSources[s].category}}});
    }
    AW::File file;
    file.path = QStringLiteral("Persist/0000000000000001.tracev3");
    file.boot = uuidOf(9, 0);
    file.timebaseNumer = 125;
    file.timebaseDenom = 3;
    file.bootWallSeconds = qint64(kBootWall);

    std::FILE* nd = std::fopen(g_ndjson.toLocal8Bit().constData(), "w");
    if (!nd)
        return false;
    std::mt19937 rng(42);
    qint64 micros = 0;
    int written = 0;
    file.next = [&](AW::Entry& e) {
        if (written == kMessages)
            return false;
        ++written;
        micros += 1 + rng() % 5000;
        const Message m = messageAt(rng);
        e.process = m.source;
        e.continuousTime = quint64(micros) * 24;  // 125/3 ns a unit
        e.logType = kLogTypes[m.level];
        e.thread = 1000 + quint64(m.source);
        e.activity = 0x8000000000000000ULL | quint64(rng() % 100000);
        e.subsystem = 1;
        e.formatOffset = 0x1000 + 0x100 * quint64(m.format);
        const Format& f = kFormats[m.format];
        e.arguments.clear();
        int word = 0, number = 0;
        for (const char* p = f.text; *p; ++p) {
            if (*p != '%')
                continue;
            while (*p && !std::strchr("sd@", *p))
                ++p;
            if (*p == 'd') {
                e.arguments.push_back({0x02, AW::Argument::Where::inlineData,
                                       QByteArray(reinterpret_cast<const char*>(&m.numbers[number++]), 4)});
            } else {
                const std::string& w = m.words[word++];
                e.arguments.push_back({quint8(*p == '@' ? 0x42 : 0x22), AW::Argument::Where::valueData,
                                       QByteArray(w.data(), qsizetype(w.size() + 1))});
            }
        }
        // The same message as `log show --style ndjson` writes it.
        const QString stamp = QDateTime::fromMSecsSinceEpoch(qint64(kBootWall * 1000) + micros / 1000, Qt::UTC)
                                  .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss."));
        std::fprintf(nd,
                     "{\"traceID\":%u,\"eventMessage\":\"%s\",\"eventType\":\"logEvent\",\"source\":null,"
                     "\"formatString\":\"%s\",\"activityIdentifier\":%u,\"subsystem\":\"%s\",\"category\":\"%s\","
                     "\"threadID\":%llu,\"senderImageUUID\":\"%s\",\"bootUUID\":\"\",\"processImagePath\":\"%s\","
                     "\"senderImagePath\":\"%s\",\"timestamp\":\"%s%06lld+0000\",\"machTimestamp\":%llu,"
                     "\"messageType\":\"%s\",\"processImageUUID\":\"%s\",\"processID\":%d,"
                     "\"senderProgramCounter\":0,\"parentActivityIdentifier\":0,\"timezoneName\":\"\"}\n",
                     unsigned(rng()), m.text.c_str(), f.text, unsigned(e.activity.value() & 0xffffff),
                     kSources[m.source].subsystem, kSources[m.source].category, (unsigned long long)e.thread,
                     qPrintable(uuidOf(1, m.source).toString(QUuid::WithoutBraces)), kSources[m.source].process,
                     kSources[m.source].sender, qPrintable(stamp), micros % 1000000,
                     (unsigned long long)e.continuousTime, kTypeNames[m.level],
                     qPrintable(uuidOf(1, m.source).toString(QUuid::WithoutBraces)), 100 + m.source);
        return true;
    };
    bundle.files = {file};
    const AW::Report report = AW::writeBundle(bundle, g_bundle);
    std::fclose(nd);
    if (report.error)
        std::fprintf(stderr, "%s\n", qPrintable(*report.error));
    return !report.error;
}

// Reads every entry of the store through its enumerator; the log messages read.
long readAll(const StoreOpenResult& opened)
{
    const auto* store = std::get_if<std::unique_ptr<LogStore>>(&opened);
    if (!store)
        return -1;
    auto listed = (*store)->entries(0, std::nullopt);
    LogEnumerator& entries = *std::get<std::unique_ptr<LogEnumerator>>(listed);
    long count = 0;
    std::size_t bytes = 0;
    for (RawEntry raw; entries.next(raw);) {
        if (raw.kind == RawEntryKind::logMessage) {
            ++count;
            bytes += std::size_t(raw.entry.message.size());
        }
    }
    benchmark::DoNotOptimize(bytes);
    return count;
}

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

template <typename Open>
void timeRead(benchmark::State& state, Open open, double* median)
{
    std::vector<double> runs;
    long count = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        count = readAll(open());
        runs.push_back(seconds(std::chrono::steady_clock::now() - t0));
    }
    std::sort(runs.begin(), runs.end());
    *median = runs[runs.size() / 2];
    state.counters["messages"] = double(count);
    state.counters["median_s"] = *median;
    state.counters["messages_per_s"] = double(count) / *median;
}

void BM_UnifiedArchive1M(benchmark::State& state)
{
    timeRead(
        state, [] { return openUnifiedStore(g_bundle); }, &g_unifiedSeconds);
}
BENCHMARK(BM_UnifiedArchive1M)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_SameAsNdjson1M(benchmark::State& state)
{
    timeRead(
        state, [] { return openNdjsonStore(g_ndjson); }, &g_ndjsonSeconds);
    if (g_unifiedSeconds > 0)
        state.counters["unified_ratio"] = g_unifiedSeconds / g_ndjsonSeconds;
}
BENCHMARK(BM_SameAsNdjson1M)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The peak resident memory of this process so far, in MB (VmHWM).
double peakResidentMB()
{
    std::FILE* f = std::fopen("/proc/self/status", "r");
    char line[256];
    double kb = -1;
    while (f && std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "VmHWM: %lf kB", &kb) == 1)
            break;
    if (f)
        std::fclose(f);
    return kb / 1024.0;
}

// The unified read alone in a child process, which starts with only this
// process's pages: its peak resident memory in MB, and before the read.
std::pair<double, double> peakMemoryOfUnifiedRead()
{
    int fds[2];
    if (pipe(fds) != 0)
        return {-1, -1};
    const pid_t child = fork();
    if (child == 0) {
        const double before = peakResidentMB();
        const bool whole = readAll(openUnifiedStore(g_bundle)) == kMessages;
        const double figures[2] = {before, whole ? peakResidentMB() : -1};
        _exit(write(fds[1], figures, sizeof figures) == sizeof figures ? 0 : 1);
    }
    double figures[2] = {-1, -1};
    int status = 0;
    if (child > 0 && read(fds[0], figures, sizeof figures) != sizeof figures)
        figures[1] = -1;
    waitpid(child, &status, 0);
    close(fds[0]);
    close(fds[1]);
    return {figures[0], figures[1]};
}

}  // namespace

int main(int argc, char** argv)
{
    QLoggingCategory::setFilterRules(QStringLiteral("com.corvistra.Vellacord.*=false"));
    QTemporaryDir dir;
    g_bundle = dir.filePath(QStringLiteral("bench.logarchive"));
    g_ndjson = dir.filePath(QStringLiteral("bench.ndjson"));
    if (!writeArchives())
        return 1;
    const auto [before, peak] = peakMemoryOfUnifiedRead();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("unified read: %.0f messages/s; %.2fx the ndjson store's time (goal <= 1.0); peak memory %.0f MB "
                "(goal < 200; %.0f MB before the read)\n",
                kMessages / g_unifiedSeconds, g_unifiedSeconds / g_ndjsonSeconds, peak, before);
    return 0;
}
