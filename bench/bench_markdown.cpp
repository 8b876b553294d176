// The inline Markdown renderer on 100 KB of markers that never close (or close
// in awkward places) and on an ordinary answer of the same size. Goal: each
// adversarial text in at most 50 ms.

#include "ui/InlineMarkdown.h"

#include <benchmark/benchmark.h>

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

}  // namespace

BENCHMARK_MAIN();
