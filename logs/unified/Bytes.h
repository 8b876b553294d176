#pragma once

// Bounded little-endian reads of untrusted bytes. Every structure of the
// unified log is read through these: a read past the end fails instead of
// touching memory, and a cursor stays failed once a read failed, so a run of
// reads is checked once.

#include <QByteArrayView>
#include <QUuid>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

namespace Unified {

class Bytes {
public:
    Bytes() = default;
    Bytes(const char* data, std::size_t size) : m_data(data), m_size(size) {}
    explicit Bytes(std::string_view s) : m_data(s.data()), m_size(s.size()) {}

    const char* data() const { return m_data; }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    std::string_view view() const { return {m_data, m_size}; }

    // Whether [offset, offset + n) lies inside, without overflow.
    bool has(std::size_t offset, std::size_t n) const { return offset <= m_size && n <= m_size - offset; }

    template <typename T>
    std::optional<T> le(std::size_t offset) const
    {
        if (!has(offset, sizeof(T)))
            return std::nullopt;
        T v;
        std::memcpy(&v, m_data + offset, sizeof(T));  // the formats and this host are little-endian
        return v;
    }

    // The bytes [offset, offset + n), or nothing when they are not all here.
    std::optional<Bytes> sub(std::size_t offset, std::size_t n) const
    {
        if (!has(offset, n))
            return std::nullopt;
        return Bytes(m_data + offset, n);
    }

    // The text at `offset` up to its NUL (or the end), at most `maxBytes` long.
    std::string_view cstring(std::size_t offset, std::size_t maxBytes = SIZE_MAX) const
    {
        if (offset >= m_size)
            return {};
        const std::size_t n = std::min(m_size - offset, maxBytes);
        const void* nul = std::memchr(m_data + offset, 0, n);
        return {m_data + offset, nul ? std::size_t(static_cast<const char*>(nul) - (m_data + offset)) : n};
    }

    // A UUID stored in its RFC 4122 byte order.
    std::optional<QUuid> uuid(std::size_t offset) const
    {
        if (!has(offset, 16))
            return std::nullopt;
        return QUuid::fromRfc4122(QByteArrayView(m_data + offset, 16));
    }

private:
    const char* m_data = nullptr;
    std::size_t m_size = 0;
};

// Sequential reads that stop at the first failure; check ok() after a run.
class Cursor {
public:
    explicit Cursor(Bytes bytes, std::size_t pos = 0) : m_bytes(bytes), m_pos(pos), m_ok(pos <= bytes.size()) {}

    bool ok() const { return m_ok; }
    std::size_t pos() const { return m_pos; }
    std::size_t remaining() const { return m_ok ? m_bytes.size() - m_pos : 0; }

    quint8 u8() { return read<quint8>(); }
    quint16 u16() { return read<quint16>(); }
    quint32 u32() { return read<quint32>(); }
    quint64 u64() { return read<quint64>(); }
    qint32 i32() { return read<qint32>(); }
    qint64 i64() { return read<qint64>(); }

    QUuid uuid()
    {
        const Bytes b = take(16);
        return m_ok ? QUuid::fromRfc4122(QByteArrayView(b.data(), 16)) : QUuid();
    }

    Bytes take(std::size_t n)
    {
        if (!m_ok || !m_bytes.has(m_pos, n)) {
            m_ok = false;
            return {};
        }
        const Bytes b(m_bytes.data() + m_pos, n);
        m_pos += n;
        return b;
    }

    void skip(std::size_t n) { take(n); }

    // To the next multiple of 8 from the start of the bytes (or the end).
    void alignTo8()
    {
        const std::size_t aligned = (m_pos + 7) & ~std::size_t(7);
        m_pos = std::min(aligned, m_bytes.size());
    }

private:
    template <typename T>
    T read()
    {
        const std::optional<T> v = m_ok ? m_bytes.le<T>(m_pos) : std::nullopt;
        if (!v) {
            m_ok = false;
            return T();
        }
        m_pos += sizeof(T);
        return *v;
    }

    Bytes m_bytes;
    std::size_t m_pos;
    bool m_ok;
};

}  // namespace Unified
