#pragma once

#include <QObject>
#include <QString>

#include <optional>

// The application's pending-archive slot: an archive chosen from a menu that
// no main window has taken over yet. Every main window watches it; the first
// to react opens the archive and clears the slot.
class PendingArchive : public QObject {
    Q_OBJECT
public:
    explicit PendingArchive(QObject* parent = nullptr) : QObject(parent) {}

    const std::optional<QString>& path() const { return m_path; }
    void set(const QString& path)
    {
        m_path = path;
        emit changed();
    }
    void clear()
    {
        if (!m_path)
            return;
        m_path.reset();
        emit changed();
    }

signals:
    void changed();

private:
    std::optional<QString> m_path;
};
