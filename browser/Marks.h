#pragma once

// Entries the user marked to come back to. A mark follows its entry by the
// live-tail key (time, process, start of the message), so it survives a
// refresh and live tail, and entries with the same key mark together. Marks
// are kept for the session: one set per archive (by path) and one for the
// live log. Main thread only.

#include "logs/LogEntry.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

class Marks : public QObject {
    Q_OBJECT
public:
    explicit Marks(QObject* parent = nullptr);

    // Whose marks are current: an archive's path, or empty for the live log.
    void setScope(const QString& archivePath);
    const QString& scope() const { return m_scope; }

    bool isMarked(const LogEntry& entry) const;
    // Marks the entry, or unmarks it when it is marked; whether it is marked now.
    bool toggle(const LogEntry& entry);
    void clear();  // of the current scope

    const QSet<QString>& keys() const { return m_current; }
    bool isEmpty() const { return m_current.isEmpty(); }
    qsizetype count() const { return m_current.size(); }
    // Changes with every change of the current set (a new scope included).
    quint64 generation() const { return m_generation; }

    // The entries of `rows` that are marked, in order.
    template <typename Rows>
    LogEntryList markedOf(const Rows& rows) const
    {
        LogEntryList out;
        if (!isEmpty())
            for (const LogEntry& e : rows)
                if (isMarked(e))
                    out.append(e);
        return out;
    }

signals:
    void changed();

private:
    QString m_scope;
    QSet<QString> m_current;
    QHash<QString, QSet<QString>> m_byScope;  // the other scopes' sets
    quint64 m_generation = 0;
};
