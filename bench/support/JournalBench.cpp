#include "bench/support/JournalBench.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <sys/resource.h>

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

QList<JournalFixture::Record> backupRecords(int count)
{
    QList<JournalFixture::Record> records;
    records.reserve(count);
    for (int i = 0; i < count; ++i) {
        auto r = JournalFixture::message(1767600000 + i * 0.05, i % 7 ? "backupd" : "kernel",
                                         "Backup step " + QByteArray::number(i) + " finished with status " +
                                             QByteArray::number(i % 13) + " after copying files to the target volume",
                                         i % 8);
        records.append(r.set("_PID", QByteArray::number(100 + i % 50)));
    }
    return records;
}

QByteArray journalctl(const QString& dir, const QByteArray& args)
{
    return "journalctl --directory='" + dir.toUtf8() + "' " + args + " > /dev/null";
}

namespace {
double childrenCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
}  // namespace

void timeCommand(benchmark::State& state, const QByteArray& command, std::vector<double>& times,
                 std::vector<double>* cpu)
{
    timeCall(state, times, [&] {
        const double before = childrenCpuSeconds();
        if (std::system(command.constData()) != 0)
            state.SkipWithError("command failed");
        if (cpu)
            cpu->push_back(childrenCpuSeconds() - before);
    });
}

}  // namespace JournalBench
