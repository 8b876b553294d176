#pragma once

// Turns the records of a chunkset into log entries: reads a log tracepoint
// or a simpledump whole, joins its oversize data, finds its format string
// and names, and composes its message.

#include "logs/LogStore.h"
#include "logs/unified/Chunkset.h"
#include "logs/unified/FormatResolver.h"

#include <vector>

namespace Unified {

class EntryBuilder {
public:
    EntryBuilder(FormatResolver& resolver, SkipCounts& skips) : m_resolver(resolver), m_skips(skips) {}

    // The raw entry of the chunkset's current record: a log message, or
    // another kind; a damaged record becomes `other` and is counted.
    void build(const ChunksetStream& chunkset, const OversizeStore& oversize, RawEntry& out);

private:
    bool buildLog(const ChunksetStream& chunkset, const Record& r, const OversizeStore& oversize, LogEntry& e);
    bool buildSimpleDump(const ChunksetStream& chunkset, const Record& r, LogEntry& e);
    void setProcess(const CatalogProcess* p, LogEntry& e);

    FormatResolver& m_resolver;
    SkipCounts& m_skips;
    std::vector<Argument> m_arguments;  // reused: one message at a time
};

}  // namespace Unified
