#include "crashes/CrashLogFetcher.h"

#include "crashes/CrashParser.h"
#include "logs/Background.h"
#include "logs/Platform.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>

namespace {

QDateTime modificationTime(const QFileInfo& fi)
{
    const QDateTime m = fi.lastModified();
    return m.isValid() ? m.toUTC() : CrashReport::distantPast();
}

}  // namespace

CrashLogFetcher::CrashLogFetcher(QObject* parent)
    : QObject(parent), m_reportsDirectory(defaultReportsDirectory())
{
}

CrashLogFetcher::~CrashLogFetcher() = default;

QString CrashLogFetcher::defaultReportsDirectory()
{
    static const QString dir = QDir::homePath() + QStringLiteral("/Library/Logs/DiagnosticReports");
    return dir;
}

QString CrashLogFetcher::emptyResultText()
{
    return QStringLiteral("No crash reports found in ~/Library/Logs/DiagnosticReports/");
}

QString CrashLogFetcher::emptyResultText(const QString& folder)
{
    QString shown = QDir::toNativeSeparators(QDir::cleanPath(folder));
    if (!shown.endsWith(QDir::separator()))
        shown += QDir::separator();
    return QStringLiteral("No crash reports found in ") + shown;
}

void CrashLogFetcher::scan()
{
    setLoading(true);
    setError(std::nullopt);
    if (!m_reports.isEmpty()) {
        m_reports.clear();
        emit reportsChanged();
    }
    // If the fetcher goes away first, the finished list is simply dropped. The
    // task itself shares nothing with this object.
    // The user's own folder opened by its path is still theirs: its
    // explanations keep their name keys.
    const QString dir = m_openedFolder.value_or(m_reportsDirectory);
    const bool foreign = m_openedFolder && QFileInfo(*m_openedFolder).canonicalFilePath() !=
                                               QFileInfo(m_reportsDirectory).canonicalFilePath();
    Background::run(
        this, [dir, foreign] { return collectReports(dir, foreign); },
        [this, opened = m_openedFolder](CrashReportList list) {
            // A scan of a folder since closed (or replaced) publishes nothing.
            if (opened == m_openedFolder)
                publish(std::move(list));
        });
}

void CrashLogFetcher::publish(CrashReportList list)
{
    m_reports = std::move(list);
    emit reportsChanged();
    setLoading(false);
    qCInfo(lcCrashFetcher, "Found %ld crash reports", long(m_reports.size()));
    if (m_reports.isEmpty())
        setError(m_openedFolder ? emptyResultText(*m_openedFolder) : emptyResultText());
}

void CrashLogFetcher::setLoading(bool v)
{
    if (m_isLoading == v)
        return;
    m_isLoading = v;
    emit isLoadingChanged();
}

void CrashLogFetcher::setError(const std::optional<QString>& e)
{
    if (m_errorMessage == e)
        return;
    m_errorMessage = e;
    emit errorMessageChanged();
}

CrashReportList CrashLogFetcher::collectReports(const QString& directory, bool withDigest)
{
    CrashReportList list = scanDirectory(directory, false, withDigest);
    const QString retired = QDir(directory).filePath(QStringLiteral("Retired"));
    if (QFileInfo(retired).exists() || QFileInfo(retired).isSymLink())
        list += scanDirectory(retired, true, withDigest);
    std::stable_sort(list.begin(), list.end(),
                     [](const CrashReport& a, const CrashReport& b) { return a.date > b.date; });
    return list;
}

CrashReportList CrashLogFetcher::scanDirectory(const QString& directory, bool isRetired, bool withDigest)
{
    const QDir dir(directory);
    // A missing or unreadable folder lists as empty.
    const QStringList names = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                            QDir::Name);
    CrashReportList list;
    for (const QString& name : names) {
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        if (dot <= 0)  // no extension (a leading dot starts a hidden name, not an extension)
            continue;
        const QString ext = name.mid(dot + 1).toLower();
        if (ext != QLatin1String("ips") && ext != QLatin1String("crash"))
            continue;
        if (auto report = parseReport(dir.filePath(name), isRetired, withDigest))
            list.append(std::move(*report));
    }
    return list;
}

std::optional<CrashReport> CrashLogFetcher::parseReport(const QString& path, bool isRetired, bool withDigest)
{
    const QFileInfo fi(path);
    // Only regular files (after following links): reading a FIFO, socket or
    // device named *.ips would block the scan or never end.
    if (!fi.isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    file.close();

    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;

    const QString fileName = fi.fileName();
    const QDateTime fallbackDate = modificationTime(fi);
    std::optional<CrashReport> report =
        CrashParser::parseStructuredReport(text, bytes, fileName, path, fallbackDate, isRetired);
    if (!report)
        report = CrashParser::parsePlainReport(text, fileName, path, fallbackDate, isRetired);
    if (withDigest)
        report->contentDigest = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    return report;
}
