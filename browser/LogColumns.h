#pragma once

// Every column of the log list, one row each: what it is called, where its
// choices are kept, how wide it starts, what it shows of an entry, how it
// sorts and filters, and how the detail pane and the JSON export name it.
// Adding a column is a LogEntry field, its store readers and one row here.

#include "logs/LogEntry.h"

#include <QJsonValue>
#include <QList>
#include <QString>

#include <array>
#include <optional>

// In the order of the list's cells: the three fixed columns, the optional
// ones, the message last.
enum class ColumnId : quint8 { time,
                               severity,
                               process,
                               pid,
                               thread,
                               sender,
                               image,
                               subsystem,
                               category,
                               host,
                               message };
inline constexpr size_t kColumnCount = 11;

inline size_t qHash(ColumnId c, size_t seed = 0) noexcept { return ::qHash(int(c), seed); }

struct ColumnSpec {
    enum class Sort : quint8 { date,
                               level,
                               processId,
                               threadId,
                               text };

    ColumnId id;
    const char* title;  // header label, settings key suffix, sort and CLI name: "PID"
    bool optional;      // shown on the user's choice, with a filter of its own
    int defaultWidth;   // 0: the message, which takes the rest of the row
    Sort sort;
    // Text columns: the field sorted by collation; otherwise null.
    QString LogEntry::*field;
    // The cell text; for the optional columns also what their filter matches
    // and what text rows and CSV export: decimal for the numbers, empty for
    // an unknown thread.
    QString (*text)(const LogEntry&);
    // The detail pane shows the row (titled as the column) when this holds;
    // null: the pane builds the row itself or has none.
    bool (*inDetail)(const LogEntry&);
    // The JSON export's member and its value (undefined: left out).
    const char* jsonKey;
    QJsonValue (*json)(const LogEntry&);
};

namespace Columns {

const std::array<ColumnSpec, kColumnCount>& all();
const ColumnSpec& spec(ColumnId c);
QString title(ColumnId c);
// By its exact (case-sensitive) title.
std::optional<ColumnId> byTitle(QStringView title);
// The optional columns, in their order.
const QList<ColumnId>& optional();
QString text(ColumnId c, const LogEntry& entry);  // the cell text
// Stored choices: "column_PID" (shown), "filter_PID" (its filter's text).
QString showKey(ColumnId c);
QString filterKey(ColumnId c);

}  // namespace Columns
