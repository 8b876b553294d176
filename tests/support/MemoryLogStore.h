#pragma once

// Log stores held in memory, for stores that are huge, slow or odd.

#include "logs/LogStore.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// What a provider's stores read.
struct MemoryLogStore {
    std::vector<RawEntry> raw;                 // in ascending time order
    std::function<void(qsizetype)> onYield;    // called before each entry is yielded (e.g. to advance a clock)
    std::optional<StoreError> enumerateError;  // entries() fails with it
    qsizetype failAfter = -1;                  // the sequence ends with a read error after this many entries
    SkipCounts skipped;                        // what the read says it skipped
    // span() waits (up to 10 s) until it is told to stop, then finds nothing
    // and counts the stop: a slow search for an archive's dates.
    bool spanWaitsForStop = false;
    std::shared_ptr<std::atomic_int> spansStopped = std::make_shared<std::atomic_int>(0);

    // Convenience builders.
    static RawEntry log(double date, int level, const QString& process, const QString& message,
                        const QString& subsystem = {}, const QString& sender = {});
    static RawEntry nonLog(double date, RawEntryKind kind = RawEntryKind::activity);
};

// Serves one memory store as the live store, and as any archive path (or
// refuses with `openError`). `readable` decides readability. Each open takes a
// snapshot of the store under `mutex`, so a test may change the store through
// `locked` while queries run on other threads.
class MemoryStoreProvider final : public LogStoreProvider {
public:
    std::shared_ptr<MemoryLogStore> store = std::make_shared<MemoryLogStore>();
    std::optional<StoreError> openError;
    bool readable = true;
    mutable std::atomic_int opens = 0;  // stores handed out, live or archive
    mutable std::mutex mutex;

    // Changes a fresh copy: a query may still be reading the old store (huge
    // stores are shared with the queries, not copied).
    template <typename F>
    void locked(F change)
    {
        std::lock_guard guard(mutex);
        store = std::make_shared<MemoryLogStore>(*store);
        change();
    }

    StoreOpenResult openSystemStore() const override;
    StoreOpenResult openArchive(const QString& path) const override;
    bool isReadable(const QString&) const override { return readable; }
    std::optional<QString> absentReason(const QString&) const override { return absent; }
    std::optional<QString> absent;  // every archive path is there unless set
};
