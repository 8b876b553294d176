#pragma once

#include "browser/views/WindowParts.h"

#include <QString>

#include <functional>

// What the shell plugs into every main window: the crash browser, the
// settings popover, the update banner, the log collection and the analysis
// sheet; `openWindow` opens the application's windows by identifier.
namespace ShellParts {

WindowParts make(std::function<void(const QString&)> openWindow = {});

}  // namespace ShellParts
