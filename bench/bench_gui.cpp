// The main window with a 50,000-entry journal archive, under the offscreen
// platform: the time from the start of a fetch to the first painted rows, and
// the time from one search keystroke to the repainted list.

#include "browser/DetailWindowState.h"
#include "browser/PendingArchive.h"
#include "browser/WindowModel.h"
#include "browser/views/ContentView.h"
#include "browser/views/LogListModel.h"
#include "logs/LogFetcher.h"
#include "logs/RecentArchives.h"
#include "tests/support/JournalFixture.h"
#include "tests/support/TestEnv.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListView>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kEntries = 50000;
QString g_archive;
std::unique_ptr<ContentView> g_view;
std::vector<double> g_fetchTimes, g_keyTimes;

// Counts paints of the list's viewport that showed rows.
class PaintWatch : public QObject {
public:
    int paintsWithRows = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint && g_view->listModel()->rowCount() > 0)
            ++paintsWithRows;
        return false;
    }
};
PaintWatch* g_watch = nullptr;

bool waitForPaint(int before, int timeoutMs = 60000)
{
    QElapsedTimer t;
    t.start();
    while (g_watch->paintsWithRows == before && t.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return g_watch->paintsWithRows > before;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void BM_FetchToFirstPaintedRows(benchmark::State& state)
{
    for (auto _ : state) {
        LogFetcher* f = g_view->model()->logFetcher();
        QElapsedTimer t;
        t.start();
        f->reloadArchive();  // clears the list and queries the whole archive
        const int before = g_watch->paintsWithRows;
        if (!waitForPaint(before)) {
            state.SkipWithError("no rows painted");
            return;
        }
        const double s = t.nsecsElapsed() / 1e9;
        if (f->entries().size() != kEntries)
            state.SkipWithError("wrong entry count");
        g_fetchTimes.push_back(s);
        state.SetIterationTime(s);
    }
}

void BM_SearchKeystrokeToRepaint(benchmark::State& state)
{
    auto* search = g_view->findChild<QLineEdit*>(QStringLiteral("searchField"));
    bool typed = false;
    for (auto _ : state) {
        const int before = g_watch->paintsWithRows;
        QElapsedTimer t;
        t.start();
        // Alternately type "e" and erase it: each is one keystroke that
        // re-evaluates the pipeline over all 50,000 entries.
        if (typed)
            QTest::keyClick(search, Qt::Key_Backspace);
        else
            QTest::keyClick(search, Qt::Key_E);
        typed = !typed;
        if (!waitForPaint(before)) {
            state.SkipWithError("no repaint");
            return;
        }
        const double s = t.nsecsElapsed() / 1e9;
        g_keyTimes.push_back(s);
        state.SetIterationTime(s);
    }
}

}  // namespace

BENCHMARK(BM_FetchToFirstPaintedRows)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SearchKeystrokeToRepaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("com.corvistra.Vellacord.*=false"));
    TestEnv::useTemporaryHome();

    QTemporaryDir dir;
    g_archive = dir.filePath(QStringLiteral("Bench.logarchive"));
    QList<JournalFixture::Record> records;
    records.reserve(kEntries);
    const double start = double(QDateTime::currentSecsSinceEpoch()) - 3 * 3600;
    static const char* procs[] = {"kernel", "launchd", "WindowServer", "mds_stores", "bluetoothd", "cloudd"};
    for (int i = 0; i < kEntries; ++i) {
        // Every level, so that the default severities show about a third.
        const int priority = 2 + i % 6;
        records << JournalFixture::message(start + i * 0.1, procs[i % 6],
                                           QByteArray("message number ") + QByteArray::number(i) +
                                               " about device state and retries",
                                           priority)
                       .set("SUBSYSTEM", QByteArray("com.apple.sub") + QByteArray::number(i % 40));
    }
    const QString error = JournalFixture::writeJournal(g_archive, records);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }

    DetailWindowState state;
    RecentArchives recent;
    PendingArchive pending;
    pending.set(g_archive);  // opened when the window is first shown
    g_view = std::make_unique<ContentView>(&state, &recent, &pending);
    g_view->resize(1400, 900);
    g_watch = new PaintWatch;
    g_view->listView()->viewport()->installEventFilter(g_watch);
    g_view->show();
    QElapsedTimer t;
    t.start();
    while ((g_view->model()->logFetcher()->isLoading() || g_view->model()->logFetcher()->entries().size() != kEntries) &&
           t.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    waitForPaint(0);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("fetch to first painted rows (50,000 entries): median %.1f ms\n", median(g_fetchTimes) * 1e3);
    std::printf("search keystroke to repainted list: median %.1f ms\n", median(g_keyTimes) * 1e3);
    g_view.reset();
    return 0;
}
