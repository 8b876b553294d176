#pragma once

// The value decoders that "%{...}" annotations name (bool, bytes, errno,
// in6_addr, time_t, uuid_t, ...): each turns one argument into the text the
// Mac's log tool shows for it.

#include <QtGlobal>

#include <string>
#include <string_view>

namespace Unified {

enum class Decoder : quint8 {
    none,
    boolLower,   // "bool"
    boolUpper,   // "BOOL"
    bitrate,     // "bitrate"
    iecBitrate,  // "iec-bitrate"
    bytes,       // "bytes"
    iecBytes,    // "iec-bytes"
    errnoValue,  // "darwin.errno", "errno"
    mode,        // "darwin.mode"
    signal,      // "darwin.signal"
    inAddr,      // "in_addr", "network:in_addr"
    in6Addr,     // "in6_addr", "network:in6_addr"
    sockaddr,    // "sockaddr", "network:sockaddr"
    timeT,       // "time_t"
    timespec,    // "timespec"
    timeval,     // "timeval"
    uuid,        // "uuid_t"
};

// The decoder an annotation token names, none for any other token.
Decoder decoderNamed(std::string_view token);

// What a decoder reads: the argument's bytes and, when the argument is a
// scalar, its integer as the conversion read it (signed or not).
struct DecoderInput {
    std::string_view bytes;
    bool scalar = false;
    bool isSigned = true;
    quint64 integer = 0;  // two's complement when isSigned
};

// Appends the decoded value. False (nothing appended) when the argument does
// not fit the decoder: a decoder of numbers given bytes, or bytes of the
// wrong size.
bool appendDecoded(std::string& out, Decoder decoder, const DecoderInput& input);

// Darwin's strerror text: "No route to host", "Unknown error: 107".
void appendErrnoText(std::string& out, qint64 number);

// Standard base64 with "=" padding.
void appendBase64(std::string& out, std::string_view bytes);

}  // namespace Unified
