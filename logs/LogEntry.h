#pragma once

#include <QList>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <memory>
#include <optional>

// The format string a unified-log message was composed from. Where it could
// not be found, `format` is empty and `image` and `offset` say where it
// should have been (an image's strings, or a shared cache's).
struct MessageTemplate {
    QString format;
    QUuid image;
    quint64 offset = 0;
    bool found = false;
};

// The kind of machine a record was logged on, as its store knows it: unified
// bundles and log show exports come from a Mac, the systemd journal (live or
// a folder of its files) from Linux. Texts that advise the reader follow it.
enum class LogOrigin : quint8 { mac,
                                linuxJournal };

// One log record as the application holds it. Built only by the log query;
// immutable afterwards, so it may be shared between threads freely. Identity
// is `id` alone (fresh per read); content equality is deliberately absent.
struct LogEntry {
    QUuid id;
    double date = 0;                    // seconds since 1970-01-01 00:00:00 UTC
    int level = 0;                      // 0 undefined, 1 debug, 2 info, 3 notice, 4 error, 5 fault
    LogOrigin origin = LogOrigin::mac;  // set by the store; fills padding, as does the flag below
    bool threadKnown = true;            // false: the source named no thread, and threadIdentifier means nothing
    QString process;
    QString message;
    QString subsystem;
    QString category;
    quint64 threadIdentifier = 0;
    qint32 processIdentifier = 0;
    QString sender;
    quint64 activityIdentifier = 0;
    QString host;             // the machine that logged it; empty when the source does not say
    QString senderImagePath;  // the sender's full path (its image on a Mac); empty when unknown
    // Unified-log entries: their format string, shared by every entry composed
    // from it. None for other sources.
    std::shared_ptr<const MessageTemplate> messageTemplate;

    bool fromLinux() const { return origin == LogOrigin::linuxJournal; }
    QString levelLabel() const { return levelLabelFor(level); }

    static QString levelLabelFor(int level);
};

using LogEntryList = QList<LogEntry>;

// A random (version 4) UUID from a per-thread generator: cheap enough to make
// one per record when reading 50,000 records.
QUuid makeEntryId();

enum class SeverityLevel { fault,
                           error,
                           notice,
                           info,
                           debug };

namespace Severity {
const QList<SeverityLevel>& all();
QString label(SeverityLevel s);
int logLevel(SeverityLevel s);
}

enum class SourceType { all,
                        system,
                        user,
                        hardware };

namespace Source {
const QList<SourceType>& all();
QString name(SourceType t);  // stored value: "all", "system", …
QString label(SourceType t);
std::optional<SourceType> fromName(const QString& name);  // exact, case-sensitive
bool matches(SourceType t, const LogEntry& entry);
bool isHardware(const LogEntry& entry);
}  // namespace Source

inline size_t qHash(SeverityLevel s, size_t seed = 0) noexcept { return ::qHash(int(s), seed); }
inline size_t qHash(SourceType s, size_t seed = 0) noexcept { return ::qHash(int(s), seed); }
