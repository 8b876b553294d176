#include "tools/archivewriter/Firehose.h"

#include "tools/archivewriter/Encoding.h"

#include <algorithm>

namespace ArchiveWriter::detail {

namespace {

namespace Flag {
constexpr quint16 currentActivity = 0x0001;
constexpr quint16 largeOffset = 0x0020;
constexpr quint16 privateData = 0x0100;
constexpr quint16 subsystem = 0x0200;
constexpr quint16 oversize = 0x0800;
constexpr quint16 backtrace = 0x1000;
}  // namespace Flag

constexpr quint8 kTracepointHeader = 24;

bool knownStrings(StringsRef s)
{
    switch (s) {
    case StringsRef::mainExe:
    case StringsRef::sharedCache:
    case StringsRef::absolute:
    case StringsRef::uuidRelative:
    case StringsRef::largeSharedCache:
        return true;
    }
    return false;
}

}  // namespace

// Items, then the values data (led by the backtrace) and the private bytes
// the range items point into.
void TracepointEncoder::arguments(const Entry& e, const Process& p)
{
    m_items.resize(0);
    m_values.resize(0);
    m_private.resize(0);
    m_itemCount = fitting<quint8>(e.arguments.size(), "argument count");
    if (e.backtrace) {
        // One image, the process's main one, and one frame at the entry's pc.
        put<quint16>(m_values, 1);
        put<quint8>(m_values, 0x12);
        put<quint8>(m_values, 1);
        put<quint8>(m_values, 1);
        put<quint8>(m_values, 0);
        putUuid(m_values, p.mainImage);
        put<quint32>(m_values, e.pc);
        put<quint8>(m_values, 0);
        padTo(m_values, 4);
    }
    for (const Argument& a : e.arguments) {
        put<quint8>(m_items, a.type);
        if (a.where == Argument::Where::inlineData) {
            put<quint8>(m_items, fitting<quint8>(a.bytes.size(), "inline argument size"));
            m_items.append(a.bytes);
            continue;
        }
        QByteArray& area = a.where == Argument::Where::valueData ? m_values : m_private;
        put<quint8>(m_items, 4);
        put<quint16>(m_items, fitting<quint16>(area.size(), "argument offset"));
        put<quint16>(m_items, fitting<quint16>(a.bytes.size(), "argument size"));
        area.append(a.bytes);
    }
}

// The pc and where the format string lives.
void TracepointEncoder::stringsReference(const Entry& e, quint16* flags)
{
    if (!knownStrings(e.strings))
        fail(QStringLiteral("unknown strings file type %1").arg(int(e.strings)));
    *flags |= quint16(e.strings);
    const quint16 high = fitting<quint16>(e.formatOffset >> 31, "format offset >> 31");
    put<quint32>(m_data, e.pc);
    if (high != 0 || e.strings == StringsRef::largeSharedCache) {
        *flags |= Flag::largeOffset;
        put<quint16>(m_data, high);
    }
    if (e.strings == StringsRef::absolute)
        put<quint16>(m_data, e.loadAddressHigh);
    else if (e.strings == StringsRef::uuidRelative)
        putUuid(m_data, e.image);
    else if (e.strings == StringsRef::largeSharedCache)
        put<quint16>(m_data, high);
}

// The data of a log or signpost tracepoint.
void TracepointEncoder::logLike(const Entry& e, const Process& p, std::optional<quint16> oversizeRef, quint16* flags)
{
    if (!oversizeRef)
        arguments(e, p);
    const bool privateRange = !oversizeRef && std::any_of(e.arguments.begin(), e.arguments.end(), [](const Argument& a) {
        return a.where == Argument::Where::privateData;
    });
    if (e.activity) {
        *flags |= Flag::currentActivity;
        put<quint64>(m_data, *e.activity);
    }
    if (privateRange) {
        *flags |= Flag::privateData;
        m_privateRangeAt = kTracepointHeader + m_data.size();
        put<quint16>(m_data, 0);  // the page offset, known once the chunk is chosen
        put<quint16>(m_data, fitting<quint16>(m_private.size(), "private data size"));
    }
    stringsReference(e, flags);
    if (e.subsystem) {
        *flags |= Flag::subsystem;
        put<quint16>(m_data, *e.subsystem);
    }
    if (e.kind == Entry::Kind::signpost)
        put<quint64>(m_data, 0);  // signpost identifier
    if (oversizeRef) {
        *flags |= Flag::oversize;
        put<quint16>(m_data, *oversizeRef);
    }
    if (e.backtrace)
        *flags |= Flag::backtrace;  // with oversize, the backtrace is in the oversize data
    put<quint8>(m_data, 0);
    put<quint8>(m_data, oversizeRef ? 0 : quint8(m_itemCount));
    if (!oversizeRef) {
        m_data.append(m_items);
        m_data.append(m_values);
    }
}

void TracepointEncoder::encode(const Entry& e, const Process& p, std::optional<quint16> oversizeRef, QByteArray& out)
{
    m_data.resize(0);
    m_private.resize(0);
    m_privateRangeAt = -1;
    if (oversizeRef && e.kind != Entry::Kind::log && e.kind != Entry::Kind::signpost)
        fail(QStringLiteral("only log and signpost entries take oversize data"));
    quint8 recordType = 4;
    quint8 logType = e.logType;
    quint16 flags = 0;
    quint32 format = quint32(e.formatOffset & 0x7fffffff) | (e.dynamic ? 0x80000000u : 0u);
    switch (e.kind) {
    case Entry::Kind::log:
        logLike(e, p, oversizeRef, &flags);
        break;
    case Entry::Kind::signpost:
        recordType = 6;
        if ((logType & 0xc0) == 0)
            logType = 0x80;  // a process-scope event
        logLike(e, p, oversizeRef, &flags);
        break;
    case Entry::Kind::activity:
        // The identifier is both the current and the new activity's, so that
        // either reading of the record finds it.
        recordType = 2;
        logType = 1;
        if (e.activity) {
            flags |= Flag::currentActivity;
            put<quint64>(m_data, *e.activity);
        }
        put<quint64>(m_data, e.activity.value_or(0));
        stringsReference(e, &flags);
        break;
    case Entry::Kind::trace:
        recordType = 3;
        flags = quint16(e.strings);
        if (!knownStrings(e.strings) || (e.formatOffset >> 31) != 0)
            fail(QStringLiteral("trace entries take a 31-bit format offset and a known strings file type"));
        put<quint32>(m_data, e.pc);
        for (const Argument& a : e.arguments) {
            if (a.where != Argument::Where::inlineData)
                fail(QStringLiteral("trace entries take inline arguments only"));
            m_data.append(a.bytes);
        }
        for (const Argument& a : e.arguments)
            put<quint8>(m_data, fitting<quint8>(a.bytes.size(), "trace value size"));
        put<quint8>(m_data, fitting<quint8>(e.arguments.size(), "trace value count"));
        break;
    case Entry::Kind::loss:
        recordType = 7;
        logType = 0;
        format = 0;
        put<quint64>(m_data, e.continuousTime);
        put<quint64>(m_data, e.continuousTime);
        put<quint64>(m_data, e.lostCount);
        break;
    default:
        fail(QStringLiteral("not a firehose entry"));
    }
    const qsizetype start = out.size();
    put<quint8>(out, recordType);
    put<quint8>(out, logType);
    put<quint16>(out, flags);
    put<quint32>(out, format);
    put<quint64>(out, e.thread);
    put<quint32>(out, 0);  // the time delta, set when the chunk is written
    put<quint16>(out, 0);
    put<quint16>(out, fitting<quint16>(m_data.size(), "tracepoint data size"));
    out.append(m_data);
    padTo(out, 8, start);
}

QByteArray TracepointEncoder::oversizeChunk(const Entry& e, const Process& p, quint32 ref)
{
    arguments(e, p);
    m_data.resize(0);
    put<quint8>(m_data, 0x22);
    put<quint8>(m_data, quint8(m_itemCount));
    m_data.append(m_items);
    m_data.append(m_values);
    const quint16 dataSize = fitting<quint16>(m_data.size(), "oversize data size");
    const quint16 privateSize = fitting<quint16>(m_private.size(), "oversize private data size");
    QByteArray chunk;
    beginChunk(chunk, Tag::oversize, 0, 32 + dataSize + privateSize);
    put<quint64>(chunk, p.procIdFirst);
    put<quint32>(chunk, p.procIdSecond);
    zeros(chunk, 4);  // TTL and reserved
    put<quint64>(chunk, e.continuousTime);
    put<quint32>(chunk, ref);
    put<quint16>(chunk, dataSize);
    put<quint16>(chunk, privateSize);
    chunk.append(m_data);
    chunk.append(m_private);
    return chunk;
}

bool FirehoseChunk::fits(qsizetype tracepointBytes, qsizetype privateBytes) const
{
    return 16 + m_tracepoints.size() + tracepointBytes + m_privateArea.size() + privateBytes <= kFirehosePage;
}

void FirehoseChunk::add(const QByteArray& tracepoint, const QByteArray& privateBytes, qsizetype privateRangeAt,
                        quint64 time)
{
    const qsizetype at = m_tracepoints.size();
    m_tracepoints.append(tracepoint);
    if (privateRangeAt >= 0) {
        // Private data fills the page from its end: later entries lie lower.
        m_privateArea.prepend(privateBytes);
        putAt<quint16>(m_tracepoints, at + privateRangeAt, quint16(kFirehosePage - m_privateArea.size()));
    }
    m_times.emplace_back(at, time);
}

void FirehoseChunk::writeTo(QByteArray& out)
{
    quint64 base = m_times.front().second;
    for (const auto& t : m_times)
        base = std::min(base, t.second);
    for (const auto& [at, time] : m_times) {
        const quint64 delta = time - base;
        if (delta >> 48)
            fail(QStringLiteral("the times of one firehose chunk span more than 48 bits"));
        putAt<quint32>(m_tracepoints, at + 16, quint32(delta));
        putAt<quint16>(m_tracepoints, at + 20, quint16(delta >> 32));
    }
    const qsizetype publicSize = 16 + m_tracepoints.size();
    beginChunk(out, Tag::firehose, 0, quint64(16 + publicSize + m_privateArea.size()));
    put<quint64>(out, m_first);
    put<quint32>(out, m_second);
    zeros(out, 4);  // TTL, collapsed, reserved
    put<quint16>(out, quint16(publicSize));
    put<quint16>(out, quint16(kFirehosePage - m_privateArea.size()));  // 0x1000: no private data
    put<quint16>(out, 0);
    put<quint8>(out, 1);  // stream type
    put<quint8>(out, 3);
    put<quint64>(out, base);
    out.append(m_tracepoints);
    out.append(m_privateArea);
}

}  // namespace ArchiveWriter::detail
