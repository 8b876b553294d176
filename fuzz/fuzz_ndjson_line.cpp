// Hostile `log show --style ndjson` content: the line parser and the file
// reader must never crash, must agree on which lines are events, and must
// only yield events with a finite date and, for log messages, a known level.

#include "logs/ndjson/NdjsonEvent.h"
#include "logs/ndjson/NdjsonLogStore.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(const RawEntry& raw)
{
    if (!std::isfinite(raw.entry.date))
        abort();
    if (raw.kind == RawEntryKind::logMessage && (raw.entry.level < 0 || raw.entry.level > 5))
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // One parser for every input, as one read reuses it for every line.
    static Ndjson::LineParser parser;
    static const QString file = QDir::tempPath() + QStringLiteral("/fuzz_ndjson_line_%1.ndjson")
                                                       .arg(QCoreApplication::applicationPid());
    const char* const text = reinterpret_cast<const char*>(data);

    // Line by line, as the reader hands lines over (without "\n" and a last "\r").
    long events = 0;
    RawEntry raw;
    std::size_t begin = 0;
    while (begin <= size) {
        std::size_t end = begin;
        while (end < size && text[end] != '\n')
            ++end;
        if (end == size && begin == size)
            break;
        std::size_t len = end - begin;
        if (len > 0 && text[begin + len - 1] == '\r')
            --len;
        if (parser.parse(text + begin, len, raw) == Ndjson::LineStatus::event) {
            check(raw);
            ++events;
        }
        begin = end + 1;
    }

    // The same bytes as a file through the store: the same events, in order.
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    f.write(text, qint64(size));
    f.close();
    StoreOpenResult opened = openNdjsonStore(file);
    auto* store = std::get_if<std::unique_ptr<LogStore>>(&opened);
    if (!store)
        abort();
    auto entries = (*store)->entries(0.0, std::nullopt);
    auto* enumerator = std::get_if<std::unique_ptr<LogEnumerator>>(&entries);
    if (!enumerator)
        abort();
    long read = 0;
    while ((*enumerator)->next(raw)) {
        if (raw.kind == RawEntryKind::none)  // a pause in a long run of lines without an entry
            continue;
        check(raw);
        ++read;
    }
    // The only error of a file read whole: no line is an event and some are bad.
    const auto error = (*enumerator)->error();
    if (read != events || (error && (events > 0 || !error->description.startsWith(QLatin1String("No line of")))))
        abort();
    return 0;
}
