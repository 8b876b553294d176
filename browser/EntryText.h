#pragma once

#include "logs/LogEntry.h"

#include <QList>
#include <QString>
#include <QUrl>

class ProcessNameResolver;

// Texts and addresses derived from one entry for the list, the copy commands
// and the detail pane's actions.
namespace EntryText {

// "yyyy-MM-dd HH:mm:ss" in the local time zone (list rows, copied rows).
QString timeString(double date);
// "yyyy-MM-dd HH:mm:ss.SSS" in the local time zone (detail pane header).
QString detailTimeString(double date);

// Date, level text, process and message separated by tabs ("Copy Row", Copy).
QString rowText(const LogEntry& entry);

// The detail pane's "Process" value: friendly name (raw) when translated,
// with the table that applies to the entry's origin.
QString processText(const LogEntry& entry, const ProcessNameResolver* names);

// The detail pane's metadata rows in its order, each value on one line as the
// pane shows it; rows the pane hides (no thread, empty fields) are left out.
struct Field {
    QString label;
    QString value;
};
QList<Field> metadataFields(const LogEntry& entry, const ProcessNameResolver* names);
// Every label those rows may have, in their order.
QStringList metadataLabels();
// "Copy Entry": the pane's header (level and time), its metadata rows as
// "Label: value", a blank line and the message as it is.
QString entryText(const LogEntry& entry, const ProcessNameResolver* names);

// The search terms of "Search Web": macos (linux for a Linux entry), the raw
// process, and the subsystem without "com.apple." (or else the sender) when it
// adds something.
QStringList searchTerms(const LogEntry& entry);
// The terms joined by spaces and percent-encoded as one query value: every
// character but the unreserved ones (letters, digits, "-._~") encoded.
QString encodedQuery(const LogEntry& entry);
// The trimmed search-engine prefix followed by the encoded query; an invalid
// QUrl when that makes no valid address.
QUrl searchWebURL(const LogEntry& entry, const QString& searchEngineURL);

// The vendor's Mac support page.
QUrl macSupportURL();

}  // namespace EntryText
