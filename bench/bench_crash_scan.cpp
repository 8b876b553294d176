// Scanning a reports folder of 2,000 structured crash reports (header line and
// a JSON body with exception, termination and a 30-frame faulting thread among
// a few other threads), as the crash browser does each time it is shown.

#include "crashes/CrashLogFetcher.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kReports = 2000;
QString g_dir;

const char* const kImages[] = {"libsystem_kernel.dylib", "libsystem_pthread.dylib", "libdispatch.dylib",
                               "CoreFoundation", "AppKit", "Foundation",
                               "HIToolbox", "SkyLight", "libobjc.A.dylib"};
const char* const kApps[] = {"Safari", "Finder", "Xcode", "Mail", "com.apple.WebKit.WebContent", "Slack Helper"};

QJsonObject frame(int i, int seed)
{
    const char* image = kImages[(i + seed) % std::size(kImages)];
    return {{"imageOffset", 4096 * (i + 1) + seed % 4000},
            {"symbol", QStringLiteral("-[NSApplication(NSEvent) _handleEvent%1:]").arg(i)},
            {"symbolLocation", 120 + i},
            {"imageIndex", i % 9},
            {"imageName", image}};
}

QByteArray report(int n)
{
    const QString app = QString::fromLatin1(kApps[n % std::size(kApps)]);
    const QString stamp = QStringLiteral("2024-%1-%2T%3:%4:%5.%6Z")
                              .arg(1 + n % 12, 2, 10, QLatin1Char('0'))
                              .arg(1 + n % 28, 2, 10, QLatin1Char('0'))
                              .arg(n % 24, 2, 10, QLatin1Char('0'))
                              .arg(n % 60, 2, 10, QLatin1Char('0'))
                              .arg((n * 7) % 60, 2, 10, QLatin1Char('0'))
                              .arg(n % 1000, 3, 10, QLatin1Char('0'));
    QJsonArray threads;
    const int faulting = n % 4;
    for (int t = 0; t < 4; ++t) {
        QJsonArray frames;
        const int count = t == faulting ? 30 : 8;
        for (int i = 0; i < count; ++i)
            frames.append(frame(i, n + t));
        QJsonObject thread{{"id", 1000 + t}, {"frames", frames}};
        if (t == faulting)
            thread["triggered"] = true;
        thread["queue"] = t == 0 ? "com.apple.main-thread" : "com.apple.root.default-qos";
        threads.append(thread);
    }
    const QJsonObject body{
        {"procName", app},
        {"procPath", "/Applications/" + app + ".app/Contents/MacOS/" + app},
        {"pid", 400 + n},
        {"CFBundleShortVersionString", QStringLiteral("17.%1").arg(n % 5)},
        {"osVersion", QJsonObject{{"train", "macOS 14.2.1"}, {"build", "23C71"}}},
        {"modelCode", "Mac14,2"},
        {"captureTime", stamp},
        {"faultingThread", faulting},
        {"exception", QJsonObject{{"type", "EXC_BAD_ACCESS"},
                                  {"signal", "SIGSEGV"},
                                  {"subtype", "KERN_INVALID_ADDRESS at 0x0000000000000010"},
                                  {"codes", "0x0000000000000001, 0x0000000000000010"}}},
        {"termination", QJsonObject{{"namespace", "SIGNAL"}, {"code", 11}, {"reason", "Segmentation fault: 11"}, {"indicator", "Segmentation fault: 11"}}},
        {"threads", threads},
        {"usedImages", QJsonArray{QJsonObject{{"base", 4294967296LL}, {"name", app}, {"size", 65536}}}},
    };
    const QByteArray header = R"({"app_name":")" + app.toUtf8() + R"(","timestamp":")" + stamp.toUtf8() + R"x(","bug_type":"309","os_version":"macOS 14.2.1 (23C71)"})x";
    return header + '\n' + QJsonDocument(body).toJson(QJsonDocument::Indented);
}

void BM_ScanDirectory(benchmark::State& state)
{
    for (auto _ : state) {
        const CrashReportList list = CrashLogFetcher::scanDirectory(g_dir, false).reports;
        if (list.size() != kReports || list.first().stackTrace.count(QLatin1Char('\n')) != 30) {
            state.SkipWithError("unexpected scan result");
            return;
        }
        benchmark::DoNotOptimize(list.constData());
    }
    state.SetItemsProcessed(state.iterations() * kReports);
    state.counters["per_report"] =
        benchmark::Counter(double(kReports), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ScanDirectory)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole asynchronous scan: thread-pool task, sort, publish on the main thread.
void BM_Scan(benchmark::State& state)
{
    CrashLogFetcher fetcher;
    fetcher.setReportsDirectory(g_dir);
    for (auto _ : state) {
        QEventLoop loop;
        QObject::connect(&fetcher, &CrashLogFetcher::isLoadingChanged, &loop, [&] {
            if (!fetcher.isLoading())
                loop.quit();
        });
        fetcher.scan();
        loop.exec();
        if (fetcher.reports().size() != kReports) {
            state.SkipWithError("unexpected scan result");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * kReports);
    state.counters["per_report"] =
        benchmark::Counter(double(kReports), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Scan)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.info=false"));
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    g_dir = dir.path();
    qint64 total = 0;
    for (int n = 0; n < kReports; ++n) {
        QFile f(QDir(g_dir).filePath(QStringLiteral("%1-2024-%2.ips").arg(kApps[n % std::size(kApps)]).arg(n)));
        const QByteArray data = report(n);
        if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
            return 1;
        total += data.size();
    }
    std::fprintf(stderr, "%d reports, %.1f MB, %.1f KB each\n", kReports, total / 1e6, total / 1e3 / kReports);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
