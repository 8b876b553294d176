#include "crashes/CrashLogFetcher.h"

#include "base/Background.h"
#include "base/Platform.h"
#include "crashes/CrashParser.h"
#include "crashes/ReportFiles.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>

namespace {

bool isReportName(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)  // no extension (a leading dot starts a hidden name, not an extension)
        return false;
    const QStringView ext = QStringView(name).mid(dot + 1);
    return ext.compare(QLatin1String("ips"), Qt::CaseInsensitive) == 0 || ext.compare(QLatin1String("crash"), Qt::CaseInsensitive) == 0;
}

std::optional<QString> decodedText(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// Checked a megabyte at a time, so that a structured report is never held
// as text beside its bytes; each piece ends between two characters.
bool isValidUtf8(const QByteArray& bytes)
{
    constexpr qsizetype kPiece = 1 << 20;
    for (qsizetype at = 0; at < bytes.size();) {
        qsizetype end = std::min(bytes.size(), at + kPiece);
        for (int back = 0; back < 3 && end < bytes.size() && (uchar(bytes[end]) & 0xC0) == 0x80; ++back)
            --end;
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString piece = decoder.decode(QByteArrayView(bytes).sliced(at, end - at));  // decodes on conversion
        if (decoder.hasError())
            return false;
        at = end;
    }
    return true;
}

QString notUtf8Text() { return QStringLiteral("not valid UTF-8 text"); }

}  // namespace

CrashLogFetcher::CrashLogFetcher(QObject* parent)
    : QObject(parent), m_reportsDirectory(defaultReportsDirectory())
{
    // Quitting never waits on a scan: the pool is joined at exit.
    if (auto* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &CrashLogFetcher::cancelRunning);
}

CrashLogFetcher::~CrashLogFetcher() { cancelRunning(); }

void CrashLogFetcher::cancelRunning()
{
    if (m_cancel)
        m_cancel->store(true);
}

QString CrashLogFetcher::defaultReportsDirectory()
{
    static const QString dir = QDir::homePath() + QStringLiteral("/Library/Logs/DiagnosticReports");
    return dir;
}

namespace {
#ifdef Q_OS_MACOS
constexpr bool kOnMac = true;
#else
constexpr bool kOnMac = false;
#endif
}  // namespace

QString CrashLogFetcher::emptyResultText()
{
    return ownFolderEmptyText(defaultReportsDirectory(), kOnMac);
}

QString CrashLogFetcher::ownFolderEmptyText(const QString& searched, bool onMac)
{
    if (onMac)
        return QStringLiteral("No crash reports found in ~/Library/Logs/DiagnosticReports/");
    // Only a Mac writes reports there: the path alone would send the user looking for them.
    return emptyResultText(searched) + QStringLiteral(" — this system does not write crash reports there. Open a folder of reports copied from a Mac.");
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
    cancelRunning();
    m_cancel = std::make_shared<std::atomic_bool>(false);
    setLoading(true);
    setError(std::nullopt);
    if (!m_reports.isEmpty() || !m_unread.isEmpty()) {
        m_reports.clear();
        m_unread.clear();
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
        this, [dir, foreign, cancel = m_cancel] { return collectReports(dir, foreign, cancel.get()); },
        [this, opened = m_openedFolder, cancel = m_cancel](CrashScan result) {
            // A scan stopped, or of a folder since closed (or replaced), publishes nothing.
            if (!cancel->load() && opened == m_openedFolder)
                publish(std::move(result));
        });
}

void CrashLogFetcher::publish(CrashScan scan)
{
    m_reports = std::move(scan.reports);
    m_unread = std::move(scan.unread);
    emit reportsChanged();
    setLoading(false);
    qCInfo(lcCrashFetcher, "Found %ld crash reports", long(m_reports.size()));
    for (const UnreadReport& u : std::as_const(m_unread))
        qCWarning(lcCrashFetcher, "Could not read %s: %s", qUtf8Printable(u.filePath), qUtf8Printable(u.reason));
    if (!m_reports.isEmpty())
        return;
    // A folder that cannot be listed is not an empty one; a missing one is.
    if (scan.folderError && !scan.folderMissing)
        setError(scan.folderError);
    else
        setError(m_openedFolder ? emptyResultText(*m_openedFolder) : ownFolderEmptyText(m_reportsDirectory, kOnMac));
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

CrashScan CrashLogFetcher::collectReports(const QString& directory, bool withDigest, const std::atomic_bool* cancelled)
{
    CrashScan scan = scanDirectory(directory, false, withDigest, cancelled);
    if (scan.folderError)
        return scan;
    // "Retired" may be a link to the folder itself: its reports are listed once.
    const QString retired = QDir(directory).filePath(QStringLiteral("Retired"));
    const ReportFiles::Listing probe = ReportFiles::listFolder(retired);
    ReportFiles::FolderId top, sub;
    if (probe.missing || probe.notFolder) {
        // No archive folder, or a file of that name: nothing archived.
    } else if (!probe.reason.isEmpty()) {
        scan.unread << UnreadReport{retired, probe.reason};
    } else if (!(ReportFiles::folderId(directory, &top) && ReportFiles::folderId(retired, &sub) && top == sub)) {
        CrashScan old = scanDirectory(retired, true, withDigest, cancelled);
        scan.reports += std::move(old.reports);
        scan.unread += std::move(old.unread);
        if (old.folderError)  // gone or changed since it was looked at
            scan.unread << UnreadReport{retired, *old.folderError};
    }
    std::stable_sort(scan.reports.begin(), scan.reports.end(),
                     [](const CrashReport& a, const CrashReport& b) { return a.date > b.date; });
    return scan;
}

CrashScan CrashLogFetcher::scanDirectory(const QString& directory, bool isRetired, bool withDigest,
                                         const std::atomic_bool* cancelled)
{
    CrashScan scan;
    const ReportFiles::Listing listing = ReportFiles::listFolder(directory);
    if (!listing.reason.isEmpty()) {
        scan.folderError = ReportFiles::folderError(directory, listing);
        scan.folderMissing = listing.missing;
        return scan;
    }
    const QDir dir(directory);
    for (const QString& name : listing.names) {
        if (cancelled && cancelled->load())
            break;
        if (!isReportName(name))
            continue;
        const QString path = dir.filePath(name);
        ReportRead read = readReport(path, isRetired, withDigest);
        // A file removed since the listing is no loss.
        if (read.missing)
            continue;
        if (!read.reason.isEmpty())
            scan.unread << UnreadReport{path, read.reason};
        if (read.report)
            scan.reports.append(std::move(*read.report));
    }
    return scan;
}

ReportRead CrashLogFetcher::readReport(const QString& path, bool isRetired, bool withDigest, bool keepRaw)
{
    ReportRead out;
    ReportFiles::FileRead file = ReportFiles::readFile(path, maxReportBytes);
    out.reason = file.reason;
    out.missing = file.missing;
    const QString fileName = QFileInfo(path).fileName();
    if (file.tooLarge) {
        // Listed by what the folder tells: its name, path and time.
        CrashReport r;
        r.id = QUuid::createUuid();
        r.fileName = fileName;
        r.filePath = path;
        r.date = file.modified;
        r.unreadReason = file.reason;
        r.isRetired = isRetired;
        out.report = std::move(r);
        return out;
    }
    if (!file.reason.isEmpty())
        return out;
    if (!isValidUtf8(file.bytes)) {
        out.reason = notUtf8Text();
        return out;
    }
    // The whole text only where it is used: the raw content, a plain report.
    const QString text = keepRaw ? decodedText(file.bytes).value_or(QString()) : QString();
    const QDateTime fallbackDate = file.modified.isValid() ? file.modified : CrashReport::distantPast();
    out.report = CrashParser::parseStructuredReport(text, file.bytes, fileName, path, fallbackDate, isRetired);
    if (!out.report)
        out.report = CrashParser::parsePlainReport(keepRaw ? text : decodedText(file.bytes).value_or(QString()),
                                                   fileName, path, fallbackDate, isRetired);
    if (!keepRaw)
        out.report->rawContent.clear();
    if (withDigest)
        out.report->contentDigest =
            QString::fromLatin1(QCryptographicHash::hash(file.bytes, QCryptographicHash::Sha256).toHex());
    return out;
}

std::optional<QString> CrashLogFetcher::readReportText(const QString& path, QString* reason)
{
    const ReportFiles::FileRead file = ReportFiles::readFile(path, maxReportBytes);
    if (!file.reason.isEmpty()) {
        *reason = file.reason;
        return std::nullopt;
    }
    std::optional<QString> text = decodedText(file.bytes);
    if (!text)
        *reason = notUtf8Text();
    return text;
}
