#include "logs/unified/UnifiedLogStore.h"

#include "base/Platform.h"
#include "logs/unified/EntryBuilder.h"
#include "logs/unified/Tracev3File.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>

namespace Unified {

namespace {

const char* const kTraceFolders[] = {"Persist", "Special", "Signpost", "HighVolume"};

QStringList filesIn(const QString& dir, const QString& pattern)
{
    QStringList files;
    // System entries too (FIFOs and the like), so that reading them is refused and counted.
    const QDir d(dir);
    for (const QString& name : d.entryList({pattern}, QDir::Files | QDir::System, QDir::Name))
        files << d.filePath(name);
    return files;
}

}  // namespace

BundleLayout layoutOf(const QString& path)
{
    BundleLayout layout;
    const QDir root(path);
    layout.tracev3Files = filesIn(path, QStringLiteral("*.tracev3"));
    for (const char* folder : kTraceFolders)
        layout.tracev3Files += filesIn(root.filePath(QLatin1String(folder)), QStringLiteral("*.tracev3"));
    layout.timesyncFiles = filesIn(root.filePath(QStringLiteral("timesync")), QStringLiteral("*.timesync"));
    layout.stringsRoots << root.absolutePath();
    const QFileInfo info(root.absolutePath());
    if (info.fileName() == QLatin1String("diagnostics")) {
        const QString sibling = QDir(info.absolutePath()).filePath(QStringLiteral("uuidtext"));
        if (QFileInfo(sibling).isDir())
            layout.stringsRoots << sibling;
    }
    return layout;
}

namespace {

class UnifiedEnumerator final : public LogEnumerator {
public:
    UnifiedEnumerator(const BundleLayout& layout, const std::optional<DateRange>& range)
        : m_resolver(layout.stringsRoots, m_skips), m_builder(m_resolver, m_skips), m_merge(sources(layout, range))
    {
    }

    bool next(RawEntry& out) override
    {
        switch (m_merge.fill()) {
        case Fill::pause:
            out.kind = RawEntryKind::none;
            return true;
        case Fill::end:
            return false;
        case Fill::item:
            break;
        }
        Tracev3Stream& file = m_merge.head();
        m_builder.build(file.chunkset(), file.oversize(), out);
        m_merge.pop();
        return true;
    }

    SkipCounts skipped() const override { return m_skips; }

private:
    std::vector<LazyMerge<Tracev3Stream>::Source> sources(const BundleLayout& layout, const std::optional<DateRange>& range)
    {
        qint64 damagedTimesync = 0;
        const Timesync timesync = Timesync::read(layout.timesyncFiles, &damagedTimesync);
        m_skips.files += damagedTimesync;
        std::vector<LazyMerge<Tracev3Stream>::Source> sources;
        for (const QString& path : layout.tracev3Files) {
            std::optional<FileIndex> index = scanTracev3(path, timesync, m_skips);
            if (!index)
                continue;
            // The file starts where its earliest chunkset in the range does.
            double start = std::numeric_limits<double>::infinity();
            bool any = false;
            for (const ChunksetPlace& c : index->chunksets) {
                if (overlaps(c.start, c.end, range)) {
                    start = std::min(start, c.start);
                    any = true;
                }
            }
            if (!any)
                continue;
            auto shared = std::make_shared<FileIndex>(std::move(*index));
            sources.push_back({start, [this, shared, range] {
                                   return std::make_unique<Tracev3Stream>(std::move(*shared), range, m_skips);
                               }});
        }
        return sources;
    }

    SkipCounts m_skips;
    FormatResolver m_resolver;
    EntryBuilder m_builder;
    LazyMerge<Tracev3Stream> m_merge;
};

class UnifiedStore final : public LogStore {
public:
    explicit UnifiedStore(BundleLayout layout) : m_layout(std::move(layout)) {}

    std::variant<std::unique_ptr<LogEnumerator>, StoreError>
    entries(double position, const std::optional<DateRange>& predicate) override
    {
        std::optional<DateRange> range = predicate;
        if (!range && position > 0)
            range = DateRange{position, std::numeric_limits<double>::infinity()};
        return std::unique_ptr<LogEnumerator>(new UnifiedEnumerator(m_layout, range));
    }

    // From the files' catalogs, without decompressing anything.
    std::optional<DateRange> span(const std::function<bool()>&) override
    {
        SkipCounts skips;
        qint64 damaged = 0;
        const Timesync timesync = Timesync::read(m_layout.timesyncFiles, &damaged);
        std::optional<DateRange> span;
        for (const QString& path : m_layout.tracev3Files) {
            const std::optional<FileIndex> index = scanTracev3(path, timesync, skips);
            for (const ChunksetPlace& c : index ? index->chunksets : std::vector<ChunksetPlace>()) {
                if (!std::isfinite(c.start) || !std::isfinite(c.end))
                    continue;
                if (!span)
                    span = DateRange{c.start, c.end};
                span->start = std::min(span->start, c.start);
                span->end = std::max(span->end, c.end);
            }
        }
        return span;
    }

private:
    BundleLayout m_layout;
};

}  // namespace

}  // namespace Unified

bool isUnifiedLogSource(const QString& path)
{
    return QFileInfo(path).isDir() && !Unified::layoutOf(path).tracev3Files.isEmpty();
}

StoreOpenResult openUnifiedStore(const QString& path)
{
    if (!QFileInfo(path).isDir())
        return StoreError{QStringLiteral("The folder does not exist.")};
    Unified::BundleLayout layout = Unified::layoutOf(path);
    if (layout.tracev3Files.isEmpty())
        return StoreError{QStringLiteral("The folder holds no tracev3 log files.")};
    return std::unique_ptr<LogStore>(new Unified::UnifiedStore(std::move(layout)));
}
