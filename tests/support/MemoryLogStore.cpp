#include "tests/support/MemoryLogStore.h"

#include <chrono>
#include <thread>

#include <algorithm>

namespace {
class MemoryEnumerator final : public LogEnumerator {
public:
    MemoryEnumerator(std::shared_ptr<const MemoryLogStore> s, qsizetype from, std::optional<DateRange> predicate)
        : m_s(std::move(s)), m_i(from), m_predicate(predicate) {}

    bool next(RawEntry& out) override
    {
        while (m_i < qsizetype(m_s->raw.size())) {
            if (m_s->failAfter >= 0 && m_yielded >= m_s->failAfter) {
                m_error = StoreError{QStringLiteral("simulated read error")};
                return false;
            }
            const RawEntry& r = m_s->raw[size_t(m_i++)];
            if (m_predicate && !m_predicate->contains(r.entry.date))
                continue;
            if (m_s->onYield)
                m_s->onYield(m_yielded);
            ++m_yielded;
            out = r;
            return true;
        }
        return false;
    }
    std::optional<StoreError> error() const override { return m_error; }
    SkipCounts skipped() const override { return m_s->skipped; }

private:
    std::shared_ptr<const MemoryLogStore> m_s;
    qsizetype m_i;
    qsizetype m_yielded = 0;
    std::optional<DateRange> m_predicate;
    std::optional<StoreError> m_error;
};

// A store handed out by the provider: shares the provider's entries.
class SharedStore final : public LogStore {
public:
    explicit SharedStore(std::shared_ptr<MemoryLogStore> s) : m_s(std::move(s)) {}
    std::variant<std::unique_ptr<LogEnumerator>, StoreError>
    entries(double position, const std::optional<DateRange>& predicate) override
    {
        if (m_s->enumerateError)
            return *m_s->enumerateError;
        const auto it = std::lower_bound(m_s->raw.begin(), m_s->raw.end(), position,
                                         [](const RawEntry& r, double d) { return r.entry.date < d; });
        return std::make_unique<MemoryEnumerator>(m_s, qsizetype(it - m_s->raw.begin()), predicate);
    }
    std::optional<DateRange> span(const std::function<bool()>& stop) override
    {
        if (m_s->spanWaitsForStop) {
            for (int i = 0; i < 2000 && !stop(); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            if (stop())
                ++*m_s->spansStopped;
            return std::nullopt;
        }
        if (m_s->raw.empty())
            return std::nullopt;
        return DateRange{m_s->raw.front().entry.date, m_s->raw.back().entry.date};
    }

private:
    std::shared_ptr<MemoryLogStore> m_s;
};
}  // namespace

RawEntry MemoryLogStore::log(double date, int level, const QString& process, const QString& message,
                             const QString& subsystem, const QString& sender)
{
    RawEntry r = nonLog(date, RawEntryKind::logMessage);
    r.entry.level = level;
    r.entry.process = process;
    r.entry.message = message;
    r.entry.subsystem = subsystem;
    r.entry.sender = sender;
    return r;
}

RawEntry MemoryLogStore::nonLog(double date, RawEntryKind kind)
{
    RawEntry r;
    r.kind = kind;
    r.entry.date = date;
    return r;
}

static StoreOpenResult snapshot(const MemoryStoreProvider& p)
{
    std::lock_guard guard(p.mutex);
    ++p.opens;
    if (p.openError)
        return *p.openError;
    // Huge stores used from one thread are shared rather than copied.
    if (p.store->raw.size() > 20000)
        return std::unique_ptr<LogStore>(new SharedStore(p.store));
    return std::unique_ptr<LogStore>(new SharedStore(std::make_shared<MemoryLogStore>(*p.store)));
}

StoreOpenResult MemoryStoreProvider::openSystemStore() const { return snapshot(*this); }
StoreOpenResult MemoryStoreProvider::openArchive(const QString&) const { return snapshot(*this); }
