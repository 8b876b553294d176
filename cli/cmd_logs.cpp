#include "browser/EntryText.h"
#include "cli/Commands.h"
#include "cli/LogsOptions.h"

#include <QCommandLineParser>

namespace {

// A terminal shows rows as text: control characters would recolour it or
// split an entry over several lines, and a tab would fake a column. A
// backslash stays as it is: rows are for reading, json is the exact form.
QString escapedControls(const QString& s)
{
    QString out;
    out.reserve(s.size());
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if (u >= 0x20 && u != 0x7f && (u < 0x80 || u > 0x9f)) {
            out += c;
            continue;
        }
        switch (u) {
        case u'\n': out += QLatin1String("\\n"); break;
        case u'\r': out += QLatin1String("\\r"); break;
        case u'\t': out += QLatin1String("\\t"); break;
        default:
            // C1 controls too: some terminals act on them in UTF-8.
            out += (u < 0x80 ? QStringLiteral("\\x%1") : QStringLiteral("\\u%1"))
                       .arg(int(u), u < 0x80 ? 2 : 4, 16, QLatin1Char('0'));
        }
    }
    return out;
}

QString terminalRow(LogEntry e)
{
    e.process = escapedControls(e.process);
    e.message = escapedControls(e.message);
    return EntryText::rowText(e);
}

}  // namespace

int runLogs(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Print log entries of the live log or of an archive."));
    parser.addHelpOption();
    addLogsOptions(parser);
    if (const auto stop = parseCommand(parser, QStringLiteral("logs"), args))
        return *stop;
    QString usageError;
    const auto run = runLogsQuery(parser, &usageError);
    if (!run) {
        err() << "vellacord-cli logs: " << usageError << "\n";
        return 2;
    }
    if (reportFailureOrCut(*run))
        return 1;
    const bool json = parser.value(QStringLiteral("format")) == QLatin1String("json");
    for (const LogEntry& e : run->rows) {
        if (json)
            out() << QString::fromUtf8(entryJson(e)) << '\n';
        else
            out() << terminalRow(e) << '\n';
    }
    if (run->entries.isEmpty())
        err() << run->message << "\n";
    return 0;
}
