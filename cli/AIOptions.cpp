#include "cli/AIOptions.h"

void addAIOptions(QCommandLineParser& parser)
{
    parser.addOption({QStringLiteral("provider"),
                      QStringLiteral("AI provider for this run: Anthropic or OpenAI (default: the saved choice). "
                                     "The key comes from VELLACORD_API_KEY when set, else from the settings."),
                      QStringLiteral("PROVIDER")});
}

std::unique_ptr<AISettings> aiSettingsFor(const QCommandLineParser& parser, QString* usageError)
{
    auto stored = std::make_unique<AISettings>();
    const bool hasProvider = parser.isSet(QStringLiteral("provider"));
    const bool hasKey = qEnvironmentVariableIsSet("VELLACORD_API_KEY");
    if (!hasProvider && !hasKey)
        return stored;
    AIProvider provider = stored->provider();
    if (hasProvider) {
        const QString value = parser.value(QStringLiteral("provider"));
        // The raw values, and the case names in lower case for convenience.
        std::optional<AIProvider> p = AIProviders::fromRawValue(value);
        if (!p && value == QLatin1String("anthropic"))
            p = AIProvider::anthropic;
        if (!p && value == QLatin1String("openai"))
            p = AIProvider::openai;
        if (!p) {
            *usageError = QStringLiteral("--provider must be Anthropic or OpenAI");
            return nullptr;
        }
        provider = *p;
    }
    const QString key = hasKey ? qEnvironmentVariable("VELLACORD_API_KEY") : stored->apiKey();
    // Detached: an override must never end up in the user's settings.
    return std::make_unique<AISettings>(provider, key);
}
