#include "tools/samplebundle/SamplePlan.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace SampleBundle {

namespace {

constexpr quint32 kNumer = 125, kDenom = 3;  // Apple silicon: a 24 MHz clock
constexpr double kSecondsPerUnit = 125.0 / 3 / 1e9;
constexpr quint64 kPerPersistFile = 200000;

QUuid randomUuid(Rng& r)
{
    QByteArray b(16, '\0');
    qToLittleEndian(r.next(), b.data());
    qToLittleEndian(r.next(), b.data() + 8);
    b[6] = char((b[6] & 0x0f) | 0x40);
    b[8] = char((b[8] & 0x3f) | 0x80);
    return QUuid::fromRfc4122(b);
}

// How busy the Mac is at a time of day: in use from morning to late
// evening, asleep at night but for maintenance wakes.
double daytime(double t)
{
    const double h = std::fmod(t, 86400) / 3600;
    if (h >= 9 && h < 22)
        return 1;
    if (h >= 7 && h < 9)
        return 0.12 + 0.88 * (h - 7) / 2;
    if (h >= 22 && h < 23.5)
        return 1 - 0.88 * (h - 22) / 1.5;
    return 0.12;
}

// `n` in parts proportional to `weights`, each part at least 1 when n allows.
std::vector<quint64> split(quint64 n, const std::vector<double>& weights)
{
    const double total = std::accumulate(weights.begin(), weights.end(), 0.0);
    std::vector<quint64> out(weights.size());
    quint64 given = 0;
    for (std::size_t i = 0; i < out.size(); ++i)
        given += out[i] = total > 0 ? quint64(std::floor(double(n) * weights[i] / total)) : 0;
    for (std::size_t i = 0; given < n; i = (i + 1) % out.size(), ++given)
        ++out[i];
    for (quint64& part : out) {
        if (part == 0 && n >= out.size()) {
            --*std::max_element(out.begin(), out.end());
            part = 1;
        }
    }
    return out;
}

}  // namespace

quint64 Clock::at(double wall) const
{
    const double since = std::max(0.0, wall - bootWall);
    if (since < double(syncTime) * kSecondsPerUnit)
        return quint64(since / kSecondsPerUnit);
    return syncTime + quint64(std::max(0.0, wall - syncWall) / kSecondsPerUnit);
}

Plan::Plan(const World& world, const Options& options)
{
    Rng r(mix(options.seed, 0x91a2));
    // Two days up to a million messages, a few days for ten million.
    const double millions = double(options.count) / 1e6;
    const double days = millions <= 1 ? 2 : std::min(6.0, 2 + 2 * std::log10(millions));
    end = options.end;
    start = end - days * 86400;
    planBoots(world, r, options.seed);
    planStorms(world, r);
    planActivity(r);
    planFiles(options.count);
}

void Plan::planBoots(const World& world, Rng& r, quint64 seed)
{
    // The first boot is older than the span; one or two more come inside it.
    const double span = end - start;
    std::vector<double> at{start - 3600 * (1.5 + 20 * r.uniform())};
    if (r.chance(0.5)) {
        at.push_back(start + span * (0.2 + 0.2 * r.uniform()));
        at.push_back(start + span * (0.6 + 0.2 * r.uniform()));
    } else {
        at.push_back(start + span * (0.35 + 0.25 * r.uniform()));
    }
    int base = 0;
    for (std::size_t b = 0; b < at.size(); ++b) {
        BootPlan boot;
        boot.uuid = randomUuid(r);
        boot.wallSeconds = qint64(std::floor(at[b]));
        boot.wallMicros = quint32(r.below(1000000));
        boot.clock.bootWall = double(boot.wallSeconds) + boot.wallMicros / 1e6;
        boot.inSpan = b > 0;
        boot.first = boot.inSpan ? boot.clock.bootWall + 2 + 3 * r.uniform() : start;
        boot.last = b + 1 < at.size() ? at[b + 1] - (30 + 60 * r.uniform()) : end;

        // A sync as the clock is first set, and one a few hours in that
        // moves it a few milliseconds ahead.
        const qint64 bootNanos = boot.wallSeconds * 1000000000 + qint64(boot.wallMicros) * 1000;
        const auto nanosAt = [&](quint64 time) { return bootNanos + qint64(time * kNumer / kDenom); };
        boot.timesync = {boot.uuid, kNumer, kDenom, bootNanos, {}};
        const quint64 early = quint64((1 + r.uniform()) / kSecondsPerUnit);
        boot.timesync.syncs.emplace_back(early, nanosAt(early));
        boot.clock.syncTime = quint64((3 + 2 * r.uniform()) * 3600 / kSecondsPerUnit);
        boot.timesync.syncs.emplace_back(boot.clock.syncTime, nanosAt(boot.clock.syncTime) + 1000000 + qint64(r.below(30000000)));
        boot.clock.syncWall = double(boot.timesync.syncs.back().second) / 1e9;

        boot.processes = world.bootProcesses(seed, int(b), &boot.pids);
        for (std::size_t p = 0; p < world.processes.size(); ++p)
            boot.threads.push_back(p == 0 ? 0x65 + r.below(0x400) : 0x1a0 + r.below(0x7fffff));
        boot.processBase = base;
        base += int(world.processes.size());
        boots.push_back(std::move(boot));
    }
}

void Plan::planStorms(const World& world, Rng& r)
{
    std::vector<int> errors;
    std::vector<double> cumulative;
    double sum = 0;
    for (std::size_t i = 0; i < world.templates.size(); ++i) {
        const Template& t = world.templates[i];
        if (t.kind == Kind::log && t.logType == 0x10 && !t.dynamic) {
            errors.push_back(int(i));
            cumulative.push_back(sum += t.weight);
        }
    }
    const std::size_t wanted = std::size_t(std::max(2.0, (end - start) / 3600 / 8));
    for (std::size_t attempt = 0; storms.size() < wanted && attempt < wanted * 20 && !errors.empty(); ++attempt) {
        const BootPlan& b = boots[r.below(boots.size())];
        if (b.last - b.first < 900)
            continue;
        Storm s;
        s.start = b.first + 300 + r.uniform() * (b.last - b.first - 600);
        s.end = s.start + 15 + r.uniform() * 85;
        const bool apart = std::none_of(storms.begin(), storms.end(), [&](const Storm& o) {
            return s.start < o.end + 600 && o.start < s.end + 600;
        });
        if (s.end > b.last || daytime(s.start) < 1 || !apart)
            continue;
        s.tmpl = errors[std::size_t(std::upper_bound(cumulative.begin(), cumulative.end(), r.uniform() * sum) - cumulative.begin())];
        s.user = world.pickUser(world.templates[std::size_t(s.tmpl)], r);
        s.boost = 3 + 6 * r.uniform();
        s.seed = r.next();
        storms.push_back(s);
    }
    std::sort(storms.begin(), storms.end(), [](const Storm& a, const Storm& b) { return a.start < b.start; });
}

void Plan::planActivity(Rng& r)
{
    const std::size_t buckets = std::size_t(std::ceil((end - start) / kStep));
    m_mass.assign(buckets + 1, 0);
    std::size_t storm = 0;
    for (std::size_t i = 0; i < buckets; ++i) {
        const double t = start + (double(i) + 0.5) * kStep;
        double w = 0;
        for (const BootPlan& b : boots) {
            if (t < b.first || t > b.last)
                continue;
            w = daytime(t);
            if (w < 0.5 && std::fmod(t, 1800) < 90)
                w *= 6;  // a maintenance wake
            if (b.inSpan && t - b.first < 300)
                w *= 1 + 9 * std::exp(-(t - b.first) / 50);  // the boot's own burst
            if (&b != &boots.back() && b.last - t < 30)
                w *= 3;  // shutting down
        }
        while (storm < storms.size() && storms[storm].end < t)
            ++storm;
        if (storm < storms.size() && storms[storm].start <= t)
            w *= storms[storm].boost;
        w *= std::exp(0.6 * (r.uniform() + r.uniform() + r.uniform() - 1.5));  // never quite steady
        m_mass[i + 1] = m_mass[i] + w * kStep;
    }
}

double Plan::massAt(double t) const
{
    const double at = std::clamp((t - start) / kStep, 0.0, double(m_mass.size() - 1));
    const std::size_t i = std::min(std::size_t(at), m_mass.size() - 2);
    return m_mass[i] + (at - double(i)) * (m_mass[i + 1] - m_mass[i]);
}

double Plan::timeAt(double from, double to, double q) const
{
    const double a = massAt(from), b = massAt(to);
    if (!(b > a))
        return from + q * (to - from);
    const double m = a + q * (b - a);
    std::size_t i = std::size_t(std::upper_bound(m_mass.begin(), m_mass.end(), m) - m_mass.begin());
    i = std::clamp<std::size_t>(i, 1, m_mass.size() - 1) - 1;
    const double w = m_mass[i + 1] - m_mass[i];
    const double t = start + (double(i) + (w > 0 ? (m - m_mass[i]) / w : 0)) * kStep;
    return std::clamp(t, from, to);
}

void Plan::planFiles(quint64 count)
{
    // Most messages persist; the rest go to the special, high-volume and
    // live files as on a Mac, when there are enough to share.
    const quint64 live = count >= 200 ? count * 3 / 100 : 0;
    const quint64 highVolume = count >= 200 ? count * 4 / 100 : 0;
    const quint64 special = count >= 100 ? count / 50 : 0;
    std::vector<double> mass;
    for (const BootPlan& b : boots)
        mass.push_back(massAt(b.last) - massAt(b.first));
    const std::vector<quint64> persist = split(count - live - highVolume - special, mass);
    const std::vector<quint64> specials = split(special, mass);

    std::vector<FilePlan> numbered;
    for (std::size_t b = 0; b < boots.size(); ++b) {
        const BootPlan& boot = boots[b];
        const quint64 n = persist[b];
        const quint64 parts = std::max<quint64>(1, (n + kPerPersistFile - 1) / kPerPersistFile);
        for (quint64 j = 0; j < parts; ++j)
            numbered.push_back({FileKind::persist, int(b), boot.first, boot.last, n, n * j / parts, n * (j + 1) / parts - n * j / parts, {}});
        numbered.push_back({FileKind::special, int(b), boot.first, boot.last, specials[b], 0, specials[b], {}});
        const quint64 signposts = std::max<quint64>(10, n / 40);
        numbered.push_back({FileKind::signpost, int(b), boot.first, boot.last, signposts, 0, signposts, {}});
    }
    const int last = int(boots.size() - 1);
    const double lastFirst = boots.back().first;
    numbered.push_back({FileKind::highVolume, last, std::max(lastFirst, end - 6 * 3600), end, highVolume, 0, highVolume, {}});

    // Numbered in the order logd would have created them.
    const auto startOf = [&](const FilePlan& f) { return timeAt(f.from, f.to, f.total ? double(f.first) / double(f.total) : 0); };
    std::stable_sort(numbered.begin(), numbered.end(), [&](const FilePlan& a, const FilePlan& b) {
        const double sa = startOf(a), sb = startOf(b);
        return sa != sb ? sa < sb : a.kind < b.kind;
    });
    static const char* const folders[] = {"Persist", "Special", "Signpost", "HighVolume"};
    for (std::size_t i = 0; i < numbered.size(); ++i) {
        numbered[i].path = QStringLiteral("%1/%2.tracev3")
                               .arg(QLatin1String(folders[int(numbered[i].kind)]))
                               .arg(quint64(i + 1), 16, 16, QLatin1Char('0'));
        files.push_back(numbered[i]);
    }
    files.push_back({FileKind::live, last, std::max(lastFirst, end - 900), end, live, 0, live,
                     QStringLiteral("logdata.LiveData.tracev3")});
}

}  // namespace SampleBundle
