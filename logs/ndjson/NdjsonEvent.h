#pragma once

// One line of `log show --style ndjson` output mapped to a log entry: the
// event members read, their types checked, the rest skipped as JSON.

#include "logs/LogStore.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <cstddef>
#include <string>
#include <string_view>

namespace Ndjson {

// Nesting deeper than this inside an event (e.g. in a backtrace) makes the line malformed.
inline constexpr int kMaxDepth = 64;

// `blank`: nothing to read and nothing wrong (an empty line, or the closing
// {"count":N,"finished":1} line of `log show`).
enum class LineStatus { event,
                        blank,
                        malformed };

// "2026-01-05 09:30:00.123456+0100" (also "T" as separator, "+01:00", "+01"
// or "Z" as offset) to seconds since 1970 UTC. An offset is required.
bool parseTimestamp(std::string_view text, double& seconds);

// "Default" 3, "Info" 2, "Debug" 1, "Error" 4, "Fault" 5, anything else 0.
int levelForMessageType(std::string_view messageType);

RawEntryKind kindForEventType(std::string_view eventType);

// The text after the last "/" (trailing slashes ignored).
std::string_view lastPathComponent(std::string_view path);

// Parses one line (without its line break). Strict JSON (RFC 8259) in UTF-8;
// an event needs "eventType" and "timestamp" strings, a "logEvent" also an
// "eventMessage" string. Members that are read must have their type (null
// stands for absent where a member is optional); other members are only
// checked for syntax. Reuses its buffers and shares the texts of repeated
// process, sender, subsystem and category values between entries.
class LineParser {
public:
    LineStatus parse(const char* data, std::size_t size, RawEntry& out);

private:
    // Small bounded interning table: keys are the raw bytes of the member.
    class Interned {
    public:
        QString get(std::string_view key, bool lastComponent);

    private:
        QHash<QByteArray, QString> m_map;
    };

    std::string m_scratch[9];  // the key, then one per text member
    Interned m_process, m_sender, m_senderPath, m_subsystem, m_category;
};

}  // namespace Ndjson
