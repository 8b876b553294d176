#pragma once

#include "ui/TintedBar.h"

#include <QString>

#include <optional>

class QLabel;
class QPushButton;

// The strip above the crash browser: "Open Folder…" always, and while a
// folder is open a banner naming it with "Close Folder". Only shows; the
// browser acts on its signals.
class CrashFolderBar : public TintedBar {
    Q_OBJECT
public:
    explicit CrashFolderBar(QWidget* parent = nullptr);

    void setFolder(const std::optional<QString>& folder);
    // The banner's full text ("Viewing crash reports in: " and the folder).
    QString bannerText() const { return m_text; }

signals:
    void openRequested();
    void closeRequested();

protected:
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void elide();

    std::optional<QString> m_folder;
    QString m_text;
    QLabel* m_home;
    QPushButton* m_close;
};
