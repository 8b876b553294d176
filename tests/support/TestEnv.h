#pragma once

#include <QString>

namespace TestEnv {
// Points HOME, XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_CACHE_HOME at a fresh
// temporary folder kept for the life of the process, so that the settings
// store and the application-support folder never touch the real user's.
// Call it in initTestCase() before anything reads settings or paths.
// Returns the temporary home.
QString useTemporaryHome();

// Clears every key of the settings store.
void clearSettings();

// Absolute path of the vellacord-cli binary built beside the tests.
QString cliPath();
}
