#include "logs/unified/StringsFiles.h"

#include "base/SafeRead.h"

#include <QFile>

#include <algorithm>
#include <numeric>

#include <sys/stat.h>
#include <unistd.h>

namespace Unified {

namespace {

constexpr quint32 kUuidTextSignature = 0x66778899;
constexpr std::string_view kSharedCacheSignature = "hcsd";
constexpr std::size_t kMaxPathBytes = 1024;
// Descriptor arrays larger than this are no real file's.
constexpr quint64 kMaxDescriptorBytes = quint64(64) << 20;

QString text(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

template <typename Ranges, typename Key>
auto lastAtOrBefore(Ranges& ranges, Key key, auto startOf)
{
    auto it = std::upper_bound(ranges.begin(), ranges.end(), key,
                               [&](Key k, const auto& r) { return k < startOf(r); });
    return it == ranges.begin() ? ranges.end() : it - 1;
}

}  // namespace

std::optional<UuidText> UuidText::parse(QByteArray data)
{
    const Bytes bytes(data.constData(), std::size_t(data.size()));
    Cursor c(bytes);
    if (c.u32() != kUuidTextSignature)
        return std::nullopt;
    c.skip(8);  // version 2.1
    const quint32 count = c.u32();
    if (!c.ok() || count > c.remaining() / 8)
        return std::nullopt;
    UuidText t;
    std::size_t dataAt = 16 + std::size_t(count) * 8;
    for (quint32 i = 0; i < count; ++i) {
        const quint32 start = c.u32();
        const quint32 size = c.u32();
        if (!bytes.has(dataAt, size))
            return std::nullopt;
        t.m_ranges.push_back({start, size, dataAt});
        dataAt += size;
    }
    t.m_path = text(bytes.cstring(dataAt, kMaxPathBytes));
    std::sort(t.m_ranges.begin(), t.m_ranges.end(), [](const Range& a, const Range& b) { return a.start < b.start; });
    t.m_data = std::move(data);
    return t;
}

std::optional<std::string_view> UuidText::stringAt(quint64 offset) const
{
    const auto it = lastAtOrBefore(m_ranges, offset, [](const Range& r) { return r.start; });
    if (it == m_ranges.end() || offset - it->start >= it->size)
        return std::nullopt;
    const std::size_t within = std::size_t(offset - it->start);
    return Bytes(m_data.constData() + it->dataOffset, it->size).cstring(within);
}

SharedCacheStrings::~SharedCacheStrings()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::unique_ptr<SharedCacheStrings> SharedCacheStrings::open(const QString& path, bool* damaged)
{
    *damaged = false;
    QString why;
    const int fd = SafeRead::openRegularFile(QFile::encodeName(path), &why);
    if (fd < 0) {
        *damaged = QFile::exists(path);
        return nullptr;
    }
    std::unique_ptr<SharedCacheStrings> s(new SharedCacheStrings);
    s->m_fd = fd;
    if (!s->readDescriptors()) {
        *damaged = true;
        return nullptr;
    }
    return s;
}

std::unique_ptr<SharedCacheStrings> SharedCacheStrings::parse(QByteArray data)
{
    std::unique_ptr<SharedCacheStrings> s(new SharedCacheStrings);
    s->m_memory = std::move(data);
    if (!s->readDescriptors())
        return nullptr;
    return s;
}

bool SharedCacheStrings::readAt(quint64 offset, std::size_t size, QByteArray* out) const
{
    if (offset > m_fileSize || size > m_fileSize - offset)
        return false;
    if (m_fd < 0) {
        *out = m_memory.mid(qsizetype(offset), qsizetype(size));
        return true;
    }
    out->resize(qsizetype(size));
    return SafeRead::readAt(m_fd, offset, size, out->data());  // false too when the file shrank
}

bool SharedCacheStrings::readDescriptors()
{
    if (m_fd >= 0) {
        struct stat st {};
        if (::fstat(m_fd, &st) != 0)
            return false;
        m_fileSize = quint64(st.st_size);
    } else {
        m_fileSize = quint64(m_memory.size());
    }
    QByteArray head;
    if (!readAt(0, 16, &head) || Bytes(head.constData(), 4).view() != kSharedCacheSignature)
        return false;
    const Bytes h(head.constData(), 16);
    m_version = *h.le<quint16>(4);
    if (m_version != 1 && m_version != 2)
        return false;
    const quint64 rangeCount = *h.le<quint32>(8), imageCount = *h.le<quint32>(12);
    const quint64 rangeBytes = m_version == 1 ? 16 : 24, imageBytes = m_version == 1 ? 28 : 32;
    const quint64 total = rangeCount * rangeBytes + imageCount * imageBytes;
    QByteArray table;
    if (total > kMaxDescriptorBytes || !readAt(16, std::size_t(total), &table))
        return false;
    Cursor c(Bytes(table.constData(), std::size_t(table.size())));
    for (quint64 i = 0; i < rangeCount; ++i) {
        Range r{};
        if (m_version == 1) {
            r.image = c.u32();
            r.offset = c.u32();
        } else {
            r.offset = c.u64();
        }
        r.dataOffset = c.u32();
        r.size = c.u32();
        if (m_version == 2)
            r.image = c.u64();
        // A range whose data runs past the file keeps what is there.
        if (r.dataOffset < m_fileSize) {
            r.size = quint32(std::min<quint64>(r.size, m_fileSize - r.dataOffset));
            m_ranges.push_back(r);
        }
    }
    for (quint64 i = 0; i < imageCount; ++i) {
        ImageDescriptor d{};
        d.textOffset = m_version == 1 ? c.u32() : c.u64();
        d.textSize = c.u32();
        d.image.uuid = c.uuid();
        d.pathOffset = c.u32();
        m_images.push_back(d);
    }
    if (!c.ok())
        return false;
    std::sort(m_ranges.begin(), m_ranges.end(), [](const Range& a, const Range& b) { return a.offset < b.offset; });
    m_imagesByText.resize(m_images.size());
    std::iota(m_imagesByText.begin(), m_imagesByText.end(), 0);
    std::sort(m_imagesByText.begin(), m_imagesByText.end(),
              [&](int a, int b) { return m_images[a].textOffset < m_images[b].textOffset; });
    return true;
}

std::optional<SharedCacheStrings::Found> SharedCacheStrings::stringAt(quint64 offset)
{
    const auto it = lastAtOrBefore(m_ranges, offset, [](const Range& r) { return r.offset; });
    if (it == m_ranges.end() || offset - it->offset >= it->size)
        return std::nullopt;
    if (!it->data) {
        auto data = std::make_shared<QByteArray>();
        if (!readAt(it->dataOffset, it->size, data.get()))
            return std::nullopt;
        it->data = std::move(data);
    }
    const Bytes range(it->data->constData(), std::size_t(it->data->size()));
    const int image = it->image < m_images.size() ? int(it->image) : -1;
    return Found{range.cstring(std::size_t(offset - it->offset)), image};
}

int SharedCacheStrings::imageContaining(quint64 textOffset) const
{
    const auto it = lastAtOrBefore(m_imagesByText, textOffset, [&](int i) { return m_images[i].textOffset; });
    if (it == m_imagesByText.end() || textOffset - m_images[*it].textOffset >= m_images[*it].textSize)
        return -1;
    return *it;
}

const SharedCacheStrings::Image& SharedCacheStrings::image(int index)
{
    ImageDescriptor& d = m_images[std::size_t(index)];
    if (!d.pathRead) {
        d.pathRead = true;
        QByteArray bytes;
        const quint64 n = d.pathOffset < m_fileSize ? std::min<quint64>(kMaxPathBytes, m_fileSize - d.pathOffset) : 0;
        if (n > 0 && readAt(d.pathOffset, std::size_t(n), &bytes))
            d.image.path = text(Bytes(bytes.constData(), std::size_t(bytes.size())).cstring(0));
    }
    return d.image;
}

}  // namespace Unified
