#include "browser/EntryExport.h"

#include "browser/EntryText.h"
#include "browser/LocalTime.h"
#include "logs/VisibleText.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace EntryExport {

const QList<FileType>& fileTypes()
{
    static const QList<FileType> types{
        {Format::text, QStringLiteral("Text rows (*.txt)"), QStringLiteral("txt")},
        {Format::csv, QStringLiteral("CSV (*.csv)"), QStringLiteral("csv")},
        {Format::jsonLines, QStringLiteral("JSON lines (*.jsonl)"), QStringLiteral("jsonl")},
    };
    return types;
}

const FileType& fileType(Format format)
{
    for (const FileType& t : fileTypes())
        if (t.format == format)
            return t;
    return fileTypes().first();
}

std::optional<Format> formatOfName(const QString& path)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("txt") || ext == QLatin1String("log"))
        return Format::text;
    if (ext == QLatin1String("csv"))
        return Format::csv;
    if (ext == QLatin1String("jsonl") || ext == QLatin1String("ndjson") || ext == QLatin1String("json"))
        return Format::jsonLines;
    return std::nullopt;
}

Target target(const QString& path, Format chosen)
{
    if (const std::optional<Format> typed = formatOfName(path))
        return {path, *typed};
    if (QFileInfo(path).suffix().isEmpty())
        return {path + u'.' + fileType(chosen).suffix, chosen};
    return {path, chosen};
}

QString escapedControls(const QString& s)
{
    const auto plain = [](char16_t u) {
        return u >= 0x20 && u != 0x7f && (u < 0x80 || u > 0x9f) && !VisibleText::isBidiControl(u);
    };
    // Most texts have nothing to escape: share them instead of rebuilding.
    if (std::all_of(s.cbegin(), s.cend(), [&](QChar c) { return plain(c.unicode()); }))
        return s;
    QString out;
    out.reserve(s.size());
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if (plain(u)) {
            out += c;
            continue;
        }
        switch (u) {
        case u'\n': out += QLatin1String("\\n"); break;
        case u'\r': out += QLatin1String("\\r"); break;
        case u'\t': out += QLatin1String("\\t"); break;
        default:
            // C1 controls too: some terminals act on them in UTF-8. Bidirectional
            // controls would reorder the rest of the line as shown.
            out += (u < 0x80 ? QStringLiteral("\\x%1") : QStringLiteral("\\u%1"))
                       .arg(int(u), u < 0x80 ? 2 : 4, 16, QLatin1Char('0'));
        }
    }
    return out;
}

QString isoTime(double date)
{
    const std::optional<qint64> ms = LocalTime::epochMs(date);
    if (!ms)
        return QString();
    const QDateTime utc = QDateTime::fromMSecsSinceEpoch(*ms, Qt::UTC);
    // Qt's ISO form covers years 1 to 9999 only; beyond, the same fields with a
    // longer or signed year.
    const QString iso = utc.toString(Qt::ISODateWithMs);
    return iso.isEmpty() ? utc.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz'Z'")) : iso;
}

QString textRow(const LogEntry& entry, const QList<ColumnId>& columns)
{
    // One buffer per row: a listing builds 50,000 of them.
    QString row;
    row.reserve(32 + entry.process.size() + entry.message.size() + 24 * columns.size());
    row += EntryText::timeString(entry.date);
    row += u'\t';
    row += entry.levelLabel();
    row += u'\t';
    row += escapedControls(entry.process);
    for (ColumnId c : columns) {
        row += u'\t';
        row += escapedControls(Columns::text(c, entry));
    }
    row += u'\t';
    row += escapedControls(entry.message);
    return row;
}

QStringList columnTitles(const QList<ColumnId>& columns)
{
    QStringList titles;
    for (const ColumnSpec& c : Columns::all())
        if (!c.optional || columns.contains(c.id))
            titles << QString::fromLatin1(c.title);
    return titles;
}

QStringList csvCells(const LogEntry& entry, const QList<ColumnId>& columns)
{
    QStringList cells{isoTime(entry.date), entry.levelLabel(), entry.process};
    for (ColumnId c : columns)
        cells << Columns::text(c, entry);
    cells << entry.message;
    return cells;
}

QByteArray csvRecord(const QStringList& cells)
{
    QByteArray out;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0)
            out += ',';
        QString cell = cells[i];
        // A leading tab or carriage return is skipped by some spreadsheets before they look for a formula.
        if (!cell.isEmpty() && QStringView(u"=+-@\t\r").contains(cell[0]))
            cell.prepend(u'\'');
        QByteArray bytes = cell.toUtf8();
        if (bytes.contains('"') || bytes.contains(',') || bytes.contains('\n') || bytes.contains('\r')) {
            bytes.replace("\"", "\"\"");
            out += '"' + bytes + '"';
        } else {
            out += bytes;
        }
    }
    return out + "\r\n";
}

QByteArray entryJson(const LogEntry& e)
{
    QJsonObject o;
    o.insert(QStringLiteral("id"), e.id.toString(QUuid::WithoutBraces));
    o.insert(QStringLiteral("levelLabel"), e.levelLabel());
    o.insert(QStringLiteral("activityIdentifier"), qint64(e.activityIdentifier));
    for (const ColumnSpec& c : Columns::all()) {
        const QJsonValue v = c.json(e);
        if (!v.isUndefined())
            o.insert(QLatin1String(c.jsonKey), v);
    }
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray document(Format format, const LogEntryList& entries, const QList<ColumnId>& columns)
{
    QByteArray out;
    switch (format) {
    case Format::text:
        for (const LogEntry& e : entries)
            out += textRow(e, columns).toUtf8() + '\n';
        break;
    case Format::csv:
        out += csvRecord(columnTitles(columns));
        for (const LogEntry& e : entries)
            out += csvRecord(csvCells(e, columns));
        break;
    case Format::jsonLines:
        for (const LogEntry& e : entries)
            out += entryJson(e) + '\n';
        break;
    }
    return out;
}

}  // namespace EntryExport
