// The crash browser against hostile reports, under the offscreen platform:
// the longest time the event loop is blocked from the click on the row of a
// report with a 10 MB exception subtype and a 10 MB frame symbol until the
// pane has been shown (goal: at most 100 ms), read from a file through the
// scan and, uncut, handed straight to the pane; and the peak memory (VmHWM)
// of a scan, in a fresh process, of a folder holding a real 1 GB report among
// a few normal ones (goal: at most 200 MB), beside those alone, and of one
// report just under the bound of what is read.

#include "crashes/CrashLogFetcher.h"
#include "crashes/views/CrashDetailPane.h"
#include "crashes/views/CrashView.h"
#include "tests/support/TestEnv.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

QString g_self;
QString g_hostileDir, g_bigDir, g_normalDir, g_boundDir;

const QByteArray kNormal = R"({"bug_type":"309"}
{"procName":"Safari","timestamp":"2024-01-15T10:23:45.123Z","exception":{"type":"EXC_BAD_ACCESS","signal":"SIGSEGV"},)"
                           R"("threads":[{"frames":[{"imageName":"WebKit","symbol":"crash","imageOffset":42}]}]})";

QByteArray hostileReport()
{
    const QByteArray big(10 << 20, 'x');
    return R"({"bug_type":"309"})"
           "\n"
           R"({"procName":"Hostile","timestamp":"2025-01-15T10:23:45.123Z",)"
           R"("exception":{"type":"EXC_BAD_ACCESS","subtype":")" +
           big + R"("},)"
                 R"("threads":[{"frames":[{"imageName":"WebKit","symbol":")" +
           big + R"(","imageOffset":42}]}]})";
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// The longest single stretch the event loop spends in one call, from `act`
// until `quietMs` have passed.
double longestStall(const std::function<void()>& act, int quietMs = 400)
{
    QElapsedTimer t;
    t.start();
    act();
    double worst = t.nsecsElapsed() / 1e6;
    QElapsedTimer window;
    window.start();
    while (window.elapsed() < quietMs) {
        t.restart();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        worst = std::max(worst, t.nsecsElapsed() / 1e6);
    }
    return worst;
}

void BM_SelectHostileRowStall(benchmark::State& state)
{
    CrashView view(nullptr);
    view.resize(1000, 700);
    view.crashFetcher()->setReportsDirectory(g_hostileDir);
    view.show();
    QElapsedTimer wait;
    wait.start();
    while (view.crashFetcher()->isLoading() && wait.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QListView* list = view.listView();
    if (list->model()->rowCount() != 2) {
        state.SkipWithError("unexpected scan result");
        return;
    }
    const QPoint row = list->visualRect(list->model()->index(0, 0)).center();
    double worst = 0;
    for (auto _ : state) {
        const double ms = longestStall([&] { QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row); });
        worst = std::max(worst, ms);
        state.SetIterationTime(ms / 1000);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row);  // closes the pane
        QCoreApplication::processEvents();
    }
    state.counters["worst_ms"] = worst;
}

void BM_UncutFieldsToPaneStall(benchmark::State& state)
{
    CrashDetailPane pane(nullptr);
    pane.resize(1000, 500);
    pane.show();
    const QString big(10 << 20, 'x');
    CrashReport r;
    r.fileName = "h.ips";
    r.appName = r.appVersion = r.crashReason = r.exceptionType = r.osVersion = r.deviceModel = big;
    r.stackTrace = "Thread 0 (Faulting Thread):\n   0  WebKit  " + big;
    // The pane's first showing of any report loads its fonts: that is paid
    // with a small one, and reported apart.
    CrashReport small;
    small.id = QUuid::createUuid();
    small.fileName = "s.ips";
    small.appName = "Safari";
    small.appVersion = "1";
    small.crashReason = "SIGSEGV";
    small.exceptionType = "EXC_BAD_ACCESS";
    small.osVersion = "macOS 14";
    small.deviceModel = "Mac14,2";
    small.stackTrace = "Thread 0 (Faulting Thread):\n   0  WebKit  crash + 1";
    state.counters["first_small_ms"] = longestStall([&] { pane.setCrash(small); }, 200);
    double worst = 0;
    for (auto _ : state) {
        r.id = QUuid::createUuid();
        const double ms = longestStall([&] { pane.setCrash(r); }, 200);
        worst = std::max(worst, ms);
        state.SetIterationTime(ms / 1000);
    }
    state.counters["worst_ms"] = worst;
}

// Runs this program again to scan `dir` alone and returns its peak resident
// memory in MB, as the scanning process itself measured it (VmHWM).
double scanPeakMB(const QString& dir)
{
    QProcess child;
    child.start(g_self, {QStringLiteral("--scan-peak"), dir});
    if (!child.waitForFinished(600000) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        return -1;
    bool ok = false;
    const double kb = child.readAllStandardOutput().trimmed().toDouble(&ok);
    return ok ? kb / 1024 : -1;
}

void BM_ScanPeakMemory(benchmark::State& state, const QString* dir)
{
    double peak = 0;
    for (auto _ : state) {
        const double mb = scanPeakMB(*dir);
        if (mb < 0) {
            state.SkipWithError("scan process failed");
            return;
        }
        peak = std::max(peak, mb);
    }
    state.counters["peak_MB"] = peak;
}

int scanPeakChild(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const CrashScan scan = CrashLogFetcher::collectReports(QString::fromLocal8Bit(argv[2]));
    // Every normal report listed, the big one too (unread).
    std::fprintf(stderr, "scan: %ld listed, %ld unread\n", long(scan.reports.size()), long(scan.unread.size()));
    QFile status(QStringLiteral("/proc/self/status"));
    if (scan.reports.isEmpty() || !status.open(QIODevice::ReadOnly))
        return 1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            std::printf("%s\n", line.mid(6).trimmed().split(' ').first().constData());
    return 0;
}

}  // namespace

BENCHMARK(BM_SelectHostileRowStall)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_UncutFieldsToPaneStall)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_CAPTURE(BM_ScanPeakMemory, with_1GB_report, &g_bigDir)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_ScanPeakMemory, normal_only, &g_normalDir)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_ScanPeakMemory, report_of_60MB, &g_boundDir)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--scan-peak") == 0)
        return scanPeakChild(argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("com.corvistra.Vellacord.*=false"));
    TestEnv::useTemporaryHome();
    g_self = QCoreApplication::applicationFilePath();

    QTemporaryDir hostile, big, normal, bound;
    g_hostileDir = hostile.path();
    g_bigDir = big.path();
    g_normalDir = normal.path();
    g_boundDir = bound.path();
    bool ok = writeFile(hostile.filePath("Hostile.ips"), hostileReport()) && writeFile(hostile.filePath("Safari.ips"), kNormal);
    for (int i = 0; ok && i < 5; ++i)
        ok = writeFile(big.filePath(QStringLiteral("n%1.ips").arg(i)), kNormal) && writeFile(normal.filePath(QStringLiteral("n%1.ips").arg(i)), kNormal);
    // A real gigabyte of report text (not sparse): 1 MB lines of JSON-ish text.
    QFile huge(big.filePath(QStringLiteral("Huge.ips")));
    ok = ok && huge.open(QIODevice::WriteOnly);
    const QByteArray chunk = QByteArray(1 << 20, 'y');
    for (int i = 0; ok && i < 1024; ++i)
        ok = huge.write(chunk) == chunk.size();
    huge.close();
    // Under the bound: read whole, its JSON parsed.
    ok = ok && writeFile(bound.filePath(QStringLiteral("Big.ips")),
                         R"({"bug_type":"309"})"
                         "\n"
                         R"({"procName":"Big","threads":[{"frames":[{"symbol":")" +
                             QByteArray(60 << 20, 's') + R"("}]}]})");
    if (!ok) {
        std::fprintf(stderr, "cannot write the bench folders\n");
        return 1;
    }

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;  // the temporary folders, the gigabyte with them, go here
}
