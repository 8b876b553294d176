#include "cli/LogsOptions.h"

#include "logs/LogFetcher.h"

#include <QDateTime>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <cmath>

void addLogsOptions(QCommandLineParser& parser)
{
    parser.addOption({QStringLiteral("archive"), QStringLiteral("Read the whole archive at PATH instead of the live log."),
                      QStringLiteral("PATH")});
    parser.addOption({QStringLiteral("last"), QStringLiteral("Time range of the live log: 1h, 4h or 24h (default 1h)."),
                      QStringLiteral("RANGE")});
    parser.addOption({QStringLiteral("start"), QStringLiteral("Start of a custom range (ISO 8601)."),
                      QStringLiteral("DATE")});
    parser.addOption({QStringLiteral("end"), QStringLiteral("End of a custom range (ISO 8601)."), QStringLiteral("DATE")});
    parser.addOption({QStringLiteral("format"), QStringLiteral("Output format: rows or json (default rows)."),
                      QStringLiteral("FORMAT"), QStringLiteral("rows")});
}

static std::optional<double> parseDate(const QString& text)
{
    QDateTime dt = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!dt.isValid())
        dt = QDateTime::fromString(text, Qt::ISODate);
    if (!dt.isValid())
        return std::nullopt;
    return double(dt.toMSecsSinceEpoch()) / 1000.0;
}

// Waits for the fetcher's current load to finish.
static void waitForLoad(LogFetcher& fetcher)
{
    if (!fetcher.isLoading())
        return;
    QEventLoop loop;
    QObject::connect(&fetcher, &LogFetcher::isLoadingChanged, &loop, [&] {
        if (!fetcher.isLoading())
            loop.quit();
    });
    loop.exec();
}

std::optional<LogsRun> runLogsQuery(const QCommandLineParser& parser, QString* usageError)
{
    const QString format = parser.value(QStringLiteral("format"));
    if (format != QLatin1String("rows") && format != QLatin1String("json")) {
        *usageError = QStringLiteral("--format must be rows or json");
        return std::nullopt;
    }
    const bool hasStart = parser.isSet(QStringLiteral("start"));
    const bool hasEnd = parser.isSet(QStringLiteral("end"));
    if (hasStart != hasEnd) {
        *usageError = QStringLiteral("--start and --end go together");
        return std::nullopt;
    }
    if (hasStart && parser.isSet(QStringLiteral("last"))) {
        *usageError = QStringLiteral("--last cannot be combined with --start/--end");
        return std::nullopt;
    }
    std::optional<double> start, end;
    if (hasStart) {
        start = parseDate(parser.value(QStringLiteral("start")));
        end = parseDate(parser.value(QStringLiteral("end")));
        if (!start || !end) {
            *usageError = QStringLiteral("--start and --end take ISO 8601 dates, e.g. 2026-01-05T09:30:00Z");
            return std::nullopt;
        }
    }
    double lastSeconds = 3600;
    if (parser.isSet(QStringLiteral("last"))) {
        const QString last = parser.value(QStringLiteral("last"));
        if (last == QLatin1String("1h"))
            lastSeconds = 3600;
        else if (last == QLatin1String("4h"))
            lastSeconds = 14400;
        else if (last == QLatin1String("24h"))
            lastSeconds = 86400;
        else {
            *usageError = QStringLiteral("--last must be 1h, 4h or 24h");
            return std::nullopt;
        }
    }

    LogFetcher fetcher;
    const QString archive = parser.value(QStringLiteral("archive"));
    if (!archive.isEmpty()) {
        fetcher.openArchive(archive);
        // A range with an archive narrows it; the whole-archive load is superseded at once.
        if (start)
            fetcher.fetch(*start, *end);
        else if (parser.isSet(QStringLiteral("last"))) {
            const double now = wallClockNow();
            fetcher.fetch(now - lastSeconds, now);
        }
    } else if (start) {
        fetcher.fetch(*start, *end);
    } else {
        const double now = wallClockNow();
        fetcher.fetch(now - lastSeconds, now);
    }
    waitForLoad(fetcher);

    LogsRun run;
    run.entries = fetcher.entries();
    // The only message besides a failure is the empty-result text.
    run.ok = !fetcher.errorMessage() || *fetcher.errorMessage() == LogFetcher::emptyResultText(fetcher.isViewingArchive());
    run.message = fetcher.errorMessage().value_or(QString());
    run.rows = run.entries;
    return run;
}

QString rowText(const LogEntry& e)
{
    const QString date = QDateTime::fromMSecsSinceEpoch(qint64(e.date * 1000.0)).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return date + QLatin1Char('\t') + e.levelLabel() + QLatin1Char('\t') + e.process + QLatin1Char('\t') + e.message;
}

QByteArray entryJson(const LogEntry& e)
{
    QJsonObject o;
    o.insert(QStringLiteral("id"), e.id.toString(QUuid::WithoutBraces));
    o.insert(QStringLiteral("date"), QDateTime::fromMSecsSinceEpoch(qint64(std::llround(e.date * 1000.0)), Qt::UTC)
                                         .toString(Qt::ISODateWithMs));
    o.insert(QStringLiteral("level"), e.level);
    o.insert(QStringLiteral("levelLabel"), e.levelLabel());
    o.insert(QStringLiteral("process"), e.process);
    o.insert(QStringLiteral("message"), e.message);
    o.insert(QStringLiteral("subsystem"), e.subsystem);
    o.insert(QStringLiteral("category"), e.category);
    o.insert(QStringLiteral("threadIdentifier"), qint64(e.threadIdentifier));
    o.insert(QStringLiteral("processIdentifier"), e.processIdentifier);
    o.insert(QStringLiteral("sender"), e.sender);
    o.insert(QStringLiteral("activityIdentifier"), qint64(e.activityIdentifier));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}
