#include "browser/EntryRows.h"

EntryRows::EntryRows(const LogEntryList& source, std::vector<const LogEntry*> rows)
    : m_source(source), m_rows(std::make_shared<const Base>(std::move(rows)))
{
}

EntryRows::EntryRows(const LogEntryList& all) : m_source(all)
{
    Base rows;
    rows.reserve(size_t(all.size()));
    for (const LogEntry& e : all)
        rows.push_back(&e);
    m_rows = std::make_shared<const Base>(std::move(rows));
}

LogEntryList EntryRows::toList() const
{
    LogEntryList out;
    out.reserve(size());
    for (const LogEntry& e : *this)
        out.append(e);
    return out;
}
