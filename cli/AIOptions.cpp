#include "cli/AIOptions.h"

void addAIOptions(QCommandLineParser& parser)
{
    parser.addOption({QStringLiteral("provider"),
                      QStringLiteral("AI provider for this run: %1 (default: the saved choice). "
                                     "The key comes from VELLACORD_API_KEY when set, else from the settings.")
                          .arg(AIProviders::nameList()),
                      QStringLiteral("PROVIDER")});
}

std::unique_ptr<AISettings> aiSettingsFor(const QCommandLineParser& parser, QString* usageError)
{
    auto stored = std::make_unique<AISettings>();
    const bool hasProvider = parser.isSet(QStringLiteral("provider"));
    const bool hasKey = qEnvironmentVariableIsSet("VELLACORD_API_KEY");
    if (!hasProvider && !hasKey)
        return stored;
    const AIProvider* provider = &stored->provider();
    if (hasProvider) {
        provider = AIProviders::forCommandLine(parser.value(QStringLiteral("provider")));
        if (!provider) {
            *usageError = QStringLiteral("--provider must be ") + AIProviders::nameList();
            return nullptr;
        }
    }
    const QString key = hasKey ? qEnvironmentVariable("VELLACORD_API_KEY") : stored->apiKey();
    // Detached: an override must never end up in the user's settings.
    return std::make_unique<AISettings>(*provider, key);
}
