#include "browser/DetailWindowState.h"

#include "ai/AISettings.h"
#include "processnames/ProcessNameResolver.h"

DetailWindowState::DetailWindowState(QObject* parent) : QObject(parent) {}

void DetailWindowState::setEntry(const std::optional<LogEntry>& entry)
{
    // Entries have no content equality: a different id is a different entry.
    const bool same = entry.has_value() == m_entry.has_value() && (!entry || entry->id == m_entry->id);
    m_entry = entry;
    if (!same)
        emit entryChanged();
}

void DetailWindowState::setOpen(bool open)
{
    if (m_isOpen == open)
        return;
    m_isOpen = open;
    emit isOpenChanged();
}

void DetailWindowState::setWantsPopBack(bool wants)
{
    if (m_wantsPopBack == wants)
        return;
    m_wantsPopBack = wants;
    emit wantsPopBackChanged();
}

ProcessNameResolver* DetailWindowState::processNames() const
{
    return static_cast<ProcessNameResolver*>(m_processNames.data());
}

AISettings* DetailWindowState::aiSettings() const
{
    return static_cast<AISettings*>(m_aiSettings.data());
}

void DetailWindowState::setServices(ProcessNameResolver* names, AISettings* settings)
{
    m_processNames = names;
    m_aiSettings = settings;
    emit servicesChanged();
}
