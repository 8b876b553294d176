#include "logs/unified/FormatResolver.h"

#include "base/Platform.h"
#include "base/SafeRead.h"

namespace Unified {

namespace {

constexpr qint64 kMaxUuidTextBytes = qint64(64) << 20;

QString uuidString(const QUuid& u) { return u.toString(QUuid::WithoutBraces).toUpper(); }
QString hex(quint64 v) { return QStringLiteral("0x") + QString::number(v, 16).toUpper(); }

QString lastComponent(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}

QString place(bool sharedCache, const QUuid& where)
{
    return (sharedCache ? QStringLiteral("shared cache ") : QStringLiteral("image ")) + uuidString(where);
}

}  // namespace

FormatResolver::FormatResolver(QStringList roots, SkipCounts& skips) : m_roots(std::move(roots)), m_skips(skips) {}

FormatResolver::~FormatResolver() = default;

QString FormatResolver::pathIn(const QString& relative) const
{
    for (const QString& root : m_roots) {
        const QString path = root + QLatin1Char('/') + relative;
        if (SafeRead::stampOf(path).size >= 0)
            return path;
    }
    return {};
}

const UuidText* FormatResolver::uuidText(const QUuid& image)
{
    const auto cached = m_uuidTexts.constFind(image);
    if (cached != m_uuidTexts.constEnd())
        return cached->get();
    const QString hex = image.toString(QUuid::Id128).toUpper();
    const QString path = pathIn(hex.left(2) + QLatin1Char('/') + hex.mid(2));
    std::shared_ptr<UuidText> text;
    if (!path.isEmpty()) {
        SafeRead::Result r = SafeRead::readRegularFile(path, kMaxUuidTextBytes);
        if (r.outcome == SafeRead::Result::Outcome::read) {
            if (std::optional<UuidText> parsed = UuidText::parse(std::move(r.data)))
                text = std::make_shared<UuidText>(std::move(*parsed));
            else
                r.reason = QStringLiteral("not a uuidtext file");
        }
        if (!text) {
            qCWarning(lcLogFetcher, "Skipped damaged strings file %s: %s", qUtf8Printable(path), qUtf8Printable(r.reason));
            ++m_skips.stringFiles;
            m_damaged.insert(image, true);
        }
    }
    return m_uuidTexts.insert(image, text)->get();
}

SharedCacheStrings* FormatResolver::sharedCache(const QUuid& cache)
{
    const auto cached = m_sharedCaches.constFind(cache);
    if (cached != m_sharedCaches.constEnd())
        return cached->get();
    const QString path = pathIn(QStringLiteral("dsc/") + cache.toString(QUuid::Id128).toUpper());
    std::shared_ptr<SharedCacheStrings> strings;
    if (!path.isEmpty()) {
        bool damaged = false;
        strings = SharedCacheStrings::open(path, &damaged);
        if (!strings) {
            qCWarning(lcLogFetcher, "Skipped damaged shared cache strings file %s", qUtf8Printable(path));
            ++m_skips.stringFiles;
            m_damaged.insert(cache, true);
        }
    }
    return m_sharedCaches.insert(cache, strings)->get();
}

const QString& FormatResolver::imageName(const QUuid& image)
{
    auto it = m_names.find(image);
    if (it == m_names.end()) {
        const UuidText* text = uuidText(image);
        it = m_names.insert(image, text && !text->path().isEmpty() ? lastComponent(text->path()) : uuidString(image));
    }
    return *it;
}

QString FormatResolver::imagePath(const QUuid& image)
{
    const UuidText* text = uuidText(image);
    return text ? text->path() : QString();
}

const ResolvedFormat& FormatResolver::unresolvable(const QString& why, quint64 offset)
{
    auto it = m_unresolvable.find(why);
    if (it == m_unresolvable.end()) {
        ResolvedFormat f;
        auto t = std::make_shared<MessageTemplate>();
        t->offset = offset;
        f.messageTemplate = std::move(t);
        f.missing = QStringLiteral("<format string not found: %1>").arg(why);
        it = m_unresolvable.insert(why, std::move(f));
    }
    return *it;
}

ResolvedFormat FormatResolver::lookedUp(bool inCache, const QUuid& where, quint64 offset, bool fileThere,
                                        std::optional<std::string_view> text) const
{
    ResolvedFormat f;
    auto t = std::make_shared<MessageTemplate>();
    t->image = where;
    t->offset = offset;
    if (text) {
        f.utf8.assign(*text);
        t->format = QString::fromUtf8(text->data(), qsizetype(text->size()));
        t->found = true;
    } else if (!fileThere) {
        f.noStringsFile = true;
        f.missing = (m_damaged.contains(where)
                         ? QStringLiteral("<format string not found: the strings file of %1 is damaged (offset %2)>")
                         : QStringLiteral("<format string not found: the archive has no strings for %1 (offset %2)>"))
                        .arg(place(inCache, where), hex(offset));
    } else {
        f.missing = QStringLiteral("<format string not found: offset %1 is not in the strings of %2>")
                        .arg(hex(offset), place(inCache, where));
    }
    f.messageTemplate = std::move(t);
    return f;
}

const ResolvedFormat& FormatResolver::inImage(const QUuid& image, quint64 offset)
{
    const Key key{image, offset, false};
    auto it = m_formats.find(key);
    if (it != m_formats.end())
        return *it;
    const UuidText* text = uuidText(image);
    ResolvedFormat f = lookedUp(false, image, offset, text, text ? text->stringAt(offset) : std::nullopt);
    f.sender = imageName(image);
    f.senderPath = imagePath(image);
    return *m_formats.insert(key, std::move(f));
}

const ResolvedFormat& FormatResolver::inSharedCache(const QUuid& cache, quint64 offset)
{
    const Key key{cache, offset, true};
    auto it = m_formats.find(key);
    if (it != m_formats.end())
        return *it;
    SharedCacheStrings* strings = sharedCache(cache);
    const std::optional<SharedCacheStrings::Found> found = strings ? strings->stringAt(offset) : std::nullopt;
    ResolvedFormat f = lookedUp(true, cache, offset, strings, found ? std::optional(found->text) : std::nullopt);
    if (found && found->image >= 0) {
        const SharedCacheStrings::Image& image = strings->image(found->image);
        f.sender = image.path.isEmpty() ? uuidString(image.uuid) : lastComponent(image.path);
        f.senderPath = image.path;
    }
    return *m_formats.insert(key, std::move(f));
}

Sender FormatResolver::senderInSharedCache(const QUuid& cache, quint64 textOffset)
{
    SharedCacheStrings* strings = sharedCache(cache);
    const int index = strings ? strings->imageContaining(textOffset) : -1;
    if (index < 0)
        return {imageName(cache), {}};  // no uuidtext file has a cache's UUID: its UUID, kept once
    const SharedCacheStrings::Image& image = strings->image(index);
    return {image.path.isEmpty() ? uuidString(image.uuid) : lastComponent(image.path), image.path};
}

void FormatResolver::bound()
{
    if (m_formats.size() > kMaxCached)
        m_formats.clear();
    if (m_unresolvable.size() > kMaxCached)
        m_unresolvable.clear();
}

Resolution FormatResolver::resolve(const CatalogProcess* process, const LogTracepoint& t)
{
    bound();
    if (!process)
        return {&unresolvable(QStringLiteral("the process is not in its file's catalog (offset %1)").arg(hex(t.formatOffset)),
                              t.formatOffset),
                {}};
    QUuid image;
    switch (StringsType(t.stringsType())) {
    case StringsType::mainExe: image = process->mainImage; break;
    case StringsType::uuidRelative: image = t.image; break;
    case StringsType::absolute: {
        const quint64 address = quint64(t.loadAddressHigh) << 32 | t.pc;
        for (const LoadedImageInfo& loaded : process->images) {
            if (address == loaded.loadAddress || address - loaded.loadAddress < loaded.size) {
                image = loaded.uuid;
                break;
            }
        }
        if (image.isNull())
            return {&unresolvable(QStringLiteral("no image of process %1 is loaded at %2 (offset %3)")
                                      .arg(process->pid)
                                      .arg(hex(address), hex(t.formatOffset)),
                                  t.formatOffset),
                    {}};
        break;
    }
    case StringsType::sharedCache:
    case StringsType::largeSharedCache:
        if (!process->sharedCache)
            return {&unresolvable(QStringLiteral("process %1 has no shared cache (offset %2)")
                                      .arg(process->pid)
                                      .arg(hex(t.formatOffset)),
                                  t.formatOffset),
                    {}};
        break;
    default:
        return {&unresolvable(QStringLiteral("unknown strings reference type %1 (offset %2)")
                                  .arg(hex(t.stringsType()), hex(t.formatOffset)),
                              t.formatOffset),
                {}};
    }
    const bool inCache = image.isNull();
    const QUuid where = inCache ? *process->sharedCache : image;
    if (!t.dynamic) {
        const ResolvedFormat& f = inCache ? inSharedCache(where, t.formatOffset) : inImage(where, t.formatOffset);
        // Without the string, the image that logged is the one whose text holds the caller.
        return {&f, f.sender.isEmpty() ? senderInSharedCache(where, t.pc) : Sender{f.sender, f.senderPath}};
    }

    // A dynamic reference prints its one string argument; in a shared cache
    // its value is an offset into the text of the image that logged.
    const Key key{where, t.formatOffset | (quint64(1) << 63), inCache};
    auto it = m_formats.find(key);
    if (it == m_formats.end()) {
        ResolvedFormat f;
        f.utf8 = "%s";
        f.messageTemplate = std::make_shared<MessageTemplate>(
            MessageTemplate{QStringLiteral("%s"), where, t.formatOffset, true});
        const Sender sender = inCache ? senderInSharedCache(where, t.formatOffset)
                                      : Sender{imageName(where), imagePath(where)};
        f.sender = sender.name;
        f.senderPath = sender.path;
        it = m_formats.insert(key, std::move(f));
    }
    return {&*it, {it->sender, it->senderPath}};
}

}  // namespace Unified
