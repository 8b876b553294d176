#pragma once

// Disk caches of successful AI explanations: entry explanations by content
// key in explanations.json, crash explanations one file per report. Main
// thread only; no operation reports an error.

#include "base/SafeRead.h"
#include "logs/LogEntry.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>

#include <optional>

struct CrashReport;

// Longer explanations are shown but never stored: a real one is a few
// kilobytes, and the entry cache is read whole at every start.
inline constexpr qint64 maxCachedExplanationBytes = 256 * 1024;

struct CachedExplanation {
    QString explanation;
    QDateTime timestamp;  // UTC, whole seconds
};

class ExplanationCache {
public:
    static constexpr int maxEntries = 1000;

    // The process-wide instance in Platform::appSupportDir(), created at first use.
    static ExplanationCache& shared();
    // Drops the shared instance so that the next shared() reads the folder anew
    // (tests point the application-support folder elsewhere between cases).
    static void resetShared();

    // Reads `folder`/explanations.json; a missing or malformed file gives an
    // empty cache and stays until the next store() rewrites it.
    explicit ExplanationCache(const QString& folder);

    // SHA-256 of process, subsystem and message joined by line feeds, as 64
    // lowercase hexadecimal digits.
    static QString cacheKey(const LogEntry& entry);

    bool isCached(const LogEntry& entry) const { return m_cache.contains(cacheKey(entry)); }
    std::optional<QString> explanationForKey(const QString& key) const;
    // Inserts or replaces the record with the current time, evicts the oldest
    // beyond maxEntries and rewrites the file atomically. A text over
    // maxCachedExplanationBytes (UTF-8) is not stored.
    // Other processes share the file: the write holds a lock next to it and
    // re-reads the file when it changed, adding only what this instance
    // stored since its last write, so no one's records are lost.
    void store(const QString& key, const QString& explanation);

    int count() const { return int(m_cache.size()); }
    QString filePath() const { return m_filePath; }

private:
    struct Record {
        CachedExplanation value;
        quint64 sequence = 0;  // insertion order, to break timestamp ties
    };
    void load();
    // Records of a file, all or nothing.
    std::optional<QHash<QString, Record>> parse(const QByteArray& bytes);
    // Takes in what others wrote since this instance last read or wrote the file.
    bool mergeFromFile();
    void evictBeyondMax(const QString& newest);
    void save(const QString& newest);

    QHash<QString, Record> m_cache;
    QSet<QString> m_unsaved;      // stored here, not yet in the file
    SafeRead::FileStamp m_stamp;  // of the file as last read or written
    QString m_filePath;
    quint64 m_nextSequence = 0;
};

class CrashExplanationCache {
public:
    static CrashExplanationCache& shared();
    static void resetShared();

    // Uses `folder`/CrashExplanations, created when missing.
    explicit CrashExplanationCache(const QString& folder);

    // The report's file name with "/" replaced by "_", then "-" and its
    // contentDigest when it has one, plus ".json" (the file holds the plain
    // text despite the extension).
    QString crashFilePath(const CrashReport& report) const;
    std::optional<QString> load(const CrashReport& report) const;
    // Replaces the report's file; a text over maxCachedExplanationBytes is not stored.
    void store(const CrashReport& report, const QString& text) const;

    QString cacheDir() const { return m_cacheDir; }

private:
    QString m_cacheDir;
};
