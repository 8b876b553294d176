#include "app/views/ViewHooks.h"

#include "app/views/SettingsView.h"
#include "browser/views/ContentView.h"
#include "crashes/views/CrashView.h"

namespace ViewHooks {

void install()
{
    ContentView::Hooks& hooks = ContentView::hooks();
    hooks.makeCrashesView = [](ContentView* window) -> QWidget* { return new CrashView(window->aiSettings()); };
    hooks.makeSettingsView = [](ContentView* window) -> QWidget* { return new SettingsView(window->aiSettings()); };
}

}  // namespace ViewHooks
