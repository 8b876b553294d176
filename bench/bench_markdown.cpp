// The inline Markdown renderer on 100 KB of markers that never close (or close
// in awkward places) and on an ordinary answer of the same size. Goal: each
// adversarial text in at most 50 ms.
// Then, under the offscreen platform, the longest the UI thread goes without
// turning its event loop while a huge answer arrives from a loopback provider
// and is shown in the detail pane (7 MB, and 200 KB that is still formatted),
// and while an analysis of 3 MB is shown in the analysis view, the pane and
// the sheet resized meanwhile. Goal: at most 100 ms each.

#include "ai/AIExplainer.h"
#include "ai/AISettings.h"
#include "ai/views/AnalysisView.h"
#include "browser/views/DetailPane.h"
#include "tests/support/Entries.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TestEnv.h"
#include "ui/InlineMarkdown.h"
#include "ui/InlineMarkdownView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QPushButton>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

constexpr qsizetype targetSize = 100 * 1000;

QString repeatedTo(const QString& piece, const QString& tail = {})
{
    return piece.repeated(targetSize / piece.size()) + tail;
}

QString growingFences()
{
    QString text;
    for (int i = 1; text.size() < targetSize; ++i)
        text += QString(i, QLatin1Char('`')) + QStringLiteral(" ` ");
    return text;
}

const QString& input(int which)
{
    static const QString texts[] = {
        repeatedTo(QStringLiteral("*a ")),
        repeatedTo(QStringLiteral("**a *b ")),
        repeatedTo(QStringLiteral("_a __b ")),
        repeatedTo(QStringLiteral("*a "), QString(1001, QLatin1Char('*'))),
        repeatedTo(QStringLiteral("[a")),
        repeatedTo(QStringLiteral("[a](http://x "), QStringLiteral(")")),
        growingFences(),
        repeatedTo(QStringLiteral("*_**__[a "), QStringLiteral("__**_*")),
        repeatedTo(QStringLiteral("The **backup** failed because `backupd` could not reach the *destination* disk. "
                                  "See [the guide](https://support.example.com/backup) and check_the_cable.\n\n")),
    };
    return texts[which];
}

const char* const names[] = {"*a ", "**a *b ", "_a __b ", "*a then 1001 *", "[a", "[a](http://x ",
                             "growing backtick runs", "mixed openers", "ordinary answer"};

void BM_InlineMarkdown(benchmark::State& state)
{
    const QString& text = input(int(state.range(0)));
    state.SetLabel(names[state.range(0)]);
    for (auto _ : state)
        benchmark::DoNotOptimize(InlineMarkdown::toHtml(text));
    state.SetBytesProcessed(int64_t(state.iterations()) * text.size());
}
BENCHMARK(BM_InlineMarkdown)->DenseRange(0, 8)->Unit(benchmark::kMillisecond);

// The longest gap between two turns of the event loop while `until` is false
// (at most `timeoutMs`), `during` being run once the loop turns.
template <class Until, class During>
double worstStallMs(Until until, During during, int timeoutMs = 60000)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, worst = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worst = std::max(worst, now - last);
        last = now;
    });
    tick.start(0);
    QTimer::singleShot(0, during);
    while (!until() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    // Paints and layouts that follow.
    const qint64 settle = clock.elapsed() + 500;
    while (clock.elapsed() < settle)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const qint64 now = clock.nsecsElapsed();
    worst = std::max(worst, now - last);
    return until() ? worst / 1e6 : -1;
}

QString answerOf(qsizetype bytes)
{
    return input(8).repeated(bytes / input(8).size() + 1).left(bytes);
}

QByteArray anthropicBody(const QString& text)
{
    const QJsonObject part{{"type", "text"}, {"text", text}};
    return QJsonDocument(QJsonObject{{"content", QJsonArray{part}}}).toJson(QJsonDocument::Compact);
}

// An answer from the provider to its explanation shown in the pane.
double explanationStallMs(LoopbackHttpServer& server, qsizetype bytes, int n)
{
    AISettings settings;
    settings.setAPIKey(QStringLiteral("sk-bench"));
    const LogEntry e = makeEntry(1767605407, 4, QStringLiteral("backupd"), QStringLiteral("backup %1 failed").arg(n));
    DetailPane pane(e, nullptr, &settings, std::nullopt, {});
    pane.resize(900, 700);
    pane.show();
    QCoreApplication::processEvents();
    server.enqueue(LoopbackHttpServer::Response::json(200, anthropicBody(answerOf(bytes))));
    auto* view = pane.findChild<MarkdownAnswerView*>(QStringLiteral("explanationText"));
    return worstStallMs([&] { return !pane.isExplaining() && view->isVisible() && !view->isRendering(); },
                        [&] {
                            pane.explain();
                            QTimer::singleShot(300, &pane, [&] { pane.resize(700, 700); });
                        });
}

// An analysis answer of `bytes` in findings of about 600 bytes, parsed and shown.
double analysisStallMs(LoopbackHttpServer& server, qsizetype bytes)
{
    LogEntryList entries;
    for (int i = 0; i < 100; ++i)
        entries << makeEntry(1767605407 + i, 4, QStringLiteral("backupd"), QStringLiteral("message %1").arg(i));
    QString answer;
    for (int i = 0; answer.size() < bytes; ++i)
        answer += QStringLiteral("ENTRY: %1\nTITLE: Finding %2\nCONCERN: %3\n\n").arg(i % 100).arg(i).arg(input(8).left(500));
    server.enqueue(LoopbackHttpServer::Response::json(200, anthropicBody(answer)));
    AISettings settings;
    settings.setAPIKey(QStringLiteral("sk-bench"));
    AnalysisView view;
    view.open();
    QCoreApplication::processEvents();
    bool done = false;
    return worstStallMs([&] { return done; },
                        [&] {
                            AIExplainer::analyze(entries, settings, &view, [&](const AIResult<AnalysisItemList>& r) {
                                if (!r.ok())
                                    std::fprintf(stderr, "analysis: %s\n", qPrintable(r.error().description()));
                                view.setItems(r.ok() ? r.value() : AnalysisItemList());
                                done = r.ok();
                            });
                        });
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("com.corvistra.Vellacord.*=false"));
    TestEnv::useTemporaryHome();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    LoopbackHttpServer server;
    if (!server.start())
        return 1;
    qputenv("VELLACORD_ANTHROPIC_URL", server.baseUrl().toUtf8());
    const double huge = explanationStallMs(server, 7 * 1000 * 1000, 1);
    const double formatted = explanationStallMs(server, 200 * 1000, 2);
    const double analysis = analysisStallMs(server, 3 * 1000 * 1000);
    std::printf("longest UI-thread stall, 7 MB answer shown in the detail pane: %.1f ms (goal 100 ms)\n", huge);
    std::printf("longest UI-thread stall, 200 KB answer formatted in the detail pane: %.1f ms (goal 100 ms)\n", formatted);
    std::printf("longest UI-thread stall, 3 MB analysis shown in the analysis view: %.1f ms (goal 100 ms)\n", analysis);
    return 0;
}
