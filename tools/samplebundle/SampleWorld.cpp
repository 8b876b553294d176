#include "tools/samplebundle/SampleWorld.h"

#include <QHash>

#include <algorithm>

namespace SampleBundle {

namespace {

using ArchiveWriter::StringsRef;
namespace F = ProcessFlag;

const QUuid kNamespace{QStringLiteral("{6F1D1B42-5C0E-4B5A-9A57-3C2E8D0F7A11}")};

QByteArray lastComponent(const QByteArray& path) { return path.mid(path.lastIndexOf('/') + 1); }

// FNV-1a: unlike qHash, the same in every run.
quint64 hashOf(const QByteArray& text)
{
    quint64 h = 0xcbf29ce484222325ULL;
    for (const char c : text)
        h = (h ^ quint8(c)) * 0x100000001b3ULL;
    return mix(h, 0x1f);
}

// Strings added one after the other from a start, each once.
struct StringsPlace {
    std::map<quint64, QByteArray> strings;
    quint64 next = 0;
    QHash<QByteArray, quint64> offsets;

    quint64 add(const QByteArray& text)
    {
        if (const auto it = offsets.constFind(text); it != offsets.constEnd())
            return *it;
        const quint64 at = next;
        strings[at] = text;
        offsets.insert(text, at);
        next += quint64(text.size()) + 1;
        return at;
    }
};

}  // namespace

struct World::Places {
    std::vector<StringsPlace> images;  // by process, then by plug-in
    std::vector<StringsPlace> cache;   // by shared-cache image
};

World::World()
{
    Places places;
    const auto addImage = [&](const QByteArray& path) {
        places.images.push_back({{}, 0x2f000 + (hashOf(path) % 0x40000 & ~quint64(0xf)), {}});
        return QUuid::createUuidV3(kNamespace, path);
    };
    for (const ProcessRow& row : processRows()) {
        ProcessDef p;
        p.path = row.path;
        p.name = lastComponent(p.path) + '\0';
        p.euid = row.euid;
        p.weight = row.weight;
        p.flags = row.flags;
        p.image = addImage(p.path);
        processes.push_back(std::move(p));
    }
    for (const PluginRow& row : pluginRows()) {
        PluginDef plugin{row.path, -1, row.ref, row.loadAddress, row.size, addImage(row.path)};
        for (std::size_t i = 0; i < processes.size(); ++i)
            if (processes[i].name == QByteArray(row.owner) + '\0')
                plugin.owner = int(i);
        if (plugin.owner < 0)
            m_error = QStringLiteral("no process \"%1\" loads %2").arg(QLatin1String(row.owner), QLatin1String(row.path));
        plugins.push_back(plugin);
    }
    cache.uuid = QUuid::createUuidV3(kNamespace, QByteArray("dyld_shared_cache_arm64e 23E224"));
    cache.version = 2;
    quint64 near = 0x00184000, far = 0x8a5c0000;
    for (const LibraryRow& row : libraryRows()) {
        quint64& at = row.far ? far : near;
        const QByteArray path(row.path);
        cache.images.push_back({QUuid::createUuidV3(kNamespace, path), path, at, row.textSize, {}});
        // Strings in the last quarter of the image's text, as its cstring section.
        places.cache.push_back({{}, (at + row.textSize / 4 * 3) & ~quint64(0xf), {}});
        at += row.textSize + ((0x40000 + hashOf(path) % 0x200000) & ~quint64(0x3fff));
    }

    for (std::size_t i = 0; m_error.isEmpty() && i < rows().size(); ++i) {
        addTemplate(rows()[i], places);
        if (!m_error.isEmpty())
            m_error = QStringLiteral("message table row %1: %2").arg(i + 1).arg(m_error);
    }
    const auto strings = [](StringsPlace& place) {
        std::map<quint32, QByteArray> out;
        for (auto& [offset, text] : place.strings)
            out[quint32(offset)] = std::move(text);
        return out;
    };
    for (std::size_t i = 0; i < processes.size(); ++i)
        if (!(processes[i].flags & F::noStrings))
            images.push_back({processes[i].image, processes[i].path, strings(places.images[i])});
    for (std::size_t i = 0; i < plugins.size(); ++i)
        images.push_back({plugins[i].uuid, plugins[i].path, strings(places.images[processes.size() + i])});
    for (std::size_t i = 0; i < cache.images.size(); ++i)
        cache.images[i].strings = std::move(places.cache[i].strings);
    addDumps();
}

namespace {

quint8 logTypeOf(char level)
{
    switch (level) {
    case 'I': return 0x01;
    case 'G': return 0x02;
    case 'E': return 0x10;
    case 'F': return 0x11;
    default: return 0x00;
    }
}

quint16 subsystemId(ProcessDef& p, const QByteArray& subsystem, const QByteArray& category)
{
    for (const ArchiveWriter::Subsystem& s : p.subsystems)
        if (s.subsystem == subsystem && s.category == category)
            return s.id;
    const quint16 id = quint16(p.subsystems.size());
    p.subsystems.push_back({id, subsystem, category});
    return id;
}

// Whether process p (the kernel is 0) is one that `name` of a shared
// cache's users names: "*" (all but the kernel), "apps", "agents", "net", or its own name.
bool isNamed(const ProcessDef& d, std::size_t p, const QByteArray& name)
{
    const bool agent = d.euid == 501 && !(d.flags & F::app);
    return (name == "*" && p > 0) || (name == "apps" && (d.flags & F::app)) || (name == "agents" && agent) ||
           (name == "net" && (d.flags & F::network)) || d.name == name + '\0';
}

}  // namespace

bool World::resolveValues(const Row& row, Template& t)
{
    t.ops = parseFormat(t.dynamic ? std::string_view("%{public}s") : std::string_view(row.format), &m_error);
    if (!m_error.isEmpty())
        return false;
    QList<QByteArray> names = QByteArray(row.values).split(' ');
    names.removeAll(QByteArray());
    qsizetype next = 0;
    const auto take = [&](Category category) {
        if (next >= names.size()) {
            m_error = QStringLiteral("fewer values than its format takes");
            return false;
        }
        const std::optional<int> source = values.source(names[next++], category, &m_error);
        if (source)
            t.sources.push_back(*source);
        return source.has_value();
    };
    for (const Op& op : t.ops) {
        if ((op.widthStar && !take(Category::integer)) || (op.precisionStar && !take(Category::integer)))
            return false;
        if (!take(op.maskHash ? Category::data : op.category))
            return false;
    }
    if (next != names.size()) {
        m_error = QStringLiteral("more values than its format takes");
        return false;
    }
    return true;
}

void World::addTemplate(const Row& row, Places& places)
{
    Template t;
    t.kind = row.level == 'B' ? Kind::boot : row.level == 'A' ? Kind::activity
                                         : row.level == 'S'   ? Kind::signpost
                                                              : Kind::log;
    t.logType = logTypeOf(row.level);
    t.weight = row.weight;
    t.dynamic = !*row.format && t.kind != Kind::activity;
    if (!resolveValues(row, t) || !placeTemplate(row, t, places))
        return;
    if (t.users.empty()) {
        m_error = QStringLiteral("no process or image is \"%1\"").arg(QString::fromLatin1(row.source));
        return;
    }
    std::sort(t.users.begin(), t.users.end());
    t.users.erase(std::unique(t.users.begin(), t.users.end()), t.users.end());
    double sum = 0;
    for (const int u : t.users) {
        ProcessDef& p = processes[std::size_t(u)];
        t.cumulative.push_back(sum += p.weight);
        t.subsystemIds.push_back(*row.subsystem ? std::optional(subsystemId(p, row.subsystem, row.category))
                                                : std::nullopt);
        if (t.kind == Kind::activity)
            p.activities.push_back(int(templates.size()));
    }
    templates.push_back(std::move(t));
}

bool World::placeTemplate(const Row& row, Template& t, Places& places)
{
    // Where its strings live, and the caller's address in that image.
    const QByteArray source(row.source);
    const QByteArray format(row.format);
    const quint64 code = 0x1000 + (hashOf(format + source) % 0x20000 & ~quint64(3));
    for (std::size_t i = 0; i < processes.size() && t.users.empty(); ++i) {
        if (processes[i].name != source + '\0')
            continue;
        t.users = {int(i)};
        t.pc = quint32(code);
        t.formatOffset = t.dynamic ? code : places.images[i].add(format);
    }
    for (std::size_t i = 0; i < plugins.size() && t.users.empty(); ++i) {
        const PluginDef& p = plugins[i];
        if (lastComponent(p.path) != source)
            continue;
        t.users = {p.owner};
        t.strings = p.ref;
        t.formatOffset = t.dynamic ? code : places.images[processes.size() + i].add(format);
        const quint64 address = p.ref == StringsRef::absolute ? p.loadAddress + code : code;
        t.pc = quint32(address);
        t.loadAddressHigh = quint16(address >> 32);
        t.image = p.uuid;
    }
    return t.users.empty() ? placeInCache(row, t, places, code) : true;
}

bool World::placeInCache(const Row& row, Template& t, Places& places, quint64 code)
{
    const QByteArray source(row.source);
    for (std::size_t i = 0; i < cache.images.size(); ++i) {
        const ArchiveWriter::SharedCache::Member& m = cache.images[i];
        if (lastComponent(m.path) != source)
            continue;
        const quint64 pc = m.textOffset + code % (m.textSize / 2);
        t.pc = quint32(pc);
        t.formatOffset = t.dynamic ? pc : places.cache[i].add(QByteArray(row.format));
        t.strings = t.formatOffset >> 31 ? StringsRef::largeSharedCache : StringsRef::sharedCache;
        if (t.dynamic && t.formatOffset >> 31) {
            m_error = QStringLiteral("a dynamic message of %1, past 2 GiB of the cache").arg(QString::fromLatin1(source));
            return false;
        }
        return addCacheUsers(row, t);
    }
    return true;
}

bool World::addCacheUsers(const Row& row, Template& t)
{
    for (const QByteArray& name : QByteArray(row.users).split(',')) {
        const std::size_t before = t.users.size();
        for (std::size_t p = 0; p < processes.size(); ++p) {
            if (isNamed(processes[p], p, name))
                t.users.push_back(int(p));
        }
        if (t.users.size() == before || (!t.users.empty() && t.users.front() == 0)) {
            m_error = QStringLiteral("\"%1\" names no process with a shared cache").arg(QString::fromLatin1(name));
            return false;
        }
    }
    return true;
}

int World::pickUser(const Template& t, Rng& r) const
{
    if (t.users.size() == 1)
        return 0;
    const double at = r.uniform() * t.cumulative.back();
    return int(std::upper_bound(t.cumulative.begin(), t.cumulative.end(), at) - t.cumulative.begin());
}

std::vector<ArchiveWriter::Process> World::bootProcesses(quint64 seed, int boot, std::vector<qint32>* pids) const
{
    // Each boot numbers its processes anew: daemons first, then the user's
    // agents at login, then the apps as they are opened.
    Rng r(mix(seed, 0xb007 + quint64(boot)));
    qint32 daemon = 60 + qint32(r.below(20)), agent = 330 + qint32(r.below(60)), app = 700 + qint32(r.below(400));
    std::vector<ArchiveWriter::Process> out;
    pids->clear();
    for (std::size_t i = 0; i < processes.size(); ++i) {
        const ProcessDef& d = processes[i];
        qint32 pid = 0;
        if (d.path == "/sbin/launchd")
            pid = 1;
        else if (i > 0)
            pid = (d.flags & F::app) ? (app += 1 + qint32(r.below(900)))
                  : d.euid == 501    ? (agent += 1 + qint32(r.below(9)))
                                     : (daemon += 1 + qint32(r.below(7)));
        pids->push_back(pid);
        ArchiveWriter::Process p;
        p.procIdFirst = quint64(pid);
        p.procIdSecond = pid ? quint32(pid) * 3 + 97 + quint32(r.below(40)) : 0;
        p.pid = pid;
        p.euid = d.euid;
        p.mainImage = d.image;
        if (i > 0)
            p.sharedCache = cache.uuid;
        for (const PluginDef& plugin : plugins)
            if (plugin.owner == int(i))
                p.images.push_back({plugin.uuid, plugin.loadAddress, plugin.size});
        p.subsystems = d.subsystems;
        out.push_back(std::move(p));
    }
    return out;
}

void World::addDumps()
{
    const auto process = [&](const char* name) {
        for (std::size_t i = 0; i < processes.size(); ++i)
            if (processes[i].name == QByteArray(name) + '\0')
                return int(i);
        m_error = QStringLiteral("no process is \"%1\"").arg(QLatin1String(name));
        return 0;
    };
    for (const StateDumpRow& row : stateDumpRows()) {
        std::vector<std::pair<QByteArray, QByteArray>> entries;
        for (const auto& [key, value] : row.entries)
            entries.emplace_back(key, value);
        stateDumps.push_back({process(row.process), row.title, Values::binaryPlist(entries)});
    }
    for (const SimpleDumpRow& row : simpleDumpRows())
        simpleDumps.push_back({process(row.process), row.subsystem, row.message});
}

}  // namespace SampleBundle
