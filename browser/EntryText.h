#pragma once

#include "logs/LogEntry.h"

#include <QString>
#include <QUrl>

// Texts and addresses derived from one entry for the list, the copy commands
// and the detail pane's actions.
namespace EntryText {

// "yyyy-MM-dd HH:mm:ss" in the local time zone (list rows, copied rows).
QString timeString(double date);
// "yyyy-MM-dd HH:mm:ss.SSS" in the local time zone (detail pane header).
QString detailTimeString(double date);

// Date, level text, process and message separated by tabs ("Copy Row", Copy).
QString rowText(const LogEntry& entry);

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
