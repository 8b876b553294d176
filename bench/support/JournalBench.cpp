#include "bench/support/JournalBench.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace JournalBench {

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times.empty() ? 0 : times[times.size() / 2];
}

bool write(const QString& dir, const QList<JournalFixture::Record>& records, const QString& fileName)
{
    const QString error = JournalFixture::writeJournal(dir, records, fileName);
    if (!error.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(error));
    return error.isEmpty();
}

QByteArray journalctl(const QString& dir, const QByteArray& args)
{
    return "journalctl --directory='" + dir.toUtf8() + "' " + args + " > /dev/null";
}

void timeCommand(benchmark::State& state, const QByteArray& command, std::vector<double>& times)
{
    timeCall(state, times, [&] {
        if (std::system(command.constData()) != 0)
            state.SkipWithError("command failed");
    });
}

}  // namespace JournalBench
