#include "ai/Providers.h"

#include <QJsonArray>

namespace {

// The first element of the top object's list `key`, when it is an object.
std::optional<QJsonObject> firstOf(const QJsonValue& top, QLatin1String key)
{
    if (!top.isObject())
        return std::nullopt;
    const QJsonValue list = top.toObject().value(key);
    if (!list.isArray() || list.toArray().isEmpty() || !list.toArray().first().isObject())
        return std::nullopt;
    return list.toArray().first().toObject();
}

AIResult<QString> textOf(const QJsonValue& text)
{
    if (!text.isString())
        return ExplainerError::parseError();
    return text.toString();
}

QJsonObject message(const QString& role, const QString& content)
{
    return {{QStringLiteral("role"), role}, {QStringLiteral("content"), content}};
}

AIProvider anthropic()
{
    return {
        QStringLiteral("Anthropic"),
        QStringLiteral("https://api.anthropic.com/v1/messages"),
        "VELLACORD_ANTHROPIC_URL",
        QStringLiteral("claude-sonnet-4-20250514"),
        [](const AIProvider& self, const QByteArray& key, const AIPrompt& prompt) {
            return AIRequest{
                {{"content-type", "application/json"}, {"x-api-key", key}, {"anthropic-version", "2023-06-01"}},
                {{QStringLiteral("model"), self.model},
                 {QStringLiteral("max_tokens"), prompt.maxTokens},
                 {QStringLiteral("system"), prompt.system},
                 {QStringLiteral("messages"), QJsonArray{message(QStringLiteral("user"), prompt.user)}}}};
        },
        [](const QJsonValue& top) -> AIResult<QString> {
            const auto first = firstOf(top, QLatin1String("content"));
            return first ? textOf(first->value(QLatin1String("text"))) : ExplainerError::parseError();
        },
        QStringLiteral("Anthropic (Claude)"),
        QStringLiteral("https://console.anthropic.com"),
    };
}

AIProvider openAI()
{
    return {
        QStringLiteral("OpenAI"),
        QStringLiteral("https://api.openai.com/v1/chat/completions"),
        "VELLACORD_OPENAI_URL",
        QStringLiteral("gpt-4o"),
        [](const AIProvider& self, const QByteArray& key, const AIPrompt& prompt) {
            return AIRequest{
                {{"Content-Type", "application/json"}, {"Authorization", "Bearer " + key}},
                {{QStringLiteral("model"), self.model},
                 {QStringLiteral("max_tokens"), prompt.maxTokens},
                 {QStringLiteral("messages"), QJsonArray{message(QStringLiteral("system"), prompt.system),
                                                         message(QStringLiteral("user"), prompt.user)}}}};
        },
        [](const QJsonValue& top) -> AIResult<QString> {
            const auto first = firstOf(top, QLatin1String("choices"));
            const QJsonValue reply = first ? first->value(QLatin1String("message")) : QJsonValue();
            if (!reply.isObject())
                return ExplainerError::parseError();
            return textOf(reply.toObject().value(QLatin1String("content")));
        },
        QStringLiteral("OpenAI (ChatGPT)"),
        QStringLiteral("https://platform.openai.com"),
    };
}

}  // namespace

QUrl AIProvider::endpoint() const
{
    QUrl url(defaultEndpoint);
    const QString override = qEnvironmentVariable(urlVariable);
    if (!override.isEmpty()) {
        const QUrl o(override);
        url.setScheme(o.scheme());
        url.setHost(o.host());
        url.setPort(o.port());
    }
    return url;
}

namespace AIProviders {

const std::vector<AIProvider>& all()
{
    static const std::vector<AIProvider> rows{anthropic(), openAI()};
    return rows;
}

const AIProvider* named(const QString& name)
{
    for (const AIProvider& p : all())
        if (p.name == name)
            return &p;
    return nullptr;
}

const AIProvider* forCommandLine(const QString& value)
{
    for (const AIProvider& p : all())
        if (p.name == value || p.name.toLower() == value)
            return &p;
    return nullptr;
}

QString nameList()
{
    QString list;
    const qsizetype n = qsizetype(all().size());
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0)
            list += i == n - 1 ? QStringLiteral(" or ") : QStringLiteral(", ");
        list += all()[size_t(i)].name;
    }
    return list;
}

}  // namespace AIProviders
