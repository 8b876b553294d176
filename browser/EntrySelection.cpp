#include "browser/EntrySelection.h"

#include "browser/DetailWindowState.h"
#include "browser/EntryText.h"
#include "logs/LogFetcher.h"

#include <QTimer>

EntrySelection::EntrySelection(LogFetcher* fetcher, const EntryRows& listed, DetailWindowState* detailState,
                               ProcessNameResolver* processNames, AISettings* aiSettings, QObject* parent)
    : QObject(parent),
      m_fetcher(fetcher),
      m_rows(listed),
      m_detailState(detailState),
      m_processNames(processNames),
      m_aiSettings(aiSettings)
{
    if (m_detailState)
        connect(m_detailState, &DetailWindowState::wantsPopBackChanged, this, &EntrySelection::popBack);
}

bool EntrySelection::floatingOpen() const
{
    return m_detailState && m_detailState->isOpen();
}

std::optional<LogEntry> EntrySelection::inFetched(const LogEntry& entry) const
{
    // Ids are fresh per read: after a new one only the key finds the record.
    std::optional<QString> key;
    const LogEntry* byKey = nullptr;
    for (const LogEntry& e : m_fetcher->entries()) {
        if (e.id == entry.id)
            return e;
        const bool sameDate = e.date == entry.date || (qIsNaN(e.date) && qIsNaN(entry.date));
        if (byKey || !sameDate)
            continue;
        if (!key)
            key = LogFetcher::tailKey(entry);
        if (LogFetcher::tailKey(e) == *key)
            byKey = &e;
    }
    return byKey ? std::optional<LogEntry>(*byKey) : std::nullopt;
}

void EntrySelection::follow()
{
    // While a read is under way the list is empty: nothing to follow yet.
    if (m_fetcher->isLoading() && m_fetcher->entries().isEmpty())
        return;
    bool differs = false;
    if (m_entry) {
        const std::optional<LogEntry> same = inFetched(*m_entry);
        differs = !same || same->id != m_entry->id;
        m_entry = same;
    }
    // The floating window this window filled follows the same way.
    if (floatingOpen() && m_detailState->entry() && m_detailState->processNames() == m_processNames)
        m_detailState->setEntry(inFetched(*m_detailState->entry()));
    bool listed = false;
    if (m_entry)
        for (const LogEntry& e : m_rows)
            if (e.id == m_entry->id) {
                listed = true;
                break;
            }
    differs = differs || listed != m_listed;
    m_listed = listed;
    if (differs)
        emit changed();
}

void EntrySelection::setEntry(const std::optional<LogEntry>& entry)
{
    m_entry = entry;
    m_paneOpen = entry.has_value();
    m_listed = false;
    follow();
    emit changed();
}

void EntrySelection::clickEntry(const LogEntry& entry)
{
    if (floatingOpen())
        selectEntry(entry);
    else if (isPaneOpen() && m_entry->id == entry.id)
        setEntry(std::nullopt);
    else
        setEntry(entry);
}

void EntrySelection::selectEntry(const LogEntry& entry)
{
    // From no selection the pane opens; otherwise Escape's choice holds.
    const bool open = !m_entry || m_paneOpen;
    m_entry = entry;
    m_paneOpen = open && !floatingOpen();
    if (floatingOpen())
        m_detailState->setEntry(entry);
    follow();
    emit changed();
}

void EntrySelection::reveal(const LogEntry& entry)
{
    selectEntry(entry);
    emit revealRequested();
}

void EntrySelection::openPane()
{
    if (!m_entry || m_paneOpen || floatingOpen())
        return;
    m_paneOpen = true;
    emit changed();
}

bool EntrySelection::closePane()
{
    if (!isPaneOpen())
        return false;
    m_paneOpen = false;
    emit changed();
    return true;
}

std::optional<QString> EntrySelection::rowText() const
{
    if (!m_entry)
        return std::nullopt;
    return EntryText::rowText(*m_entry);
}

void EntrySelection::selectFromAnalysis(const LogEntry& entry)
{
    emit analysisJump();
    setEntry(entry);
    m_highlightedEntryID = entry.id;
    emit highlightChanged();
    const quint64 generation = ++m_highlightGeneration;
    const QUuid id = entry.id;
    QTimer::singleShot(m_highlightMs, this, [this, generation, id] {
        if (generation == m_highlightGeneration && m_highlightedEntryID == id) {
            m_highlightedEntryID.reset();
            emit highlightChanged();
        }
    });
}

void EntrySelection::popOut()
{
    if (!m_entry || !m_detailState)
        return;
    m_detailState->setEntry(*m_entry);
    m_detailState->setServices(m_processNames, m_aiSettings);
    m_detailState->setOpen(true);
    // While the inline pane is still open, so that the floating one can take over its explanation.
    emit floatingWindowRequested();
    m_paneOpen = false;
    emit changed();
}

void EntrySelection::popBack()
{
    if (!m_detailState->wantsPopBack())
        return;
    // Asked while the floating window is still open: the pane opens all the same.
    m_entry = m_detailState->entry();
    m_paneOpen = m_entry.has_value();
    follow();
    emit changed();
    m_detailState->setWantsPopBack(false);
}
