#pragma once

// The two kinds of strings files that hold format strings and image paths:
// an image's own uuidtext file, and a shared cache's strings file (dsc),
// which covers every image of the cache.

#include "logs/unified/Bytes.h"

#include <QByteArray>
#include <QString>
#include <QUuid>

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace Unified {

// The strings of one image, read whole (these files are small).
class UuidText {
public:
    // Nothing when the bytes are no uuidtext file or their ranges do not fit.
    static std::optional<UuidText> parse(QByteArray data);

    // The NUL-terminated string at the image offset, when a range holds it.
    std::optional<std::string_view> stringAt(quint64 offset) const;
    // The image's path, from the footer.
    const QString& path() const { return m_path; }

private:
    struct Range {
        quint64 start;
        std::size_t size;
        std::size_t dataOffset;
    };
    QByteArray m_data;
    std::vector<Range> m_ranges;  // by start
    QString m_path;
};

// A shared cache's strings file. Its descriptors are read at once; the
// strings of a range and the image paths are read when first asked for, so
// that a large file costs only what the archive's messages use.
class SharedCacheStrings {
public:
    ~SharedCacheStrings();
    SharedCacheStrings(const SharedCacheStrings&) = delete;
    SharedCacheStrings& operator=(const SharedCacheStrings&) = delete;

    // Nothing when the file cannot be opened or is not such a file; `damaged`
    // tells the two apart (a missing file is not damage).
    static std::unique_ptr<SharedCacheStrings> open(const QString& path, bool* damaged);
    // The same over bytes in memory (tests, fuzzing).
    static std::unique_ptr<SharedCacheStrings> parse(QByteArray data);

    struct Image {
        QUuid uuid;
        QString path;
    };
    struct Found {
        std::string_view text;
        int image = -1;  // the range's image
    };
    // The format string at the cache offset, with the image whose range holds it.
    std::optional<Found> stringAt(quint64 offset);
    // The image whose text range holds the offset, or -1.
    int imageContaining(quint64 textOffset) const;
    // The image's UUID and path (read on first use); index from the two above.
    const Image& image(int index);

    int version() const { return m_version; }
    std::size_t rangeCount() const { return m_ranges.size(); }
    std::size_t imageCount() const { return m_images.size(); }

private:
    SharedCacheStrings() = default;
    bool readDescriptors();
    bool readAt(quint64 offset, std::size_t size, QByteArray* out) const;

    struct Range {
        quint64 offset;  // cache offset of its first byte
        quint32 size;
        quint32 dataOffset;  // in the file
        quint64 image;
        std::shared_ptr<QByteArray> data;  // loaded on first use
    };
    struct ImageDescriptor {
        quint64 textOffset;
        quint32 textSize;
        quint32 pathOffset;
        Image image;
        bool pathRead = false;
    };
    int m_fd = -1;
    QByteArray m_memory;  // the whole file, when parsed from memory
    quint64 m_fileSize = 0;
    int m_version = 0;
    std::vector<Range> m_ranges;            // by offset
    std::vector<ImageDescriptor> m_images;  // as in the file
    std::vector<int> m_imagesByText;        // indexes, by text offset
};

}  // namespace Unified
