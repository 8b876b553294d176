#include "logs/unified/Tracepoint.h"

namespace Unified {

std::optional<LogTracepoint> parseLogTracepoint(Bytes bytes, std::size_t offset)
{
    const std::optional<quint16> dataSize = bytes.le<quint16>(offset + 22);
    const std::optional<Bytes> whole = dataSize ? bytes.sub(offset, 24 + std::size_t(*dataSize)) : std::nullopt;
    if (!whole)
        return std::nullopt;
    Cursor c(*whole);
    LogTracepoint t;
    c.skip(1);
    t.logType = c.u8();
    t.flags = c.u16();
    const quint32 formatLow = c.u32();
    t.thread = c.u64();
    c.skip(8);  // time delta and data size, read by the chunkset
    if (t.flags & Flag::currentActivity)
        t.activity = c.u64();
    if (t.flags & Flag::privateData) {
        const quint16 at = c.u16();
        t.privateRange = std::pair{at, c.u16()};
    }
    t.pc = c.u32();
    std::optional<quint16> largeOffset, largeSharedCache;
    if (t.flags & Flag::largeOffset)
        largeOffset = c.u16();
    switch (StringsType(t.stringsType())) {
    case StringsType::absolute: t.loadAddressHigh = c.u16(); break;
    case StringsType::uuidRelative: t.image = c.uuid(); break;
    case StringsType::largeSharedCache: largeSharedCache = c.u16(); break;
    default: break;
    }
    if (t.flags & Flag::subsystem)
        t.subsystem = c.u16();
    if (t.flags & Flag::rules)
        c.skip(1);  // time to live
    if (t.flags & Flag::oversize)
        t.oversizeReference = c.u16();
    if (!c.ok())
        return std::nullopt;
    t.items = c.take(c.remaining());

    // The reference's low 31 bits, extended by the large data; the large
    // shared cache data wins when both are there, as the platform's tool shows.
    const quint64 low31 = formatLow & 0x7fffffffu;
    const std::optional<quint16> high = largeSharedCache ? largeSharedCache : largeOffset;
    t.formatOffset = high ? (quint64(*high) << 31 | low31) : low31;
    t.dynamic = (formatLow & 0x80000000u) && t.formatOffset <= 0xffffffffu;
    return t;
}

namespace {

// A scalar (kind 0), or a width or precision (kind 1).
Argument scalarArgument(quint8 kind, bool isPrivate, Bytes data)
{
    Argument a;
    const bool sized = data.size() == 1 || data.size() == 2 || data.size() == 4 || data.size() == 8;
    a.kind = isPrivate   ? Argument::Kind::redacted
             : !sized    ? Argument::Kind::missing
             : kind == 0 ? Argument::Kind::scalar
                         : Argument::Kind::precision;
    a.bytes = data.view();
    return a;
}

// A range into the values data, or into the private data when private.
Argument rangeArgument(quint8 kind, bool isPrivate, Bytes data, Bytes values, Bytes privates)
{
    Argument a;
    a.kind = kind == 2 ? Argument::Kind::string : kind == 4 ? Argument::Kind::object
                                                            : Argument::Kind::data;
    const std::optional<quint16> at = data.size() == 4 ? data.le<quint16>(0) : std::nullopt;
    const quint16 size = data.le<quint16>(2).value_or(0);
    const Bytes source = isPrivate ? privates : values;
    if (!at) {
        a.kind = Argument::Kind::missing;
    } else if (size == 0) {
        // Nothing recorded: withheld when private, a NULL pointer otherwise.
        if (isPrivate)
            a.kind = Argument::Kind::redacted;
        else
            a.null = true;
    } else if (const std::optional<Bytes> value = source.sub(*at, size)) {
        a.bytes = a.kind == Argument::Kind::data ? value->view() : value->cstring(0);
    } else {
        a.kind = isPrivate ? Argument::Kind::redacted : Argument::Kind::missing;
    }
    return a;
}

}  // namespace

bool readArguments(Bytes items, Bytes privates, std::vector<Argument>& out)
{
    Cursor c(items);
    c.skip(1);
    const quint8 count = c.u8();
    struct Item {
        quint8 type;
        Bytes data;
    };
    Item list[256];
    for (quint8 i = 0; i < count; ++i) {
        list[i].type = c.u8();
        list[i].data = c.take(c.u8());
    }
    if (!c.ok())
        return false;
    const Bytes values = *items.sub(c.pos(), items.size() - c.pos());
    out.clear();
    out.reserve(count);
    for (quint8 i = 0; i < count; ++i) {
        const quint8 kind = list[i].type >> 4;
        const bool isPrivate = list[i].type & 0x1;
        out.push_back(kind == 0 || kind == 1 ? scalarArgument(kind, isPrivate, list[i].data)
                                             : rangeArgument(kind, isPrivate, list[i].data, values, privates));
    }
    return true;
}

int levelOfLogType(quint8 logType)
{
    switch (logType) {
    case 0x01: return 2;  // info
    case 0x02: return 1;  // debug
    case 0x10: return 4;  // error
    case 0x11: return 5;  // fault
    default: return 3;    // default, and any other value, as the platform's tool shows it
    }
}

}  // namespace Unified
