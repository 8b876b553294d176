#include "logs/ndjson/NdjsonLineReader.h"

#include "base/SafeRead.h"
#include "logs/ndjson/NdjsonLogStore.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Ndjson {

namespace {
// The buffer of a file between long lines: small, as a merge may hold many.
constexpr std::size_t kChunk = 64 * 1024;

QString errnoText(int e) { return QString::fromLocal8Bit(std::strerror(e)); }
}  // namespace

bool LineReader::open()
{
    if (m_fd >= 0)
        return true;
    QString why;
    const int fd = SafeRead::openRegularFile(QFile::encodeName(m_path), &why);
    if (fd >= 0 && m_base > 0 && ::lseek(fd, m_base, SEEK_SET) < 0) {
        why = errnoText(errno);
        ::close(fd);
    } else if (fd >= 0) {
        m_fd = fd;
        m_eof = false;
        return true;
    }
    m_error = StoreError{QStringLiteral("Cannot open \"%1\": %2").arg(QFileInfo(m_path).fileName(), why)};
    return false;
}

void LineReader::close(std::optional<qint64> at)
{
    m_base = at.value_or(offset());
    m_begin = m_end = m_scan = 0;
    m_eof = false;
    std::vector<char>().swap(m_buf);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

LineReader::Read LineReader::next(const char*& data, std::size_t& size)
{
    for (;;) {
        if (m_scan < m_end) {
            char* const begin = m_buf.data() + m_begin;
            const void* nl = std::memchr(m_buf.data() + m_scan, '\n', m_end - m_scan);
            if (nl) {
                const std::size_t len = std::size_t(static_cast<const char*>(nl) - begin);
                m_begin += len + 1;
                m_scan = m_begin;
                return deliver(begin, len, data, size);
            }
            m_scan = m_end;
            // Too long to keep: dropped as it streams by, never held whole.
            if (m_discarding || m_end - m_begin > kMaxLineBytes) {
                m_discarding = true;
                m_discarded += m_end - m_begin;
                m_base += qint64(m_end);
                m_begin = m_end = m_scan = 0;
                return Read::partial;
            }
        }
        if (m_eof) {
            if (m_begin < m_end) {  // last line without a line break
                char* const begin = m_buf.data() + m_begin;
                const std::size_t len = m_end - m_begin;
                m_base += qint64(m_end);
                m_begin = m_end = m_scan = 0;
                return deliver(begin, len, data, size);
            }
            if (m_discarding)
                return deliver(nullptr, 0, data, size);
            return Read::end;
        }
        if (!fill())
            return Read::failed;
    }
}

LineReader::Read LineReader::deliver(char* begin, std::size_t len, const char*& data, std::size_t& size)
{
    if (m_discarding || len > kMaxLineBytes) {
        data = nullptr;
        size = m_discarded + len;
        m_discarding = false;
        m_discarded = 0;
        return Read::tooLong;
    }
    if (len > 0 && begin[len - 1] == '\r')
        --len;
    data = begin;
    size = len;
    return Read::line;
}

bool LineReader::fill()
{
    if (m_fd < 0 && !open())
        return false;
    if (m_begin > 0) {
        std::memmove(m_buf.data(), m_buf.data() + m_begin, m_end - m_begin);
        m_end -= m_begin;
        m_scan -= m_begin;
        m_base += qint64(m_begin);
        m_begin = 0;
    }
    // Grown only while one long line is gathered (up to the line limit), and
    // given back once it is gone.
    if (m_buf.size() > 4 * kChunk && m_end <= kChunk) {
        std::vector<char> small(kChunk);
        std::memcpy(small.data(), m_buf.data(), m_end);
        m_buf.swap(small);
    }
    if (m_buf.empty())
        m_buf.resize(kChunk);
    else if (m_end == m_buf.size())
        m_buf.resize(std::min(m_buf.size() * 2, kMaxLineBytes + kChunk));
    ssize_t r;
    do {
        r = ::read(m_fd, m_buf.data() + m_end, m_buf.size() - m_end);
    } while (r < 0 && errno == EINTR);
    if (r < 0) {
        m_error = StoreError{QStringLiteral("Failed to read \"%1\": %2").arg(QFileInfo(m_path).fileName(), errnoText(errno))};
        return false;
    }
    if (r == 0)
        m_eof = true;
    m_end += std::size_t(r);
    m_bytesRead += r;
    return true;
}

}  // namespace Ndjson
