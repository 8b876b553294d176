#include "logs/RecentArchives.h"

#include "base/Platform.h"

#include <QFileInfo>
#include <QUrl>

RecentArchives::RecentArchives(QObject* parent) : QObject(parent)
{
    const QVariant stored = Platform::settings().value(storageKey());
    switch (stored.typeId()) {
    case QMetaType::QStringList: m_paths = stored.toStringList(); break;
    case QMetaType::QString:
        // The settings file keeps a one-element list as a bare text, which is
        // what a single recent archive reads back as after a restart.
        if (!stored.toString().isEmpty())
            m_paths = QStringList{stored.toString()};
        break;
    case QMetaType::QVariantList: {
        QStringList paths;
        for (const QVariant& v : stored.toList()) {
            if (v.typeId() != QMetaType::QString)
                return;  // not a list of texts: start empty
            paths.append(v.toString());
        }
        m_paths = paths;
        break;
    }
    default: break;  // absent, or anything else: start empty
    }
    m_paths.removeDuplicates();
    while (m_paths.size() > maxRecent)
        m_paths.removeLast();
}

void RecentArchives::add(const QString& location)
{
    // The location's path: a file URL is reduced to its path, a path is kept as it is.
    QString path = location;
    if (location.startsWith(QLatin1String("file:")))
        path = QUrl(location).toLocalFile();
    m_paths.removeAll(path);
    m_paths.prepend(path);
    while (m_paths.size() > maxRecent)
        m_paths.removeLast();
    Platform::settings().setValue(storageKey(), m_paths);
    emit pathsChanged();
}

QStringList RecentArchives::existingArchives() const
{
    QStringList out;
    for (const QString& p : m_paths)
        if (QFileInfo::exists(p))
            out.append(p);
    return out;
}

void RecentArchives::clear()
{
    const bool hadPaths = !m_paths.isEmpty();
    m_paths.clear();
    Platform::settings().remove(storageKey());
    if (hadPaths)
        emit pathsChanged();
}
