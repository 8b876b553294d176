#include "app/views/ShellParts.h"

#include "ai/views/AnalysisView.h"
#include "app/UpdateChecker.h"
#include "app/views/LogCollectionUI.h"
#include "app/views/SettingsView.h"
#include "app/views/UpdateBanner.h"
#include "browser/EntrySelection.h"
#include "browser/WindowModel.h"
#include "browser/views/ContentView.h"
#include "crashes/views/CrashView.h"

#include <QCoreApplication>
#include <QPointer>

namespace ShellParts {

namespace {

// The analysis sheet of one window, made again after it closed itself.
class Sheet final : public AnalysisSheet {
public:
    explicit Sheet(ContentView* window) : m_window(window) {}

    void begin() override
    {
        if (!m_view) {
            m_view = new AnalysisView(m_window);
            m_view->setAttribute(Qt::WA_DeleteOnClose);
            EntrySelection* selection = m_window->model()->selection();
            m_view->setOnSelectEntry([selection](const LogEntry& e) { selection->selectFromAnalysis(e); });
        }
        m_view->setItems({});
        m_view->setError(std::nullopt);
        m_view->setLoading(true);
        m_view->open();
    }

    void finish(const QList<AnalysisItem>& items, const std::optional<QString>& error) override
    {
        if (!m_view)
            return;
        m_view->setItems(items);
        m_view->setError(error);
        m_view->setLoading(false);
    }

private:
    ContentView* m_window;  // owns this sheet
    QPointer<AnalysisView> m_view;
};

QWidget* updateBanner(ContentView* window)
{
    // Each main window has its own checker, which checks once, now.
    auto* checker = new UpdateChecker(window);
    checker->setObjectName(QStringLiteral("updateChecker"));
    auto* banner = new UpdateBanner;
    banner->setURLCheck([](const QString& url) { return isSafeDownloadURL(QUrl(url, QUrl::StrictMode)); });
    auto update = [banner, checker] {
        banner->setDetails(QCoreApplication::applicationVersion(), checker->releaseNotes());
        banner->setUpdate(checker->updateAvailable(), checker->latestVersion(), checker->downloadURL());
    };
    QObject::connect(checker, &UpdateChecker::updateAvailableChanged, banner, update);
    QObject::connect(checker, &UpdateChecker::latestVersionChanged, banner, update);
    QObject::connect(checker, &UpdateChecker::downloadURLChanged, banner, update);
    QObject::connect(checker, &UpdateChecker::releaseNotesChanged, banner, update);
    update();
    return banner;
}

}  // namespace

WindowParts make(std::function<void(const QString&)> openWindow)
{
    WindowParts parts;
    parts.makeCrashesTab = [](ContentView* window) {
        auto* view = new CrashView(window->model()->aiSettings());
        view->setFolder(window->crashFolder());
        QObject::connect(view, &CrashView::folderChanged, window,
                         [window, view] { window->setCrashFolder(view->folder()); });
        return WindowParts::CrashesTab{view, [view] { view->rescan(); }};
    };
    parts.makeSettingsView = [](ContentView* window) -> QWidget* { return new SettingsView(window->model()->aiSettings()); };
    parts.makeUpdateBanner = updateBanner;
    parts.collect = LogCollectionUI::confirmAndCollect;
    parts.makeAnalysisSheet = [](ContentView* window) -> std::unique_ptr<AnalysisSheet> {
        return std::make_unique<Sheet>(window);
    };
    parts.openWindow = std::move(openWindow);
    return parts;
}

}  // namespace ShellParts
