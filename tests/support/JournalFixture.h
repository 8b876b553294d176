#pragma once

// Builds real journal files from journal export text with systemd-journal-remote.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace JournalFixture {

struct Record {
    qint64 realtimeUsec = 0;  // microseconds since 1970
    QList<QPair<QByteArray, QByteArray>> fields;

    Record& set(const QByteArray& key, const QByteArray& value)
    {
        fields.append({key, value});
        return *this;
    }
};

// A log line with the usual fields; `priority` < 0 leaves PRIORITY out.
Record message(double date, const QByteArray& identifier, const QByteArray& text, int priority = 6);

// Writes `dir`/`fileName` (must end in .journal) from the records. Returns
// an empty string on success, else what went wrong.
QString writeJournal(const QString& dir, const QList<Record>& records,
                     const QString& fileName = QStringLiteral("system.journal"));

// Creates `parent`/`name` (e.g. "Test.logarchive") holding one journal file of
// the records and returns its path; fails the current test on error.
QString makeArchive(const QString& parent, const QString& name, const QList<Record>& records);

}  // namespace JournalFixture
