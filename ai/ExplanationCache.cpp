#include "ai/ExplanationCache.h"

#include "crashes/CrashReport.h"
#include "logs/Platform.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTimeZone>

#include <algorithm>
#include <memory>

namespace {

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
    : m_fileURL(folder + QStringLiteral("/explanations.json"))
{
    QDir().mkpath(folder);
    load();
}

QString ExplanationCache::cacheKey(const LogEntry& entry)
{
    const QString joined = entry.process + QLatin1Char('\n') + entry.subsystem + QLatin1Char('\n') + entry.message;
    return QString::fromLatin1(QCryptographicHash::hash(joined.toUtf8(), QCryptographicHash::Sha256).toHex());
}

void ExplanationCache::load()
{
    QFile file(m_fileURL);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QJsonParseError pe{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &pe);
    if (pe.error != QJsonParseError::NoError || !doc.isObject())
        return;
    // All or nothing: one bad record means the file is not trusted at all.
    QHash<QString, Record> loaded;
    const QJsonObject top = doc.object();
    for (auto it = top.begin(); it != top.end(); ++it) {
        if (!it.value().isObject())
            return;
        const QJsonObject record = it.value().toObject();
        const QJsonValue text = record.value(QLatin1String("explanation"));
        const QJsonValue stamp = record.value(QLatin1String("timestamp"));
        if (!text.isString() || !stamp.isString())
            return;
        const auto when = parseIsoSeconds(stamp.toString());
        if (!when)
            return;
        loaded.insert(it.key(), Record{{text.toString(), *when}, m_nextSequence++});
    }
    m_cache = std::move(loaded);
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
    const QDateTime now = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC);
    m_cache.insert(key, Record{{explanation, now}, m_nextSequence++});

    if (m_cache.size() > maxEntries) {
        struct Age {
            QDateTime timestamp;
            quint64 sequence;
            QString key;
        };
        std::vector<Age> ages;
        ages.reserve(size_t(m_cache.size()));
        for (auto it = m_cache.cbegin(); it != m_cache.cend(); ++it)
            if (it.key() != key)  // the record just stored is the newest, whatever the clock says
                ages.push_back({it->value.timestamp, it->sequence, it.key()});
        const size_t excess = size_t(m_cache.size() - maxEntries);
        std::partial_sort(ages.begin(), ages.begin() + qsizetype(excess), ages.end(), [](const Age& a, const Age& b) {
            return a.timestamp != b.timestamp ? a.timestamp < b.timestamp : a.sequence < b.sequence;
        });
        for (size_t i = 0; i < excess; ++i)
            m_cache.remove(ages[i].key);
    }
    save();
}

void ExplanationCache::save() const
{
    QJsonObject top;
    for (auto it = m_cache.cbegin(); it != m_cache.cend(); ++it)
        top.insert(it.key(), QJsonObject{{QStringLiteral("explanation"), it->value.explanation},
                                         {QStringLiteral("timestamp"), isoSeconds(it->value.timestamp)}});
    Platform::writeFileAtomically(m_fileURL, Platform::prettyJson(QJsonDocument(top)));
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

QString CrashExplanationCache::crashFileURL(const CrashReport& report) const
{
    QString name = report.fileName;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return m_cacheDir + QLatin1Char('/') + name + QStringLiteral(".json");
}

std::optional<QString> CrashExplanationCache::load(const CrashReport& report) const
{
    QFile file(crashFileURL(report));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

void CrashExplanationCache::store(const CrashReport& report, const QString& text) const
{
    Platform::writeFileAtomically(crashFileURL(report), text.toUtf8());
}
