#include "ai/ExplainerError.h"

QString ExplainerError::description() const
{
    switch (kind) {
    case Kind::networkError:
        return QStringLiteral("Network error: ") + message;
    case Kind::apiError:
        return QStringLiteral("API error (") + QString::number(statusCode) + QStringLiteral("): ") + message;
    case Kind::noAPIKey:
        return QStringLiteral("No API key configured. Open Settings to add one.");
    case Kind::parseError:
        break;
    }
    return QStringLiteral("Failed to parse API response.");
}
