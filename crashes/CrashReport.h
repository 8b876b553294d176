#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

// One crash report file as read by CrashLogFetcher. A plain value: identity
// is `id` alone, made fresh at parse time, so a rescan yields new ids.
struct CrashReport {
    QUuid id;
    QString fileName;  // last path component, extension included
    QString filePath;  // full path of the file
    QDateTime date;    // crash time (UTC); the file's modification time when the report has none
    QString appName;
    QString appVersion;
    QString crashReason;
    QString exceptionType;
    std::optional<qint64> faultingThread;  // as the report states it; absent when it has none
    QString osVersion;
    QString deviceModel;
    QString stackTrace;  // the faulting thread's frames; empty for a text report without them
    // The whole file as text when the report was parsed from memory. A scan
    // leaves it empty (a folder would otherwise be held twice over): the raw
    // view reads the file again.
    QString rawContent;
    // Why the file was listed but not read ("too large to read: 1074 MB");
    // such a report has only its file's name, path and date.
    QString unreadReason;
    bool isRetired = false;
    // Read, but not one field of the crash came out of it (the date aside):
    // there is nothing to show but the raw text, nor to explain.
    bool nothingParsed = false;
    // SHA-256 of the file (hex) for a report read from a folder other than the
    // user's own: its file name alone may be another machine's report.
    QString contentDigest;

    // Badge text: the exception type, else a label derived from the reason;
    // empty for a report not read.
    QString crashTypeLabel() const;

    // Stand-in date when a file's modification time cannot be read.
    static QDateTime distantPast();
};

using CrashReportList = QList<CrashReport>;
