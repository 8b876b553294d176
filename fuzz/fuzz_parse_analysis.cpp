// Hostile analysis answers: parseAnalysis must never crash, never refer to an
// entry outside the batch and never yield a finding with an empty title or concern.

#include "ai/AIExplainer.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const LogEntryList batch = [] {
        LogEntryList b;
        for (int i = 0; i < 10; ++i) {
            LogEntry e;
            e.id = QUuid::createUuid();
            e.level = i % 6;
            e.process = QStringLiteral("p%1").arg(i);
            e.message = QStringLiteral("m%1").arg(i);
            b << e;
        }
        return b;
    }();
    // The first byte picks the batch size, so empty and short batches are covered.
    const qsizetype batchSize = size > 0 ? data[0] % (batch.size() + 1) : 0;
    const LogEntryList used = batch.first(batchSize);
    const QString answer = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const AnalysisItemList items = AIExplainer::parseAnalysis(answer, used);
    for (const AnalysisItem& item : items) {
        if (item.title.isEmpty() || item.concern.isEmpty() || item.id.isNull())
            abort();
        if (item.entry) {
            bool found = false;
            for (const LogEntry& e : used)
                found = found || e.id == item.entry->id;
            if (!found)
                abort();
        }
    }
    if (items.isEmpty() && !answer.trimmed().isEmpty())
        abort();  // a non-blank answer always yields at least the summary
    (void)AIExplainer::batchMessage(used);
    return 0;
}
