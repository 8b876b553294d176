// The named values of sample messages: numbers in realistic ranges, data
// (addresses, UUIDs, times), texts made per message, and long descriptions
// that need oversize chunks. The plain word lists are in SampleTexts.cpp.

#include "tools/samplebundle/SampleValues.h"

#include <QList>
#include <QString>

namespace SampleBundle {

namespace {

// RunningBoard's assertion descriptions: a few attributes, or many, past
// what a firehose page holds.
QByteArray assertionDescription(int variant)
{
    static const char* const reasons[] = {"FinishTaskUninterruptable", "BasicAppLaunch", "Foreground", "ConnectedToExtension",
                                          "InheritedFromClient", "DelayedLaunch", "AudioPlayback", "MediaPlayback"};
    static const char* const targets[] = {"app<application.com.apple.Safari.3524172.3524178(501)>",
                                          "xpcservice<com.apple.WebKit.WebContent([app<application.com.apple.Safari.3524172.3524178(501)>:1184])(501)>",
                                          "daemon<com.apple.cloudd(501)>", "app<application.com.tinyspeck.slackmacgap.3540121.3540127(501)>"};
    const int attributes = variant < 6 ? 1 + variant % 3 : 8 + 5 * (variant - 6);
    QByteArray d = "<RBSAssertionDescriptor| \"" + QByteArray(reasons[variant % 8]) + "\" ID:188-" +
                   QByteArray::number(1184 + 37 * variant) + "-" + QByteArray::number(26715 + 11 * variant) +
                   " target:" + targets[variant % 4] + " attributes:[\n";
    for (int i = 0; i < attributes; ++i) {
        d += i % 3 == 2 ? "\t<RBSAcquisitionCompletionAttribute| policy:AfterValidation>,\n"
                        : "\t<RBSDomainAttribute| domain:\"com.apple.common\" name:\"" + QByteArray(reasons[(variant + i) % 8]) +
                              "\" sourceEnvironment:\"(null)\">,\n";
    }
    return d + "\t]>";
}

// A CoreAnalytics-style event: a few fields, or a few hundred.
QByteArray analyticsEvent(int variant)
{
    static const char* const events[] = {"com.apple.Safari.PageLoad", "com.apple.Safari.TabSwitch", "com.apple.Safari.Extensions"};
    QByteArray e = "{\"name\":\"" + QByteArray(events[variant % 3]) + "\",\"payload\":{";
    const int fields = variant < 3 ? 4 : 40 * variant;
    for (int i = 0; i < fields; ++i)
        e += (i ? "," : "") + QByteArray("\"metric") + QByteArray::number(i) + "\":" + QByteArray::number((i * 7919 + variant) % 10007);
    return e + "}}";
}

// Core Data's SQL: short lookups, and the wide fetches of a mail store.
QByteArray sqlStatement(int variant)
{
    static const char* const columns[] = {"ZDATERECEIVED", "ZDATESENT", "ZSUBJECT", "ZSENDER", "ZMAILBOX", "ZFLAGS", "ZSIZE",
                                          "ZCONVERSATIONID", "ZREMOTEID", "ZMESSAGEID", "ZREADLATER", "ZSNOOZEDUNTIL"};
    if (variant < 3) {
        return "SELECT t0.Z_PK, t0.Z_OPT, t0." + QByteArray(columns[variant]) + " FROM ZMESSAGE t0 WHERE t0.Z_PK = ?";
    }
    QByteArray q = "SELECT t0.Z_ENT, t0.Z_PK, t0.Z_OPT";
    for (int repeat = 0; repeat < variant * 3; ++repeat)
        for (const char* c : columns)
            q += ", t" + QByteArray::number(repeat) + "." + c;
    return q + " FROM ZMESSAGE t0 LEFT OUTER JOIN ZMAILBOX t1 ON t0.ZMAILBOX = t1.Z_PK WHERE t1.ZURL = ? ORDER BY t0.ZDATERECEIVED DESC LIMIT 200";
}

}  // namespace

void Values::addSources()
{
    const auto add = [&](const char* name, Gen gen, double lo = 0, double hi = 0) {
        m_sources.push_back({name, gen, lo, hi, {}, {}});
    };
    const auto ints = [&](const char* name, std::initializer_list<qint64> values) {
        m_sources.push_back({name, Gen::choice, 0, 0, values, {}});
    };
    const auto generated = [&](const char* name, QByteArray (*make)(int), int count) {
        Source s{name, Gen::text, 0, 0, {}, {}};
        for (int i = 0; i < count; ++i)
            s.texts.push_back(make(i) + '\0');
        m_sources.push_back(std::move(s));
    };

    // Numbers.
    add("n", Gen::range, 0, 20);
    add("n100", Gen::range, 0, 100);
    add("n1k", Gen::range, 0, 999);
    add("n64k", Gen::range, 0, 65535);
    add("pct", Gen::range, 0, 100);
    add("port", Gen::range, 49152, 65535);
    add("fd", Gen::range, 3, 255);
    add("bool", Gen::range, 0, 1);
    add("hex8", Gen::range, 0, 0xff);
    add("hex16", Gen::range, 0, 0xffff);
    add("hex32", Gen::range, 0, 0xffffffff);
    add("hex64", Gen::range, 0x10000, 0xffffffffffff);
    add("rssi", Gen::range, -88, -38);
    add("amps", Gen::range, -3200, 2400);
    add("volt", Gen::range, 11400, 13100);
    add("char", Gen::range, 'A', 'Z');
    add("pid2", Gen::range, 100, 99999);
    add("ms", Gen::logRange, 1, 5000);
    add("kb", Gen::logRange, 2000, 4000000);
    add("bytes", Gen::logRange, 200, 12e9);
    add("rate", Gen::logRange, 1e5, 1.2e9);
    add("pid", Gen::otherPid);
    add("mypid", Gen::selfPid);
    add("time", Gen::time, -600, 0);
    add("future", Gen::time, 600, 3 * 86400);
    add("ptr", Gen::pointer);
    add("len", Gen::length);
    add("same", Gen::same);
    ints("uid", {0, 501, 501, 88, 65, 205, 202, 282});
    ints("errno", {1, 2, 4, 5, 9, 13, 17, 22, 35, 49, 50, 51, 54, 57, 60, 61, 64, 65, 89});
    ints("sig", {1, 2, 3, 6, 9, 9, 11, 13, 15, 15, 30, 31});
    ints("mode", {0100644, 0100600, 0100755, 040755, 040700, 0120755, 041777, 0104755});
    ints("chan", {1, 6, 11, 36, 44, 48, 149, 153, 157, 161});
    ints("nserr", {-1001, -1004, -1005, -1009, -1200, -999, -1003, -1011});
    ints("kr", {0x10000003, 0x10000004, 0xe00002c2, 0xe00002bc, 0xe00002c7, 5});
    ints("prio", {0, 5, 17, 25, 31});
    ints("httpstatus", {200, 200, 200, 200, 204, 301, 304, 404, 500});
    ints("dispid", {1, 2, 3});
    ints("secerr", {-25300, -25299, -25308, -25293, -34018});
    ints("oderr", {2100, 5000, 4001, 5103});
    ints("wchar", {0xE9, 0xFC, 0xF1, 0x4E2D, 0x1F600, 0x20AC});
    ints("rrtype", {1, 28, 65, 5, 12, 33});
    ints("fps", {120, 60, 48, 24, 90});
    ints("srate", {44100, 48000, 96000});
    ints("timeout", {60, 300, 604800});
    add("msf", Gen::real, 0.4, 850);
    add("secs", Gen::real, 0.002, 12);
    add("pctf", Gen::real, 0, 100);
    add("coord", Gen::real, 0, 2400);
    add("size", Gen::real, 40, 1800);
    add("ratio", Gen::real, 0, 1);
    add("temp", Gen::real, 31, 88);
    add("lux", Gen::real, 0, 1200);
    add("nits", Gen::real, 20, 500);
    add("hacc", Gen::real, 5, 65);
    add("lat", Gen::real, 37.30, 37.35);
    add("lon", Gen::real, -122.05, -122.00);
    add("hours", Gen::real, 1, 24);

    // Data.
    add("uuid", Gen::random16);
    add("hash", Gen::random16);
    add("blob", Gen::random16);
    add("ip4", Gen::ip4);
    add("ip6", Gen::ip6);
    add("sa", Gen::sockaddr);
    add("ts", Gen::timespec);
    add("tv", Gen::timeval);
    {
        Source wide{"widetitle", Gen::wide, 0, 0, {}, {}};
        for (const char* title : {"vellacord — zsh — 120×40", "alex@MacBook-Air ~ % make", "Übersicht — ssh"}) {
            QByteArray b;
            for (const char32_t c : QString::fromUtf8(title).toUcs4())
                b.append(char(c & 0xff)).append(char(c >> 8 & 0xff)).append(char(c >> 16 & 0xff)).append('\0');
            wide.texts.push_back(b + QByteArray(4, '\0'));
        }
        m_sources.push_back(std::move(wide));
    }

    // Texts made per message.
    add("proc", Gen::otherName);
    add("uuidtext", Gen::uuidText);
    add("hex8text", Gen::hexText, 8);
    add("qid", Gen::hexText, 8);
    add("odrid", Gen::hexText, 8);
    add("sha", Gen::hexText, 64);
    add("null", Gen::textOrNull);  // always NULL: it has no texts
    generated("rbsdesc", assertionDescription, 9);
    generated("analytics", analyticsEvent, 6);
    generated("sql", sqlStatement, 6);

    addTexts();
}

}  // namespace SampleBundle
