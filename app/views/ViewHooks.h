#pragma once

// Plugs the crash browser, the settings popover, the update banner and the
// log collection into every main window (ContentView's hooks).
namespace ViewHooks {

void install();

}  // namespace ViewHooks
