// Hostile unified-log files: the tracev3 reader (through the store, over a
// bundle holding the bytes as its one file), the timesync, uuidtext and
// shared-cache strings parsers, and a chunkset's contents under a catalog of
// the input's own. The first byte picks the parser. No crash, no endless
// loop; what comes out has a date and a known level.

#include "logs/unified/Chunkset.h"
#include "logs/unified/EntryBuilder.h"
#include "logs/unified/StringsFiles.h"
#include "logs/unified/Timesync.h"
#include "logs/unified/UnifiedLogStore.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstdint>
#include <cstdlib>

using namespace Unified;

namespace {

void readBundle(const QByteArray& bytes)
{
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/vellacord-fuzz-XXXXXX")
                                                                       : QDir::tempPath() + QStringLiteral("/vellacord-fuzz-XXXXXX"));
    QFile f(dir.filePath(QStringLiteral("fuzz.tracev3")));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        abort();
    f.close();
    StoreOpenResult opened = openUnifiedStore(dir.path());
    auto* store = std::get_if<std::unique_ptr<LogStore>>(&opened);
    if (!store)
        abort();
    auto listed = (*store)->entries(0, std::nullopt);
    LogEnumerator& entries = *std::get<std::unique_ptr<LogEnumerator>>(listed);
    RawEntry raw;
    while (entries.next(raw)) {
        if (raw.kind == RawEntryKind::logMessage && (std::isnan(raw.entry.date) || raw.entry.level < 1 || raw.entry.level > 5))
            abort();
    }
}

// The input after its first two bytes as a chunkset's decompressed chunks,
// under the catalog in the first `catalogSize` bytes.
void readChunkset(const QByteArray& bytes)
{
    if (bytes.size() < 2)
        return;
    const std::size_t catalogSize = std::min<std::size_t>(quint8(bytes[0]) * 16, std::size_t(bytes.size() - 1));
    const Bytes input(bytes.constData() + 1, std::size_t(bytes.size() - 1));
    std::optional<Catalog> catalog = parseCatalog(*input.sub(0, catalogSize));
    if (!catalog)
        catalog.emplace();
    auto buffer = std::make_shared<Buffer>();
    buffer->size = input.size() - catalogSize;
    buffer->data = std::make_unique<char[]>(buffer->size + 1);
    std::memcpy(buffer->data.get(), input.data() + catalogSize, buffer->size);
    SkipCounts skips;
    OversizeStore oversize;
    ChunksetStream stream(buffer, std::make_shared<const Catalog>(std::move(*catalog)), BootClock({1, 1}, 0),
                          std::nullopt);
    for (ChunksetStream::OversizeChunk& o : stream.takeOversize())
        oversize.insert(o.procIdFirst, o.procIdSecond, o.reference, std::move(o.data));
    FormatResolver resolver({}, skips);
    EntryBuilder builder(resolver, skips);
    RawEntry raw;
    for (; stream.fill() == Fill::item; stream.pop())
        builder.build(stream, oversize, raw);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    switch (data[0] % 5) {
    case 0:
        readBundle(bytes);
        break;
    case 1: {
        Timesync t;
        t.parse(QByteArrayView(bytes));
        break;
    }
    case 2:
        if (const auto text = UuidText::parse(bytes)) {
            for (quint64 offset : {0ull, 1ull, 0x5591ull, 0x7fffffffull})
                text->stringAt(offset);
        }
        break;
    case 3:
        if (const auto dsc = SharedCacheStrings::parse(bytes)) {
            for (quint64 offset : {0ull, 0x980ull, 0x4643ull, 0xffffffffull}) {
                if (const auto found = dsc->stringAt(offset); found && found->image >= 0)
                    dsc->image(found->image);
                if (const int image = dsc->imageContaining(offset); image >= 0)
                    dsc->image(image);
            }
        }
        break;
    case 4:
        if (const auto buffer = decompressChunkset(Bytes(bytes.constData(), std::size_t(bytes.size()))))
            (void)buffer;
        readChunkset(bytes);
        break;
    }
    return 0;
}
