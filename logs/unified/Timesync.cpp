#include "logs/unified/Timesync.h"

#include "base/Platform.h"
#include "base/SafeRead.h"

#include <algorithm>

namespace Unified {

void BootClock::sortSyncs()
{
    std::stable_sort(m_syncs.begin(), m_syncs.end(),
                     [](const Sync& a, const Sync& b) { return a.continuousTime < b.continuousTime; });
}

double BootClock::wallAt(quint64 ct) const
{
    const double perUnit = m_timebase.nanosPerUnit() / 1e9;
    // The last sync at or before the time; before the first one the boot
    // record, or the first sync when the boot record has no wall time.
    auto after = std::upper_bound(m_syncs.begin(), m_syncs.end(), ct,
                                  [](quint64 t, const Sync& s) { return t < s.continuousTime; });
    if (after != m_syncs.begin()) {
        const Sync& s = *(after - 1);
        return s.wall + double(ct - s.continuousTime) * perUnit;
    }
    if (m_bootWall == 0 && !m_syncs.empty())
        return m_syncs.front().wall - double(m_syncs.front().continuousTime - ct) * perUnit;
    return m_bootWall + double(ct) * perUnit;
}

std::pair<double, double> BootClock::wallSpan(quint64 start, quint64 end) const
{
    std::pair<double, double> span{wallAt(start), wallAt(end)};
    auto s = std::upper_bound(m_syncs.begin(), m_syncs.end(), start,
                              [](quint64 t, const Sync& sync) { return t < sync.continuousTime; });
    for (; s != m_syncs.end() && s->continuousTime <= end; ++s) {
        span.first = std::min(span.first, s->wall);
        span.second = std::max(span.second, wallAt(s->continuousTime - 1));
    }
    return span;
}

namespace {
constexpr quint16 kBootSignature = 0xbbb0;  // "\xb0\xbb"
constexpr quint16 kSyncSignature = 0x7354;  // "Ts"
constexpr std::size_t kBootBytes = 48, kSyncBytes = 32;
constexpr qint64 kMaxTimesyncBytes = qint64(64) << 20;
}  // namespace

bool Timesync::parse(QByteArrayView view)
{
    const Bytes bytes(view.data(), std::size_t(view.size()));
    BootClock* current = nullptr;
    std::size_t at = 0;
    while (at < bytes.size()) {
        const std::optional<quint16> signature = bytes.le<quint16>(at);
        const std::optional<quint16> size = bytes.le<quint16>(at + 2);
        if (signature == kBootSignature && size == kBootBytes && bytes.has(at, kBootBytes)) {
            const Timebase timebase{*bytes.le<quint32>(at + 24), *bytes.le<quint32>(at + 28)};
            const QUuid boot = *bytes.uuid(at + 8);
            current = nullptr;
            if (timebase.numer != 0 && timebase.denom != 0) {
                const double wall = double(*bytes.le<qint64>(at + 32)) / 1e9;
                // A boot already seen (its records go on in a later file) keeps its syncs.
                auto it = m_boots.find(boot);
                if (it == m_boots.end())
                    it = m_boots.insert(boot, BootClock(timebase, wall));
                else if (!it->hasBootWall())
                    it->setBootWall(wall);
                current = &*it;
            }
            at += kBootBytes;
        } else if (signature == kSyncSignature && size == kSyncBytes && bytes.has(at, kSyncBytes)) {
            const qint64 wall = *bytes.le<qint64>(at + 16);
            if (current && wall != 0)  // 0: not set
                current->addSync(*bytes.le<quint64>(at + 8), double(wall) / 1e9);
            at += kSyncBytes;
        } else {
            return false;
        }
    }
    return true;
}

Timesync Timesync::read(const QStringList& files, qint64* damaged)
{
    Timesync t;
    for (const QString& path : files) {
        const SafeRead::Result r = SafeRead::readRegularFile(path, kMaxTimesyncBytes);
        if (r.outcome != SafeRead::Result::Outcome::read || !t.parse(QByteArrayView(r.data))) {
            qCWarning(lcLogFetcher, "Skipped damaged timesync file %s: %s", qUtf8Printable(path),
                      qUtf8Printable(r.reason.isEmpty() ? QStringLiteral("unknown record") : r.reason));
            ++*damaged;
        }
    }
    for (BootClock& b : t.m_boots)
        b.sortSyncs();
    return t;
}

const BootClock* Timesync::boot(const QUuid& uuid) const
{
    const auto it = m_boots.constFind(uuid);
    return it == m_boots.constEnd() ? nullptr : &*it;
}

}  // namespace Unified
