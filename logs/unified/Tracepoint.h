#pragma once

// A firehose log tracepoint read whole: its fields, where its format string
// lives, and its data items turned into the arguments of its message.

#include "logs/unified/Bytes.h"
#include "logs/unified/MessageFormat.h"

#include <QUuid>

#include <optional>
#include <vector>

namespace Unified {

// The strings file type of the flags: where the format string lives.
enum class StringsType : quint8 {
    mainExe = 0x2,
    sharedCache = 0x4,
    absolute = 0x8,
    uuidRelative = 0xa,
    largeSharedCache = 0xc,
};

namespace Flag {
inline constexpr quint16 currentActivity = 0x0001;
inline constexpr quint16 stringsTypeMask = 0x000e;
inline constexpr quint16 largeOffset = 0x0020;
inline constexpr quint16 privateData = 0x0100;
inline constexpr quint16 subsystem = 0x0200;
inline constexpr quint16 rules = 0x0400;
inline constexpr quint16 oversize = 0x0800;
}  // namespace Flag

struct LogTracepoint {
    quint8 logType = 0;
    quint16 flags = 0;
    quint64 thread = 0;
    quint64 activity = 0;
    quint32 pc = 0;               // the UUID entry load address, lower 32 bits
    quint16 loadAddressHigh = 0;  // absolute: its upper 16 bits
    quint64 formatOffset = 0;     // with the large offset or large shared cache data
    bool dynamic = false;         // the format is "%s"
    QUuid image;                  // uuidRelative: the image whose strings hold the format
    std::optional<quint16> subsystem;
    std::optional<quint16> oversizeReference;
    std::optional<std::pair<quint16, quint16>> privateRange;  // page offset and size
    Bytes items;                                              // from the byte before the item count to the end of the data

    quint8 stringsType() const { return quint8(flags & Flag::stringsTypeMask); }
};

// The log tracepoint at `offset` (its 24 header bytes and data), or nothing
// when its fields do not fit its data.
std::optional<LogTracepoint> parseLogTracepoint(Bytes bytes, std::size_t offset);

// The arguments of the items: `items` starts at the byte before the item
// count and holds the values data after the items; range items point into
// those values, or into `privates` when they are private. False when the
// item array itself does not fit (ranges that do not fit are missing data).
bool readArguments(Bytes items, Bytes privates, std::vector<Argument>& out);

// Log level of the log type: Default 3, Info 2, Debug 1, Error 4, Fault 5.
int levelOfLogType(quint8 logType);

// Activity identifiers without the flag bits of their top byte.
inline quint64 activityId(quint64 raw) { return raw & 0x00ffffffffffffffULL; }

}  // namespace Unified
