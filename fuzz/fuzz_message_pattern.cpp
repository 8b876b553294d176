// Any messages: masking never fails and agrees with itself, a table numbers
// each entry with its own pattern, and a table lending from the previous
// list (a tail tick: the front dropped, the rest kept, one more added) gives
// the same patterns as one built afresh. Bytes below 0xF0 are the characters
// U+0000–U+00EF; 0xF0 takes the next two bytes as any UTF-16 unit; U+001F
// separates the messages.

#include "browser/MessagePattern.h"
#include "browser/PatternTable.h"
#include "fuzz/FuzzText.h"

#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

QStringList patternsOf(const PatternTable& t)
{
    QStringList out;
    for (quint32 n : t.number)
        out << t.texts.at(n);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString all = fuzzText(data, size);
    LogEntryList entries;
    QString buffer;
    for (const QString& message : all.split(QChar(0x1F))) {
        const QString masked = MessagePattern::mask(message);
        check(MessagePattern::maskInto(message, buffer) ? buffer == masked : masked == message);
        LogEntry e;
        e.message = message;
        entries.append(e);
    }
    const PatternTable table(entries);
    QStringList expected;
    for (const LogEntry& e : entries)
        expected << MessagePattern::of(e);
    check(patternsOf(table) == expected);
    LogEntryList next = entries.mid(1);
    next.append(entries.front());
    check(patternsOf(PatternTable(next, &table)) == patternsOf(PatternTable(next)));
    return 0;
}
