#include "app/AppTheme.h"

#include "base/Platform.h"

namespace Theme {

const QList<AppTheme>& all()
{
    static const QList<AppTheme> themes{AppTheme::system, AppTheme::light, AppTheme::dark};
    return themes;
}

QString name(AppTheme t)
{
    switch (t) {
    case AppTheme::light: return QStringLiteral("light");
    case AppTheme::dark: return QStringLiteral("dark");
    case AppTheme::system: break;
    }
    return QStringLiteral("system");
}

QString menuLabel(AppTheme t)
{
    switch (t) {
    case AppTheme::light: return QStringLiteral("Light");
    case AppTheme::dark: return QStringLiteral("Dark");
    case AppTheme::system: break;
    }
    return QStringLiteral("System");
}

AppTheme fromStored(const QString& s)
{
    if (s == QLatin1String("light"))
        return AppTheme::light;
    if (s == QLatin1String("dark"))
        return AppTheme::dark;
    return AppTheme::system;
}

QString menuItemLabel(AppTheme t, AppTheme current)
{
    return (t == current ? QStringLiteral("\u2713 ") : QStringLiteral("   ")) + menuLabel(t);
}

AppTheme stored()
{
    return fromStored(Platform::settings().value(QLatin1String(settingsKey), QStringLiteral("system")).toString());
}

void store(AppTheme t)
{
    Platform::settings().setValue(QLatin1String(settingsKey), name(t));
}

}  // namespace Theme
