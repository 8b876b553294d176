#pragma once

// What the benches against journalctl share: journal folders written from
// made-up records, whole processes timed per iteration, medians.

#include "tests/support/JournalFixture.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>

#include <benchmark/benchmark.h>

#include <vector>

namespace JournalBench {

// 0 for no times.
double median(std::vector<double> times);

// Writes the records as one journal file in dir; on failure prints why and
// returns false.
bool write(const QString& dir, const QList<JournalFixture::Record>& records,
           const QString& fileName = QStringLiteral("system.journal"));

// count made-up backup entries, 0.05 s apart, every priority, a few PIDs.
QList<JournalFixture::Record> backupRecords(int count);

// `journalctl --directory=DIR ARGS > /dev/null` as a shell command.
QByteArray journalctl(const QString& dir, const QByteArray& args);

// Runs the shell command once per iteration, as the iteration's time; with
// cpu, also records the CPU time (user and system) of the processes it ran,
// which a busy machine does not inflate.
void timeCommand(benchmark::State& state, const QByteArray& command, std::vector<double>& times,
                 std::vector<double>* cpu = nullptr);

// Runs body once per iteration, as the iteration's time.
template <typename F>
void timeCall(benchmark::State& state, std::vector<double>& times, F body)
{
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        body();
        const double s = double(t.nsecsElapsed()) / 1e9;
        times.push_back(s);
        state.SetIterationTime(s);
    }
}

}  // namespace JournalBench
