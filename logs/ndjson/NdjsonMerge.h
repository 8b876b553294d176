#pragma once

// The entries of one or more ndjson files as one sequence in time order.

#include "logs/LogStore.h"

#include <QStringList>

#include <memory>
#include <optional>

namespace Ndjson {

// Files are taken in the order of their first event and each is opened only
// when the merge reaches that event; at most kMaxOpenFiles are open at once
// (others are closed and later reopened where they stopped), and each holds
// a small buffer, so a folder of thousands of parts costs little. Parts whose
// spans overlap are interleaved by date. Malformed lines are skipped and
// counted; a long stretch without an entry yields RawEntryKind::none.
std::unique_ptr<LogEnumerator> mergedEntries(const QStringList& files, double position,
                                             std::optional<DateRange> predicate);

}  // namespace Ndjson
