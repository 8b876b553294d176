#include "browser/EntryText.h"

#include "browser/LocalTime.h"
#include "browser/LogColumns.h"
#include "logs/VisibleText.h"
#include "processnames/ProcessNameResolver.h"

namespace EntryText {

namespace {
// Spaces and tabs only: line breaks stay, as the search address is used as typed.
QString trimBlanks(const QString& s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && (s[b] == u' ' || s[b] == u'\t'))
        ++b;
    while (e > b && (s[e - 1] == u' ' || s[e - 1] == u'\t'))
        --e;
    return s.mid(b, e - b);
}
}  // namespace

QString timeString(double date)
{
    return LocalTime::format(date, false);
}

QString detailTimeString(double date)
{
    return LocalTime::format(date, true);
}

QString rowText(const LogEntry& entry)
{
    return timeString(entry.date) + u'\t' + entry.levelLabel() + u'\t' + entry.process + u'\t' + entry.message;
}

QString processText(const LogEntry& e, const ProcessNameResolver* names)
{
    // "Safari (Safari)" tells nothing: the raw name only where it differs.
    if (!names || !names->hasTranslation(e.process, e.origin))
        return e.process;
    const QString shown = names->displayName(e.process, e.origin);
    return shown != e.process ? shown + QStringLiteral(" (") + e.process + u')' : e.process;
}

// The rows around the columns': the friendly process name, the activity.
constexpr const char* kProcessLabel = "Process";
constexpr const char* kActivityLabel = "Activity ID";

QList<Field> metadataFields(const LogEntry& e, const ProcessNameResolver* names)
{
    QList<Field> fields;
    const auto add = [&](bool shown, const char* label, const QString& value) {
        // Names from the log: on one line, and nothing in them reorders what is shown.
        if (shown)
            fields.append({QString::fromLatin1(label), VisibleText::shownName(value)});
    };
    add(true, kProcessLabel, processText(e, names));
    for (const ColumnSpec& c : Columns::all())
        if (c.inDetail)
            add(c.inDetail(e), c.title, c.text(e));
    add(e.activityIdentifier != 0, kActivityLabel, QString::number(e.activityIdentifier));
    return fields;
}

QStringList metadataLabels()
{
    QStringList labels{QString::fromLatin1(kProcessLabel)};
    for (const ColumnSpec& c : Columns::all())
        if (c.inDetail)
            labels << QString::fromLatin1(c.title);
    return labels << QString::fromLatin1(kActivityLabel);
}

QString entryText(const LogEntry& e, const ProcessNameResolver* names)
{
    QString text = e.levelLabel() + QStringLiteral("  ") + detailTimeString(e.date) + u'\n';
    for (const Field& f : metadataFields(e, names))
        text += f.label + QStringLiteral(": ") + f.value + u'\n';
    return text + u'\n' + e.message;
}

QStringList searchTerms(const LogEntry& entry)
{
    QStringList terms{entry.fromLinux() ? QStringLiteral("linux") : QStringLiteral("macos"), entry.process};
    if (!entry.subsystem.isEmpty()) {
        QString sub = entry.subsystem;
        sub.remove(QStringLiteral("com.apple."));
        if (sub != entry.process)
            terms << sub;
    } else if (!entry.sender.isEmpty() && entry.sender != entry.process) {
        terms << entry.sender;
    }
    return terms;
}

QString encodedQuery(const LogEntry& entry)
{
    // Only unreserved characters stay: "&", "=", "#" or "+" in a name would
    // otherwise end the value or add parameters of its own.
    return QString::fromLatin1(searchTerms(entry).join(u' ').toUtf8().toPercentEncoding());
}

QUrl searchWebURL(const LogEntry& entry, const QString& searchEngineURL)
{
    const QString address = trimBlanks(searchEngineURL) + encodedQuery(entry);
    QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty() || url.isRelative())
        return QUrl();
    return url;
}

QUrl macSupportURL()
{
    return QUrl(QStringLiteral("https://support.apple.com/mac"));
}

}  // namespace EntryText
