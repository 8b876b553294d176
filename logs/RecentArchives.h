#pragma once

// The last five log archives opened or collected, most recent first, kept in
// the settings store under "recentArchives". Main thread only.

#include <QObject>
#include <QStringList>

class RecentArchives : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList paths READ paths NOTIFY pathsChanged)

public:
    static constexpr int maxRecent = 5;
    static QString storageKey() { return QStringLiteral("recentArchives"); }

    // Loads the stored list (empty when absent or not a list of texts).
    explicit RecentArchives(QObject* parent = nullptr);

    const QStringList& paths() const { return m_paths; }

    // Records an archive (a path or a file URL) as the most recent one.
    void add(const QString& location);
    // The stored paths, in order, at which a file or folder exists right now.
    QStringList existingArchives() const;
    // Empties the list and removes the key from the store.
    void clear();

signals:
    void pathsChanged();

private:
    QStringList m_paths;
};
