#pragma once

// Ten entries of the last 20 minutes, one second apart; six are Fault or
// Error (the default filters): kernel, launchd, WindowServer, backupd, Safari, Safari.

#include "tests/support/MemoryLogStore.h"

#include <QDateTime>

namespace SampleLogs {

inline double now() { return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0; }

inline RawEntry entry(double date, int level, const QString& process, const QString& message, qint32 pid,
                      const QString& subsystem = {})
{
    RawEntry r = MemoryLogStore::log(date, level, process, message, subsystem, QStringLiteral("libfoo.dylib"));
    r.entry.processIdentifier = pid;
    return r;
}

inline void fill(MemoryStoreProvider& provider)
{
    const double t = now() - 1200;
    provider.locked([&] {
        provider.store->raw = {
            entry(t + 1, 5, "kernel", "panic: disk0 stalled", 0, "com.apple.iokit.power"),
            entry(t + 2, 4, "launchd", "Service exited with abnormal code: 78", 1, "com.apple.xpc.launchd"),
            entry(t + 3, 4, "WindowServer", "display failed to reconfigure", 163),
            entry(t + 4, 3, "bluetoothd", "Peripheral disconnected", 221, "com.apple.bluetooth"),
            entry(t + 5, 2, "cloudd", "Fetched 12 record changes", 733),
            entry(t + 6, 4, "backupd", "Backup DISK not found", 1502),
            entry(t + 7, 1, "mds_stores", "queue depth 14", 412),
            entry(t + 8, 0, "mystery", "undefined level", 12),
            entry(t + 9, 4, "Safari", "WebContent crashed", 120),
            entry(t + 10, 4, "Safari", "could not signal service", 312),
        };
    });
}

template <typename Rows>  // a LogEntryList or the window's EntryRows
QStringList processes(const Rows& list)
{
    QStringList l;
    for (const LogEntry& e : list)
        l << e.process;
    return l;
}

}  // namespace SampleLogs
