#include "browser/Marks.h"

#include "logs/LogFetcher.h"

Marks::Marks(QObject* parent) : QObject(parent) {}

void Marks::setScope(const QString& archivePath)
{
    if (archivePath == m_scope)
        return;
    if (m_current.isEmpty())
        m_byScope.remove(m_scope);
    else
        m_byScope.insert(m_scope, m_current);
    m_scope = archivePath;
    m_current = m_byScope.take(m_scope);
    ++m_generation;
    emit changed();
}

bool Marks::isMarked(const LogEntry& entry) const
{
    return !m_current.isEmpty() && m_current.contains(LogFetcher::tailKey(entry));
}

bool Marks::toggle(const LogEntry& entry)
{
    const QString key = LogFetcher::tailKey(entry);
    const bool marked = !m_current.remove(key);
    if (marked)
        m_current.insert(key);
    ++m_generation;
    emit changed();
    return marked;
}

void Marks::clear()
{
    if (m_current.isEmpty())
        return;
    m_current.clear();
    ++m_generation;
    emit changed();
}
