#pragma once

// The pattern of a message: what stays when its variable parts are taken
// out, so that repeated messages fold into one row with a count. Unified-log
// entries whose format string is known use it as it is (exact); one whose
// format string is missing uses its reference (image and offset, exact too).
// Other entries are masked by conservative rules: only tokens that are
// plainly values (numbers, hex, UUIDs, addresses, paths, quoted strings,
// durations, sizes) become placeholders; words are never merged, so
// "VM Started" and "VM Paused" stay apart, and a number inside a word stays
// ("eth0", "x86_64").

#include "logs/LogEntry.h"

#include <QString>
#include <QStringView>

namespace MessagePattern {

// The message with its variable parts replaced by visible placeholders:
// ‹n› (a number standing alone), ‹hex›, ‹uuid›, ‹ip› (IPv4, IPv6), ‹mac›,
// ‹time› (a clock time or an ISO date), ‹dur›, ‹size›, ‹path›, ‹url› and
// ‹str› (a quoted string).
QString mask(QStringView message);
// The same into a reused buffer: true when something was masked, with the
// pattern in `out`; false when the message is its own pattern (`out` then
// holds nothing of use).
bool maskInto(QStringView message, QString& out);

// The entry's pattern, as above. A missing format string gives
// "‹format not found› IMAGE-UUID+0xOFFSET" (upper-case UUID, hex offset).
QString of(const LogEntry& entry);

// A pattern as a person types it: the placeholders may be written in ASCII
// ("<n>", "<uuid>", "<format not found>", …); they become the ones written
// here. Other text, other "<…>" included, is kept.
QString fromTyped(const QString& text);

}  // namespace MessagePattern
