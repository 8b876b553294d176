#pragma once

// The searched texts of one entry list (message, process, subsystem),
// lowercased once into one contiguous buffer. A keystroke's search then
// streams through memory instead of visiting three heap blocks per entry,
// which costs a cache miss each.

#include "logs/LogEntry.h"

#include <QString>

#include <optional>
#include <string>
#include <vector>

class SearchCorpus {
public:
    explicit SearchCorpus(const LogEntryList& entries);

    qsizetype size() const { return qsizetype(m_start.size()) - 1; }

    // For each entry, whether its lowercased message, process or subsystem
    // contains term (already lowercased, not empty): exactly
    // text.toLower().contains(term). Nothing for a term this buffer cannot
    // answer (an unpaired surrogate, which may match half of a pair).
    std::optional<std::vector<quint8>> hits(const QString& term) const;

private:
    // Each entry is "message\0process\0subsystem\0" in UTF-8, where U+0000
    // is written as C0 80 and an unpaired surrogate as its three bytes: no
    // term's bytes hold a 0, so no match crosses a field.
    std::string m_text;
    std::vector<size_t> m_start;  // entry i's bytes begin at m_start[i]; one more at the end
};
