// vellacord-archive-writer DESCRIPTION.json OUTPUT_DIR
//
// Writes a unified-log archive from a JSON description that mirrors
// ArchiveWriter::Bundle (see kUsage below). Numbers may be JSON numbers or
// strings ("0x..." hex or decimal) for values past 2^53; UUIDs are text;
// byte strings are text (UTF-8). Fields left out take the structs' defaults.

#include "tools/archivewriter/ArchiveWriter.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtEndian>

#include <cstdio>

using namespace ArchiveWriter;

namespace {

const char kUsage[] = R"(usage: vellacord-archive-writer DESCRIPTION.json OUTPUT_DIR

DESCRIPTION.json:
{
  "images": [{"uuid": U, "path": "/usr/libexec/exampled", "strings": {"16": "hello %s", ...}}],
  "sharedCaches": [{"uuid": U, "version": 2, "images": [{"uuid": U, "path": P,
                    "textOffset": N, "textSize": N, "strings": {"OFFSET": "text", ...}}]}],
  "processes": [{"procIdFirst": N, "procIdSecond": N, "pid": N, "euid": N, "mainImage": U,
                 "sharedCache": U, "images": [{"uuid": U, "loadAddress": N, "size": N}],
                 "subsystems": [{"id": N, "subsystem": "com.example", "category": "general"}]}],
  "timesync": [{"boot": U, "timebaseNumer": N, "timebaseDenom": N, "bootWallNanos": N,
                "syncs": [[CONTINUOUS, WALL_NANOS], ...]}],
  "files": [{"path": "Persist/0000000000000001.tracev3", "boot": U, "timebaseNumer": N,
             "timebaseDenom": N, "bootWallSeconds": N, "bootWallMicros": N, "timeZoneMinutes": N,
             "entriesPerChunkset": 256, "chunksetsPerCatalog": 8, "compress": true,
             "entries": [ENTRY, ...]}]
}
ENTRY: {"kind": "log|activity|trace|signpost|loss|simpleDump|stateDump", "process": INDEX,
        "time": "2024-05-01T10:00:00.123456Z" (or "continuousTime": N),
        "logType": "default|info|debug|error|fault" or N, "thread": N, "activity": N,
        "subsystem": N, "strings": "mainExe|sharedCache|absolute|uuidRelative|largeSharedCache",
        "formatOffset": N, "dynamic": false, "pc": N, "loadAddressHigh": N, "image": U,
        "arguments": [ARG, ...], "oversize": "none|sameChunkset|earlierChunkset|missing",
        "backtrace": false, "senderImage": U, "sharedCacheImage": U, "loadAddress": N,
        "simpleSubsystem": S, "simpleMessage": S, "stateTitle": S, "stateData": S, "lostCount": N}
ARG: {"type": N, "where": "inlineData|valueData|privateData", and one of
      "string": S (UTF-8 and a NUL; valueData unless said), "hex": "0a1b" (inlineData unless said),
      "int32": N, "int64": N (little-endian, inlineData unless said)}
A "time" without a zone is UTC. N: a number, or a string in decimal or 0x hex.
)";

struct BadInput {
    QString message;
};

[[noreturn]] void bad(const QString& what) { throw BadInput{what}; }

quint64 number(const QJsonValue& v, const char* field)
{
    if (v.isDouble())
        return quint64(qint64(v.toDouble()));
    bool ok = false;
    const QString s = v.toString();
    const quint64 n = s.startsWith(QLatin1Char('-')) ? quint64(s.toLongLong(&ok, 0)) : s.toULongLong(&ok, 0);
    if (!ok)
        bad(QStringLiteral("%1 is not a number").arg(QLatin1String(field)));
    return n;
}

template <typename T>
void take(const QJsonObject& o, const char* field, T* out)
{
    const QJsonValue v = o.value(QLatin1String(field));
    if (v.isUndefined() || v.isNull())
        return;
    if constexpr (std::is_same_v<T, bool>) {
        *out = v.toBool();
    } else if constexpr (std::is_same_v<T, QByteArray>) {
        *out = v.toString().toUtf8();
    } else if constexpr (std::is_same_v<T, QString>) {
        *out = v.toString();
    } else if constexpr (std::is_same_v<T, QUuid>) {
        *out = QUuid::fromString(v.toString());
        if (out->isNull())
            bad(QStringLiteral("%1 is not a UUID").arg(QLatin1String(field)));
    } else {
        *out = T(number(v, field));
    }
}

template <typename Enum>
Enum named(const QJsonObject& o, const char* field, std::initializer_list<const char*> names, Enum fallback)
{
    const QString name = o.value(QLatin1String(field)).toString();
    if (name.isEmpty())
        return fallback;
    int i = 0;
    for (const char* n : names) {
        if (name == QLatin1String(n))
            return Enum(i);
        ++i;
    }
    bad(QStringLiteral("%1 \"%2\" is not known").arg(QLatin1String(field), name));
}

double wallSeconds(const QString& text)
{
    // QDateTime keeps milliseconds only: the fraction is read apart.
    static const QRegularExpression fraction(QStringLiteral("\\.(\\d+)"));
    static const QRegularExpression zone(QStringLiteral("(Z|[+-]\\d\\d:?\\d\\d)$"));
    QString base = text;
    double part = 0;
    if (const QRegularExpressionMatch m = fraction.match(text); m.hasMatch()) {
        part = (QStringLiteral("0.") + m.captured(1)).toDouble();
        base.remove(m.capturedStart(), m.capturedLength());
    }
    if (!zone.match(base).hasMatch())
        base += QLatin1Char('Z');
    const QDateTime t = QDateTime::fromString(base, Qt::ISODate);
    if (!t.isValid())
        bad(QStringLiteral("\"%1\" is not an ISO 8601 date").arg(text));
    return double(t.toSecsSinceEpoch()) + part;
}

Argument argument(const QJsonObject& o)
{
    Argument a;
    take(o, "type", &a.type);
    if (o.contains(QLatin1String("string"))) {
        a.where = Argument::Where::valueData;
        a.bytes = o.value(QLatin1String("string")).toString().toUtf8() + '\0';
    } else if (o.contains(QLatin1String("hex"))) {
        a.bytes = QByteArray::fromHex(o.value(QLatin1String("hex")).toString().toLatin1());
    } else if (o.contains(QLatin1String("int32"))) {
        const auto n = qToLittleEndian(quint32(number(o.value(QLatin1String("int32")), "int32")));
        a.bytes = QByteArray(reinterpret_cast<const char*>(&n), 4);
    } else if (o.contains(QLatin1String("int64"))) {
        const auto n = qToLittleEndian(number(o.value(QLatin1String("int64")), "int64"));
        a.bytes = QByteArray(reinterpret_cast<const char*>(&n), 8);
    }
    a.where = named(o, "where", {"inlineData", "valueData", "privateData"}, a.where);
    return a;
}

Entry entry(const QJsonObject& o, const File& file)
{
    Entry e;
    e.kind = named(o, "kind", {"log", "activity", "trace", "signpost", "loss", "simpleDump", "stateDump"}, e.kind);
    take(o, "process", &e.process);
    take(o, "continuousTime", &e.continuousTime);
    if (o.contains(QLatin1String("time")))
        e.continuousTime = continuousTimeAt(file, wallSeconds(o.value(QLatin1String("time")).toString()));
    static const QHash<QString, quint8> levels{{QStringLiteral("default"), 0}, {QStringLiteral("info"), 1}, {QStringLiteral("debug"), 2}, {QStringLiteral("error"), 0x10}, {QStringLiteral("fault"), 0x11}};
    const QJsonValue level = o.value(QLatin1String("logType"));
    if (level.isString() && levels.contains(level.toString()))
        e.logType = levels.value(level.toString());
    else
        take(o, "logType", &e.logType);
    take(o, "thread", &e.thread);
    if (o.contains(QLatin1String("activity")))
        e.activity = number(o.value(QLatin1String("activity")), "activity");
    if (o.contains(QLatin1String("subsystem")))
        e.subsystem = quint16(number(o.value(QLatin1String("subsystem")), "subsystem"));
    static const QHash<QString, StringsRef> strings{{QStringLiteral("mainExe"), StringsRef::mainExe},
                                                    {QStringLiteral("sharedCache"), StringsRef::sharedCache},
                                                    {QStringLiteral("absolute"), StringsRef::absolute},
                                                    {QStringLiteral("uuidRelative"), StringsRef::uuidRelative},
                                                    {QStringLiteral("largeSharedCache"), StringsRef::largeSharedCache}};
    if (o.contains(QLatin1String("strings")) && !strings.contains(o.value(QLatin1String("strings")).toString()))
        bad(QStringLiteral("strings \"%1\" is not known").arg(o.value(QLatin1String("strings")).toString()));
    e.strings = strings.value(o.value(QLatin1String("strings")).toString(), e.strings);
    take(o, "formatOffset", &e.formatOffset);
    take(o, "dynamic", &e.dynamic);
    take(o, "pc", &e.pc);
    take(o, "loadAddressHigh", &e.loadAddressHigh);
    take(o, "image", &e.image);
    for (const QJsonValue& a : o.value(QLatin1String("arguments")).toArray())
        e.arguments.push_back(argument(a.toObject()));
    e.oversize = named(o, "oversize", {"none", "sameChunkset", "earlierChunkset", "missing"}, e.oversize);
    take(o, "backtrace", &e.backtrace);
    take(o, "senderImage", &e.senderImage);
    take(o, "sharedCacheImage", &e.sharedCacheImage);
    take(o, "loadAddress", &e.loadAddress);
    take(o, "simpleSubsystem", &e.simpleSubsystem);
    take(o, "simpleMessage", &e.simpleMessage);
    take(o, "stateTitle", &e.stateTitle);
    take(o, "stateData", &e.stateData);
    take(o, "lostCount", &e.lostCount);
    return e;
}

template <typename Key>
std::map<Key, QByteArray> strings(const QJsonObject& o)
{
    std::map<Key, QByteArray> out;
    const QJsonObject map = o.value(QLatin1String("strings")).toObject();
    for (auto it = map.begin(); it != map.end(); ++it)
        out[Key(number(it.key(), "string offset"))] = it.value().toString().toUtf8();
    return out;
}

Bundle bundle(const QJsonObject& root)
{
    const auto each = [&](const QJsonObject& o, const char* field, auto&& f) {
        for (const QJsonValue& v : o.value(QLatin1String(field)).toArray())
            f(v.toObject());
    };
    Bundle b;
    each(root, "images", [&](const QJsonObject& o) {
        Image& i = b.images.emplace_back();
        take(o, "uuid", &i.uuid);
        take(o, "path", &i.path);
        i.strings = strings<quint32>(o);
    });
    each(root, "sharedCaches", [&](const QJsonObject& o) {
        SharedCache& c = b.sharedCaches.emplace_back();
        take(o, "uuid", &c.uuid);
        take(o, "version", &c.version);
        each(o, "images", [&](const QJsonObject& m) {
            SharedCache::Member& member = c.images.emplace_back();
            take(m, "uuid", &member.uuid);
            take(m, "path", &member.path);
            take(m, "textOffset", &member.textOffset);
            take(m, "textSize", &member.textSize);
            member.strings = strings<quint64>(m);
        });
    });
    each(root, "processes", [&](const QJsonObject& o) {
        Process& p = b.processes.emplace_back();
        take(o, "procIdFirst", &p.procIdFirst);
        take(o, "procIdSecond", &p.procIdSecond);
        take(o, "pid", &p.pid);
        take(o, "euid", &p.euid);
        take(o, "mainImage", &p.mainImage);
        if (o.contains(QLatin1String("sharedCache")))
            take(o, "sharedCache", &p.sharedCache.emplace());
        each(o, "images", [&](const QJsonObject& i) {
            LoadedImage& image = p.images.emplace_back();
            take(i, "uuid", &image.uuid);
            take(i, "loadAddress", &image.loadAddress);
            take(i, "size", &image.size);
        });
        each(o, "subsystems", [&](const QJsonObject& s) {
            Subsystem& sub = p.subsystems.emplace_back();
            take(s, "id", &sub.id);
            take(s, "subsystem", &sub.subsystem);
            take(s, "category", &sub.category);
        });
    });
    each(root, "timesync", [&](const QJsonObject& o) {
        TimesyncBoot& t = b.timesync.emplace_back();
        take(o, "boot", &t.boot);
        take(o, "timebaseNumer", &t.timebaseNumer);
        take(o, "timebaseDenom", &t.timebaseDenom);
        take(o, "bootWallNanos", &t.bootWallNanos);
        for (const QJsonValue& s : o.value(QLatin1String("syncs")).toArray())
            t.syncs.emplace_back(number(s[0], "sync time"), qint64(number(s[1], "sync wall time")));
    });
    each(root, "files", [&](const QJsonObject& o) {
        File& f = b.files.emplace_back();
        take(o, "path", &f.path);
        take(o, "boot", &f.boot);
        take(o, "timebaseNumer", &f.timebaseNumer);
        take(o, "timebaseDenom", &f.timebaseDenom);
        take(o, "bootWallSeconds", &f.bootWallSeconds);
        take(o, "bootWallMicros", &f.bootWallMicros);
        take(o, "timeZoneMinutes", &f.timeZoneMinutes);
        take(o, "entriesPerChunkset", &f.entriesPerChunkset);
        take(o, "chunksetsPerCatalog", &f.chunksetsPerCatalog);
        take(o, "compress", &f.compress);
        each(o, "entries", [&](const QJsonObject& e) { f.entries.push_back(entry(e, f)); });
    });
    return b;
}

int failWith(const QString& message)
{
    std::fprintf(stderr, "vellacord-archive-writer: %s\n", qPrintable(message));
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args.size() != 2) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    QFile in(args[0]);
    if (!in.open(QIODevice::ReadOnly))
        return failWith(QStringLiteral("cannot read %1: %2").arg(args[0], in.errorString()));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(in.readAll(), &error);
    if (!doc.isObject())
        return failWith(QStringLiteral("%1: not a JSON object (%2)").arg(args[0], error.errorString()));
    try {
        const Report report = writeBundle(bundle(doc.object()), args[1]);
        if (report.error)
            return failWith(*report.error);
    } catch (const BadInput& b) {
        return failWith(QStringLiteral("%1: %2").arg(args[0], b.message));
    }
    return 0;
}
