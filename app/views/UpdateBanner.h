#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class QToolButton;

// The main window's update banner: "Vellacord <version> is available" with
// "Download" and a close button. Shown while an update is reported and the
// user has not closed it; "Download" opens only http and https addresses in
// the default browser. Fed by the window's update checker (see ShellParts).
class UpdateBanner : public QWidget {
    Q_OBJECT
public:
    explicit UpdateBanner(QWidget* parent = nullptr);

    // The checker's published state.
    void setUpdate(bool updateAvailable, const QString& latestVersion, const QString& downloadURL);
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
    QPushButton* downloadButton() const { return m_download; }
    QToolButton* closeButton() const { return m_close; }

    static QString bannerText(const QString& latestVersion);
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
    bool m_dismissed = false;
    std::function<bool(const QString&)> m_isSafe = &UpdateBanner::isWebAddress;
    QLabel* m_text;
    QPushButton* m_download;
    QToolButton* m_close;
};
