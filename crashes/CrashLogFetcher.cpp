#include "crashes/CrashLogFetcher.h"

#include "crashes/CrashParser.h"
#include "logs/Background.h"
#include "logs/Platform.h"

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
    Background::run(
        this, [dir = m_reportsDirectory] { return collectReports(dir); },
        [this](CrashReportList list) { publish(std::move(list)); });
}

void CrashLogFetcher::publish(CrashReportList list)
{
    m_reports = std::move(list);
    emit reportsChanged();
    setLoading(false);
    qCInfo(lcCrashFetcher, "Found %ld crash reports", long(m_reports.size()));
    if (m_reports.isEmpty())
        setError(emptyResultText());
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

CrashReportList CrashLogFetcher::collectReports(const QString& directory)
{
    CrashReportList list = scanDirectory(directory, false);
    const QString retired = QDir(directory).filePath(QStringLiteral("Retired"));
    if (QFileInfo(retired).exists() || QFileInfo(retired).isSymLink())
        list += scanDirectory(retired, true);
    std::stable_sort(list.begin(), list.end(),
                     [](const CrashReport& a, const CrashReport& b) { return a.date > b.date; });
    return list;
}

CrashReportList CrashLogFetcher::scanDirectory(const QString& directory, bool isRetired)
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
        if (auto report = parseReport(dir.filePath(name), isRetired))
            list.append(std::move(*report));
    }
    return list;
}

std::optional<CrashReport> CrashLogFetcher::parseReport(const QString& path, bool isRetired)
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
    if (auto report = CrashParser::parseStructuredReport(text, bytes, fileName, path, fallbackDate, isRetired))
        return report;
    return CrashParser::parsePlainReport(text, fileName, path, fallbackDate, isRetired);
}
