#pragma once

// The arguments of sample messages: a format string's conversions as os_log
// records them, and the named value sources ("pid", "errno", "svc", ...)
// that fill them with realistic values, encoded as tracepoint data items.

#include "tools/archivewriter/ArchiveWriter.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <string_view>
#include <vector>

namespace SampleBundle {

// splitmix64: fast, and the same numbers on every platform for a seed.
class Rng {
public:
    explicit Rng(quint64 seed) : m_state(seed) {}
    quint64 next()
    {
        quint64 z = (m_state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    double uniform() { return double(next() >> 11) * 0x1.0p-53; }
    quint64 below(quint64 n) { return n ? next() % n : 0; }
    bool chance(double p) { return uniform() < p; }

private:
    quint64 m_state;
};

quint64 mix(quint64 a, quint64 b);

enum class Category : quint8 { integer,
                               real,
                               text,
                               data,
                               wide };

// One conversion of a format string, with what its items look like.
struct Op {
    Category category = Category::integer;
    quint8 size = 4;         // scalars: 4 or 8 bytes
    bool isPrivate = false;  // explicitly or by default (strings, objects, data)
    bool sensitive = false;
    bool maskHash = false;
    bool object = false;  // "%@"
    bool widthStar = false;
    bool precisionStar = false;
    int literalPrecision = -1;  // recorded as an item, as the compiler does
};

// The conversions of an os_log format; an error names what is not one.
std::vector<Op> parseFormat(std::string_view format, QString* error);

// What a message's values may refer to: its time and the processes of its boot.
struct Context {
    double wall = 0;
    qint32 selfPid = 0;
    const std::vector<qint32>* pids = nullptr;  // by world process
    const std::vector<QByteArray>* names = nullptr;
    int other = -1;  // the process "proc" and "pid" name, chosen once
};

// How a named source makes its values.
enum class Gen : quint8 {
    literal,     // ints[0]
    range,       // an integer in [lo, hi]
    logRange,    // an integer in [lo, hi], small ones as likely as large ones per decade
    choice,      // one of ints
    real,        // a double in [lo, hi]
    text,        // one of texts (each NUL-terminated)
    textOrNull,  // one of texts, or a NULL pointer
    hexText,     // lo hex digits
    uuidText,    // a UUID's text
    otherPid,    // the process that "proc" names
    otherName,
    selfPid,
    time,  // a time_t from lo to hi seconds after the message
    timespec,
    timeval,
    random16,  // uuid_t, mask.hash and other 16-byte data
    ip4,       // an in_addr_t: the address bytes in memory order
    ip6,
    sockaddr,
    wide,     // one of texts as UTF-32LE
    pointer,  // a heap address
    length,   // "*" of the next item: its length
    same,     // the value before
};

class Values {
public:
    struct Source {
        QByteArray name;
        Gen gen = Gen::literal;
        double lo = 0, hi = 0;
        std::vector<qint64> ints;
        std::vector<QByteArray> texts;
    };

    Values();

    // The source named `name` ("=N" for a literal) for items of `category`;
    // an error when there is none or it yields another kind of value.
    std::optional<int> source(const QByteArray& name, Category category, QString* error);

    // The data items of one message. True when their bytes are many enough
    // for an oversize chunk.
    bool encode(const std::vector<Op>& ops, const std::vector<int>& sources, bool privateShown, Context& c, Rng& r,
                std::vector<ArchiveWriter::Argument>& out) const;

    // A binary property list of a flat dictionary of strings, as statedumps hold.
    static QByteArray binaryPlist(const std::vector<std::pair<QByteArray, QByteArray>>& entries);

private:
    struct Value {
        qint64 i = 0;
        double d = 0;
        QByteArray bytes;  // text with its NUL, or data
        bool null = false;
    };
    static Category categoryOf(Gen gen);
    void generate(const Source& s, Context& c, Rng& r, Value& v) const;
    // One op's "*" items and its written precision, `star` keeping the last star value.
    void encodeStars(const Op& op, int width, int precision, const Value& v, Context& c, Rng& r, Value& star,
                     std::vector<ArchiveWriter::Argument>& out) const;
    // One op's value item; returns the bytes it adds to the message's data.
    static qsizetype encodeValue(const Op& op, const Value& v, bool realSource, bool privateShown,
                                 std::vector<ArchiveWriter::Argument>& out);
    void addSources();  // SamplePools.cpp
    void addTexts();    // SampleTexts.cpp

    std::vector<Source> m_sources;
};

}  // namespace SampleBundle
