#pragma once

// Small platform layer shared by every subsystem: diagnostic log categories,
// the per-user settings store and the application-support folder.

#include <QByteArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QSettings>
#include <QString>

#include <memory>

// Platform-log categories: subsystem "com.corvistra.Vellacord", one per service.
Q_DECLARE_LOGGING_CATEGORY(lcLogFetcher)
Q_DECLARE_LOGGING_CATEGORY(lcCrashFetcher)
Q_DECLARE_LOGGING_CATEGORY(lcProcessNames)

namespace Platform {

// The per-user settings store. One instance per process; created on first use.
// A settings file that is no regular file (or link to one) of at most 1 MiB is
// neither read nor replaced: the store then starts from the defaults and keeps
// its values in memory only, which the diagnostic log says.
QSettings& settings();
// Makes the settings file readable by its owner only, creating it when missing,
// before a secret is written to it.
void restrictSettingsToOwner();

// Per-user application-support folder "Vellacord" (created when missing).
QString appSupportDir();

// The user's home folder and Desktop folder.
QString homeDir();
QString desktopDir();

// Our diagnostics below warning level stay off (the command line's: all of
// them, its output being scripted) unless QT_LOGGING_RULES turns them on.
enum class Diagnostics { warningsAndAbove,
                         none };
void setDefaultDiagnostics(Diagnostics shown);

// JSON with sorted keys (QJsonObject keeps keys sorted) and indentation.
QByteArray prettyJson(const QJsonDocument& doc);

}  // namespace Platform
