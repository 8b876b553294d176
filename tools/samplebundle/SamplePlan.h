#pragma once

// The shape of a sample bundle in time: the boots over its span and their
// clocks, how busy the Mac is at each moment (day and night, boot, error
// storms), and the tracev3 files with how many messages each holds.

#include "tools/samplebundle/SampleWorld.h"

#include <QString>

#include <vector>

namespace SampleBundle {

struct Options {
    quint64 count = 0;  // log messages
    double end = 0;     // seconds since 1970
    quint64 seed = 1;
};

// Continuous time of a wall time on one boot's clock, as a reader with the
// boot's timesync records turns it back: the boot time until the sync, the
// sync's wall time (a few milliseconds ahead) after it.
struct Clock {
    double bootWall = 0;
    quint64 syncTime = 0;
    double syncWall = 0;
    quint64 at(double wall) const;
};

struct BootPlan {
    QUuid uuid;
    qint64 wallSeconds = 0;  // at continuous time 0
    quint32 wallMicros = 0;
    double first = 0, last = 0;  // its messages
    bool inSpan = false;         // booted inside the span: its boot messages are there
    Clock clock;
    ArchiveWriter::TimesyncBoot timesync;
    std::vector<ArchiveWriter::Process> processes;  // by world process
    std::vector<qint32> pids;
    std::vector<quint64> threads;  // per world process: its first thread
    int processBase = 0;           // its processes in Bundle::processes
};

// One process repeating one error for a while.
struct Storm {
    double start = 0, end = 0;
    int tmpl = 0;
    int user = 0;  // index into the template's users
    double boost = 1;
    quint64 seed = 0;  // of its few variants
};

enum class FileKind : quint8 { persist,
                               special,
                               signpost,
                               highVolume,
                               live };

struct FilePlan {
    FileKind kind = FileKind::persist;
    int boot = 0;
    double from = 0, to = 0;  // the span its messages spread over ...
    quint64 total = 0;        // ... with this many in it,
    quint64 first = 0;        // of which it holds [first, first + count)
    quint64 count = 0;
    QString path;
};

class Plan {
public:
    Plan(const World& world, const Options& options);

    double start = 0, end = 0;
    std::vector<BootPlan> boots;
    std::vector<Storm> storms;  // by start, apart
    std::vector<FilePlan> files;

    // The time at fraction q of the activity between `from` and `to`.
    double timeAt(double from, double to, double q) const;

private:
    double massAt(double t) const;
    void planBoots(const World& world, Rng& r, quint64 seed);
    void planStorms(const World& world, Rng& r);
    void planActivity(Rng& r);
    void planFiles(quint64 count);

    static constexpr double kStep = 10;  // seconds per bucket of activity
    std::vector<double> m_mass;          // activity before each bucket
};

}  // namespace SampleBundle
