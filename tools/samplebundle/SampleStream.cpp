#include "tools/samplebundle/SampleStream.h"

#include <algorithm>
#include <array>
#include <memory>

namespace SampleBundle {

namespace {

using ArchiveWriter::Entry;

// Messages of some templates, each by its weight within its level and each
// level by its share.
class Picker {
public:
    Picker() = default;
    Picker(const World& w, Kind kind, std::initializer_list<std::pair<quint8, double>> levels, bool chattyOnly)
    {
        double sum = 0;
        for (const std::pair<quint8, double>& wanted : levels) {
            // Plain names: clang-tidy's clang 14 cannot capture a structured binding.
            const quint8 logType = wanted.first;
            const double share = wanted.second;
            const auto fits = [&](const Template& t) {
                const bool chatty = std::any_of(t.users.begin(), t.users.end(), [&](int u) {
                    return w.processes[std::size_t(u)].flags & ProcessFlag::chatty;
                });
                return t.kind == kind && (kind == Kind::signpost || t.logType == logType) && (chatty || !chattyOnly);
            };
            double level = 0;
            for (const Template& t : w.templates)
                level += fits(t) ? t.weight : 0;
            for (std::size_t i = 0; i < w.templates.size() && level > 0; ++i) {
                if (fits(w.templates[i])) {
                    m_templates.push_back(int(i));
                    m_cumulative.push_back(sum += share * w.templates[i].weight / level);
                }
            }
        }
    }

    bool empty() const { return m_templates.empty(); }

    int pick(Rng& r) const
    {
        const double at = r.uniform() * m_cumulative.back();
        return m_templates[std::size_t(std::upper_bound(m_cumulative.begin(), m_cumulative.end(), at) - m_cumulative.begin())];
    }

private:
    std::vector<int> m_templates;
    std::vector<double> m_cumulative;
};

// What every file's entries draw on.
struct Shared {
    Shared(const World& w, const Options& o) : world(w), plan(w, o), seed(o.seed)
    {
        // Persisted: mostly default, info and debug; some errors, few faults.
        pickers[int(FileKind::persist)] = Picker(w, Kind::log, {{0x00, 0.64}, {0x01, 0.18}, {0x02, 0.13}, {0x10, 0.04}, {0x11, 0.008}}, false);
        pickers[int(FileKind::special)] = Picker(w, Kind::log, {{0x10, 0.5}, {0x11, 0.15}, {0x00, 0.35}}, false);
        pickers[int(FileKind::signpost)] = Picker(w, Kind::signpost, {{0, 1}}, false);
        pickers[int(FileKind::highVolume)] = Picker(w, Kind::log, {{0x01, 0.4}, {0x02, 0.6}}, true);
        pickers[int(FileKind::live)] = Picker(w, Kind::log, {{0x00, 0.35}, {0x01, 0.30}, {0x02, 0.30}, {0x10, 0.04}, {0x11, 0.01}}, false);
        for (Picker& p : pickers)
            if (p.empty())  // a table without such messages: any persisted one will do
                p = pickers[int(FileKind::persist)];
        for (const ProcessDef& p : w.processes)
            names.push_back(p.name);
        for (std::size_t i = 0; i < w.templates.size(); ++i)
            if (w.templates[i].kind == Kind::boot)
                bootTemplates.push_back(int(i));
    }

    const World& world;
    Plan plan;
    quint64 seed;
    std::array<Picker, 5> pickers;
    std::vector<QByteArray> names;
    std::vector<int> bootTemplates;
};

// The entries of one file, in time order: its messages, and the activities,
// statedumps and loss records between them.
class Stream {
public:
    Stream(std::shared_ptr<const Shared> shared, std::size_t file)
        : m_shared(std::move(shared)),
          m_world(m_shared->world),
          m_file(m_shared->plan.files[file]),
          m_boot(m_shared->plan.boots[std::size_t(m_file.boot)]),
          m_rng(mix(m_shared->seed, 0xf11e0000 + file)),
          m_next(m_file.first),
          m_activities(m_world.processes.size(), {0, -1e300}),
          m_nextActivity((quint64(file) + 1) << 20)
    {
        if (m_file.kind == FileKind::persist && m_boot.inSpan && m_file.first == 0)
            m_prelude = m_shared->bootTemplates.size() + m_world.simpleDumps.size();
    }

    bool next(Entry& e)
    {
        if (m_pending) {
            e = std::move(*m_pending);
            m_pending.reset();
        } else if (!make(e)) {
            return false;
        }
        ++m_written;
        return true;
    }

private:
    struct Choice {
        int tmpl = -1;
        int user = 0;
        int simpleDump = -1;
        const Storm* storm = nullptr;
        std::optional<quint64> activity;
    };

    bool make(Entry& e)
    {
        if (m_next >= m_file.first + m_file.count) {
            // A special file keeps its statedump even without messages.
            if (m_file.kind != FileKind::special || m_written > 0 || m_file.count > 0)
                return false;
            stateDump(e, (m_file.from + m_file.to) / 2);
            return true;
        }
        const quint64 k = m_next++;
        double wall = m_shared->plan.timeAt(m_file.from, m_file.to, (double(k) + m_rng.uniform()) / double(m_file.total));
        if (k < m_prelude)  // the boot's own messages come in its first seconds, however few the messages
            wall = std::min(wall, m_boot.first + 2.0 * double(k + 1) / double(m_prelude));
        const double between = m_prev < 0 ? wall : (m_prev + wall) / 2;
        Choice c = choose(k, wall);
        Entry* message = &e;
        if (extra(c, wall, between, e))
            message = &m_pending.emplace();
        build(*message, c, wall);
        m_prev = wall;
        return true;
    }

    Choice choose(quint64 k, double wall)
    {
        Choice c;
        if (k < m_prelude) {
            if (k < m_shared->bootTemplates.size())
                c.tmpl = m_shared->bootTemplates[k];
            else
                c.simpleDump = int(k - m_shared->bootTemplates.size());
            return c;
        }
        if (m_file.kind == FileKind::persist) {
            const std::vector<Storm>& storms = m_shared->plan.storms;
            while (m_storm < storms.size() && storms[m_storm].end < wall)
                ++m_storm;
            if (m_storm < storms.size() && storms[m_storm].start <= wall && m_rng.chance(1 - 1 / storms[m_storm].boost)) {
                c.storm = &storms[m_storm];
                c.tmpl = c.storm->tmpl;
                c.user = c.storm->user;
                return c;
            }
        }
        // Apps open a minute or two after the boot, once the user has logged in.
        const bool early = m_boot.inSpan && wall - m_boot.first < 120;
        for (int attempt = 0; attempt < 4; ++attempt) {
            c.tmpl = m_shared->pickers[int(m_file.kind)].pick(m_rng);
            const Template& t = m_world.templates[std::size_t(c.tmpl)];
            c.user = m_world.pickUser(t, m_rng);
            if (!early || !(m_world.processes[std::size_t(t.users[std::size_t(c.user)])].flags & ProcessFlag::app))
                break;
        }
        return c;
    }

    // A record that comes before the message: a loss once an error storm has
    // overrun its buffers, now and then a statedump, and activities that the
    // message's process starts. False when there is none.
    bool extra(Choice& c, double wall, double at, Entry& e)
    {
        const std::vector<Storm>& storms = m_shared->plan.storms;
        while (m_file.kind == FileKind::persist && m_nextLoss < storms.size() &&
               (storms[m_nextLoss].start + storms[m_nextLoss].end) / 2 <= wall) {
            const Storm& s = storms[m_nextLoss++];
            if (m_prev >= 0 && (s.start + s.end) / 2 > m_prev && s.start >= m_boot.first && s.end <= m_boot.last) {
                loss(e, s, at);
                return true;
            }
        }
        const double stateDumps = m_file.kind == FileKind::special ? 0.01 : m_file.kind == FileKind::persist ? 0.0003
                                                                                                             : 0;
        if ((m_file.kind == FileKind::special && m_written == 0) || m_rng.chance(stateDumps)) {
            stateDump(e, at);
            return true;
        }
        if (c.tmpl < 0 || m_world.templates[std::size_t(c.tmpl)].kind != Kind::log)
            return false;
        const int process = m_world.templates[std::size_t(c.tmpl)].users[std::size_t(c.user)];
        const std::vector<int>& names = m_world.processes[std::size_t(process)].activities;
        if (names.empty() || !m_rng.chance(0.015))
            return false;
        const Template& a = m_world.templates[std::size_t(names[m_rng.below(names.size())])];
        c.activity = 0x8000000000000000ULL | m_nextActivity++;
        m_activities[std::size_t(process)] = {*c.activity, wall};
        e.kind = Entry::Kind::activity;
        e.process = m_boot.processBase + process;
        e.continuousTime = m_boot.clock.at(at);
        e.thread = thread(process);
        e.activity = c.activity;
        reference(e, a);
        return true;
    }

    void build(Entry& e, const Choice& c, double wall)
    {
        if (c.simpleDump >= 0)
            return simpleDump(e, m_world.simpleDumps[std::size_t(c.simpleDump)], wall);
        const Template& t = m_world.templates[std::size_t(c.tmpl)];
        const int process = t.users[std::size_t(c.user)];
        const ProcessDef& p = m_world.processes[std::size_t(process)];
        e.kind = t.kind == Kind::signpost ? Entry::Kind::signpost : Entry::Kind::log;
        e.process = m_boot.processBase + process;
        e.continuousTime = m_boot.clock.at(wall);
        static constexpr quint8 kSignposts[] = {0x81, 0x82, 0x80, 0x41, 0x42};
        e.logType = t.kind == Kind::signpost ? kSignposts[m_rng.below(std::size(kSignposts))] : t.logType;
        e.thread = thread(process);
        e.subsystem = t.subsystemIds[std::size_t(c.user)];
        reference(e, t);
        Context context{wall, m_boot.pids[std::size_t(process)], &m_boot.pids, &m_shared->names};
        // A storm repeats one of a few variants of its message.
        Rng variant(c.storm ? mix(c.storm->seed, m_rng.below(3)) : 0);
        Rng& values = c.storm ? variant : m_rng;
        if (m_world.values.encode(t.ops, t.sources, p.flags & ProcessFlag::privateData, context, values, e.arguments)) {
            // Now and then logd has already dropped the oversize data.
            e.oversize = m_rng.chance(0.01)                      ? Entry::Oversize::missing
                         : m_written > 300 && m_rng.chance(0.25) ? Entry::Oversize::earlierChunkset
                                                                 : Entry::Oversize::sameChunkset;
        }
        e.backtrace = t.logType == 0x11;
        const auto& [activity, since] = m_activities[std::size_t(process)];
        if (c.activity)
            e.activity = c.activity;
        else if (wall - since < 3 && m_rng.chance(0.5))
            e.activity = activity;
    }

    void reference(Entry& e, const Template& t)
    {
        e.strings = t.strings;
        e.formatOffset = t.formatOffset;
        e.dynamic = t.dynamic;
        e.pc = t.pc;
        e.loadAddressHigh = t.loadAddressHigh;
        e.image = t.image;
    }

    quint64 thread(int process)
    {
        const quint64 first = m_boot.threads[std::size_t(process)];
        return first + 0x1b * m_rng.below(1 + first % 9);
    }

    void stateDump(Entry& e, double at)
    {
        const StateDump& d = m_world.stateDumps[m_rng.below(m_world.stateDumps.size())];
        e.kind = Entry::Kind::stateDump;
        e.process = m_boot.processBase + d.process;
        e.continuousTime = m_boot.clock.at(at);
        e.senderImage = m_world.processes[std::size_t(d.process)].image;
        e.stateTitle = d.title;
        e.stateData = d.plist;
    }

    void simpleDump(Entry& e, const SimpleDump& d, double at)
    {
        e.kind = Entry::Kind::simpleDump;
        e.process = m_boot.processBase + d.process;
        e.continuousTime = m_boot.clock.at(at);
        e.thread = thread(d.process);
        e.loadAddress = 0x4000 + m_rng.below(0x40000) * 4;
        e.senderImage = m_world.processes[std::size_t(d.process)].image;
        if (d.process > 0)
            e.sharedCacheImage = m_world.cache.uuid;
        e.simpleSubsystem = d.subsystem;
        e.simpleMessage = d.message;
    }

    void loss(Entry& e, const Storm& s, double at)
    {
        const int process = m_world.templates[std::size_t(s.tmpl)].users[std::size_t(s.user)];
        e.kind = Entry::Kind::loss;
        e.process = m_boot.processBase + process;
        e.continuousTime = m_boot.clock.at(at);
        e.thread = thread(process);
        e.lostCount = 40 + m_rng.below(4000);
    }

    std::shared_ptr<const Shared> m_shared;
    const World& m_world;
    const FilePlan& m_file;
    const BootPlan& m_boot;
    Rng m_rng;
    quint64 m_next;
    quint64 m_prelude = 0;
    double m_prev = -1;
    qint64 m_written = 0;
    std::size_t m_storm = 0, m_nextLoss = 0;
    std::vector<std::pair<quint64, double>> m_activities;  // per process: its last, and when
    quint64 m_nextActivity;
    std::optional<Entry> m_pending;
};

}  // namespace

ArchiveWriter::Bundle makeBundle(const World& world, const Options& options, Summary* summary)
{
    auto shared = std::make_shared<const Shared>(world, options);
    const Plan& plan = shared->plan;
    ArchiveWriter::Bundle bundle;
    bundle.images = world.images;
    bundle.sharedCaches = {world.cache};
    for (const BootPlan& boot : plan.boots) {
        bundle.processes.insert(bundle.processes.end(), boot.processes.begin(), boot.processes.end());
        bundle.timesync.push_back(boot.timesync);
    }
    for (std::size_t i = 0; i < plan.files.size(); ++i) {
        const FilePlan& f = plan.files[i];
        const BootPlan& boot = plan.boots[std::size_t(f.boot)];
        ArchiveWriter::File file;
        file.path = f.path;
        file.boot = boot.uuid;
        file.timebaseNumer = boot.timesync.timebaseNumer;
        file.timebaseDenom = boot.timesync.timebaseDenom;
        file.bootWallSeconds = boot.wallSeconds;
        file.bootWallMicros = boot.wallMicros;
        file.next = [stream = std::make_shared<Stream>(shared, i)](Entry& e) { return stream->next(e); };
        bundle.files.push_back(std::move(file));
    }
    *summary = {int(plan.boots.size()), int(plan.files.size()), plan.start, plan.end};
    return bundle;
}

}  // namespace SampleBundle
