#include "tools/archivewriter/Chunkset.h"

#include "tools/archivewriter/Encoding.h"

#include <lz4.h>

#include <algorithm>

namespace ArchiveWriter::detail {

namespace {

QByteArray simpleDumpChunk(const Entry& e, const Process& p)
{
    const quint32 subsystemSize = fitting<quint32>(e.simpleSubsystem.size() + 1, "simpledump subsystem size");
    const quint32 messageSize = fitting<quint32>(e.simpleMessage.size() + 1, "simpledump message size");
    QByteArray chunk;
    beginChunk(chunk, Tag::simpleDump, 0, 84 + quint64(subsystemSize) + messageSize);
    put<quint64>(chunk, p.procIdFirst);
    put<quint32>(chunk, p.procIdSecond);
    put<quint8>(chunk, 0);  // TTL
    put<quint8>(chunk, e.logType);
    put<quint16>(chunk, 0);
    put<quint64>(chunk, e.continuousTime);
    put<quint64>(chunk, e.thread);
    put<quint64>(chunk, e.loadAddress);
    putUuid(chunk, e.senderImage);
    putUuid(chunk, e.sharedCacheImage);
    put<quint32>(chunk, 1);  // one message string
    put<quint32>(chunk, subsystemSize);
    put<quint32>(chunk, messageSize);
    chunk.append(e.simpleSubsystem).append('\0');
    chunk.append(e.simpleMessage).append('\0');
    return chunk;
}

QByteArray stateDumpChunk(const Entry& e, const Process& p)
{
    const quint32 dataSize = fitting<quint32>(e.stateData.size(), "statedump data size");
    QByteArray chunk;
    beginChunk(chunk, Tag::stateDump, 0, 248 + quint64(dataSize));
    put<quint64>(chunk, p.procIdFirst);
    put<quint32>(chunk, p.procIdSecond);
    zeros(chunk, 4);  // TTL and reserved
    put<quint64>(chunk, e.continuousTime);
    put<quint64>(chunk, e.activity.value_or(0));
    putUuid(chunk, e.senderImage);
    put<quint32>(chunk, 1);  // a serialized object (plist)
    put<quint32>(chunk, dataSize);
    zeros(chunk, 128);  // decoder library and type: for custom data only
    putText(chunk, e.stateTitle, 64, "statedump title");
    chunk.append(e.stateData);
    return chunk;
}

}  // namespace

quint16 OversizeRefs::take(int process)
{
    quint32& next = m_next.try_emplace(process, 1).first->second;
    if (next > 0xffff)
        fail(QStringLiteral("more than 65535 oversize references for one process"));
    return quint16(next++);
}

void ChunksetBuilder::note(int process, quint64 time)
{
    if (!m_any) {
        m_sealed.start = m_sealed.end = time;
        m_any = true;
    }
    m_sealed.start = std::min(m_sealed.start, time);
    m_sealed.end = std::max(m_sealed.end, time);
    if (std::find(m_sealed.processes.begin(), m_sealed.processes.end(), process) == m_sealed.processes.end())
        m_sealed.processes.push_back(process);
}

void ChunksetBuilder::appendChunk(const QByteArray& chunk, int process, quint64 time)
{
    padTo(m_out, 8);
    m_out.append(chunk);
    note(process, time);
}

void ChunksetBuilder::add(const Entry& e, ChunksetBuilder* previous)
{
    if (e.process < 0 || std::size_t(e.process) >= m_bundle.processes.size())
        fail(QStringLiteral("unknown process %1").arg(e.process));
    const Process& p = m_bundle.processes[std::size_t(e.process)];
    ++m_entries;
    if (e.kind == Entry::Kind::simpleDump)
        return appendChunk(simpleDumpChunk(e, p), e.process, e.continuousTime);
    if (e.kind == Entry::Kind::stateDump)
        return appendChunk(stateDumpChunk(e, p), e.process, e.continuousTime);

    std::optional<quint16> ref;
    if (e.oversize != Entry::Oversize::none) {
        if (e.kind != Entry::Kind::log && e.kind != Entry::Kind::signpost)
            fail(QStringLiteral("only log and signpost entries take oversize data"));
        ref = m_refs.take(e.process);
        if (e.oversize == Entry::Oversize::sameChunkset) {
            appendChunk(m_encoder.oversizeChunk(e, p, *ref), e.process, e.continuousTime);
        } else if (e.oversize == Entry::Oversize::earlierChunkset) {
            if (!previous)
                fail(QStringLiteral("oversize data for an earlier chunkset in the file's first one"));
            previous->appendChunk(m_encoder.oversizeChunk(e, p, *ref), e.process, e.continuousTime);
        }
    }
    addTracepoint(e, p, ref);
    if (e.subsystem && (e.kind == Entry::Kind::log || e.kind == Entry::Kind::signpost)) {
        const std::pair<int, quint16> used{e.process, *e.subsystem};
        auto& list = m_sealed.subsystems;
        if (std::find(list.begin(), list.end(), used) == list.end())
            list.push_back(used);
    }
}

void ChunksetBuilder::addTracepoint(const Entry& e, const Process& p, std::optional<quint16> oversizeRef)
{
    auto open = std::find_if(m_open.begin(), m_open.end(), [&](const auto& o) { return o.first == e.process; });
    if (open == m_open.end()) {
        m_open.emplace_back(e.process, FirehoseChunk(p.procIdFirst, p.procIdSecond));
        open = m_open.end() - 1;
    }
    m_tracepoint.resize(0);
    m_encoder.encode(e, p, oversizeRef, m_tracepoint);
    const qsizetype rangeAt = m_encoder.privateRangeAt();
    const qsizetype privateSize = rangeAt >= 0 ? m_encoder.privateBytes().size() : 0;
    FirehoseChunk& chunk = open->second;
    if (!chunk.fits(m_tracepoint.size(), privateSize)) {
        if (chunk.empty())
            fail(QStringLiteral("an entry of %1 bytes does not fit a firehose chunk; give it oversize data")
                     .arg(m_tracepoint.size() + privateSize));
        chunk.writeTo(m_out);
        chunk = FirehoseChunk(p.procIdFirst, p.procIdSecond);
    }
    chunk.add(m_tracepoint, m_encoder.privateBytes(), rangeAt, e.continuousTime);
    note(e.process, e.continuousTime);
}

void ChunksetBuilder::closeFirehose()
{
    for (auto& [process, chunk] : m_open) {
        if (!chunk.empty())
            chunk.writeTo(m_out);
    }
    m_open.clear();
}

SealedChunkset ChunksetBuilder::seal(bool compress)
{
    closeFirehose();
    padTo(m_out, 8);
    SealedChunkset s = std::move(m_sealed);
    s.uncompressedSize = fitting<quint32>(m_out.size(), "chunkset size");
    if (compress) {
        if (m_out.size() > LZ4_MAX_INPUT_SIZE)
            fail(QStringLiteral("a chunkset too large to compress"));
        const int bound = LZ4_compressBound(int(m_out.size()));
        s.stream.resize(12 + bound);
        const int size = LZ4_compress_default(m_out.constData(), s.stream.data() + 12, int(m_out.size()), bound);
        if (size <= 0)
            fail(QStringLiteral("LZ4 compression failed"));
        s.stream.resize(12 + size);
        std::memcpy(s.stream.data(), "bv41", 4);
        putAt<quint32>(s.stream, 4, s.uncompressedSize);
        putAt<quint32>(s.stream, 8, quint32(size));
    } else {
        s.stream.append("bv4-", 4);
        put<quint32>(s.stream, s.uncompressedSize);
        s.stream.append(m_out);
    }
    s.stream.append("bv4$", 4);
    m_out = QByteArray();
    return s;
}

}  // namespace ArchiveWriter::detail
