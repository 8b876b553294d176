#include "cli/Commands.h"

#include "base/Platform.h"
#include "browser/EntryExport.h"
#include "crashes/CrashLogFetcher.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

using EntryExport::escapedControls;

namespace {

// `rawContent` null when the report was not read (or no longer reads).
QJsonObject reportJson(const CrashReport& r, const std::optional<QString>& rawContent)
{
    QJsonObject o;
    o.insert(QStringLiteral("fileName"), r.fileName);
    o.insert(QStringLiteral("filePath"), r.filePath);
    o.insert(QStringLiteral("date"), r.date.toUTC().toString(Qt::ISODateWithMs));
    o.insert(QStringLiteral("appName"), r.appName);
    o.insert(QStringLiteral("appVersion"), r.appVersion);
    o.insert(QStringLiteral("crashReason"), r.crashReason);
    o.insert(QStringLiteral("exceptionType"), r.exceptionType);
    o.insert(QStringLiteral("faultingThread"),
             r.faultingThread ? QJsonValue(*r.faultingThread) : QJsonValue(QJsonValue::Null));
    o.insert(QStringLiteral("osVersion"), r.osVersion);
    o.insert(QStringLiteral("deviceModel"), r.deviceModel);
    o.insert(QStringLiteral("stackTrace"), r.stackTrace);
    o.insert(QStringLiteral("rawContent"), rawContent ? QJsonValue(*rawContent) : QJsonValue(QJsonValue::Null));
    o.insert(QStringLiteral("isRetired"), r.isRetired);
    o.insert(QStringLiteral("crashTypeLabel"), r.crashTypeLabel());
    o.insert(QStringLiteral("unreadReason"),
             r.unreadReason.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(r.unreadReason));
    return o;
}

// A report not read shows its reason across the app and type columns, as in
// the crash browser. Names are escaped: a report's text never drives the
// terminal nor forges a row.
QString rowText(const CrashReport& r)
{
    QString app = escapedControls(r.unreadReason.isEmpty() ? r.appName : r.unreadReason);
    if (r.isRetired)
        app += QStringLiteral(" (archived)");
    return r.date.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QLatin1Char('\t') + app + QLatin1Char('\t') + escapedControls(r.crashTypeLabel()) + QLatin1Char('\t') + escapedControls(r.fileName);
}

bool parseArgs(QCommandLineParser& parser, const QString& command, const QStringList& args, int* rc)
{
    parser.addHelpOption();
    if (!parser.parse(QStringList{QStringLiteral("vellacord-cli ") + command} + args)) {
        err() << "vellacord-cli " << command << ": " << parser.errorText() << "\n"
              << parser.helpText();
        *rc = 2;
        return false;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        out() << parser.helpText();
        *rc = 0;
        return false;
    }
    return true;
}

}  // namespace

int runCrashes(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("List crash reports (.ips and .crash) of a folder and its \"Retired\" subfolder, newest first."));
    parser.addOption({QStringLiteral("dir"),
                      QStringLiteral("Reports folder (default %1).").arg(CrashLogFetcher::defaultReportsDirectory()),
                      QStringLiteral("DIR")});
    parser.addOption({QStringLiteral("format"), QStringLiteral("Output format: rows or json (default rows)."),
                      QStringLiteral("FORMAT"), QStringLiteral("rows")});
    int rc = 0;
    if (!parseArgs(parser, QStringLiteral("crashes"), args, &rc))
        return rc;
    if (!parser.positionalArguments().isEmpty()) {
        err() << "vellacord-cli crashes: unexpected argument '" << parser.positionalArguments().first() << "'\n"
              << parser.helpText();
        return 2;
    }
    const QString format = parser.value(QStringLiteral("format"));
    if (format != QLatin1String("rows") && format != QLatin1String("json")) {
        err() << "vellacord-cli crashes: --format must be rows or json\n"
              << parser.helpText();
        return 2;
    }
    // Absolute, so that every filePath printed is a full location.
    const bool given = parser.isSet(QStringLiteral("dir"));
    // An empty path must not quietly mean the current folder.
    if (given && parser.value(QStringLiteral("dir")).isEmpty()) {
        err() << "vellacord-cli crashes: --dir needs a path\n";
        return 2;
    }
    const QString dir =
        QDir(given ? parser.value(QStringLiteral("dir")) : CrashLogFetcher::defaultReportsDirectory()).absolutePath();

    const CrashScan scan = CrashLogFetcher::collectReports(dir);
    qCInfo(lcCrashFetcher, "Found %ld crash reports", long(scan.reports.size()));
    // The user's own folder not there yet just holds no reports; a folder
    // named on the command line must be there.
    if (scan.folderError && (given || !scan.folderMissing)) {
        err() << "vellacord-cli crashes: " << escapedControls(*scan.folderError) << "\n";
        return 1;
    }
    if (scan.reports.isEmpty())
        err() << escapedControls(given ? CrashLogFetcher::emptyResultText(dir) : CrashLogFetcher::emptyResultText()) << "\n";
    const bool json = format == QLatin1String("json");
    for (const CrashReport& r : scan.reports) {
        if (!json) {
            out() << rowText(r) << '\n';
            continue;
        }
        // Read again one at a time: the scan keeps no report's whole text.
        QString reason;
        const std::optional<QString> raw =
            r.unreadReason.isEmpty() ? CrashLogFetcher::readReportText(r.filePath, &reason) : std::nullopt;
        out() << QString::fromUtf8(QJsonDocument(reportJson(r, raw)).toJson(QJsonDocument::Compact)) << '\n';
    }
    for (const UnreadReport& u : scan.unread)
        err() << "vellacord-cli: " << escapedControls(u.filePath) << ": " << escapedControls(u.reason) << "\n";
    return scan.unread.isEmpty() ? 0 : 1;
}

int runCrash(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Print one crash report (.ips or .crash) as JSON."));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The crash report file."));
    int rc = 0;
    if (!parseArgs(parser, QStringLiteral("crash"), args, &rc))
        return rc;
    if (parser.positionalArguments().size() != 1) {
        err() << "vellacord-cli crash: expected exactly one FILE\n"
              << parser.helpText();
        return 2;
    }
    const QString path = QFileInfo(parser.positionalArguments().first()).absoluteFilePath();
    // A file inside a "Retired" folder is an archived report, as in a scan.
    const bool retired = QFileInfo(QFileInfo(path).absolutePath()).fileName() == QLatin1String("Retired");
    const ReportRead read = CrashLogFetcher::readReport(path, retired, false, true);
    if (!read.report || !read.reason.isEmpty()) {
        err() << "vellacord-cli crash: cannot read crash report '" << escapedControls(path)
              << "': " << escapedControls(read.reason) << "\n";
        return 1;
    }
    out() << QString::fromUtf8(Platform::prettyJson(QJsonDocument(reportJson(*read.report, read.report->rawContent))));
    return 0;
}
