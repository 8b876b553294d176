// Unified-log message composition: an os_log format string and the arguments
// its tracepoint recorded, composed as the Mac's log tool shows them. The
// table's cases are written to an archive, one entry each, and read back.

#include "logs/LogQuery.h"
#include "logs/unified/MessageFormat.h"
#include "tools/archivewriter/ArchiveWriter.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Kind = Unified::Argument::Kind;
using namespace std::string_literals;

// An argument that owns its bytes.
struct Arg {
    Kind kind = Kind::scalar;
    std::string bytes;
    bool null = false;
};

struct Case {
    const char* name;
    std::string format;
    std::vector<Arg> args;
    std::string expected;
};

std::string le(quint64 v, int size)
{
    std::string b;
    for (int i = 0; i < size; ++i)
        b += char(v >> (8 * i));
    return b;
}

// "fe 80 00 01" to its bytes.
std::string hex(const char* text)
{
    std::string b;
    for (const char* p = text; p[0] && p[1]; p += p[0] == ' ' ? 1 : 2)
        if (p[0] != ' ')
            b += char(std::stoi(std::string(p, 2), nullptr, 16));
    return b;
}

Arg i8(int v) { return {Kind::scalar, le(quint64(v), 1)}; }
Arg i16(int v) { return {Kind::scalar, le(quint64(v), 2)}; }
Arg i32(qint64 v) { return {Kind::scalar, le(quint64(v), 4)}; }
Arg i64(qint64 v) { return {Kind::scalar, le(quint64(v), 8)}; }
Arg u64(quint64 v) { return {Kind::scalar, le(v, 8)}; }
Arg prec(int v) { return {Kind::precision, le(quint64(v), 4)}; }
Arg flt(float v)
{
    quint32 b;
    std::memcpy(&b, &v, 4);
    return {Kind::scalar, le(b, 4)};
}
Arg dbl(double v)
{
    quint64 b;
    std::memcpy(&b, &v, 8);
    return {Kind::scalar, le(b, 8)};
}
Arg str(std::string s) { return {Kind::string, std::move(s)}; }
Arg obj(std::string s) { return {Kind::object, std::move(s)}; }
Arg data(std::string s) { return {Kind::data, std::move(s)}; }
Arg redacted() { return {Kind::redacted, {}}; }
Arg missing() { return {Kind::missing, {}}; }
Arg nullOf(Kind k) { return {k, {}, true}; }

// UTF-32LE of code points, for "%S".
std::string wide(std::initializer_list<quint32> cps)
{
    std::string b;
    for (quint32 cp : cps)
        b += le(cp, 4);
    return b;
}

const std::string M = std::string(Unified::kMismatchedArgumentText);
const std::string D = std::string(Unified::kMissingDataText);
const std::string I = std::string(Unified::kInvalidValueText);
const std::string in6Example = hex("fe80 0000 0000 0000 000f 86ff fee9 5c16");
const std::string when = le(1452627697, 8);  // 2016-01-12 19:41:37 UTC

const Case kCases[] = {
    {"literal and %%", "100%% of %%d", {}, "100% of %d"},
    {"signed", "%d %i %d", {i32(-5), i32(42), i32(2147483647)}, "-5 42 2147483647"},
    {"unsigned, octal, hex", "%u %o %x %X", {i32(-1), i32(8), i32(255), i32(255)}, "4294967295 10 ff FF"},
    {"alternate forms", "%#x %#X %#o %#x %#o %#.0o", {i32(255), i32(255), i32(8), i32(0), i32(0), i32(0)}, "0xff 0XFF 010 0 0 0"},
    {"pointer", "%p %p", {u64(0x7fcbf77bca21), u64(0)}, "0x7fcbf77bca21 0x0"},
    {"width, flags", "%5d|%-5d|%05d|%+d|% d|%+d", {i32(42), i32(42), i32(42), i32(42), i32(42), i32(-42)}, "   42|42   |00042|+42| 42|-42"},
    {"integer precision", "%.3d|%6.3d|%-6.3d|%06.3d|%.0d|%.0x|", {i32(7), i32(7), i32(7), i32(7), i32(0), i32(0)}, "007|   007|007   |   007|||"},
    {"zeros after the prefix", "%#010x|%#-8x|%'d", {i32(255), i32(255), i32(1234567)}, "0x000000ff|0xff    |1234567"},
    {"network change note", "(%s: %ld.%6.6d: 0x%x)", {str("delayed"), i64(0), i32(1), i32(2)}, "(delayed: 0.000001: 0x2)"},
    {"star width and precision", "%*d|%-*d|%*d|%.*d|%*.*s|%.*s|%*d", {prec(4), i32(7), prec(4), i32(7), prec(-4), i32(7), prec(3), i32(7), prec(5), prec(2), str("abc"), prec(-1), str("abc"), i32(3), i32(1)}, "   7|7   |7   |007|   ab|abc|  1"},
    {"literal precision wins", "%.16s|%.2s|%d", {prec(16), str("hi"), prec(99), str("abcdef"), i32(5)}, "hi|ab|5"},
    {"width and precision clamp", "%99999d%.99999u", {i32(1), i32(1)}, std::string(4095, ' ') + "1" + std::string(4095, '0') + "1"},
    {"hh and h", "%hhd|%hhu|%hd|%hu|%hhx", {i32(0x1ff), i32(0x1ff), i32(0x18000), i32(0x18000), i32(-1)}, "-1|255|-32768|32768|ff"},
    {"64-bit modifiers", "%ld %lld %qd %jd %zu %tx", {i64(-1), i64(-1), i64(-1), i64(-1), i64(-1), i64(-1)}, "-1 -1 -1 -1 18446744073709551615 ffffffffffffffff"},
    {"argument size", "%d|%lu|%ld|%x|%d|%d", {i64(0x100000005), i32(-1), i32(-1), i8(-1), i8(-1), i16(-2)}, "5|4294967295|-1|ff|-1|-2"},
    {"D O U", "%D %O %U", {i64(-5000000000), i64(8), i64(-1)}, "-5000000000 10 18446744073709551615"},
    {"characters", "%c|%3c|%-3c|%c|%C|%lc|%2C|", {i32('A'), i32('b'), i32('c'), i32(0x141), i32(0x1F600), i32(0xE9), i32(0xD800)}, "A|  b|c  |A|\xF0\x9F\x98\x80|\xC3\xA9| \xEF\xBF\xBD|"},
    {"floats", "%f %e %g %.2f %Lf", {dbl(1.5), dbl(1.5), dbl(1.5), flt(2.5f), dbl(1.5)}, "1.500000 1.500000e+00 1.5 2.50 1.500000"},
    {"float styles", "%E|%G|%.3g|%g|%g|%g", {dbl(1e-10), dbl(1e-10), dbl(1234567), dbl(100000), dbl(1e6), dbl(1e-4)}, "1.000000E-10|1E-10|1.23e+06|100000|1e+06|0.0001"},
    {"float flags", "%08.3f|%-10.2e|%+.1f|% .1f|%#.0f|%#g|%#.3g|%#g|%#.0e", {dbl(-3.14159), dbl(1234.5), dbl(2), dbl(2), dbl(3), dbl(1.5), dbl(2), dbl(1e-4), dbl(5)}, "-003.142|1.23e+03  |+2.0| 2.0|3.|1.50000|2.00|0.000100000|5.e+00"},
    {"alternate %g far from 1", "%#g|%#g", {dbl(1e-5), dbl(123456789)}, "1.00000e-05|1.23457e+08"},
    {"hex floats", "%a|%A|%.1a|%010a", {dbl(1), dbl(-0.5), dbl(1.75), dbl(1)}, "0x1p+0|-0X1P-1|0x1.cp+0|0x00001p+0"},
    {"infinities and NaN", "%f|%F|%+f|%05f|%E", {dbl(INFINITY), dbl(-INFINITY), dbl(NAN), dbl(INFINITY), dbl(-NAN)}, "inf|-INF|nan|  inf|NAN"},
    {"strings", "%s|%@|%s|%s|%{public}-22s: OFF", {str("hello"), obj("<NSObject: 0x1>"), data("as text"), str("ab\0cd"s), str("SFIManagedFocal")}, "hello|<NSObject: 0x1>|as text|ab|SFIManagedFocal       : OFF"},
    {"UTF-8 precision and width", "%.2s|%.3s|%6s|%-3s|%s|%.1s", {str("h\xC3\xA9llo"), str("h\xC3\xA9llo"), str("h\xC3\xA9llo"), str("\xC3\xA9"), str("a\xFF b"), str("a\x80z")}, "h|h\xC3\xA9| h\xC3\xA9llo|\xC3\xA9  |a\xFF b|a"},
    {"wide strings", "%S|%ls|%.2S|%.1S|%3S", {data(wide({'h', 0xE9, 0x1F600})), data(wide({'a', 0, 'b'})), data(wide({0xE9, 'a'})), data(wide({0xE9})), data(wide({'x'}))}, "h\xC3\xA9\xF0\x9F\x98\x80|a|\xC3\xA9||  x"},
    {"binary data", "%P|%{public}.3P", {data(hex("01 02 ab")), data(hex("00 ff 10"))}, "0102AB|00FF10"},
    {"errno text", "%m|%m|%m|%m|%-28m|%m", {i32(65), i32(60), i32(0), i32(200), i32(1), i32(-1)}, "No route to host|Operation timed out|Undefined error: 0|Unknown error: 200|Operation not permitted     |"
                                                                                                  "Unknown error: -1"},
    {"not shown as values", "%n|%b|%5.2hy|%d|%{public", {i32(7)}, "%n|%b|%5.2hy|7|%{public"},
    {"trailing percent", "50%", {}, "50%"},
    {"privacy", "%{private}s|%{private}d|%{public}@|%{sensitive}d|%{public, name=count}d|%{Name:x}u", {redacted(), redacted(), obj("x"), i32(1), i32(2), i32(3)}, "<private>|<private>|x|1|2|3"},
    {"null", "%s|%@|%P|%8s|%{time_t}s|%S", {nullOf(Kind::string), nullOf(Kind::object), nullOf(Kind::data), nullOf(Kind::string), nullOf(Kind::data), nullOf(Kind::data)}, "(null)|(null)|(null)|  (null)|(null)|(null)"},
    {"missing data", "%*d %d %s %*d %{bool}d", {missing(), i32(5), i32(1), missing()}, D + " 1 " + D + " " + D + " " + D},
    {"more arguments than conversions", "%d", {i32(1), i32(2)}, "1"},
    {"mismatched arguments", "%d|%40s|%f|%c|%d|%*d|%P", {str("x"), i32(1), i16(1), str("y"), data("abc"), str("3"), i32(1), i32(2)}, M + "|" + M + "|" + M + "|" + M + "|" + M + "|" + M + "|" + M},
    {"bool", "%{bool}d %{bool}d %{BOOL}d %{BOOL}d %{bool}hhd", {i32(1), i32(0), i32(2), i32(0), i32(0x100)}, "true false YES NO false"},
    {"bytes", "%{bytes}d|%{bytes}d|%{bytes}d|%{bytes}d|%{bytes}d|%{bytes}lld|%{bytes}d", {i32(999), i32(4720), i32(9999), i32(45100), i32(123456), i64(999999), i32(-4720)}, "999 bytes|4.72 kB|10.0 kB|45.1 kB|123 kB|1.00 MB|-4.72 kB"},
    {"iec-bytes", "%{iec-bytes}d|%{iec-bytes}d|%{iec-bytes}llu", {i32(1023), i32(4720), u64(~0ull)}, "1023 bytes|4.61 KiB|16.0 EiB"},
    {"bit rates", "%{bitrate}d|%{bitrate}d|%{iec-bitrate}d|%{iec-bitrate}d", {i32(999), i32(123000), i32(121000), i32(1048575)}, "999 bps|123 kbps|118 Kibps|1.00 Mibps"},
    {"errno", "%{darwin.errno}d|%{errno}d|%{errno}d|%{errno}d|%{errno}d", {i32(32), i32(1), i32(106), i32(107), i32(-1)}, "[32: Broken pipe]|[1: Operation not permitted]|[106: Interface output queue is full]|"
                                                                                                                          "[107: Unknown error: 107]|[-1: Unknown error: -1]"},
    {"mode", "%{darwin.mode}o|%{darwin.mode}o|%{darwin.mode}o|%{darwin.mode}o|"
             "%{darwin.mode}o|%{darwin.mode}o|%{darwin.mode}o",
     {i32(040755), i32(0104755), i32(04644), i32(041777), i32(0122640), i32(01644), i32(0644)},
     "drwxr-xr-x|-rwsr-xr-x|-rwSr--r--|drwxrwxrwt|lrw-r-S---|-rw-r--r-T|-rw-r--r--"},
    {"signal", "%{darwin.signal}d|%{darwin.signal}d|%{darwin.signal}d|%{darwin.signal}d", {i32(11), i32(1), i32(31), i32(32)}, "[sigsegv: Segmentation Fault]|[sighup: Hangup]|[sigusr2: User Defined Signal 2]|[32: Unknown signal: 32]"},
    {"in_addr", "%{network:in_addr}d|%{in_addr}.4P|%{in_addr}P", {i32(0x0100007f), data(hex("0a 00 00 01")), data("abcde")}, "127.0.0.1|10.0.0.1|" + M},
    {"in6_addr", "%{network:in6_addr}P|%{in6_addr}P|%{in6_addr}P|%{in6_addr}P|%{in6_addr}P|%{in6_addr}P|%{in6_addr}P", {data(in6Example), data(hex("2001 0db8 0000 0000 0001 0000 0000 0000")), data(hex("2001 0000 0000 0001 0000 0000 0001 0001")), data(hex("2001 0db8 0000 0001 0001 0001 0001 0001")), data(std::string(16, '\0')), data(hex("0000 0000 0000 0000 0000 0000 0000 0001")), data(hex("0000 0000 0000 0000 0000 ffff c000 0201"))}, "fe80::f:86ff:fee9:5c16|2001:db8:0:0:1::|2001::1:0:0:1:1|2001:db8:0:1:1:1:1:1|::|::1|::ffff:192.0.2.1"},
    {"sockaddr", "%{network:sockaddr}P|%{sockaddr}P|%{sockaddr}P|%{sockaddr}P|%{sockaddr}P|%{sockaddr}P", {data(hex("10 02 0050 c0000201 0000000000000000")), data(hex("1c 1e 0050 00000000") + in6Example + le(0, 4)), data(hex("6a 01 2f746d70")), data(hex("10 02 0050")), data(hex("10 1e 0050 00000000") + in6Example), data("\x10")}, "192.0.2.1|fe80::f:86ff:fee9:5c16|<decode: unsupported address family 1>|" + I + "|" + I + "|" + M},
    {"times", "%{time_t}d|%{time_t}ld|%{timespec}P|%{timeval}P|%{timespec}P", {i32(1452627697), i64(-1), data(when + le(238238282, 8)), data(when + le(774236, 8)), data(when + le(1000000000, 8))}, "2016-01-12 19:41:37|1969-12-31 23:59:59|2016-01-12 19:41:37.238238282|2016-01-12 19:41:37.774236|" + I},
    {"uuid", "%{public,uuid_t}.16P|%{uuid_t}P|%{uuid_t}d", {data(hex("10742E39065741F8AB99878C5EC2DCAA")), data(hex("10742E39065741F8AB99878C5EC2DC")), i32(5)}, "10742E39-0657-41F8-AB99-878C5EC2DCAA|" + M + "|" + M},
    {"mask hash", "%{private, mask.hash, mdnsresponder:ip_addr}.20P|%{mask.hash}s %{mask.hash}s|%{private,mask.hash}P", {data(hex("1d1fd3fbe9a6466ab7327fb6986102b2")), str("a"), str("ab"), redacted()}, "<mask.hash: 'HR/T++mmRmq3Mn+2mGECsg=='>|<mask.hash: 'YQ=='> <mask.hash: 'YWI='>|<private>"},
    {"decoders and privacy", "%{private, bool}d|%{errno, private}d|%{bool}s", {redacted(), i32(32), str("x")}, "<private>|[32: Broken pipe]|" + M},
    {"unknown decoders", " ResultCount=%{public, signpost.telemetry:number1, Name:ResultCount}ld %{odtypes:mbridtype}d", {i64(0), i32(4)}, " ResultCount=0 4"},
};

// An argument as a tracepoint's data item holds it. Missing data is an item
// whose range does not fit.
ArchiveWriter::Argument item(const Arg& a)
{
    using Where = ArchiveWriter::Argument::Where;
    const QByteArray bytes = QByteArray::fromStdString(a.bytes);
    switch (a.kind) {
    case Kind::scalar: return {0x02, Where::inlineData, bytes};
    case Kind::precision: return {0x12, Where::inlineData, bytes};
    case Kind::string: return {0x22, Where::valueData, a.null ? QByteArray() : bytes + '\0'};
    case Kind::object: return {0x42, Where::valueData, a.null ? QByteArray() : bytes + '\0'};
    case Kind::data: return {0x32, Where::valueData, bytes};
    case Kind::redacted: return {0x41, Where::privateData, {}};
    case Kind::missing: break;
    }
    return {0x22, Where::inlineData, QByteArray(2, '\0')};
}

// The messages of kCases, written as one archive and read back in order.
QStringList throughAnArchive(const QString& path)
{
    namespace AW = ArchiveWriter;
    const QUuid image{QStringLiteral("A0000000-0000-4000-8000-0000000000D1")};
    AW::Bundle bundle;
    bundle.images = {{image, "/usr/libexec/formatd", {}}};
    bundle.processes = {{1, 1, 100, 0, image, std::nullopt, {}, {}}};
    AW::File file;
    file.path = QStringLiteral("Persist/0000000000000001.tracev3");
    quint32 offset = 0x1000;
    for (const Case& c : kCases) {
        bundle.images[0].strings[offset] = QByteArray::fromStdString(c.format);
        AW::Entry e;
        e.continuousTime = quint64(file.entries.size() + 1) * 1000000000;
        e.formatOffset = offset;
        for (const Arg& a : c.args)
            e.arguments.push_back(item(a));
        file.entries.push_back(e);
        offset += quint32(c.format.size() + 1);
    }
    bundle.files = {file};
    if (AW::writeBundle(bundle, path).error)
        return {};
    QStringList messages;
    for (const LogEntry& e : queryEntries(kDistantPast, 4e9, path).entries)
        messages << e.message;
    return messages;
}

std::string compose(const std::string& format, const std::vector<Arg>& args)
{
    std::vector<Unified::Argument> views;
    for (const Arg& a : args)
        views.push_back({a.kind, a.bytes, a.null});
    return Unified::composeMessage(format, views);
}

}  // namespace

class TestUnifiedFormat : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_messages = throughAnArchive(m_dir.filePath(QStringLiteral("formats.logarchive")));
        QCOMPARE(m_messages.size(), qsizetype(std::size(kCases)));
    }

    void compose_data()
    {
        QTest::addColumn<int>("row");
        for (int i = 0; i < int(std::size(kCases)); ++i)
            QTest::newRow(kCases[i].name) << i;
    }

    void compose()
    {
        QFETCH(int, row);
        const Case& c = kCases[row];
        QCOMPARE(m_messages[row], QString::fromUtf8(c.expected));
    }

    // The cap ends the text with "…" on a character boundary, wherever the
    // text comes from; a message just at the cap is whole.
    void cap()
    {
        const std::size_t cap = Unified::kMaxMessageBytes;
        std::string e;
        for (std::size_t i = 0; i < cap / 2 + 10; ++i)
            e += "\xC3\xA9";
        std::string cutE;
        for (std::size_t i = 0; i < (cap - 3) / 2; ++i)
            cutE += "\xC3\xA9";
        QVERIFY(::compose("%s", {str(e)}) == cutE + "…");
        QVERIFY(::compose(std::string(cap + 1, 'x'), {}) == std::string(cap - 3, 'x') + "…");
        QVERIFY(::compose("%.3s%s", {str("abc"), str(std::string(cap - 3, 'y'))}) == "abc" + std::string(cap - 3, 'y'));
        std::string zs = wide({0xE9});
        for (std::size_t i = 0; i < cap; ++i)
            zs += le('z', 4);
        const std::string wideCut = ::compose("x%S", {data(zs)});
        QCOMPARE(wideCut.size(), cap);
        QVERIFY(wideCut.ends_with("z…"));
    }

    // Random operators and arguments: no crash, and the text stays within the cap.
    void anyInput()
    {
        static const char* const pieces[] = {"%", "{", "}", "public", "bool", ",", "time_t", "in6_addr", "sockaddr",
                                             "mask.hash", "timespec", "*", ".", "-", "0", "#", "9", "l", "h", "d",
                                             "s", "S", "P", "@", "f", "a", "g", "m", "x", "c", "C", "%%", "x"};
        QRandomGenerator rng(7);
        for (int round = 0; round < 20000; ++round) {
            std::string format;
            for (int n = rng.bounded(12); n-- > 0;)
                format += pieces[rng.bounded(int(std::size(pieces)))];
            std::vector<Arg> args(rng.bounded(5));
            for (Arg& a : args) {
                a.kind = Kind(rng.bounded(7));
                a.null = rng.bounded(8) == 0;
                static const int sizes[] = {0, 1, 2, 3, 4, 8, 16, 28};
                for (int n = sizes[rng.bounded(8)]; n-- > 0;)
                    a.bytes += char(rng.bounded(256));
            }
            QVERIFY(::compose(format, args).size() <= Unified::kMaxMessageBytes);
        }
    }

private:
    QTemporaryDir m_dir;
    QStringList m_messages;
};

QTEST_GUILESS_MAIN(TestUnifiedFormat)
#include "test_unified_format.moc"
