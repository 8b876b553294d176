#pragma once

// Writes unified-log archives in the layout a Mac's `log collect` produces:
// tracev3 files (header, catalogs, LZ4-compressed chunksets holding firehose,
// oversize, simpledump and statedump chunks), timesync files, uuidtext files
// and shared-cache strings files. Tests, benches and the sample script use it
// to make archives whose content they know exactly.

#include <QByteArray>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace ArchiveWriter {

// An image with a strings file of its own (uuidtext, in the folder named by
// the first two hex digits of its UUID). One range per string.
struct Image {
    QUuid uuid;
    QByteArray path;                        // the footer, e.g. "/usr/libexec/exampled"
    std::map<quint32, QByteArray> strings;  // image offset -> string (written NUL-terminated)
};

// A shared-cache strings file (dsc/<UUID>) and the images inside it.
struct SharedCache {
    struct Member {
        QUuid uuid;
        QByteArray path;
        quint64 textOffset = 0;  // the image's text range within the cache
        quint32 textSize = 0;
        std::map<quint64, QByteArray> strings;  // cache offset -> string; one range per string
    };
    QUuid uuid;
    int version = 2;  // 1 or 2: header major version and record layout
    std::vector<Member> images;
};

// A catalog UUID information entry: an image loaded at an address.
struct LoadedImage {
    QUuid uuid;
    quint64 loadAddress = 0;  // 48 bits
    quint32 size = 0;
};

struct Subsystem {
    quint16 id = 0;
    QByteArray subsystem;
    QByteArray category;
};

// A catalog process information entry. A catalog lists the processes its
// chunksets use.
struct Process {
    quint64 procIdFirst = 0;  // the proc_id #@# of firehose and other chunks
    quint32 procIdSecond = 0;
    qint32 pid = 0;
    quint32 euid = 0;
    QUuid mainImage;
    std::optional<QUuid> sharedCache;  // none writes 0xffff
    std::vector<LoadedImage> images;
    std::vector<Subsystem> subsystems;
};

// Where a tracepoint's format string lives (the flags' strings file type).
enum class StringsRef : quint8 {
    mainExe = 0x2,
    sharedCache = 0x4,
    absolute = 0x8,
    uuidRelative = 0xa,
    largeSharedCache = 0xc,
};

// One data item of a log or signpost tracepoint.
struct Argument {
    enum class Where {
        inlineData,   // `bytes` is the item's own data (its size byte is bytes.size())
        valueData,    // the item holds a range (offset, size) into the values data
        privateData,  // the item holds a range into the firehose chunk's private data
    };
    quint8 type = 0;  // the value type byte, written as given
    Where where = Where::inlineData;
    QByteArray bytes;
};

struct Entry {
    enum class Kind { log,
                      activity,
                      trace,
                      signpost,
                      loss,
                      simpleDump,
                      stateDump };
    enum class Oversize {
        none,
        sameChunkset,     // the arguments go into an oversize chunk before the tracepoint's firehose chunk
        earlierChunkset,  // ... into the chunkset before the tracepoint's
        missing,          // the tracepoint refers to oversize data that is not written
    };
    Kind kind = Kind::log;
    int process = 0;  // index into Bundle::processes
    quint64 continuousTime = 0;
    quint8 logType = 0;  // 0 default, 1 info, 2 debug, 0x10 error, 0x11 fault
    quint64 thread = 0;
    std::optional<quint64> activity;   // the current activity identifier (has_current_aid)
    std::optional<quint16> subsystem;  // has_subsystem
    StringsRef strings = StringsRef::mainExe;
    quint64 formatOffset = 0;     // over 31 bits sets the large offset (or large shared cache) data
    bool dynamic = false;         // the reference's top bit: the format is "%s"
    quint32 pc = 0;               // UUID entry load address, lower 32 bits
    quint16 loadAddressHigh = 0;  // absolute: its upper 16 bits
    QUuid image;                  // uuidRelative: the image whose strings hold the format
    std::vector<Argument> arguments;
    Oversize oversize = Oversize::none;
    bool backtrace = false;  // writes a backtrace ahead of the values data
    // simpleDump: sender image, shared cache, load address, subsystem and message strings.
    QUuid senderImage;
    QUuid sharedCacheImage;
    quint64 loadAddress = 0;
    QByteArray simpleSubsystem;
    QByteArray simpleMessage;
    // stateDump: title and data (type 1).
    QByteArray stateTitle;
    QByteArray stateData;
    // loss: messages lost.
    quint64 lostCount = 0;
};

struct File {
    QString path;  // relative to the bundle, e.g. "Persist/0000000000000001.tracev3"
    QUuid boot;
    quint32 timebaseNumer = 1;  // continuous time unit = numer / denom nanoseconds
    quint32 timebaseDenom = 1;
    qint64 bootWallSeconds = 0;  // the header's wall time (offset 32) ...
    quint32 bootWallMicros = 0;  // ... and its microseconds (offset 40)
    qint32 timeZoneMinutes = 0;
    // Entries in the order they are written: either this list, or `next`
    // (which fills its argument and returns false at the end), for files too
    // large to describe in memory.
    std::vector<Entry> entries;
    std::function<bool(Entry&)> next;
    int entriesPerChunkset = 256;
    int chunksetsPerCatalog = 8;
    bool compress = true;  // false writes "bv4-" (stored) blocks
};

// A boot of the timesync database: its boot record and sync records.
struct TimesyncBoot {
    QUuid boot;
    quint32 timebaseNumer = 1;
    quint32 timebaseDenom = 1;
    qint64 bootWallNanos = 0;                       // wall time at continuous time 0
    std::vector<std::pair<quint64, qint64>> syncs;  // (continuous time, wall nanoseconds)
};

struct Bundle {
    std::vector<Image> images;
    std::vector<SharedCache> sharedCaches;
    std::vector<Process> processes;
    std::vector<TimesyncBoot> timesync;  // one file, timesync/0000000000000000.timesync
    std::vector<File> files;
};

// Where each chunk of a written tracev3 file lies, for tests that damage it.
struct ChunkLocation {
    qint64 offset = 0;  // of the chunk header in the file
    quint32 tag = 0;
    quint64 size = 0;  // the header's data size
};
struct FileReport {
    QString path;  // absolute
    std::vector<ChunkLocation> chunks;
};
struct Report {
    std::optional<QString> error;  // set when anything could not be written
    std::vector<FileReport> files;
};

// Writes the bundle into `directory` (created when missing).
Report writeBundle(const Bundle& bundle, const QString& directory);

// The continuous time of a wall-clock time (seconds since 1970) in a file's boot.
quint64 continuousTimeAt(const File& file, double wallSeconds);

}  // namespace ArchiveWriter
