#pragma once

// Finds format strings and image names in an archive's strings files (the
// uuidtext folders and dsc/), reading each file when first needed and
// resolving each format string once per image and offset.

#include "logs/LogEntry.h"
#include "logs/LogStore.h"
#include "logs/unified/Catalog.h"
#include "logs/unified/StringsFiles.h"
#include "logs/unified/Tracepoint.h"

#include <QHash>
#include <QStringList>

#include <string>

namespace Unified {

struct ResolvedFormat {
    std::shared_ptr<const MessageTemplate> messageTemplate;
    std::string utf8;            // the format string; empty when missing
    QString missing;             // the message shown instead when it is missing
    bool noStringsFile = false;  // missing because the archive lacks the strings file (or it is damaged)
    QString sender;              // name of the image that holds it; empty when unknown
    QString senderPath;          // that image's full path; empty when unknown
};

// The image that logged: its name, or its (or its cache's) UUID; its path
// when the archive's strings name it.
struct Sender {
    QString name;
    QString path;
};

struct Resolution {
    const ResolvedFormat* format;
    Sender sender;
};

class FormatResolver {
public:
    // `roots` are the folders holding the uuidtext folders and dsc/, in the
    // order they are tried. Damaged strings files are counted in `skips`.
    FormatResolver(QStringList roots, SkipCounts& skips);
    ~FormatResolver();

    // The format string of a log tracepoint of the process (none: unknown process).
    Resolution resolve(const CatalogProcess* process, const LogTracepoint& t);

    // The last path component of the image's path, or its UUID when the
    // archive lacks its strings.
    const QString& imageName(const QUuid& image);
    // The image's full path; empty when the archive lacks its strings.
    QString imagePath(const QUuid& image);
    const UuidText* uuidText(const QUuid& image);
    SharedCacheStrings* sharedCache(const QUuid& cache);

private:
    // What a lookup in a strings file came to: the string, or why not.
    ResolvedFormat lookedUp(bool inCache, const QUuid& where, quint64 offset, bool fileThere,
                            std::optional<std::string_view> text) const;
    const ResolvedFormat& inImage(const QUuid& image, quint64 offset);
    const ResolvedFormat& inSharedCache(const QUuid& cache, quint64 offset);
    const ResolvedFormat& unresolvable(const QString& why, quint64 offset);
    Sender senderInSharedCache(const QUuid& cache, quint64 textOffset);
    void bound();
    QString pathIn(const QString& relative) const;

    struct Key {
        QUuid where;
        quint64 offset;
        bool sharedCache;
        bool operator==(const Key&) const = default;
    };
    friend size_t qHash(const Key& k, size_t seed) { return qHashMulti(seed, k.where, k.offset, k.sharedCache); }

    QStringList m_roots;
    SkipCounts& m_skips;
    QHash<Key, ResolvedFormat> m_formats;
    QHash<QString, ResolvedFormat> m_unresolvable;
    QHash<QUuid, QString> m_names;
    QHash<QUuid, std::shared_ptr<UuidText>> m_uuidTexts;               // null: missing or damaged
    QHash<QUuid, std::shared_ptr<SharedCacheStrings>> m_sharedCaches;  // null: missing or damaged
    QHash<QUuid, bool> m_damaged;

    // Distinct references kept at most; a file of nothing but distinct ones
    // then costs time, not memory.
    static constexpr qsizetype kMaxCached = 200000;
};

}  // namespace Unified
