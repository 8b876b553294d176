// Hostile explanation answers: parseProcessNames must never crash, and the text
// it returns never includes the marker or anything after it.

#include "ai/AIExplainer.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString answer = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const AIExplainer::ProcessNamesAnswer parsed = AIExplainer::parseProcessNames(answer);
    const qsizetype marker = answer.indexOf(QStringLiteral("PROCESS_NAMES:"));
    if (marker >= 0 && parsed.text.size() > marker)
        abort();
    if (marker < 0 && !parsed.names.isEmpty())
        abort();
    if (parsed.text != parsed.text.trimmed())
        abort();
    return 0;
}
