#pragma once

#include <QList>
#include <QString>

// The appearance setting of the View menu, stored under "colorScheme".
enum class AppTheme { system,
                      light,
                      dark };

namespace Theme {

inline const char* const settingsKey = "colorScheme";

const QList<AppTheme>& all();
QString name(AppTheme t);
QString menuLabel(AppTheme t);
// "light" and "dark" give those themes; any other text gives system.
AppTheme fromStored(const QString& stored);
// "✓ " + label for the stored theme, three spaces + label otherwise.
QString menuItemLabel(AppTheme t, AppTheme current);

// The theme read from the settings store (not rewritten when unrecognised).
AppTheme stored();
void store(AppTheme t);

}  // namespace Theme
