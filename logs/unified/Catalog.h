#pragma once

// The tracev3 file's own structures outside the chunksets: its header, with
// the boot and the clock, and its catalogs, which name the processes,
// images and subsystems of the chunksets that follow them.

#include "logs/unified/Bytes.h"

#include <QString>
#include <QUuid>

#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace Unified {

namespace Tag {
inline constexpr quint32 header = 0x1000;
inline constexpr quint32 firehose = 0x6001;
inline constexpr quint32 oversize = 0x6002;
inline constexpr quint32 stateDump = 0x6003;
inline constexpr quint32 simpleDump = 0x6004;
inline constexpr quint32 catalog = 0x600b;
inline constexpr quint32 chunkset = 0x600d;
}  // namespace Tag

inline constexpr std::size_t kChunkHeaderBytes = 16;

struct ChunkHeader {
    quint32 tag = 0;
    quint32 subtag = 0;
    quint64 size = 0;  // of the data after the 16 header bytes
};
std::optional<ChunkHeader> chunkHeaderAt(Bytes bytes, std::size_t offset);

// Continuous time units per nanosecond are numer / denom; neither is 0.
struct Timebase {
    quint32 numer = 1;
    quint32 denom = 1;
    double nanosPerUnit() const { return double(numer) / double(denom); }
};

struct Tracev3Header {
    Timebase timebase;
    double bootWallSeconds = 0;  // wall clock at continuous time 0
    qint32 timeZoneMinutes = 0;
    QUuid boot;
    QString build;
    QString model;
    QString timeZonePath;
};
inline constexpr std::size_t kHeaderChunkBytes = 224;

// The file's header chunk (its first 224 bytes), or nothing when it is not one.
std::optional<Tracev3Header> parseHeader(Bytes firstBytes);

struct SubsystemNames {
    QString subsystem;
    QString category;
};

struct LoadedImageInfo {
    QUuid uuid;
    quint64 loadAddress = 0;
    quint32 size = 0;
};

struct CatalogProcess {
    quint16 index = 0;
    QUuid mainImage;
    std::optional<QUuid> sharedCache;
    quint64 procIdFirst = 0;
    quint32 procIdSecond = 0;
    qint32 pid = 0;
    quint32 euid = 0;
    std::vector<LoadedImageInfo> images;
    std::unordered_map<quint16, SubsystemNames> subsystems;
};

// What a catalog says of each chunkset after it, in continuous time.
struct ChunksetSpan {
    quint64 start = 0;
    quint64 end = 0;
    quint32 uncompressedSize = 0;
};

struct Catalog {
    std::vector<CatalogProcess> processes;
    std::vector<ChunksetSpan> chunksets;

    // Looked up once per chunk, not per record: a linear search serves.
    const CatalogProcess* process(quint64 procIdFirst, quint32 procIdSecond) const;
};

// A catalog chunk's data (after its 16 header bytes), or nothing when damaged.
// Without `names`, the process entries are checked but not kept: what a scan
// of a file's chunksets needs, at a fraction of the cost.
std::optional<Catalog> parseCatalog(Bytes data, bool names = true);

}  // namespace Unified
