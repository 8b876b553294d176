#pragma once

// The two crash report formats, parsed from a report already read into
// memory: structured (.ips, JSON with an optional header line) and plain
// text (.crash). Pure functions, safe on any thread; file access is the
// scan's (CrashLogFetcher).

#include "crashes/CrashReport.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace CrashParser {

QString noStackTraceText();

// Absent when the text is not a JSON object (with or without its header line).
std::optional<CrashReport> parseStructuredReport(const QString& text, const QByteArray& bytes,
                                                 const QString& fileName, const QString& filePath,
                                                 const QDateTime& fallbackDate, bool isRetired);

// The labelled header lines among the first 30, then the crashed thread's
// backtrace (30 frames at most) and "Application Specific Information",
// whose reason stands in when the codes give none or only zeros.
CrashReport parsePlainReport(const QString& text, const QString& fileName, const QString& filePath,
                             const QDateTime& fallbackDate, bool isRetired);

// The faulting thread's trace of a structured report's body.
QString stackTraceText(const QJsonObject& body, std::optional<qint64> faultingThread);

// ISO 8601 internet date-time that must carry fractional seconds and a
// zone designator ("Z" or "+hh:mm"), e.g. 2024-01-15T10:23:45.123Z.
std::optional<QDateTime> parseInternetDateTime(const QString& text);

// The form reports write by hand: "2026-05-26 16:11:45.00 +0800", with zero
// or one to six fraction digits.
std::optional<QDateTime> parseSpacedDateTime(const QString& text);

}  // namespace CrashParser
