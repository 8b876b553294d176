#pragma once

#include "logs/LogEntry.h"

#include <memory>
#include <vector>

// Rows picked from one entry list, in display order, without copying the
// entries (a copy touches six shared strings per entry: most of a keystroke's
// cost over 50,000 entries). The list is held, shared, so the rows stay valid
// whatever its owner does with its own copy next. Copies are cheap.
class EntryRows {
public:
    EntryRows() = default;
    // rows point into source's elements.
    EntryRows(const LogEntryList& source, std::vector<const LogEntry*> rows);
    // Every entry of the list, in its order.
    EntryRows(const LogEntryList& all);

    qsizetype size() const { return m_rows ? qsizetype(m_rows->size()) : 0; }
    bool isEmpty() const { return size() == 0; }
    const LogEntry& at(qsizetype i) const { return *(*m_rows)[size_t(i)]; }
    const LogEntry& operator[](qsizetype i) const { return at(i); }
    const LogEntry& first() const { return at(0); }
    const LogEntry& last() const { return at(size() - 1); }

    class const_iterator {
    public:
        using Base = std::vector<const LogEntry*>::const_iterator;
        explicit const_iterator(Base it) : m_it(it) {}
        const LogEntry& operator*() const { return **m_it; }
        const LogEntry* operator->() const { return *m_it; }
        const_iterator& operator++()
        {
            ++m_it;
            return *this;
        }
        bool operator==(const const_iterator& o) const { return m_it == o.m_it; }
        bool operator!=(const const_iterator& o) const { return m_it != o.m_it; }

    private:
        Base m_it;
    };
    const_iterator begin() const { return const_iterator(m_rows ? m_rows->cbegin() : Base::const_iterator()); }
    const_iterator end() const { return const_iterator(m_rows ? m_rows->cend() : Base::const_iterator()); }

    // The rows as their own list (exports, the AI batch).
    LogEntryList toList() const;

private:
    using Base = std::vector<const LogEntry*>;
    LogEntryList m_source;
    std::shared_ptr<const Base> m_rows;
};
