#pragma once

// The release check: downloads the manifest version.json once, compares it
// with the running application and publishes the outcome for the update
// banner. Every failure is silent and leaves the published state unchanged.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <optional>

class QNetworkReply;

// The manifest: a JSON object with exactly these four members, all required;
// other members are ignored. The version is shown in the update banner, so a
// manifest whose version is not a short plain text is no manifest.
struct VersionPayload {
    QString currentVersion;
    qint64 currentBuild = 0;
    QString downloadURL;
    QString releaseNotes;

    // None when the body is not a JSON object, or a member is missing or of
    // another type (currentBuild must be an integral number), or the version
    // is not isShowableVersion.
    static std::optional<VersionPayload> decode(const QByteArray& body);
};

// Whether the manifest's release is newer than the running one: the dotted
// versions compare piece by piece as numbers (a missing piece counts as 0,
// pieces that are not integers are dropped); equal versions leave it to the
// builds.
bool isNewer(const QString& manifestVersion, qint64 manifestBuild, const QString& localVersion,
             qint64 localBuild);

// Whether a version may be shown as it is: at most 32 characters, none of
// them a control character, a line or paragraph separator or a bidirectional
// control (which would put other text, or text in another order, in the banner).
bool isShowableVersion(const QString& version);

// A decimal integer: an optional "+" or "-", then ASCII digits only, within
// 64 bits. None otherwise (spaces included).
std::optional<qint64> parseDecimal(const QString& text);

// Whether the Download button may open the address: the manifest comes from
// the network, so only absolute http and https addresses with a host are
// handed to the browser (never file:, javascript: or custom schemes). Build
// the URL with QUrl(text, QUrl::StrictMode).
bool isSafeDownloadURL(const QUrl& url);

class UpdateChecker : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool updateAvailable READ updateAvailable NOTIFY updateAvailableChanged)
    Q_PROPERTY(QString latestVersion READ latestVersion NOTIFY latestVersionChanged)
    Q_PROPERTY(QString downloadURL READ downloadURL NOTIFY downloadURLChanged)
    Q_PROPERTY(QString releaseNotes READ releaseNotes NOTIFY releaseNotesChanged)

public:
    // Where the check looks and what it compares against.
    struct Source {
        QUrl manifestURL;
        QString localVersion;  // empty when unknown
        QString localBuild;    // "0" when unknown
        // The whole check, from the request to the last byte: a server that
        // sends a byte now and then does not hold it open.
        int deadlineMs = 30000;
    };
    // The manifest address of the build (VELLACORD_UPDATE_URL_DEFAULT), or the
    // environment's VELLACORD_UPDATE_URL when set; the running version
    // (VELLACORD_VERSION) and build (VELLACORD_BUILD, else "0").
    static Source defaultSource();
    // The build string read as a decimal integer; 0 when it does not parse.
    static qint64 localBuildNumber(const QString& buildString);

    // Creates the checker and starts its one check from the event loop. A
    // manifest past 64 KiB, or one not in by the deadline, is given up as a
    // bad one is; the diagnostic log says which.
    explicit UpdateChecker(QObject* parent = nullptr);
    UpdateChecker(Source source, QObject* parent = nullptr);
    ~UpdateChecker() override;

    bool updateAvailable() const { return m_updateAvailable; }
    const QString& latestVersion() const { return m_latestVersion; }
    const QString& downloadURL() const { return m_downloadURL; }
    const QString& releaseNotes() const { return m_releaseNotes; }

    // Texts of the update banner.
    static QString bannerText(const QString& latestVersion);  // "Vellacord 1.4.2 is available"
    static QString downloadButtonText();                      // "Download"

signals:
    void updateAvailableChanged();
    void latestVersionChanged();
    void downloadURLChanged();
    void releaseNotesChanged();
    // The check has ended, whatever its outcome (also when it changed nothing).
    void checkFinished();

private:
    void checkForUpdates();
    void apply(const VersionPayload& payload);

    Source m_source;
    QPointer<QNetworkReply> m_reply;
    bool m_updateAvailable = false;
    QString m_latestVersion;
    QString m_downloadURL;
    QString m_releaseNotes;
};
