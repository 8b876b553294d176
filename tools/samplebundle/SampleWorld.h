#pragma once

// The sample Mac: its processes, the images whose strings files hold their
// format strings (each process's own, a few plug-ins, a shared cache), and
// the messages they log, resolved to where the writer finds their strings.

#include "tools/archivewriter/ArchiveWriter.h"
#include "tools/samplebundle/SampleTables.h"
#include "tools/samplebundle/SampleValues.h"

#include <QString>

#include <optional>
#include <vector>

namespace SampleBundle {

struct ProcessDef {
    QByteArray path;
    QByteArray name;  // NUL-terminated: a value of messages too
    quint32 euid = 0;
    int weight = 1;
    quint8 flags = 0;
    QUuid image;
    std::vector<ArchiveWriter::Subsystem> subsystems;
    std::vector<int> activities;  // the activity templates it may start
};

// An image outside the shared cache that a process loads, with its own strings.
struct PluginDef {
    QByteArray path;
    int owner = -1;
    ArchiveWriter::StringsRef ref = ArchiveWriter::StringsRef::absolute;
    quint64 loadAddress = 0;
    quint32 size = 0;
    QUuid uuid;
};

enum class Kind : quint8 { log,
                           boot,
                           activity,
                           signpost };

struct Template {
    Kind kind = Kind::log;
    quint8 logType = 0;
    int weight = 1;
    bool dynamic = false;
    std::vector<Op> ops;
    std::vector<int> sources;
    ArchiveWriter::StringsRef strings = ArchiveWriter::StringsRef::mainExe;
    quint64 formatOffset = 0;
    quint32 pc = 0;
    quint16 loadAddressHigh = 0;
    QUuid image;                                       // uuidRelative
    std::vector<int> users;                            // processes that log it
    std::vector<double> cumulative;                    // their weights, summed
    std::vector<std::optional<quint16>> subsystemIds;  // per user
};

struct StateDump {
    int process;
    QByteArray title;
    QByteArray plist;
};

struct SimpleDump {
    int process;
    QByteArray subsystem;
    QByteArray message;
};

class World {
public:
    World();
    // Set when the tables do not fit together (a value that is not there, a
    // conversion without its value): a fault of this program, not of its input.
    const QString& error() const { return m_error; }

    std::vector<ProcessDef> processes;  // the kernel first
    std::vector<PluginDef> plugins;
    std::vector<Template> templates;
    std::vector<StateDump> stateDumps;
    std::vector<SimpleDump> simpleDumps;
    std::vector<ArchiveWriter::Image> images;  // the uuidtext files written
    ArchiveWriter::SharedCache cache;
    Values values;

    // The processes as one boot's catalogs list them; `pids` by world process.
    std::vector<ArchiveWriter::Process> bootProcesses(quint64 seed, int boot, std::vector<qint32>* pids) const;
    // One of the template's users (an index into t.users), by their weights.
    int pickUser(const Template& t, Rng& r) const;

private:
    struct Places;  // where format strings go while the table is read
    void addTemplate(const Row& row, Places& places);
    // Who logs the template's message and where its strings live: in a
    // process, in a plugin or in the shared cache. False on an error.
    bool placeTemplate(const Row& row, Template& t, Places& places);
    // code: the caller's offset in its image.
    bool placeInCache(const Row& row, Template& t, Places& places, quint64 code);
    // The processes row.users names as users of a shared cache message.
    bool addCacheUsers(const Row& row, Template& t);
    bool resolveValues(const Row& row, Template& t);
    void addDumps();

    QString m_error;
};

}  // namespace SampleBundle
