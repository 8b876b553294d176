#pragma once

// The user's AI choices (provider, API key) and the web search address,
// persisted in the per-user settings store.

#include "ai/Providers.h"

#include <QObject>
#include <QString>

class AISettings : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString apiKey READ apiKey WRITE setAPIKey NOTIFY apiKeyChanged)
    Q_PROPERTY(QString searchEngineURL READ searchEngineURL WRITE setSearchEngineURL NOTIFY searchEngineURLChanged)

public:
    static inline const QString providerKey = QStringLiteral("aiProvider");
    static inline const QString apiKeyKey = QStringLiteral("aiAPIKey");
    static inline const QString searchEngineURLKey = QStringLiteral("searchEngineURL");
    static QString defaultSearchEngineURL();

    // Reads the three values from the settings store; writes nothing.
    explicit AISettings(QObject* parent = nullptr);
    // Detached settings for one-off use (the command line's overrides): not
    // read from and never written to the store.
    // The provider must outlive the settings (the table's rows always do).
    AISettings(const AIProvider& provider, const QString& apiKey, QObject* parent = nullptr);

    // A row of AIProviders::all() unless set otherwise.
    const AIProvider& provider() const { return *m_provider; }
    QString apiKey() const { return m_apiKey; }
    QString searchEngineURL() const { return m_searchEngineURL; }

    // Each assignment writes the store at once, even when the value is unchanged;
    // observers hear only of real changes.
    void setProvider(const AIProvider& provider);
    void setAPIKey(const QString& key);
    void setSearchEngineURL(const QString& url);

    // The key as it goes into a request header: every control character (C0,
    // line breaks and NUL included, and DEL) removed, then spaces at both ends.
    // A pasted line break would otherwise break or inject headers; everything
    // else stays as typed, and the store keeps what was typed.
    static QString keyForUse(const QString& typed);
    // The key for use is not empty.
    bool hasAPIKey() const;

signals:
    void providerChanged();
    void apiKeyChanged();
    void searchEngineURLChanged();

private:
    void write(const QString& key, const QString& value);

    bool m_persistent = true;
    const AIProvider* m_provider = &AIProviders::all().front();
    QString m_apiKey;
    QString m_searchEngineURL;
};
