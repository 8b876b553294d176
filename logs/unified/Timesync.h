#pragma once

// Wall-clock time of a Mach continuous time, per boot: from the timesync
// database's boot and sync records where the bundle has them, otherwise from
// the boot time in the tracev3 file's own header.

#include "logs/unified/Catalog.h"

#include <QHash>
#include <QStringList>
#include <QUuid>

#include <vector>

namespace Unified {

class BootClock {
public:
    BootClock() = default;
    BootClock(Timebase timebase, double bootWallSeconds) : m_timebase(timebase), m_bootWall(bootWallSeconds) {}

    // Seconds since 1970 at the continuous time.
    double wallAt(quint64 continuousTime) const;
    // The earliest and the latest wall time of the continuous times in
    // [start, end]: a sync inside may have set the clock back.
    std::pair<double, double> wallSpan(quint64 start, quint64 end) const;

    void addSync(quint64 continuousTime, double wallSeconds) { m_syncs.push_back({continuousTime, wallSeconds}); }
    void sortSyncs();
    bool hasBootWall() const { return m_bootWall != 0; }
    void setBootWall(double seconds) { m_bootWall = seconds; }

private:
    struct Sync {
        quint64 continuousTime;
        double wall;
    };
    Timebase m_timebase;
    double m_bootWall = 0;      // 0: the boot record did not say
    std::vector<Sync> m_syncs;  // ascending continuous time
};

class Timesync {
public:
    // Reads the .timesync files; a damaged one adds to `damaged` and keeps
    // the records read before the damage.
    static Timesync read(const QStringList& files, qint64* damaged);
    // Parses one file's bytes into the boots; false when it is damaged.
    bool parse(QByteArrayView bytes);

    const BootClock* boot(const QUuid& uuid) const;

private:
    QHash<QUuid, BootClock> m_boots;
};

}  // namespace Unified
