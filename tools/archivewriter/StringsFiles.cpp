#include "tools/archivewriter/StringsFiles.h"

#include "tools/archivewriter/Encoding.h"

#include <algorithm>
#include <numeric>

namespace ArchiveWriter::detail {

QByteArray uuidtextFile(const Image& image)
{
    QByteArray out;
    put<quint32>(out, 0x66778899);
    put<quint32>(out, 2);
    put<quint32>(out, 1);
    put<quint32>(out, fitting<quint32>(image.strings.size(), "uuidtext entry count"));
    for (const auto& [offset, text] : image.strings) {
        put<quint32>(out, offset);
        put<quint32>(out, fitting<quint32>(text.size() + 1, "uuidtext entry size"));
    }
    for (const auto& entry : image.strings)
        out.append(entry.second).append('\0');
    out.append(image.path).append('\0');
    return out;
}

QByteArray sharedCacheFile(const SharedCache& cache)
{
    if (cache.version != 1 && cache.version != 2)
        fail(QStringLiteral("shared-cache strings version %1").arg(cache.version));
    const bool v1 = cache.version == 1;
    // Images by text offset, ranges by cache offset, as the real files have them.
    std::vector<std::size_t> images(cache.images.size());
    std::iota(images.begin(), images.end(), 0);
    std::stable_sort(images.begin(), images.end(), [&](std::size_t a, std::size_t b) {
        return cache.images[a].textOffset < cache.images[b].textOffset;
    });
    struct Range {
        quint64 offset;
        quint32 image;  // position among the sorted images
        const QByteArray* text;
    };
    std::vector<Range> ranges;
    for (std::size_t i = 0; i < images.size(); ++i) {
        for (const auto& [offset, text] : cache.images[images[i]].strings)
            ranges.push_back({offset, quint32(i), &text});
    }
    std::stable_sort(ranges.begin(), ranges.end(), [](const Range& a, const Range& b) { return a.offset < b.offset; });

    const qsizetype descriptors = qsizetype(ranges.size()) * (v1 ? 16 : 24) + qsizetype(images.size()) * (v1 ? 28 : 32);
    qsizetype data = 16 + descriptors;
    qsizetype paths = data;
    for (const Range& r : ranges)
        paths += r.text->size() + 1;

    QByteArray out;
    out.append("hcsd", 4);
    put<quint16>(out, quint16(cache.version));
    put<quint16>(out, 0);
    put<quint32>(out, fitting<quint32>(ranges.size(), "range count"));
    put<quint32>(out, fitting<quint32>(images.size(), "image count"));
    for (const Range& r : ranges) {
        const quint32 size = fitting<quint32>(r.text->size() + 1, "range size");
        if (v1) {
            put<quint32>(out, r.image);
            put<quint32>(out, fitting<quint32>(r.offset, "range offset"));
            put<quint32>(out, fitting<quint32>(data, "data offset"));
            put<quint32>(out, size);
        } else {
            put<quint64>(out, r.offset);
            put<quint32>(out, fitting<quint32>(data, "data offset"));
            put<quint32>(out, size);
            put<quint64>(out, r.image);
        }
        data += size;
    }
    for (std::size_t i : images) {
        const SharedCache::Member& m = cache.images[i];
        if (v1)
            put<quint32>(out, fitting<quint32>(m.textOffset, "text offset"));
        else
            put<quint64>(out, m.textOffset);
        put<quint32>(out, m.textSize);
        putUuid(out, m.uuid);
        put<quint32>(out, fitting<quint32>(paths, "path offset"));
        paths += m.path.size() + 1;
    }
    for (const Range& r : ranges)
        out.append(*r.text).append('\0');
    for (std::size_t i : images)
        out.append(cache.images[i].path).append('\0');
    return out;
}

QByteArray timesyncFile(const std::vector<TimesyncBoot>& boots)
{
    QByteArray out;
    for (const TimesyncBoot& boot : boots) {
        out.append("\xb0\xbb", 2);
        put<quint16>(out, 48);
        put<quint32>(out, 0);
        putUuid(out, boot.boot);
        put<quint32>(out, boot.timebaseNumer);
        put<quint32>(out, boot.timebaseDenom);
        put<qint64>(out, boot.bootWallNanos);
        put<qint32>(out, 0);   // time zone minutes
        put<quint32>(out, 0);  // daylight saving time
        for (const auto& [continuous, wallNanos] : boot.syncs) {
            out.append("Ts", 2);
            put<quint16>(out, 32);
            put<quint32>(out, 0);
            put<quint64>(out, continuous);
            put<qint64>(out, wallNanos);
            put<qint32>(out, 0);
            put<quint32>(out, 0);
        }
    }
    return out;
}

}  // namespace ArchiveWriter::detail
