#include "ai/AISettings.h"

#include "base/Platform.h"

QString AISettings::defaultSearchEngineURL() { return QStringLiteral("https://www.google.com/search?q="); }

AISettings::AISettings(QObject* parent) : QObject(parent)
{
    QSettings& store = Platform::settings();
    // Anything but a provider's exact name means the first provider; an unknown
    // stored string stays in the store until the user picks a provider.
    if (const AIProvider* stored = AIProviders::named(store.value(providerKey).toString()))
        m_provider = stored;
    m_apiKey = store.contains(apiKeyKey) ? store.value(apiKeyKey).toString() : QString();
    m_searchEngineURL = store.contains(searchEngineURLKey) ? store.value(searchEngineURLKey).toString()
                                                           : defaultSearchEngineURL();
}

AISettings::AISettings(const AIProvider& provider, const QString& apiKey, QObject* parent)
    : QObject(parent), m_persistent(false), m_provider(&provider), m_apiKey(apiKey),
      m_searchEngineURL(defaultSearchEngineURL())
{
}

void AISettings::write(const QString& key, const QString& value)
{
    if (!m_persistent)
        return;
    if (key == apiKeyKey)
        Platform::restrictSettingsToOwner();
    Platform::settings().setValue(key, value);
}

void AISettings::setProvider(const AIProvider& provider)
{
    write(providerKey, provider.name);
    if (&provider == m_provider)
        return;
    m_provider = &provider;
    emit providerChanged();
}

void AISettings::setAPIKey(const QString& key)
{
    write(apiKeyKey, key);
    if (key == m_apiKey)
        return;
    m_apiKey = key;
    emit apiKeyChanged();
}

void AISettings::setSearchEngineURL(const QString& url)
{
    write(searchEngineURLKey, url);
    if (url == m_searchEngineURL)
        return;
    m_searchEngineURL = url;
    emit searchEngineURLChanged();
}

QString AISettings::keyForUse(const QString& typed)
{
    QString key;
    key.reserve(typed.size());
    for (QChar c : typed)
        if (c.unicode() >= 0x20 && c.unicode() != 0x7f)
            key += c;
    qsizetype begin = 0, end = key.size();
    while (begin < end && key[begin] == QLatin1Char(' '))
        ++begin;
    while (end > begin && key[end - 1] == QLatin1Char(' '))
        --end;
    return key.mid(begin, end - begin);
}

bool AISettings::hasAPIKey() const { return !keyForUse(m_apiKey).isEmpty(); }
