// Any texts and any term: the list's gathered search texts answer exactly as
// each text lowercased containing the term, and so does the per-entry matcher.
// Bytes below 0xF0 are the characters U+0000–U+00EF; 0xF0 takes the next two
// bytes as any UTF-16 unit (surrogates too); U+001F separates the term and
// the fields, three to an entry.

#include "browser/LoweredMatcher.h"
#include "browser/SearchCorpus.h"
#include "fuzz/FuzzText.h"

#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString all = fuzzText(data, size);
    const QStringList parts = all.split(QChar(0x1F));
    const QString term = parts.front().toLower();
    if (term.isEmpty())
        return 0;
    LogEntryList entries;
    for (qsizetype i = 1; i < parts.size(); i += 3) {
        LogEntry e;
        e.message = parts.value(i);
        e.process = parts.value(i + 1);
        e.subsystem = parts.value(i + 2);
        entries.append(e);
    }
    const LoweredMatcher matcher(term);
    const std::optional<std::vector<quint8>> hits = SearchCorpus(entries).hits(term);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        bool expected = false;
        for (const QString* field : {&entries[i].message, &entries[i].process, &entries[i].subsystem}) {
            const bool contains = field->toLower().contains(term);
            if (matcher.matches(*field) != contains)
                abort();
            expected = expected || contains;
        }
        if (hits && ((*hits)[size_t(i)] != 0) != expected)
            abort();
    }
    // Only a term with an unpaired surrogate is left to the matcher.
    bool unpaired = false;
    for (qsizetype i = 0; i < term.size(); ++i) {
        if (term[i].isHighSurrogate() && i + 1 < term.size() && term[i + 1].isLowSurrogate())
            ++i;
        else
            unpaired = unpaired || term[i].isSurrogate();
    }
    if (!hits != unpaired)
        abort();
    return 0;
}
