// A Mac-scale unified-log bundle (10,000,000 entries by default, written by
// scripts/make-sample-archive's generator; VELLACORD_BENCH_BUNDLE names one
// already written, VELLACORD_BENCH_ENTRIES another size): the session's first
// open in the window to its first painted rows, the last hour from the
// command line, the peak memory of both (goals: 1 s, 1 s, 300 MB), the whole
// archive's load to the cap (goal 0.5 s), and a full scan without the cap on
// one core and on all of them. The bundle's files are read once first, so the
// page cache is warm for every figure.

#include "browser/DetailWindowState.h"
#include "browser/PendingArchive.h"
#include "browser/views/ContentView.h"
#include "browser/views/LogListModel.h"
#include "logs/LogFetcher.h"
#include "logs/LogQuery.h"
#include "logs/RecentArchives.h"
#include "logs/unified/Tracev3File.h"
#include "logs/unified/UnifiedLogStore.h"
#include "tests/support/TestEnv.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <benchmark/benchmark.h>

#include <cstdio>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef VELLACORD_SAMPLE_BUNDLE
#define VELLACORD_SAMPLE_BUNDLE ""  // the generator was not built: VELLACORD_BENCH_BUNDLE must name a bundle
#endif

namespace {

QString g_bundle;

double peakResidentMB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

// Reads every file of the bundle once, so that each figure starts with a warm page cache.
qint64 warmPageCache(const QString& bundle)
{
    qint64 bytes = 0;
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (QDirIterator it(bundle, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        QFile f(it.next());
        if (f.open(QIODevice::ReadOnly))
            for (qint64 n; (n = f.read(buffer.data(), buffer.size())) > 0;)
                bytes += n;
    }
    return bytes;
}

// Counts paints of the list's viewport that showed rows.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(ContentView* view) : m_view(view) {}
    bool painted = false;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint && m_view->listModel()->rowCount() > 0)
            painted = true;
        return false;
    }

private:
    ContentView* m_view;
};

// The session's first open of the bundle in a window, to its first painted rows.
double openToFirstPaintedRows()
{
    DetailWindowState state;
    RecentArchives recent;
    PendingArchive pending;
    ContentView view(&state, &recent, &pending);
    view.resize(1200, 800);
    PaintWatch watch(&view);
    view.listView()->viewport()->installEventFilter(&watch);
    QElapsedTimer t;
    t.start();
    pending.set(g_bundle);
    view.show();
    while (!watch.painted && t.elapsed() < 600000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return watch.painted ? t.elapsed() / 1000.0 : -1;
}

// The command line's last hour of the bundle, in a process of its own: seconds and peak memory in MB.
std::pair<double, double> cliLastHour()
{
    std::fflush(stdout);  // the child must not print what this process has not yet
    QElapsedTimer t;
    t.start();
    const pid_t child = fork();
    if (child == 0) {
        const QByteArray cli = QFile::encodeName(TestEnv::cliPath()), bundle = QFile::encodeName(g_bundle);
        if (!freopen("/dev/null", "w", stdout))
            _exit(127);
        execl(cli.constData(), cli.constData(), "logs", "--archive", bundle.constData(), "--last", "1h", "--level",
              "all", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {-1, -1};
    return {t.elapsed() / 1000.0, double(usage.ru_maxrss) / 1024.0};
}

void BM_WholeArchiveToTheCap(benchmark::State& state)
{
    qsizetype count = 0;
    for (auto _ : state) {
        const QueryResult r = queryEntries(kDistantPast, 4e9, g_bundle);
        count = r.entries.size();
        benchmark::DoNotOptimize(r.entries.data());
    }
    state.counters["entries"] = double(count);
}
BENCHMARK(BM_WholeArchiveToTheCap)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Every entry through the store's enumerator; the argument is the decoding threads (0: the reading thread only).
void BM_FullScan(benchmark::State& state)
{
    Unified::setDecodeThreads(int(state.range(0)));
    long messages = 0;
    for (auto _ : state) {
        messages = 0;
        StoreOpenResult opened = openUnifiedStore(g_bundle);
        auto listed = std::get<std::unique_ptr<LogStore>>(opened)->entries(0, std::nullopt);
        LogEnumerator& entries = *std::get<std::unique_ptr<LogEnumerator>>(listed);
        for (RawEntry raw; entries.next(raw);)
            messages += raw.kind == RawEntryKind::logMessage;
    }
    state.counters["messages"] = double(messages);
    state.counters["messages_per_s"] = benchmark::Counter(double(messages), benchmark::Counter::kIsIterationInvariantRate);
    Unified::setDecodeThreads(-1);
}
BENCHMARK(BM_FullScan)->Arg(0)->Arg(QThread::idealThreadCount())->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("com.corvistra.Vellacord.*=false"));
    TestEnv::useTemporaryHome();
    QTemporaryDir dir;
    g_bundle = QString::fromLocal8Bit(qgetenv("VELLACORD_BENCH_BUNDLE"));
    if (g_bundle.isEmpty()) {
        const QByteArray entries = qgetenv("VELLACORD_BENCH_ENTRIES");
        g_bundle = dir.filePath(QStringLiteral("Scale.logarchive"));
        QElapsedTimer t;
        t.start();
        const int rc = QProcess::execute(QStringLiteral(VELLACORD_SAMPLE_BUNDLE),
                                         {g_bundle, entries.isEmpty() ? QStringLiteral("10000000") : QString::fromLatin1(entries)});
        if (rc != 0) {
            std::fprintf(stderr, "the sample bundle could not be written\n");
            return 1;
        }
        std::printf("wrote the bundle in %.1f s\n", t.elapsed() / 1000.0);
    }
    const qint64 bytes = warmPageCache(g_bundle);
    std::printf("bundle: %s, %.2f GB, page cache warm\n", qPrintable(g_bundle), double(bytes) / 1e9);

    const double open = openToFirstPaintedRows();
    const double windowPeak = peakResidentMB();
    const auto [lastHour, cliPeak] = cliLastHour();
    std::printf("first open in the window to painted rows: %.2f s (goal <= 1; no index yet); peak memory %.0f MB\n",
                open, windowPeak);
    std::printf("last hour from the command line: %.2f s (goal <= 1; a process of its own, no index yet); "
                "peak memory %.0f MB (goal <= 300)\n",
                lastHour, cliPeak);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
