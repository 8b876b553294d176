#pragma once

#include <QString>

class QWidget;

// The single-instance windows opened from the Help menu, by identifier:
// "help" (Vellacord Help), "api-key-help" (Setting Up Your AI API Key) and
// "about" (About Vellacord). Opening one that is already open brings it to
// the front instead of making a second.
namespace AuxWindows {

inline const char* const helpID = "help";
inline const char* const apiKeyHelpID = "api-key-help";
inline const char* const aboutID = "about";

// Shows (creating on first use) the window with that identifier and returns
// it; unknown identifiers return nullptr.
QWidget* open(const QString& id);

// Title of the window with that identifier.
QString title(const QString& id);

}  // namespace AuxWindows
