#pragma once

// Line-by-line reading of one ndjson file through a bounded buffer. The file
// can be closed between lines and opened again where reading stopped, so that
// a merge of many files keeps only a few of them open.

#include "logs/LogStore.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <optional>
#include <vector>

namespace Ndjson {

class LineReader {
public:
    enum class Read {
        line,     // `data`/`size` hold the line without its line break
        tooLong,  // a line over kMaxLineBytes was dropped; `size` is its length
        partial,  // part of a line too long to keep was read and dropped
        end,
        failed,  // see error()
    };

    explicit LineReader(QString path) : m_path(std::move(path)) {}
    ~LineReader() { close(); }
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    const QString& path() const { return m_path; }
    const std::optional<StoreError>& error() const { return m_error; }
    bool isOpen() const { return m_fd >= 0; }

    // Opens the file where reading stopped (at its start the first time).
    bool open();
    // Closes the file and frees the buffer; only between lines. With `at`,
    // reading resumes there (a line start already read) instead.
    void close(std::optional<qint64> at = std::nullopt);
    // The file offset of the next line not yet returned.
    qint64 offset() const { return m_base + qint64(m_begin); }
    // Bytes read from the file so far, lines or not.
    qint64 bytesRead() const { return m_bytesRead; }

    // The next line; the text stays valid until the next call.
    Read next(const char*& data, std::size_t& size);

private:
    Read deliver(char* begin, std::size_t len, const char*& data, std::size_t& size);
    bool fill();

    QString m_path;
    int m_fd = -1;
    std::vector<char> m_buf;
    qint64 m_base = 0;  // file offset of m_buf[0]
    std::size_t m_begin = 0, m_end = 0, m_scan = 0;
    bool m_eof = false;
    bool m_discarding = false;
    std::size_t m_discarded = 0;  // bytes of the line being dropped
    qint64 m_bytesRead = 0;
    std::optional<StoreError> m_error;
};

}  // namespace Ndjson
