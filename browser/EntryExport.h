#pragma once

// Entries as files and as command-line output: text rows, CSV and JSON lines,
// with the columns the list shows. Shared by File > Export and the CLI, so
// that both write the same bytes for the same rows.

#include "browser/LogColumns.h"
#include "logs/LogEntry.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace EntryExport {

enum class Format { text,
                    csv,
                    jsonLines };

// The save panel's file types, in their order.
struct FileType {
    Format format;
    QString nameFilter;  // "CSV (*.csv)"
    QString suffix;      // "csv", appended when the name has no extension
};
const QList<FileType>& fileTypes();
const FileType& fileType(Format format);
// The format a file name asks for by its extension, if it names one.
std::optional<Format> formatOfName(const QString& path);
// Where and how a save panel's answer is written: a typed extension wins over
// the chosen file type; a name without one gets the type's suffix.
struct Target {
    QString path;
    Format format;
};
Target target(const QString& path, Format chosen);

// Control characters as visible escapes ("\n", "\t", "\x1b", "\u009b"), so a
// row stays one line with its tabs as the only separators; bidirectional
// controls too ("\u202e"), so that none reorders the row. A backslash stays.
QString escapedControls(const QString& s);
// ISO 8601 in UTC with milliseconds: 2026-01-05T09:30:00.500Z, truncated
// toward the past as every written date (LocalTime::epochMs); a year past 9999
// or before 1 has more digits or a sign. Empty when epochMs has none.
QString isoTime(double date);

// The copy-row form with the given optional columns before the message:
// local time, level, raw process, columns, message, tab-separated, with
// control characters escaped.
QString textRow(const LogEntry& entry, const QList<ColumnId>& columns);

// The titles of the fixed columns with the given optional ones before "Message".
QStringList columnTitles(const QList<ColumnId>& columns);
QStringList csvCells(const LogEntry& entry, const QList<ColumnId>& columns);
// One RFC 4180 record with its CRLF. A cell that a spreadsheet would run as
// a formula (starting with =, +, - or @, or a tab or carriage return, which
// some skip) gets a leading apostrophe.
QByteArray csvRecord(const QStringList& cells);

// A record as one compact JSON object (no line feed); without
// "threadIdentifier" when the source named no thread.
QByteArray entryJson(const LogEntry& entry);

// The whole file: every row (CSV with its title row first).
QByteArray document(Format format, const LogEntryList& entries, const QList<ColumnId>& columns);

}  // namespace EntryExport
