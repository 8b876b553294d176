#pragma once

// Little-endian byte building and chunk preambles shared by the writer's
// files, and the failure that stops a write on input the formats cannot hold.

#include <QByteArray>
#include <QString>
#include <QUuid>
#include <QtEndian>

#include <cstring>
#include <utility>

namespace ArchiveWriter::detail {

struct Failure {
    QString message;
};

[[noreturn]] inline void fail(const QString& message) { throw Failure{message}; }

// The value, when it fits the field's type; a failure naming the field otherwise.
template <typename T, typename V>
T fitting(V value, const char* field)
{
    if (!std::in_range<T>(value))
        fail(QStringLiteral("%1 (%2) does not fit its field").arg(QLatin1String(field)).arg(value));
    return T(value);
}

template <typename T>
void put(QByteArray& out, T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

template <typename T>
void putAt(QByteArray& out, qsizetype at, T value)
{
    qToLittleEndian(value, out.data() + at);
}

inline void putUuid(QByteArray& out, const QUuid& uuid)
{
    char bytes[16];
    qToBigEndian(uuid.data1, bytes);
    qToBigEndian(uuid.data2, bytes + 4);
    qToBigEndian(uuid.data3, bytes + 6);
    std::memcpy(bytes + 8, uuid.data4, 8);
    out.append(bytes, 16);
}

inline void zeros(QByteArray& out, qsizetype count) { out.append(count, '\0'); }

// Pads with zeros until the size, counted from `base`, is a multiple of `alignment`.
inline void padTo(QByteArray& out, qsizetype alignment, qsizetype base = 0)
{
    const qsizetype over = (out.size() - base) % alignment;
    if (over)
        zeros(out, alignment - over);
}

// A fixed-size text field: the text, a NUL and zeros; too long a text fails.
inline void putText(QByteArray& out, const QByteArray& text, qsizetype size, const char* field)
{
    if (text.size() >= size)
        fail(QStringLiteral("%1 is longer than %2 bytes").arg(QLatin1String(field)).arg(size - 1));
    out.append(text);
    zeros(out, size - text.size());
}

// The chunk tags of a tracev3 file.
namespace Tag {
inline constexpr quint32 header = 0x1000;
inline constexpr quint32 firehose = 0x6001;
inline constexpr quint32 oversize = 0x6002;
inline constexpr quint32 stateDump = 0x6003;
inline constexpr quint32 simpleDump = 0x6004;
inline constexpr quint32 catalog = 0x600b;
inline constexpr quint32 chunkset = 0x600d;
}  // namespace Tag

// A chunk preamble, after padding `out` so that the chunk starts 8-aligned.
inline void beginChunk(QByteArray& out, quint32 tag, quint32 subtag, quint64 dataSize)
{
    padTo(out, 8);
    put(out, tag);
    put(out, subtag);
    put(out, dataSize);
}

// The 32 upper-case hex digits that name a UUID's strings files.
inline QString uuidHex(const QUuid& uuid)
{
    return QString::fromLatin1(uuid.toRfc4122().toHex().toUpper());
}

}  // namespace ArchiveWriter::detail
