#include "cli/Commands.h"

#include "crashes/CrashLogFetcher.h"
#include "logs/Platform.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace {

QJsonObject reportJson(const CrashReport& r)
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
    o.insert(QStringLiteral("rawContent"), r.rawContent);
    o.insert(QStringLiteral("isRetired"), r.isRetired);
    o.insert(QStringLiteral("crashTypeLabel"), r.crashTypeLabel());
    return o;
}

QString rowText(const CrashReport& r)
{
    QString app = r.appName;
    if (r.isRetired)
        app += QStringLiteral(" (archived)");
    return r.date.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QLatin1Char('\t') + app
           + QLatin1Char('\t') + r.crashTypeLabel() + QLatin1Char('\t') + r.fileName;
}

// Why parseReport gave nothing, for a message a person can act on.
QString unreadableReason(const QString& path)
{
    const QFileInfo fi(path);
    if (!fi.exists())
        return QStringLiteral("no such file");
    if (fi.isDir())
        return QStringLiteral("it is a folder");
    if (!fi.isFile())
        return QStringLiteral("not a regular file");
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("the file cannot be read (%1)").arg(f.errorString());
    return QStringLiteral("the file is not valid UTF-8 text");
}

bool parseArgs(QCommandLineParser& parser, const QString& command, const QStringList& args, int* rc)
{
    parser.addHelpOption();
    if (!parser.parse(QStringList{QStringLiteral("vellacord-cli ") + command} + args)) {
        err() << "vellacord-cli " << command << ": " << parser.errorText() << "\n" << parser.helpText();
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
        err() << "vellacord-cli crashes: --format must be rows or json\n" << parser.helpText();
        return 2;
    }
    // Absolute, so that every filePath printed is a full location.
    const QString dir = QDir(parser.isSet(QStringLiteral("dir")) ? parser.value(QStringLiteral("dir"))
                                                                  : CrashLogFetcher::defaultReportsDirectory())
                            .absolutePath();

    const CrashReportList reports = CrashLogFetcher::collectReports(dir);
    qCInfo(lcCrashFetcher, "Found %ld crash reports", long(reports.size()));
    if (reports.isEmpty()) {
        err() << CrashLogFetcher::emptyResultText() << "\n";
        return 0;
    }
    const bool json = format == QLatin1String("json");
    for (const CrashReport& r : reports) {
        if (json)
            out() << QString::fromUtf8(QJsonDocument(reportJson(r)).toJson(QJsonDocument::Compact)) << '\n';
        else
            out() << rowText(r) << '\n';
    }
    return 0;
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
        err() << "vellacord-cli crash: expected exactly one FILE\n" << parser.helpText();
        return 2;
    }
    const QString path = QFileInfo(parser.positionalArguments().first()).absoluteFilePath();
    // A file inside a "Retired" folder is an archived report, as in a scan.
    const bool retired = QFileInfo(QFileInfo(path).absolutePath()).fileName() == QLatin1String("Retired");
    const auto report = CrashLogFetcher::parseReport(path, retired);
    if (!report) {
        err() << "vellacord-cli crash: cannot read crash report '" << path << "': " << unreadableReason(path) << "\n";
        return 1;
    }
    out() << QString::fromUtf8(Platform::prettyJson(QJsonDocument(reportJson(*report))));
    return 0;
}
