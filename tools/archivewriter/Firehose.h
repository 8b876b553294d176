#pragma once

// Firehose tracepoints and the chunks that carry them: the firehose chunk of
// one process (a 4096-byte page: public tracepoints from the front, private
// data from the back) and the oversize chunk that holds arguments too large
// for a tracepoint.

#include "tools/archivewriter/ArchiveWriter.h"

#include <optional>
#include <utility>
#include <vector>

namespace ArchiveWriter::detail {

inline constexpr qsizetype kFirehosePage = 4096;

// Encodes tracepoints and oversize data, reusing its buffers from one entry
// to the next.
class TracepointEncoder {
public:
    // Appends the tracepoint, padded to 8, with a zero time delta. With
    // `oversizeRef` its arguments are left out for an oversize chunk.
    void encode(const Entry& e, const Process& p, std::optional<quint16> oversizeRef, QByteArray& out);
    // After encode: the tracepoint's private bytes, and where in the appended
    // bytes its private range (to be given its page offset) lies, or -1.
    const QByteArray& privateBytes() const { return m_private; }
    qsizetype privateRangeAt() const { return m_privateRangeAt; }

    // An oversize chunk (preamble included) with the entry's arguments.
    QByteArray oversizeChunk(const Entry& e, const Process& p, quint32 ref);

private:
    void arguments(const Entry& e, const Process& p);
    void stringsReference(const Entry& e, quint16* flags);
    void logLike(const Entry& e, const Process& p, std::optional<quint16> oversizeRef, quint16* flags);

    QByteArray m_data, m_items, m_values, m_private;
    int m_itemCount = 0;
    qsizetype m_privateRangeAt = -1;
};

// The open firehose chunk of one process within a chunkset.
class FirehoseChunk {
public:
    FirehoseChunk(quint64 procIdFirst, quint32 procIdSecond) : m_first(procIdFirst), m_second(procIdSecond) {}

    bool empty() const { return m_times.empty(); }
    bool fits(qsizetype tracepointBytes, qsizetype privateBytes) const;
    // Adds an encoded tracepoint and its private bytes, taken from the back of the page.
    void add(const QByteArray& tracepoint, const QByteArray& privateBytes, qsizetype privateRangeAt, quint64 time);
    // Appends the chunk to `out`, its base time the smallest of its tracepoints'.
    void writeTo(QByteArray& out);

private:
    quint64 m_first;
    quint32 m_second;
    QByteArray m_tracepoints;
    QByteArray m_privateArea;
    std::vector<std::pair<qsizetype, quint64>> m_times;  // tracepoint offset, continuous time
};

}  // namespace ArchiveWriter::detail
