#pragma once

#include "ai/AnalysisItem.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class ContentView;
class QWidget;

// The proactive analysis sheet as the main window drives it.
class AnalysisSheet {
public:
    virtual ~AnalysisSheet() = default;
    // Opens the sheet over the window, showing the running analysis.
    virtual void begin() = 0;
    // Shows the findings or the error of the finished analysis while the
    // sheet is open.
    virtual void finish(const QList<AnalysisItem>& items, const std::optional<QString>& error) = 0;
};

// What the application shell plugs into a main window, given to its
// constructor. Every part is optional: a window without one goes without.
struct WindowParts {
    // The Crashes tab's content and what the toolbar's Rescan runs on it.
    struct CrashesTab {
        QWidget* view = nullptr;
        std::function<void()> rescan;
    };
    // Built each time the tab is selected.
    std::function<CrashesTab(ContentView*)> makeCrashesTab;
    // The settings popover's content, anchored to the gear button.
    std::function<QWidget*(ContentView*)> makeSettingsView;
    // The update banner (shown by the update checker while it applies).
    std::function<QWidget*(ContentView*)> makeUpdateBanner;
    // The toolbar's Collect: asks for confirmation and runs a log collection,
    // which reports through setCollecting() and openCollectedArchive().
    std::function<void(ContentView*)> collect;
    // The analysis sheet, made on the first analysis; a finding's "Jump to
    // entry" goes to selectFromAnalysis().
    std::function<std::unique_ptr<AnalysisSheet>(ContentView*)> makeAnalysisSheet;
    // Opens a window by identifier ("detail-window", ...).
    std::function<void(const QString&)> openWindow;
};
