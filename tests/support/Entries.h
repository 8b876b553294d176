#pragma once

// A log entry for tests: a fresh id, the fields given, the rest empty.

#include "logs/LogEntry.h"

inline LogEntry makeEntry(double date, int level, const QString& process, const QString& message,
                          const QString& subsystem = {}, const QString& sender = {}, const QString& category = {},
                          qint32 pid = 1, quint64 thread = 1)
{
    LogEntry e;
    e.id = makeEntryId();
    e.date = date;
    e.level = level;
    e.process = process;
    e.message = message;
    e.subsystem = subsystem;
    e.sender = sender;
    e.category = category;
    e.processIdentifier = pid;
    e.threadIdentifier = thread;
    return e;
}
