#include "ai/ExplanationCache.h"

#include "base/AtomicFile.h"
#include "base/Platform.h"
#include "crashes/CrashReport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTimeZone>

#include <algorithm>
#include <memory>

Q_LOGGING_CATEGORY(lcExplanationCache, "com.corvistra.Vellacord.ExplanationCache")

namespace {

// Another process holds the lock only while it rewrites a file of a few megabytes at most.
constexpr int lockWaitMs = 5000;

std::unique_ptr<ExplanationCache>& sharedEntryCache()
{
    static std::unique_ptr<ExplanationCache> instance;
    return instance;
}

std::unique_ptr<CrashExplanationCache>& sharedCrashCache()
{
    static std::unique_ptr<CrashExplanationCache> instance;
    return instance;
}

QString isoSeconds(const QDateTime& t) { return t.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss'Z'")); }

// ISO 8601 internet date-time with whole seconds: "Z" or a numeric offset.
std::optional<QDateTime> parseIsoSeconds(const QString& s)
{
    static const QRegularExpression form(QStringLiteral(R"(^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}(Z|[+-]\d{2}:?\d{2})$)"));
    if (!form.match(s).hasMatch())
        return std::nullopt;
    const QDateTime t = QDateTime::fromString(s, Qt::ISODate);
    if (!t.isValid())
        return std::nullopt;
    return t.toUTC();
}

}  // namespace

ExplanationCache& ExplanationCache::shared()
{
    auto& instance = sharedEntryCache();
    if (!instance)
        instance = std::make_unique<ExplanationCache>(Platform::appSupportDir());
    return *instance;
}

void ExplanationCache::resetShared() { sharedEntryCache().reset(); }

ExplanationCache::ExplanationCache(const QString& folder)
    : m_filePath(folder + QStringLiteral("/explanations.json"))
{
    QDir().mkpath(folder);
    load();
}

QString ExplanationCache::cacheKey(const LogEntry& entry)
{
    const QString joined = entry.process + QLatin1Char('\n') + entry.subsystem + QLatin1Char('\n') + entry.message;
    return QString::fromLatin1(QCryptographicHash::hash(joined.toUtf8(), QCryptographicHash::Sha256).toHex());
}

std::optional<QHash<QString, ExplanationCache::Record>> ExplanationCache::parse(const QByteArray& bytes)
{
    QJsonParseError pe{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &pe);
    if (pe.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    // All or nothing: one bad record means the file is not trusted at all.
    QHash<QString, Record> loaded;
    const QJsonObject top = doc.object();
    for (auto it = top.begin(); it != top.end(); ++it) {
        if (!it.value().isObject())
            return std::nullopt;
        const QJsonObject record = it.value().toObject();
        const QJsonValue text = record.value(QLatin1String("explanation"));
        const QJsonValue stamp = record.value(QLatin1String("timestamp"));
        if (!text.isString() || !stamp.isString())
            return std::nullopt;
        const auto when = parseIsoSeconds(stamp.toString());
        if (!when)
            return std::nullopt;
        loaded.insert(it.key(), Record{{text.toString(), *when}, m_nextSequence++});
    }
    return loaded;
}

void ExplanationCache::load()
{
    const SafeRead::Result file = SafeRead::readStateFile(m_filePath, lcExplanationCache());
    m_stamp = file.outcome == SafeRead::Result::Outcome::read ? file.stamp : SafeRead::stampOf(m_filePath);
    if (file.outcome == SafeRead::Result::Outcome::read)
        m_cache = parse(file.data).value_or(QHash<QString, Record>());
}

bool ExplanationCache::mergeFromFile()
{
    if (SafeRead::stampOf(m_filePath) == m_stamp)
        return true;
    const SafeRead::Result file = SafeRead::readStateFile(m_filePath, lcExplanationCache());
    if (file.outcome == SafeRead::Result::Outcome::failed)
        return false;  // not overwritten while it cannot be read
    // A missing or malformed file holds nothing; records only this instance
    // still holds were evicted or removed elsewhere and stay gone.
    QHash<QString, Record> merged;
    if (file.outcome == SafeRead::Result::Outcome::read)
        merged = parse(file.data).value_or(QHash<QString, Record>());
    // In the order they were stored here, which decides ties in eviction.
    std::vector<std::pair<quint64, QString>> unsaved;
    for (const QString& key : std::as_const(m_unsaved))
        if (const auto it = m_cache.constFind(key); it != m_cache.constEnd())
            unsaved.emplace_back(it->sequence, key);
    std::sort(unsaved.begin(), unsaved.end());
    for (const auto& [sequence, key] : unsaved)
        merged.insert(key, Record{m_cache.value(key).value, m_nextSequence++});
    m_cache = std::move(merged);
    return true;
}

std::optional<QString> ExplanationCache::explanationForKey(const QString& key) const
{
    const auto it = m_cache.constFind(key);
    if (it == m_cache.constEnd())
        return std::nullopt;
    return it->value.explanation;
}

void ExplanationCache::store(const QString& key, const QString& explanation)
{
    if (explanation.toUtf8().size() > maxCachedExplanationBytes)
        return;
    const QDateTime now = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC);
    m_cache.insert(key, Record{{explanation, now}, m_nextSequence++});
    m_unsaved.insert(key);
    save(key);
}

void ExplanationCache::evictBeyondMax(const QString& newest)
{
    if (m_cache.size() <= maxEntries)
        return;
    struct Age {
        QDateTime timestamp;
        quint64 sequence;
        QString key;
    };
    std::vector<Age> ages;
    ages.reserve(size_t(m_cache.size()));
    for (auto it = m_cache.cbegin(); it != m_cache.cend(); ++it)
        if (it.key() != newest)  // the record just stored is the newest, whatever the clock says
            ages.push_back({it->value.timestamp, it->sequence, it.key()});
    const size_t excess = size_t(m_cache.size() - maxEntries);
    std::partial_sort(ages.begin(), ages.begin() + qsizetype(excess), ages.end(), [](const Age& a, const Age& b) {
        return a.timestamp != b.timestamp ? a.timestamp < b.timestamp : a.sequence < b.sequence;
    });
    for (size_t i = 0; i < excess; ++i)
        m_cache.remove(ages[i].key);
}

void ExplanationCache::save(const QString& newest)
{
    QLockFile lock(m_filePath + QStringLiteral(".lock"));
    // Without the lock, or with a file that cannot be read, memory stays
    // ahead of the file until a later store writes it.
    const bool merged = lock.tryLock(lockWaitMs) && mergeFromFile();
    evictBeyondMax(newest);
    if (!merged)
        return;
    QJsonObject top;
    for (auto it = m_cache.cbegin(); it != m_cache.cend(); ++it)
        top.insert(it.key(), QJsonObject{{QStringLiteral("explanation"), it->value.explanation},
                                         {QStringLiteral("timestamp"), isoSeconds(it->value.timestamp)}});
    if (AtomicFile::write(m_filePath, Platform::prettyJson(QJsonDocument(top)),
                          AtomicFile::LinkPolicy::followToRegularFile))
        return;
    m_unsaved.clear();
    m_stamp = SafeRead::stampOf(m_filePath);
}

CrashExplanationCache& CrashExplanationCache::shared()
{
    auto& instance = sharedCrashCache();
    if (!instance)
        instance = std::make_unique<CrashExplanationCache>(Platform::appSupportDir());
    return *instance;
}

void CrashExplanationCache::resetShared() { sharedCrashCache().reset(); }

CrashExplanationCache::CrashExplanationCache(const QString& folder)
    : m_cacheDir(folder + QStringLiteral("/CrashExplanations"))
{
    QDir().mkpath(m_cacheDir);
}

QString CrashExplanationCache::crashFilePath(const CrashReport& report) const
{
    QString name = report.fileName;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    if (!report.contentDigest.isEmpty())
        name += QLatin1Char('-') + report.contentDigest;
    return m_cacheDir + QLatin1Char('/') + name + QStringLiteral(".json");
}

std::optional<QString> CrashExplanationCache::load(const CrashReport& report) const
{
    const SafeRead::Result file = SafeRead::readStateFile(crashFilePath(report), lcExplanationCache());
    if (file.outcome != SafeRead::Result::Outcome::read)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(file.data);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

void CrashExplanationCache::store(const CrashReport& report, const QString& text) const
{
    const QByteArray bytes = text.toUtf8();
    if (bytes.size() <= maxCachedExplanationBytes)
        AtomicFile::write(crashFilePath(report), bytes, AtomicFile::LinkPolicy::followToRegularFile);
}
