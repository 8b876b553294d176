// Exporting 50,000 entries with two optional columns: the whole file in each
// format, as File > Export builds it on the thread pool.

#include "browser/EntryExport.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

namespace {

LogEntryList makeEntries()
{
    LogEntryList out;
    out.reserve(50000);
    for (int i = 0; i < 50000; ++i) {
        LogEntry e;
        e.id = makeEntryId();
        e.date = 1'700'000'000 + i * 0.05;
        e.level = 1 + i % 5;
        e.process = QStringLiteral("helper%1d").arg(i % 80);
        e.subsystem = QStringLiteral("com.apple.component%1.core").arg(i % 150);
        e.processIdentifier = 100 + i % 900;
        // Every tenth message needs quoting, every twentieth the formula guard.
        e.message = (i % 20 == 0 ? QStringLiteral("=") : QString()) +
                    QStringLiteral("connection %1 failed: state changed, request timeout").arg(i) +
                    (i % 10 == 0 ? QStringLiteral(" \"quoted\"\nsecond line") : QString());
        out.append(e);
    }
    return out;
}

const LogEntryList& entries()
{
    static const LogEntryList list = makeEntries();
    return list;
}

void BM_Export(benchmark::State& state)
{
    const auto format = EntryExport::Format(state.range(0));
    const QList<ColumnId> columns{ColumnId::pid, ColumnId::subsystem};
    qsizetype bytes = 0;
    for (auto _ : state) {
        const QByteArray doc = EntryExport::document(format, entries(), columns);
        bytes = doc.size();
        benchmark::DoNotOptimize(doc.constData());
    }
    state.counters["MB"] = double(bytes) / 1e6;
}

}  // namespace

BENCHMARK(BM_Export)->Arg(int(EntryExport::Format::text))->Arg(int(EntryExport::Format::csv))->Arg(int(EntryExport::Format::jsonLines))->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
