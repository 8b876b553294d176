// The prompts, the user messages built from entries and crash reports, and the
// parsers of the two answer conventions. Parsers take hostile text: they never
// fail and never index outside what they were given.

#include "ai/AIExplainer.h"

#include "base/TextTrim.h"
#include "crashes/CrashReport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <limits>
#include <numeric>

namespace AIExplainer {

namespace {

// The prompts' shared body: only who is asked, about what, differs by machine.
QString explainBody()
{
    return QStringLiteral(
        "Explain this log entry in plain English. Tell them what it means, whether it's normal or a "
        "genuine problem, and what action if any they should take. Be concise and direct. After your "
        "explanation, on a new line, add a JSON block with any process name translations you can "
        "identify from the log entry. Format: PROCESS_NAMES: {\"raw_identifier\": \"Plain English Name\"} "
        "Only include entries you are confident about. If unsure, use: PROCESS_NAMES: {}");
}

QString analysisBody()
{
    return QString::fromUtf8(
        "You will receive a batch of log entries. Identify the top 3 to 5 entries or patterns most worth a "
        "sysadmin's attention. For each, explain briefly why it's concerning or notable. Respond in "
        "this exact format — one item per block, separated by blank lines: ENTRY: [index number from "
        "the list] TITLE: [short title, 5-8 words] CONCERN: [one sentence explaining why this matters] "
        "Only flag genuinely notable items. If the logs look entirely normal, say so in one sentence "
        "instead of forcing findings. Be concise and direct.");
}

}  // namespace

const QString explainPrompt =
    QStringLiteral("You are a macOS system expert helping a Windows administrator understand Mac system logs. ") + explainBody();

const QString linuxExplainPrompt = QStringLiteral("You are a Linux system expert helping a Windows administrator "
                                                  "understand Linux system logs (the systemd journal). ") +
                                   explainBody();

const QString crashPrompt = QStringLiteral(
    "You are a macOS system expert helping a system administrator understand a crash report. "
    "Explain what crashed, why it likely crashed, whether this is a known issue or something "
    "unusual, and what the administrator should do about it. Be concise and direct.");

const QString analysisPrompt =
    QStringLiteral("You are a macOS system expert helping a Windows administrator triage Mac system logs. ") + analysisBody();

const QString linuxAnalysisPrompt = QStringLiteral("You are a Linux system expert helping a Windows administrator "
                                                   "triage Linux system logs (the systemd journal). ") +
                                    analysisBody();

const QString& explainPromptFor(const LogEntry& entry)
{
    return entry.fromLinux() ? linuxExplainPrompt : explainPrompt;
}

const QString& analysisPromptFor(const LogEntryList& batch)
{
    return !batch.isEmpty() && batch.first().fromLinux() ? linuxAnalysisPrompt : analysisPrompt;
}

QString entryMessage(const LogEntry& entry)
{
    QStringList lines;
    lines << QStringLiteral("Severity: ") + entry.levelLabel();
    // A journal folder holds many machines' entries: which one logged it matters.
    if (entry.fromLinux() && !entry.host.isEmpty())
        lines << QStringLiteral("Host: ") + entry.host;
    lines << QStringLiteral("Process: ") + entry.process;
    if (!entry.subsystem.isEmpty())
        lines << QStringLiteral("Subsystem: ") + entry.subsystem;
    if (!entry.category.isEmpty())
        lines << QStringLiteral("Category: ") + entry.category;
    lines << QStringLiteral("Sender: ") + entry.sender;
    lines << QStringLiteral("Message: ") + entry.message;
    return lines.join(QLatin1Char('\n'));
}

QString crashMessage(const CrashReport& report)
{
    QStringList lines;
    lines << QStringLiteral("Crash Report for: ") + report.appName;
    if (!report.appVersion.isEmpty())
        lines << QStringLiteral("Version: ") + report.appVersion;
    if (!report.exceptionType.isEmpty())
        lines << QStringLiteral("Exception: ") + report.exceptionType;
    if (!report.crashReason.isEmpty())
        lines << QStringLiteral("Reason: ") + report.crashReason;
    if (!report.osVersion.isEmpty())
        lines << QStringLiteral("OS: ") + report.osVersion;
    if (!report.stackTrace.isEmpty())
        lines << QStringLiteral("Stack Trace:\n") + report.stackTrace;
    return lines.join(QLatin1Char('\n'));
}

ProcessNamesAnswer parseProcessNames(const QString& answer)
{
    static const QString marker = QStringLiteral("PROCESS_NAMES:");
    ProcessNamesAnswer result;
    const qsizetype at = answer.indexOf(marker);
    if (at < 0) {
        result.text = answer.trimmed();
        return result;
    }
    result.text = answer.left(at).trimmed();
    const QString rest = answer.mid(at + marker.size()).trimmed();
    const qsizetype open = rest.indexOf(QLatin1Char('{'));
    const qsizetype close = rest.lastIndexOf(QLatin1Char('}'));
    if (open < 0 || close < 0 || close < open)
        return result;
    QJsonParseError pe{};
    const QJsonDocument doc = QJsonDocument::fromJson(rest.mid(open, close - open + 1).toUtf8(), &pe);
    if (pe.error != QJsonParseError::NoError || !doc.isObject())
        return result;
    const QJsonObject object = doc.object();
    QMap<QString, QString> names;
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!it.value().isString())
            return result;  // one value of another type discards the whole map
        names.insert(it.key(), it.value().toString());
    }
    result.names = std::move(names);
    return result;
}

QMap<QString, QString> namesToLearn(const ProcessNamesAnswer& answer, const LogEntry& explained)
{
    const auto it = answer.names.constFind(explained.process);
    if (explained.process.isEmpty() || it == answer.names.constEnd())
        return {};
    return {{explained.process, *it}};
}

std::vector<qsizetype> analysisBatchRows(qsizetype count, const std::function<double(qsizetype)>& dateAt)
{
    std::vector<qsizetype> rows(size_t(std::max<qsizetype>(0, count)));
    std::iota(rows.begin(), rows.end(), qsizetype(0));
    if (count <= analysisBatchSize)
        return rows;
    // An entry without a date is the oldest. Equal dates go by their place:
    // the nearer to the list's newest end, the more recent (a time sort keeps
    // them in the order they were logged, reversed when descending).
    const auto dateOf = [&](qsizetype i) {
        const double d = dateAt(i);
        return qIsNaN(d) ? -std::numeric_limits<double>::infinity() : d;
    };
    const bool newestLast = !(dateOf(0) > dateOf(count - 1));
    std::vector<double> dates(rows.size());
    for (qsizetype i = 0; i < count; ++i)
        dates[size_t(i)] = dateOf(i);
    const auto moreRecent = [&](qsizetype a, qsizetype b) {
        if (dates[size_t(a)] != dates[size_t(b)])
            return dates[size_t(a)] > dates[size_t(b)];
        return newestLast ? a > b : a < b;
    };
    std::nth_element(rows.begin(), rows.begin() + (analysisBatchSize - 1), rows.end(), moreRecent);
    rows.resize(analysisBatchSize);
    std::sort(rows.begin(), rows.end());  // back in the list's order
    return rows;
}

LogEntryList analysisBatch(const LogEntryList& entries)
{
    if (entries.size() <= analysisBatchSize)
        return entries;
    LogEntryList batch;
    batch.reserve(analysisBatchSize);
    for (qsizetype i : analysisBatchRows(entries.size(), [&](qsizetype i) { return entries.at(i).date; }))
        batch.append(entries.at(i));
    return batch;
}

QString batchMessage(const LogEntryList& batch)
{
    QStringList lines;
    lines.reserve(batch.size());
    static const QString bar = QStringLiteral(" | ");
    for (qsizetype i = 0; i < batch.size(); ++i) {
        const LogEntry& e = batch.at(i);
        lines << QLatin1Char('[') + QString::number(i) + QStringLiteral("] ") + e.levelLabel() + bar + e.process + bar + e.subsystem + bar + e.message;
    }
    return lines.join(QLatin1Char('\n'));
}

namespace {

// The ENTRY value: a plain decimal number of ASCII digits, optionally in
// square brackets, with white space around. Signs, separators, fractions,
// other bases and other scripts' digits make no index: "1, 5" is not 15.
std::optional<qint64> entryIndex(const QString& value)
{
    QStringView v = QStringView(value).trimmed();
    if (v.size() >= 2 && v.front() == u'[' && v.back() == u']')
        v = v.mid(1, v.size() - 2).trimmed();
    if (v.isEmpty())
        return std::nullopt;
    qint64 n = 0;
    for (const QChar c : v) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int digit = c.unicode() - u'0';
        if (n > (std::numeric_limits<qint64>::max() - digit) / 10)
            return std::nullopt;
        n = n * 10 + digit;
    }
    return n;
}

}  // namespace

AnalysisItemList parseAnalysis(const QString& answer, const LogEntryList& batch)
{
    static const QString entryTag = QStringLiteral("ENTRY:");
    static const QString titleTag = QStringLiteral("TITLE:");
    static const QString concernTag = QStringLiteral("CONCERN:");

    AnalysisItemList items;
    const QStringList blocks = answer.split(QStringLiteral("\n\n"));
    for (const QString& block : blocks) {
        std::optional<qint64> index;
        QString title, concern;
        for (const QString& raw : block.split(QLatin1Char('\n'))) {
            QString line = trimmedHorizontal(raw);
            if (line.startsWith(entryTag))
                index = entryIndex(line.remove(entryTag));
            else if (line.startsWith(titleTag))
                title = trimmedHorizontal(line.remove(titleTag));
            else if (line.startsWith(concernTag))
                concern = trimmedHorizontal(line.remove(concernTag));
        }
        if (title.isEmpty() || concern.isEmpty())
            continue;
        AnalysisItem item{QUuid::createUuid(), title, concern, std::nullopt};
        if (index && *index < batch.size())
            item.entry = batch.at(qsizetype(*index));
        items << item;
    }
    if (items.isEmpty() && !answer.trimmed().isEmpty())
        items << AnalysisItem{QUuid::createUuid(), analysisSummaryTitle, answer, std::nullopt};
    return items;
}

}  // namespace AIExplainer
