#include "app/views/ViewHooks.h"

#include "app/UpdateChecker.h"
#include "app/views/LogCollectionUI.h"
#include "app/views/SettingsView.h"
#include "app/views/UpdateBanner.h"
#include "browser/views/ContentView.h"
#include "crashes/views/CrashView.h"

namespace ViewHooks {

void install()
{
    ContentView::Hooks& hooks = ContentView::hooks();
    hooks.makeCrashesView = [](ContentView* window) -> QWidget* { return new CrashView(window->aiSettings()); };
    hooks.makeSettingsView = [](ContentView* window) -> QWidget* { return new SettingsView(window->aiSettings()); };
    hooks.collect = [](ContentView* window) { LogCollectionUI::collect(window); };
    hooks.makeUpdateBanner = [](ContentView* window) -> QWidget* {
        // Each main window has its own checker, which checks once, now.
        auto* checker = new UpdateChecker(window);
        checker->setObjectName(QStringLiteral("updateChecker"));
        auto* banner = new UpdateBanner;
        banner->setURLCheck([](const QString& url) { return isSafeDownloadURL(QUrl(url, QUrl::StrictMode)); });
        auto update = [banner, checker] {
            banner->setUpdate(checker->updateAvailable(), checker->latestVersion(), checker->downloadURL());
        };
        QObject::connect(checker, &UpdateChecker::updateAvailableChanged, banner, update);
        QObject::connect(checker, &UpdateChecker::latestVersionChanged, banner, update);
        QObject::connect(checker, &UpdateChecker::downloadURLChanged, banner, update);
        update();
        return banner;
    };
}

}  // namespace ViewHooks
