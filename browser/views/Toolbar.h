#pragma once

#include <QList>
#include <QWidget>

class BusyIndicator;
class ContentView;
class PillButton;
class QAction;
class QLabel;
class QPushButton;
class QToolButton;
class WindowModel;

// The main window's toolbar row: the app's icon and name, the Logs and
// Crashes tabs, the quick ranges and Custom (Rescan on the Crashes tab),
// Collect, Refresh, live tail, the entry count, Patterns, Analyze and the
// settings gear. What the model or the window carries out goes there
// directly; what the shell carries out is signalled.
class Toolbar : public QWidget {
    Q_OBJECT
public:
    // A child of `window`, whose tab, popover and collecting flag it shows and sets.
    Toolbar(WindowModel* model, ContentView* window);

    // The settings popover hangs below it.
    QWidget* settingsButton() const;

signals:
    void collectRequested();
    void rescanRequested();

protected:
    void changeEvent(QEvent* e) override;

private:
    void refresh();
    void refreshIcons();

    WindowModel* m_model;
    ContentView* m_window;
    PillButton* m_logsTab = nullptr;
    PillButton* m_crashesTab = nullptr;
    QWidget* m_rangeButtons = nullptr;
    PillButton* m_allButton = nullptr;
    QList<PillButton*> m_quickButtons;
    PillButton* m_customButton = nullptr;
    QPushButton* m_rescanButton = nullptr;
    BusyIndicator* m_collectBusy = nullptr;
    QPushButton* m_collectButton = nullptr;
    QToolButton* m_refreshButton = nullptr;
    QPushButton* m_tailButton = nullptr;
    BusyIndicator* m_loadingBusy = nullptr;
    QLabel* m_status = nullptr;
    PillButton* m_patternsButton = nullptr;
    QAction* m_patternsAction = nullptr;
    QPushButton* m_analyzeButton = nullptr;
    QToolButton* m_settingsButton = nullptr;
};
