#include "app/UpdateChecker.h"

#include "ai/SharedNetwork.h"
#include "logs/VisibleText.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#ifndef VELLACORD_UPDATE_URL_DEFAULT
#define VELLACORD_UPDATE_URL_DEFAULT ""
#endif
#ifndef VELLACORD_VERSION
#define VELLACORD_VERSION ""
#endif
#ifndef VELLACORD_BUILD
#define VELLACORD_BUILD "0"
#endif

namespace {

Q_LOGGING_CATEGORY(lcUpdateCheck, "com.corvistra.Vellacord.UpdateCheck")

// The manifest is a few hundred bytes; anything far larger is not one, and
// is not worth holding in memory.
constexpr qint64 maxManifestBytes = 64 * 1024;
constexpr qsizetype maxShownVersionChars = 32;

std::optional<qint64> integral(const QJsonValue& v)
{
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    // 2^63 itself is out of range; below it every integral double fits.
    if (!std::isfinite(d) || d != std::trunc(d) || d < -9223372036854775808.0 || d >= 9223372036854775808.0)
        return std::nullopt;
    return v.toInteger(static_cast<qint64>(d));
}

QList<qint64> versionNumbers(const QString& version)
{
    QList<qint64> numbers;
    for (const QString& piece : version.split(QLatin1Char('.'), Qt::SkipEmptyParts)) {
        if (const auto n = parseDecimal(piece))
            numbers.append(*n);
    }
    return numbers;
}

// A transfer failed when no HTTP answer came, or the connection broke while
// it arrived. An HTTP error status is not a failure of the transfer: its body
// goes to the decoder like any other.
bool transferFailed(const QNetworkReply* reply)
{
    const QNetworkReply::NetworkError error = reply->error();
    if (error == QNetworkReply::NoError)
        return false;
    const bool connectionLevel = error <= QNetworkReply::UnknownProxyError || error == QNetworkReply::ProtocolFailure || error == QNetworkReply::ProtocolUnknownError;
    return connectionLevel || !reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
}

}  // namespace

std::optional<VersionPayload> VersionPayload::decode(const QByteArray& body)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    const QJsonValue version = o.value(QLatin1String("currentVersion"));
    const QJsonValue url = o.value(QLatin1String("downloadURL"));
    const QJsonValue notes = o.value(QLatin1String("releaseNotes"));
    const auto build = integral(o.value(QLatin1String("currentBuild")));
    if (!version.isString() || !url.isString() || !notes.isString() || !build || !isShowableVersion(version.toString()))
        return std::nullopt;
    return VersionPayload{version.toString(), *build, url.toString(), notes.toString()};
}

bool isShowableVersion(const QString& version)
{
    return version.size() <= maxShownVersionChars && std::none_of(version.cbegin(), version.cend(), [](QChar c) {
               return c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator || VisibleText::isBidiControl(c.unicode());
           });
}

std::optional<qint64> parseDecimal(const QString& text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    // Accumulate towards the negative side, which holds one value more.
    qint64 value = 0;
    constexpr qint64 lowest = std::numeric_limits<qint64>::min();
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int digit = c - u'0';
        if (value < (lowest + digit) / 10)
            return std::nullopt;
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == lowest)
            return std::nullopt;
        value = -value;
    }
    return value;
}

bool isNewer(const QString& manifestVersion, qint64 manifestBuild, const QString& localVersion, qint64 localBuild)
{
    const QList<qint64> r = versionNumbers(manifestVersion);
    const QList<qint64> l = versionNumbers(localVersion);
    const qsizetype n = std::max(r.size(), l.size());
    for (qsizetype i = 0; i < n; ++i) {
        const qint64 rv = i < r.size() ? r[i] : 0;
        const qint64 lv = i < l.size() ? l[i] : 0;
        if (rv != lv)
            return rv > lv;
    }
    return localBuild < manifestBuild;
}

bool isSafeDownloadURL(const QUrl& url)
{
    if (!url.isValid() || url.isRelative() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("https") || scheme == QLatin1String("http");
}

UpdateChecker::Source UpdateChecker::defaultSource()
{
    const QByteArray env = qgetenv("VELLACORD_UPDATE_URL");
    const QString address = env.isEmpty() ? QStringLiteral(VELLACORD_UPDATE_URL_DEFAULT) : QString::fromUtf8(env);
    return Source{QUrl(address, QUrl::StrictMode), QStringLiteral(VELLACORD_VERSION), QStringLiteral(VELLACORD_BUILD)};
}

qint64 UpdateChecker::localBuildNumber(const QString& buildString)
{
    return parseDecimal(buildString).value_or(0);
}

UpdateChecker::UpdateChecker(QObject* parent) : UpdateChecker(defaultSource(), parent) {}

UpdateChecker::UpdateChecker(Source source, QObject* parent) : QObject(parent), m_source(std::move(source))
{
    // From the event loop, so that whoever creates the checker can connect to
    // it before anything is published.
    QMetaObject::invokeMethod(this, &UpdateChecker::checkForUpdates, Qt::QueuedConnection);
}

QString UpdateChecker::bannerText(const QString& latestVersion)
{
    return QStringLiteral("Vellacord ") + latestVersion + QStringLiteral(" is available");
}

QString UpdateChecker::downloadButtonText() { return QStringLiteral("Download"); }

void UpdateChecker::checkForUpdates()
{
    const QUrl& url = m_source.manifestURL;
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("https") && scheme != QLatin1String("http"))) {
        emit checkFinished();
        return;
    }

    QNetworkReply* reply = SharedNetwork::manager().get(QNetworkRequest(url));
    // Keeps Qt's own buffer within the cap between two reads of ours; Qt hands
    // the size to its network thread once the request has started, on the
    // next turn of the event loop, before any answer can arrive.
    QMetaObject::invokeMethod(
        reply, [reply] { reply->setReadBufferSize(maxManifestBytes); }, Qt::QueuedConnection);
    struct Exchange {
        QByteArray body;
        QString givenUp;  // why the check gave up, if it did
    };
    auto exchange = std::make_shared<Exchange>();
    const auto giveUp = [reply, exchange](const QString& why) {
        if (exchange->givenUp.isEmpty()) {
            exchange->givenUp = why;
            reply->abort();
        }
    };
    const QString tooLarge = QStringLiteral("is larger than %1 KiB").arg(maxManifestBytes >> 10);
    // Drained as it arrives, so that the cap bounds memory, not just the answer.
    const auto take = [reply, exchange, giveUp, tooLarge] {
        if (!exchange->givenUp.isEmpty())
            return;
        if (exchange->body.size() + reply->bytesAvailable() > maxManifestBytes)
            giveUp(tooLarge);
        else
            exchange->body += reply->readAll();
    };
    connect(reply, &QNetworkReply::readyRead, reply, take);
    connect(reply, &QNetworkReply::downloadProgress, reply, [giveUp, tooLarge](qint64, qint64 total) {
        if (total > maxManifestBytes)  // a declared length is enough to know
            giveUp(tooLarge);
    });
    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, reply, [giveUp, ms = m_source.deadlineMs] {
        giveUp(QStringLiteral("did not arrive within %1 s").arg(ms / 1000.0));
    });
    deadline->start(m_source.deadlineMs);
    connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
    connect(reply, &QNetworkReply::finished, this, [this, reply, exchange, take] {
        m_reply = nullptr;
        if (!transferFailed(reply))
            take();
        if (!exchange->givenUp.isEmpty()) {
            qCWarning(lcUpdateCheck, "Gave up the update check: the manifest at %s %s",
                      qUtf8Printable(m_source.manifestURL.toDisplayString()), qUtf8Printable(exchange->givenUp));
        } else if (!transferFailed(reply)) {
            if (const auto payload = VersionPayload::decode(exchange->body))
                apply(*payload);
        }
        emit checkFinished();
    });
    m_reply = reply;
}

UpdateChecker::~UpdateChecker()
{
    // A window closed mid-check: the answer is no longer wanted.
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void UpdateChecker::apply(const VersionPayload& payload)
{
    const bool available =
        isNewer(payload.currentVersion, payload.currentBuild, m_source.localVersion, localBuildNumber(m_source.localBuild));
    // All four values first, then the notifications, so that an observer of
    // any one of them sees the whole outcome.
    const bool availableChanged = std::exchange(m_updateAvailable, available) != available;
    const bool versionChanged = std::exchange(m_latestVersion, payload.currentVersion) != payload.currentVersion;
    const bool urlChanged = std::exchange(m_downloadURL, payload.downloadURL) != payload.downloadURL;
    const bool notesChanged = std::exchange(m_releaseNotes, payload.releaseNotes) != payload.releaseNotes;
    if (availableChanged)
        emit updateAvailableChanged();
    if (versionChanged)
        emit latestVersionChanged();
    if (urlChanged)
        emit downloadURLChanged();
    if (notesChanged)
        emit releaseNotesChanged();
}
