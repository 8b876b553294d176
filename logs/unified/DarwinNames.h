#pragma once

// Darwin's errno and signal numbers with their texts, as a Mac shows them.
// The host's strerror/strsignal are no use here: Linux numbers differ
// (ETIMEDOUT is 60 on a Mac, 110 on Linux) and so do the texts.

#include <QtGlobal>

#include <string_view>

namespace Unified::Darwin {

// strerror's text for a Darwin errno (1 to 106), empty for any other number.
std::string_view errnoText(qint64 number);

// A Darwin signal (1 to 31): its lower-case name ("sigsegv") and its
// description ("Segmentation Fault"); empty for any other number.
std::string_view signalName(qint64 number);
std::string_view signalText(qint64 number);

}  // namespace Unified::Darwin
