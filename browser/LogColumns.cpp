#include "browser/LogColumns.h"

#include "browser/EntryExport.h"
#include "browser/EntryText.h"

namespace {

using Sort = ColumnSpec::Sort;

constexpr bool always(const LogEntry&) { return true; }
template <QString LogEntry::*F>
bool whenSet(const LogEntry& e) { return !(e.*F).isEmpty(); }
template <QString LogEntry::*F>
QString fieldText(const LogEntry& e) { return e.*F; }
template <QString LogEntry::*F>
QJsonValue fieldJson(const LogEntry& e) { return e.*F; }

QString pidText(const LogEntry& e) { return QString::number(e.processIdentifier); }
QString threadText(const LogEntry& e) { return e.threadKnown ? QString::number(e.threadIdentifier) : QString(); }
QString timeText(const LogEntry& e) { return EntryText::timeString(e.date); }

constexpr std::array<ColumnSpec, kColumnCount> kColumns{{
    {ColumnId::time, "Time", false, 160, Sort::date, nullptr, timeText, nullptr, "date",
     [](const LogEntry& e) { return QJsonValue(EntryExport::isoTime(e.date)); }},
    {ColumnId::severity, "Severity", false, 70, Sort::level, nullptr, [](const LogEntry& e) { return e.levelLabel(); },
     nullptr, "level", [](const LogEntry& e) { return QJsonValue(e.level); }},
    {ColumnId::process, "Process", false, 150, Sort::text, &LogEntry::process, fieldText<&LogEntry::process>, nullptr,
     "process", fieldJson<&LogEntry::process>},
    {ColumnId::pid, "PID", true, 60, Sort::processId, nullptr, pidText, always, "processIdentifier",
     [](const LogEntry& e) { return QJsonValue(e.processIdentifier); }},
    // A journal entry without a TID has no thread, not thread 0.
    {ColumnId::thread, "Thread", true, 70, Sort::threadId, nullptr, threadText,
     [](const LogEntry& e) { return e.threadKnown; }, "threadIdentifier",
     [](const LogEntry& e) { return e.threadKnown ? QJsonValue(qint64(e.threadIdentifier)) : QJsonValue(QJsonValue::Undefined); }},
    {ColumnId::sender, "Sender", true, 120, Sort::text, &LogEntry::sender, fieldText<&LogEntry::sender>, always,
     "sender", fieldJson<&LogEntry::sender>},
    {ColumnId::image, "Image", true, 200, Sort::text, &LogEntry::senderImagePath,
     fieldText<&LogEntry::senderImagePath>, whenSet<&LogEntry::senderImagePath>, "senderImagePath",
     fieldJson<&LogEntry::senderImagePath>},
    {ColumnId::subsystem, "Subsystem", true, 150, Sort::text, &LogEntry::subsystem, fieldText<&LogEntry::subsystem>,
     whenSet<&LogEntry::subsystem>, "subsystem", fieldJson<&LogEntry::subsystem>},
    {ColumnId::category, "Category", true, 120, Sort::text, &LogEntry::category, fieldText<&LogEntry::category>,
     whenSet<&LogEntry::category>, "category", fieldJson<&LogEntry::category>},
    {ColumnId::host, "Host", true, 120, Sort::text, &LogEntry::host, fieldText<&LogEntry::host>,
     whenSet<&LogEntry::host>, "host", fieldJson<&LogEntry::host>},
    {ColumnId::message, "Message", false, 0, Sort::text, &LogEntry::message, fieldText<&LogEntry::message>, nullptr,
     "message", fieldJson<&LogEntry::message>},
}};

constexpr bool wellFormed()
{
    for (size_t i = 0; i < kColumns.size(); ++i) {
        const ColumnSpec& c = kColumns[i];
        if (size_t(c.id) != i || (c.sort == Sort::text) != (c.field != nullptr))
            return false;
    }
    return true;
}
static_assert(wellFormed(), "indexed by ColumnId; text columns sort by a field, and only they");

}  // namespace

namespace Columns {

const std::array<ColumnSpec, kColumnCount>& all() { return kColumns; }

const ColumnSpec& spec(ColumnId c) { return kColumns[size_t(c)]; }

QString title(ColumnId c) { return QString::fromLatin1(spec(c).title); }

std::optional<ColumnId> byTitle(QStringView title)
{
    for (const ColumnSpec& c : kColumns)
        if (title == QLatin1String(c.title))
            return c.id;
    return std::nullopt;
}

const QList<ColumnId>& optional()
{
    static const QList<ColumnId> ids = [] {
        QList<ColumnId> out;
        for (const ColumnSpec& c : kColumns)
            if (c.optional)
                out << c.id;
        return out;
    }();
    return ids;
}

QString text(ColumnId c, const LogEntry& entry) { return spec(c).text(entry); }

QString showKey(ColumnId c) { return QStringLiteral("column_") + title(c); }
QString filterKey(ColumnId c) { return QStringLiteral("filter_") + title(c); }

}  // namespace Columns
