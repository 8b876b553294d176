#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class QToolButton;

// The main window's update banner: "Vellacord <version> is available", the
// version running, the first line of the release notes (all of them, cut to
// 2 KiB, in its tooltip), "Download" and a close button. Shown while an update is reported and the
// user has not closed it; "Download" opens only http and https addresses in
// the default browser. Fed by the window's update checker (see ShellParts).
class UpdateBanner : public QWidget {
    Q_OBJECT
public:
    explicit UpdateBanner(QWidget* parent = nullptr);

    // The checker's published state.
    void setUpdate(bool updateAvailable, const QString& latestVersion, const QString& downloadURL);
    // The version running (empty when unknown) and the manifest's release notes.
    void setDetails(const QString& runningVersion, const QString& releaseNotes);
    // The test a download address must pass before it is opened.
    void setURLCheck(std::function<bool(const QString&)> isSafe)
    {
        m_isSafe = std::move(isSafe);
        refresh();
    }

    bool isDismissed() const { return m_dismissed; }
    // Whether the banner should be visible now.
    bool wantsToShow() const { return m_updateAvailable && !m_dismissed; }
    // Whether Download would open the address (and so is shown).
    bool opensDownload() const;

    QLabel* textLabel() const { return m_text; }
    QLabel* runningLabel() const { return m_running; }
    QLabel* notesLabel() const { return m_notes; }
    QPushButton* downloadButton() const { return m_download; }
    QToolButton* closeButton() const { return m_close; }

    static QString bannerText(const QString& latestVersion);
    static QString runningText(const QString& runningVersion);  // "You have 1.4."
    // Release notes from the network as the banner shows them: at most 2 KiB
    // (UTF-8), each line with its controls written out.
    static QString shownNotes(const QString& notes);
    // http or https with a host, and nothing that fails to parse.
    static bool isWebAddress(const QString& url);

public slots:
    void download();
    void dismiss();

protected:
    void changeEvent(QEvent* e) override;

private:
    void refresh();
    void refreshIcons();

    bool m_updateAvailable = false;
    QString m_latestVersion;
    QString m_downloadURL;
    QString m_runningVersion;
    QString m_releaseNotes;
    bool m_dismissed = false;
    std::function<bool(const QString&)> m_isSafe = &UpdateBanner::isWebAddress;
    QLabel* m_text;
    QLabel* m_running;
    QLabel* m_notes;
    QPushButton* m_download;
    QToolButton* m_close;
};
