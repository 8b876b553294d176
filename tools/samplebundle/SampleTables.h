#pragma once

// The tables the sample Mac is made of: its processes, the images of its
// shared cache, the plug-ins some processes load, the messages they log
// (SampleTemplates.cpp), and the statedumps and simpledumps they write.

#include "tools/archivewriter/ArchiveWriter.h"

#include <span>
#include <utility>
#include <vector>

namespace SampleBundle {

namespace ProcessFlag {
inline constexpr quint8 app = 1, chatty = 2, noStrings = 4, privateData = 8, network = 16;
}

struct ProcessRow {
    const char* path;
    quint32 euid;
    int weight;  // how much it logs through the shared libraries
    quint8 flags;
};

struct LibraryRow {
    const char* path;
    bool far;  // past 2 GiB of the cache: large shared cache references
    quint32 textSize;
};

struct PluginRow {
    const char* path;
    const char* owner;
    ArchiveWriter::StringsRef ref;  // absolute: found by load address; uuidRelative: by UUID
    quint64 loadAddress;
    quint32 size;
};

// One message, activity name or signpost.
struct Row {
    const char* source;     // a process, plug-in or shared-cache image, by name
    const char* users;      // shared-cache images: names, or "*", "apps", "agents", "net", comma-separated
    const char* subsystem;  // "": none
    const char* category;
    char level;  // D I G(debug) E F; B boot, A activity name, S signpost
    int weight;
    const char* format;  // "": a dynamic "%s" whose one value is the message
    const char* values;  // one source per data item, space-separated
};

struct StateDumpRow {
    const char* process;
    const char* title;
    std::vector<std::pair<const char*, const char*>> entries;
};

struct SimpleDumpRow {
    const char* process;
    const char* subsystem;
    const char* message;
};

// The kernel first: it has no shared cache, and "proc" values never name it.
std::span<const ProcessRow> processRows();
std::span<const LibraryRow> libraryRows();
std::span<const PluginRow> pluginRows();
const std::vector<Row>& rows();
const std::vector<StateDumpRow>& stateDumpRows();
std::span<const SimpleDumpRow> simpleDumpRows();

}  // namespace SampleBundle
