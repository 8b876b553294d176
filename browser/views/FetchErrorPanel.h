#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// The content area after a failed or empty fetch with no entries: the
// fetcher's message in its own words, with a lock and "Open System Settings"
// when reading needs Full Disk Access, or a warning triangle otherwise.
class FetchErrorPanel : public QWidget {
    Q_OBJECT
public:
    explicit FetchErrorPanel(QWidget* parent = nullptr);

    void setError(const QString& message, bool needsFullDiskAccess);

protected:
    void changeEvent(QEvent* e) override;

private:
    void refreshIcon();
    void openFullDiskAccessHelp();

    QLabel* m_icon = nullptr;
    QLabel* m_text = nullptr;
    QPushButton* m_settingsButton = nullptr;
    bool m_fullDiskAccess = false;
};
