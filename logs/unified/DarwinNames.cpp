#include "logs/unified/DarwinNames.h"

#include <array>

namespace Unified::Darwin {
namespace {

using namespace std::string_view_literals;

// Index 0 is errno 1; the texts are macOS's strerror.
constexpr std::array kErrnoTexts = {
    "Operation not permitted"sv,                          // EPERM 1
    "No such file or directory"sv,                        // ENOENT
    "No such process"sv,                                  // ESRCH
    "Interrupted system call"sv,                          // EINTR
    "Input/output error"sv,                               // EIO 5
    "Device not configured"sv,                            // ENXIO
    "Argument list too long"sv,                           // E2BIG
    "Exec format error"sv,                                // ENOEXEC
    "Bad file descriptor"sv,                              // EBADF
    "No child processes"sv,                               // ECHILD 10
    "Resource deadlock avoided"sv,                        // EDEADLK
    "Cannot allocate memory"sv,                           // ENOMEM
    "Permission denied"sv,                                // EACCES
    "Bad address"sv,                                      // EFAULT
    "Block device required"sv,                            // ENOTBLK 15
    "Resource busy"sv,                                    // EBUSY
    "File exists"sv,                                      // EEXIST
    "Cross-device link"sv,                                // EXDEV
    "Operation not supported by device"sv,                // ENODEV
    "Not a directory"sv,                                  // ENOTDIR 20
    "Is a directory"sv,                                   // EISDIR
    "Invalid argument"sv,                                 // EINVAL
    "Too many open files in system"sv,                    // ENFILE
    "Too many open files"sv,                              // EMFILE
    "Inappropriate ioctl for device"sv,                   // ENOTTY 25
    "Text file busy"sv,                                   // ETXTBSY
    "File too large"sv,                                   // EFBIG
    "No space left on device"sv,                          // ENOSPC
    "Illegal seek"sv,                                     // ESPIPE
    "Read-only file system"sv,                            // EROFS 30
    "Too many links"sv,                                   // EMLINK
    "Broken pipe"sv,                                      // EPIPE
    "Numerical argument out of domain"sv,                 // EDOM
    "Result too large"sv,                                 // ERANGE
    "Resource temporarily unavailable"sv,                 // EAGAIN 35
    "Operation now in progress"sv,                        // EINPROGRESS
    "Operation already in progress"sv,                    // EALREADY
    "Socket operation on non-socket"sv,                   // ENOTSOCK
    "Destination address required"sv,                     // EDESTADDRREQ
    "Message too long"sv,                                 // EMSGSIZE 40
    "Protocol wrong type for socket"sv,                   // EPROTOTYPE
    "Protocol not available"sv,                           // ENOPROTOOPT
    "Protocol not supported"sv,                           // EPROTONOSUPPORT
    "Socket type not supported"sv,                        // ESOCKTNOSUPPORT
    "Operation not supported"sv,                          // ENOTSUP 45
    "Protocol family not supported"sv,                    // EPFNOSUPPORT
    "Address family not supported by protocol family"sv,  // EAFNOSUPPORT
    "Address already in use"sv,                           // EADDRINUSE
    "Can't assign requested address"sv,                   // EADDRNOTAVAIL
    "Network is down"sv,                                  // ENETDOWN 50
    "Network is unreachable"sv,                           // ENETUNREACH
    "Network dropped connection on reset"sv,              // ENETRESET
    "Software caused connection abort"sv,                 // ECONNABORTED
    "Connection reset by peer"sv,                         // ECONNRESET
    "No buffer space available"sv,                        // ENOBUFS 55
    "Socket is already connected"sv,                      // EISCONN
    "Socket is not connected"sv,                          // ENOTCONN
    "Can't send after socket shutdown"sv,                 // ESHUTDOWN
    "Too many references: can't splice"sv,                // ETOOMANYREFS
    "Operation timed out"sv,                              // ETIMEDOUT 60
    "Connection refused"sv,                               // ECONNREFUSED
    "Too many levels of symbolic links"sv,                // ELOOP
    "File name too long"sv,                               // ENAMETOOLONG
    "Host is down"sv,                                     // EHOSTDOWN
    "No route to host"sv,                                 // EHOSTUNREACH 65
    "Directory not empty"sv,                              // ENOTEMPTY
    "Too many processes"sv,                               // EPROCLIM
    "Too many users"sv,                                   // EUSERS
    "Disc quota exceeded"sv,                              // EDQUOT
    "Stale NFS file handle"sv,                            // ESTALE 70
    "Too many levels of remote in path"sv,                // EREMOTE
    "RPC struct is bad"sv,                                // EBADRPC
    "RPC version wrong"sv,                                // ERPCMISMATCH
    "RPC prog. not avail"sv,                              // EPROGUNAVAIL
    "Program version wrong"sv,                            // EPROGMISMATCH 75
    "Bad procedure for program"sv,                        // EPROCUNAVAIL
    "No locks available"sv,                               // ENOLCK
    "Function not implemented"sv,                         // ENOSYS
    "Inappropriate file type or format"sv,                // EFTYPE
    "Authentication error"sv,                             // EAUTH 80
    "Need authenticator"sv,                               // ENEEDAUTH
    "Device power is off"sv,                              // EPWROFF
    "Device error"sv,                                     // EDEVERR
    "Value too large to be stored in data type"sv,        // EOVERFLOW
    "Bad executable (or shared library)"sv,               // EBADEXEC 85
    "Bad CPU type in executable"sv,                       // EBADARCH
    "Shared library version mismatch"sv,                  // ESHLIBVERS
    "Malformed Mach-o file"sv,                            // EBADMACHO
    "Operation canceled"sv,                               // ECANCELED
    "Identifier removed"sv,                               // EIDRM 90
    "No message of desired type"sv,                       // ENOMSG
    "Illegal byte sequence"sv,                            // EILSEQ
    "Attribute not found"sv,                              // ENOATTR
    "Bad message"sv,                                      // EBADMSG
    "EMULTIHOP (Reserved)"sv,                             // EMULTIHOP 95
    "No message available on STREAM"sv,                   // ENODATA
    "ENOLINK (Reserved)"sv,                               // ENOLINK
    "No STREAM resources"sv,                              // ENOSR
    "Not a STREAM"sv,                                     // ENOSTR
    "Protocol error"sv,                                   // EPROTO 100
    "STREAM ioctl timeout"sv,                             // ETIME
    "Operation not supported on socket"sv,                // EOPNOTSUPP
    "Policy not found"sv,                                 // ENOPOLICY
    "State not recoverable"sv,                            // ENOTRECOVERABLE
    "Previous owner died"sv,                              // EOWNERDEAD 105
    "Interface output queue is full"sv,                   // EQFULL 106
};
static_assert(kErrnoTexts.size() == 106);

struct Signal {
    std::string_view name, text;
};

// Index 0 is signal 1. The texts are macOS's, in the title case of the log
// tool's "[sigsegv: Segmentation Fault]", acronyms kept in capitals.
constexpr std::array<Signal, 31> kSignals = {{
    {"sighup"sv, "Hangup"sv},
    {"sigint"sv, "Interrupt"sv},
    {"sigquit"sv, "Quit"sv},
    {"sigill"sv, "Illegal Instruction"sv},
    {"sigtrap"sv, "Trace/BPT Trap"sv},  // 5
    {"sigabrt"sv, "Abort Trap"sv},
    {"sigemt"sv, "EMT Trap"sv},
    {"sigfpe"sv, "Floating Point Exception"sv},
    {"sigkill"sv, "Killed"sv},
    {"sigbus"sv, "Bus Error"sv},  // 10
    {"sigsegv"sv, "Segmentation Fault"sv},
    {"sigsys"sv, "Bad System Call"sv},
    {"sigpipe"sv, "Broken Pipe"sv},
    {"sigalrm"sv, "Alarm Clock"sv},
    {"sigterm"sv, "Terminated"sv},  // 15
    {"sigurg"sv, "Urgent I/O Condition"sv},
    {"sigstop"sv, "Suspended (Signal)"sv},
    {"sigtstp"sv, "Suspended"sv},
    {"sigcont"sv, "Continued"sv},
    {"sigchld"sv, "Child Exited"sv},  // 20
    {"sigttin"sv, "Stopped (TTY Input)"sv},
    {"sigttou"sv, "Stopped (TTY Output)"sv},
    {"sigio"sv, "I/O Possible"sv},
    {"sigxcpu"sv, "Cputime Limit Exceeded"sv},
    {"sigxfsz"sv, "Filesize Limit Exceeded"sv},  // 25
    {"sigvtalrm"sv, "Virtual Timer Expired"sv},
    {"sigprof"sv, "Profiling Timer Expired"sv},
    {"sigwinch"sv, "Window Size Changes"sv},
    {"siginfo"sv, "Information Request"sv},
    {"sigusr1"sv, "User Defined Signal 1"sv},  // 30
    {"sigusr2"sv, "User Defined Signal 2"sv},
}};

}  // namespace

std::string_view errnoText(qint64 number)
{
    return number >= 1 && number <= qint64(kErrnoTexts.size()) ? kErrnoTexts[number - 1] : std::string_view();
}

std::string_view signalName(qint64 number)
{
    return number >= 1 && number <= qint64(kSignals.size()) ? kSignals[number - 1].name : std::string_view();
}

std::string_view signalText(qint64 number)
{
    return number >= 1 && number <= qint64(kSignals.size()) ? kSignals[number - 1].text : std::string_view();
}

}  // namespace Unified::Darwin
