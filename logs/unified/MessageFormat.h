#pragma once

// Composes a log message from its os_log format string and the arguments its
// tracepoint recorded, the way the Mac's log tool shows it: printf
// conversions with flags, width, precision and length modifiers, "%@"
// objects, and the "%{...}" annotations (privacy and value decoders).

#include <QtGlobal>

#include <span>
#include <string>
#include <string_view>

namespace Unified {

// One argument of a message, as the reader found it in the tracepoint.
struct Argument {
    enum class Kind : quint8 {
        scalar,     // `bytes`: 1, 2, 4 or 8 bytes, little-endian (a double as its 8 bytes)
        precision,  // a width or precision taken by "*" (or the compiler's for a literal ".N")
        string,     // `bytes`: the text (UTF-8, up to its terminating NUL)
        object,     // "%@": the object's description (UTF-8)
        data,       // bytes for "%P" and the decoders that read bytes
        redacted,   // private or sensitive data that was not collected
        missing,    // the data is not there (a damaged item, oversize data not found)
    };
    Kind kind = Kind::scalar;
    std::string_view bytes;
    bool null = false;  // string, object or data whose pointer was NULL
};

// Texts the composition writes in place of a value.
inline constexpr std::string_view kPrivateText = "<private>";
inline constexpr std::string_view kMissingDataText = "<decode: missing data>";
// An argument of another kind or size than its conversion or decoder reads.
inline constexpr std::string_view kMismatchedArgumentText = "<decode: mismatched argument>";
// Bytes of the right size that hold no valid value (a timespec's nanoseconds
// past a second, a sockaddr shorter than its family's address).
inline constexpr std::string_view kInvalidValueText = "<decode: invalid value>";

// Longest message composed; longer ones end with "…".
inline constexpr std::size_t kMaxMessageBytes = std::size_t(4) << 20;

// The message as UTF-8. Never fails: what cannot be shown says so in place.
std::string composeMessage(std::string_view format, std::span<const Argument> arguments);

}  // namespace Unified
