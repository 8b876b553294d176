// Archives in the real layout, written by tools/archivewriter from what the
// tests describe, read back through the log query as the application does.

#include "logs/LogQuery.h"
#include "logs/unified/UnifiedLogStore.h"
#include "tools/archivewriter/ArchiveWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace AW = ArchiveWriter;

namespace {

const QUuid kBoot{QStringLiteral("B0000000-0000-4000-8000-000000000001")};
const QUuid kBoot2{QStringLiteral("B0000000-0000-4000-8000-000000000002")};
const QUuid kDaemon{QStringLiteral("A0000000-0000-4000-8000-0000000000D1")};
const QUuid kPlugin{QStringLiteral("A0000000-0000-4000-8000-0000000000B2")};
const QUuid kOrphan{QStringLiteral("A0000000-0000-4000-8000-0000000000F3")};  // no strings file
const QUuid kCache2{QStringLiteral("C0000000-0000-4000-8000-000000000002")};
const QUuid kCache1{QStringLiteral("C0000000-0000-4000-8000-000000000001")};
const QUuid kLibInfo{QStringLiteral("A0000000-0000-4000-8000-0000000000C4")};
const QUuid kLibNet{QStringLiteral("A0000000-0000-4000-8000-0000000000C5")};
constexpr double kBootWall = 1767600000.0;  // 2026-01-05 08:00:00 UTC
constexpr quint64 kLargeOffset = (quint64(1) << 33) + 0x20;

QString upper(const QUuid& u) { return u.toString(QUuid::WithoutBraces).toUpper(); }

AW::Argument scalar32(qint32 v) { return {0x02, AW::Argument::Where::inlineData, QByteArray(reinterpret_cast<const char*>(&v), 4)}; }
AW::Argument text(const char* s) { return {0x22, AW::Argument::Where::valueData, QByteArray(s) + '\0'}; }

// Three processes over a daemon with its strings, a plugin it loads, an
// image without strings, and two shared caches (one of each version).
AW::Bundle baseBundle()
{
    AW::Bundle b;
    b.images = {{kDaemon, "/usr/libexec/exampled", {{0x100, "Connected to %{public}s on port %d"}, {0x200, "plain message"}, {0x300, "user %{private}s token %{private}s"}}},
                {kPlugin, "/usr/lib/libplugin.dylib", {{0x40, "plugin %s"}}}};
    b.sharedCaches = {{kCache2, 2, {{kLibInfo, "/usr/lib/system/libsystem_info.dylib", 0x10000, 0x10000, {{0x1000, "lookup %s"}, {kLargeOffset, "large %d"}}}}},
                      {kCache1, 1, {{kLibNet, "/usr/lib/libnetwork.dylib", 0x20000, 0x8000, {{0x3000, "net %d"}}}}}};
    b.processes = {{1, 10, 100, 0, kDaemon, kCache2, {{kPlugin, 0x7ff800000000, 0x10000}}, {{1, "com.example.net", "connection"}, {2, "com.example.disk", "io"}}},
                   {1, 20, 200, 0, kOrphan, kCache1, {}, {}},  // the first number is process 0's too
                   {3, 30, 300, 0, kDaemon, std::nullopt, {}, {}}};
    return b;
}

AW::File fileAt(const QString& path, const QUuid& boot = kBoot)
{
    AW::File f;
    f.path = path;
    f.boot = boot;
    f.timebaseNumer = 125;
    f.timebaseDenom = 3;
    f.bootWallSeconds = qint64(kBootWall);
    return f;
}

// A log entry of process 0 at `seconds` after the boot, with the daemon's plain message.
AW::Entry logAt(const AW::File& f, double seconds, quint64 offset = 0x200)
{
    AW::Entry e;
    e.continuousTime = AW::continuousTimeAt(f, kBootWall + seconds);
    e.formatOffset = offset;
    e.thread = 7;
    return e;
}

struct Written {
    QTemporaryDir dir;
    QString path;
    AW::Report report;
};

std::unique_ptr<Written> write(const AW::Bundle& bundle)
{
    auto w = std::make_unique<Written>();
    w->path = w->dir.filePath(QStringLiteral("test.logarchive"));
    w->report = AW::writeBundle(bundle, w->path);
    if (w->report.error)
        qWarning("%s", qPrintable(*w->report.error));
    return w;
}

QueryResult readAll(const QString& path, double start = kDistantPast, double end = 4e9)
{
    return queryEntries(start, end, path);
}

QStringList messagesOf(const QueryResult& r)
{
    QStringList m;
    for (const LogEntry& e : r.entries)
        m << e.message;
    return m;
}

// Kinds of what the store yields for the whole archive, log messages and others.
std::pair<int, int> rawKinds(const QString& path)
{
    StoreOpenResult opened = openUnifiedStore(path);
    auto listed = std::get<std::unique_ptr<LogStore>>(opened)->entries(0, std::nullopt);
    LogEnumerator& entries = *std::get<std::unique_ptr<LogEnumerator>>(listed);
    std::pair<int, int> kinds;
    for (RawEntry raw; entries.next(raw);) {
        if (raw.kind == RawEntryKind::logMessage)
            ++kinds.first;
        else if (raw.kind != RawEntryKind::none)
            ++kinds.second;
    }
    return kinds;
}

// `count` entries of process 0, one a second from `from` seconds after the boot.
void addSeconds(AW::File& f, double from, int count, quint64 thread = 7)
{
    for (int i = 0; i < count; ++i) {
        AW::Entry e = logAt(f, from + i);
        e.thread = thread;
        f.entries.push_back(e);
    }
}

std::vector<AW::ChunkLocation> chunksetsOf(const AW::FileReport& file)
{
    std::vector<AW::ChunkLocation> c;
    for (const AW::ChunkLocation& l : file.chunks)
        if (l.tag == 0x600d)
            c.push_back(l);
    return c;
}

bool patchFile(const QString& path, const std::function<void(QByteArray&)>& patch)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite))
        return false;
    QByteArray bytes = f.readAll();
    patch(bytes);
    return f.seek(0) && f.write(bytes) == bytes.size() && f.resize(bytes.size());
}

template <typename T>
void put(QByteArray& bytes, qint64 at, T value)
{
    std::memcpy(bytes.data() + at, &value, sizeof value);
}

}  // namespace

class UnifiedArchiveTest : public QObject {
    Q_OBJECT
private slots:
    // Each kind of strings reference, and what a reference that cannot be
    // followed says instead of a message.
    void formatStringsAndNames()
    {
        struct Case {
            const char* name;
            int process;
            AW::StringsRef strings;
            quint64 offset;
            bool dynamic;
            quint32 pc;
            quint16 high;
            QUuid image;
            std::vector<AW::Argument> arguments;
            QString message;
            QString sender;
        };
        const QString orphan = upper(kOrphan), cache2 = upper(kCache2);
        const Case cases[] = {
            {"main executable", 0, AW::StringsRef::mainExe, 0x100, false, 0, 0, {}, {text("db.example.com"), scalar32(443)}, "Connected to db.example.com on port 443", "exampled"},
            {"shared cache, version 2", 0, AW::StringsRef::sharedCache, 0x1000, false, 0x10010, 0, {}, {text("host")}, "lookup host", "libsystem_info.dylib"},
            {"large shared cache", 0, AW::StringsRef::largeSharedCache, kLargeOffset, false, 0x10010, 0, {}, {scalar32(7)}, "large 7", "libsystem_info.dylib"},
            {"shared cache, version 1", 1, AW::StringsRef::sharedCache, 0x3000, false, 0x20010, 0, {}, {scalar32(5)}, "net 5", "libnetwork.dylib"},
            {"absolute", 0, AW::StringsRef::absolute, 0x40, false, 0x123, 0x7ff8, {}, {text("x")}, "plugin x", "libplugin.dylib"},
            {"UUID-relative", 0, AW::StringsRef::uuidRelative, 0x40, false, 0, 0, kPlugin, {text("y")}, "plugin y", "libplugin.dylib"},
            {"dynamic", 0, AW::StringsRef::mainExe, 0x5, true, 0, 0, {}, {text("free text")}, "free text", "exampled"},
            {"dynamic in a shared cache", 0, AW::StringsRef::sharedCache, 0x10020, true, 0, 0, {}, {text("z")}, "z", "libsystem_info.dylib"},
            {"image without strings", 1, AW::StringsRef::mainExe, 0x10, false, 0, 0, {}, {}, "<format string not found: the archive has no strings for image " + orphan + " (offset 0x10)>", orphan},
            {"offset not in the strings", 0, AW::StringsRef::mainExe, 0x999, false, 0, 0, {}, {}, "<format string not found: offset 0x999 is not in the strings of image " + upper(kDaemon) + ">", "exampled"},
            {"offset not in the cache", 0, AW::StringsRef::sharedCache, 0x5000, false, 0x10004, 0, {}, {}, "<format string not found: offset 0x5000 is not in the strings of shared cache " + cache2 + ">", "libsystem_info.dylib"},
            {"no shared cache", 2, AW::StringsRef::sharedCache, 0x1000, false, 0, 0, {}, {}, "<format string not found: process 300 has no shared cache (offset 0x1000)>", ""},
            {"nothing loaded there", 0, AW::StringsRef::absolute, 0x40, false, 0x1, 0x1, {}, {}, "<format string not found: no image of process 100 is loaded at 0x100000001 (offset 0x40)>", ""},
        };
        AW::Bundle bundle = baseBundle();
        AW::File f = fileAt(QStringLiteral("Persist/0000000000000001.tracev3"));
        double t = 0;
        for (const Case& c : cases) {
            AW::Entry e = logAt(f, t += 1, c.offset);
            e.process = c.process;
            e.strings = c.strings;
            e.dynamic = c.dynamic;
            e.pc = c.pc;
            e.loadAddressHigh = c.high;
            e.image = c.image;
            e.arguments = c.arguments;
            f.entries.push_back(e);
        }
        bundle.files = {f};
        const auto w = write(bundle);
        const QueryResult r = readAll(w->path);
        QVERIFY(r.ok());
        QCOMPARE(r.entries.size(), qsizetype(std::size(cases)));
        // The full path of the image named, none where it is known by its UUID only.
        const QHash<QString, QString> paths{{"exampled", "/usr/libexec/exampled"},
                                            {"libsystem_info.dylib", "/usr/lib/system/libsystem_info.dylib"},
                                            {"libnetwork.dylib", "/usr/lib/libnetwork.dylib"},
                                            {"libplugin.dylib", "/usr/lib/libplugin.dylib"}};
        for (qsizetype i = 0; i < r.entries.size(); ++i) {
            const LogEntry& e = r.entries[i];
            const Case& c = cases[i];
            QCOMPARE(e.message, c.message);
            QCOMPARE(e.sender, c.sender);
            QCOMPARE(e.senderImagePath, paths.value(c.sender));
            QCOMPARE(e.process, c.process == 1 ? orphan : QStringLiteral("exampled"));
            QCOMPARE(e.processIdentifier, (c.process + 1) * 100);
            QVERIFY(e.messageTemplate);
            QCOMPARE(e.messageTemplate->found, !c.message.startsWith(QLatin1Char('<')));
            QCOMPARE(e.messageTemplate->offset, c.offset);
        }
        QCOMPARE(r.entries[0].messageTemplate->format, QStringLiteral("Connected to %{public}s on port %d"));
        QCOMPARE(r.entries[8].messageTemplate->image, kOrphan);
        // Only the image without a strings file counts as one without strings.
        QCOMPARE(r.skipped, (SkipCounts{0, 0, 0, 0, 0, 1}));

        // A Mac's own folders: diagnostics/ with the log, its sibling uuidtext/ with the strings.
        QDir root(w->dir.path());
        QVERIFY(root.rename(QStringLiteral("test.logarchive"), QStringLiteral("diagnostics")));
        QVERIFY(root.mkdir(QStringLiteral("uuidtext")));
        for (const QString& strings : {QStringLiteral("dsc"), upper(kDaemon).left(2), upper(kPlugin).left(2)})
            QVERIFY(root.rename(QStringLiteral("diagnostics/") + strings, QStringLiteral("uuidtext/") + strings) ||
                    root.exists(QStringLiteral("uuidtext/") + strings));
        QCOMPARE(messagesOf(readAll(root.filePath(QStringLiteral("diagnostics")))), messagesOf(r));
    }

    // The fields of an entry besides its message, and one format string
    // shared by the entries composed from it.
    void fieldsAndSharedTemplates()
    {
        AW::Bundle bundle = baseBundle();
        AW::File f = fileAt(QStringLiteral("Special/0000000000000001.tracev3"));
        const quint8 logTypes[] = {0x00, 0x01, 0x02, 0x10, 0x11, 0x42};
        for (int i = 0; i < int(std::size(logTypes)); ++i) {
            AW::Entry e = logAt(f, 10 + i);
            e.logType = logTypes[i];
            e.thread = 0x1000 + i;
            e.activity = 0x8000000000000000ULL | (0xab + i);
            e.subsystem = i % 2 ? 2 : 1;
            f.entries.push_back(e);
        }
        AW::Entry unknownSubsystem = logAt(f, 20);
        unknownSubsystem.subsystem = 9;
        f.entries.push_back(unknownSubsystem);
        f.bootWallMicros = 250000;  // the times above were counted from the whole second
        bundle.files = {f};
        const auto w = write(bundle);
        const QueryResult r = readAll(w->path);
        QCOMPARE(r.entries.size(), 7);
        const int levels[] = {3, 2, 1, 4, 5, 3};  // an unknown log type shows as Default
        for (int i = 0; i < 6; ++i) {
            const LogEntry& e = r.entries[i];
            QCOMPARE(e.level, levels[i]);
            QCOMPARE(e.threadIdentifier, quint64(0x1000 + i));
            QCOMPARE(e.activityIdentifier, quint64(0xab + i));
            QCOMPARE(e.subsystem, i % 2 ? QStringLiteral("com.example.disk") : QStringLiteral("com.example.net"));
            QCOMPARE(e.category, i % 2 ? QStringLiteral("io") : QStringLiteral("connection"));
            // The header's microseconds count.
            QCOMPARE(qRound64(e.date * 1e6), qRound64((kBootWall + 10.25 + i) * 1e6));
            QCOMPARE(e.messageTemplate.get(), r.entries[0].messageTemplate.get());
        }
        QCOMPARE(r.entries[6].subsystem, QString());
        QCOMPARE(r.entries[6].activityIdentifier, quint64(0));
    }

    // Two boots: one with timesync records (which win over the file's header,
    // and whose syncs move the clock forth and back), one with only its
    // header; three files in three places, merged in time order.
    void bootsAndFilesInTimeOrder()
    {
        AW::Bundle bundle = baseBundle();
        constexpr quint64 perSecond = 24000000;  // 125/3 ns a unit
        constexpr qint64 ns = 1000000000;
        bundle.timesync = {{kBoot, 125, 3, qint64(kBootWall - 1000) * ns, {{100 * perSecond, qint64(kBootWall + 5000) * ns}, {200 * perSecond, qint64(kBootWall + 4000) * ns}}}};
        AW::File persist = fileAt(QStringLiteral("Persist/0000000000000001.tracev3"));
        persist.entriesPerChunkset = 2;  // the first chunkset spans the clock set back
        AW::File special = fileAt(QStringLiteral("Special/0000000000000002.tracev3"), kBoot2);
        special.timebaseNumer = special.timebaseDenom = 1;
        AW::File live = fileAt(QStringLiteral("logdata.LiveData.tracev3"), kBoot2);
        live.timebaseNumer = live.timebaseDenom = 1;
        // (file, seconds on its clock, expected wall time)
        struct Planted {
            AW::File* file;
            double seconds;
            double wall;
        };
        const Planted planted[] = {
            {&persist, 150, kBootWall + 5000 + 50},   // after the first sync
            {&persist, 300, kBootWall + 4000 + 100},  // after the second, earlier than the one before
            {&persist, 800, kBootWall + 4000 + 600},
            {&persist, 50, kBootWall - 1000 + 50},  // before any: the boot record
            {&special, 10, kBootWall + 10},         // no timesync for the boot: the header
            {&special, 4000, kBootWall + 4000},
            {&special, 4500, kBootWall + 4500},
            {&live, 5100, kBootWall + 5100},
            {&live, 6000, kBootWall + 6000},
        };
        for (int i = 0; i < int(std::size(planted)); ++i) {
            AW::Entry e;
            const AW::File& f = *planted[i].file;
            e.continuousTime = quint64(planted[i].seconds * 1e9 * f.timebaseDenom / f.timebaseNumer);
            e.formatOffset = 0x200;
            e.thread = quint64(i);
            planted[i].file->entries.push_back(e);
        }
        bundle.files = {persist, special, live};
        const auto w = write(bundle);
        const QueryResult r = readAll(w->path);
        QCOMPARE(r.entries.size(), qsizetype(std::size(planted)));
        for (qsizetype i = 0; i < r.entries.size(); ++i) {
            if (i > 0)
                QVERIFY(r.entries[i - 1].date <= r.entries[i].date);
            const Planted& p = planted[r.entries[i].threadIdentifier];
            QCOMPARE(qRound64(r.entries[i].date * 1e3), qRound64(p.wall * 1e3));
        }
    }

    // A range leaves out whole files and chunksets by their spans: damage
    // outside it goes unseen, as nothing there is decompressed.
    void rangeSkipsFilesAndChunksets()
    {
        AW::Bundle bundle = baseBundle();
        AW::File first = fileAt(QStringLiteral("Persist/0000000000000001.tracev3"));
        AW::File second = fileAt(QStringLiteral("Persist/0000000000000002.tracev3"));
        AW::File special = fileAt(QStringLiteral("Special/0000000000000001.tracev3"));
        for (AW::File* f : {&first, &second, &special})
            f->entriesPerChunkset = 10;
        addSeconds(first, 0, 100);
        addSeconds(second, 100, 100);
        addSeconds(special, 150, 11, 8);
        bundle.files = {first, second, special};
        const auto w = write(bundle);
        const auto breakChunkset = [&](int file, int chunkset) {
            const AW::ChunkLocation c = chunksetsOf(w->report.files[file])[chunkset];
            // The first block's uncompressed size, after its "bv41" marker.
            return patchFile(w->report.files[file].path, [&](QByteArray& b) { put<quint32>(b, c.offset + 16 + 4, 12345); });
        };
        QVERIFY(breakChunkset(0, 0));  // seconds 0-9
        QVERIFY(breakChunkset(1, 8));  // seconds 180-189

        const QueryResult whole = readAll(w->path);
        QCOMPARE(whole.entries.size(), 211 - 20);
        // The catalogs' spans give the archive's dates, damaged chunksets and all.
        const std::optional<DateRange> span = archiveSpan(w->path);
        QVERIFY(span);
        QVERIFY(span->start == kBootWall);
        QVERIFY(span->end == kBootWall + 199);
        QCOMPARE(whole.skipped, (SkipCounts{0, 2, 0, 0, 0}));

        const QueryResult range = readAll(w->path, kBootWall + 120, kBootWall + 165);
        QVERIFY(!range.skipped.any());
        QCOMPARE(range.entries.size(), 46 + 11);  // both ends included
        QCOMPARE(range.entries.first().date, kBootWall + 120);
        QCOMPARE(range.entries.last().date, kBootWall + 165);
    }

    // A file's index is kept for the session, and used only while the file
    // is the same: a chunk changed without its size or time changing is seen.
    void indexKeptOnlyForTheSameFile()
    {
        AW::Bundle bundle = baseBundle();
        AW::File f = fileAt(QStringLiteral("Persist/0000000000000001.tracev3"));
        f.entriesPerChunkset = 10;
        addSeconds(f, 1, 30);
        bundle.files = {f};
        const auto w = write(bundle);
        QCOMPARE(readAll(w->path).entries.size(), 30);
        const QByteArray file = QFile::encodeName(w->report.files[0].path);
        struct stat before {};
        QVERIFY(::stat(file.constData(), &before) == 0);
        QVERIFY(patchFile(w->report.files[0].path,
                          [&](QByteArray& b) { put<quint64>(b, chunksetsOf(w->report.files[0])[2].offset + 8, quint64(1) << 40); }));
        const timespec times[2] = {before.st_atim, before.st_mtim};  // the same size and time as before
        QVERIFY(::utimensat(AT_FDCWD, file.constData(), times, 0) == 0);
        const QueryResult r = readAll(w->path);
        QCOMPARE(r.entries.size(), 20);
        QCOMPARE(r.skipped, (SkipCounts{0, 1, 0, 0, 0}));
    }

    // The cap keeps the oldest log messages; other records are scanned, not
    // kept; a cancelled read stops inside the file.
    void capAndCancellation()
    {
        AW::Bundle bundle = baseBundle();
        AW::File f = fileAt(QStringLiteral("Persist/0000000000000001.tracev3"));
        f.entriesPerChunkset = 16;                       // thousands of chunksets, read through one open file
        constexpr int count = kEntryCap / 9 * 10 + 100;  // a tenth are activities
        for (int i = 0; i < count; ++i) {
            AW::Entry e = logAt(f, i * 0.001);
            if (i % 10 == 0)
                e.kind = AW::Entry::Kind::activity;
            f.entries.push_back(e);
        }
        bundle.files = {f};
        const auto w = write(bundle);
        // Few descriptors: the read keeps one file open, not one per chunkset.
        rlimit saved{};
        ::getrlimit(RLIMIT_NOFILE, &saved);
        const rlimit few{64, saved.rlim_max};
        ::setrlimit(RLIMIT_NOFILE, &few);
        const QueryResult r = readAll(w->path);
        ::setrlimit(RLIMIT_NOFILE, &saved);
        QVERIFY(!r.skipped.any());
        QCOMPARE(r.stop, QueryStop::entryCap);
        QCOMPARE(r.entries.size(), kEntryCap);
        QCOMPARE(r.entries.first().date, kBootWall + 0.001);  // the first log message; the activity before it is not one
        QVERIFY(r.entries.last().date < kBootWall + (count - 50) * 0.001);

        QueryContext cancelled;
        cancelled.isCancelled = [] { return true; };
        const QueryResult stopped = queryEntries(kDistantPast, 4e9, w->path, cancelled);
        QCOMPARE(stopped.stop, QueryStop::cancelled);
        QVERIFY(stopped.entries.size() < kCheckInterval);
    }

    // Arguments in an oversize chunk of the same or an earlier chunkset, or
    // missing; private data recorded or withheld.
    void oversizeAndPrivateData()
    {
        AW::Bundle bundle = baseBundle();
        AW::File f = fileAt(QStringLiteral("Persist/0000000000000001.tracev3"));
        f.entriesPerChunkset = 2;
        const QByteArray longHost = QByteArray(3000, 'h');
        const AW::Entry::Oversize placements[] = {AW::Entry::Oversize::sameChunkset, AW::Entry::Oversize::earlierChunkset,
                                                  AW::Entry::Oversize::missing};
        double t = 0;
        for (AW::Entry::Oversize o : placements) {
            addSeconds(f, t += 1, 1);
            AW::Entry e = logAt(f, t += 1, 0x100);
            e.arguments = {text(longHost.constData()), scalar32(22)};
            e.oversize = o;
            f.entries.push_back(e);
        }
        for (AW::Entry::Oversize o : {AW::Entry::Oversize::none, AW::Entry::Oversize::sameChunkset}) {
            AW::Entry e = logAt(f, t += 1, 0x300);
            e.arguments = {{0x21, AW::Argument::Where::privateData, "alice"},
                           {0x21, AW::Argument::Where::privateData, {}}};
            e.oversize = o;
            f.entries.push_back(e);
        }
        bundle.files = {f};
        const auto w = write(bundle);
        const QueryResult r = readAll(w->path);
        const QString joined = QStringLiteral("Connected to ") + QString::fromLatin1(longHost) + QStringLiteral(" on port 22");
        QCOMPARE(messagesOf(r), (QStringList{"plain message", joined, "plain message", joined, "plain message",
                                             "Connected to <decode: missing data> on port <decode: missing data>",
                                             "user alice token <private>", "user alice token <private>"}));
        QCOMPARE(r.skipped, (SkipCounts{0, 0, 0, 0, 1}));
    }

    // A simpledump is a log message with its text given whole; statedumps,
    // activities, traces, signposts and losses are records, not messages.
    void dumpsAndOtherRecords()
    {
        AW::Bundle bundle = baseBundle();
        AW::File f = fileAt(QStringLiteral("Persist/0000000000000001.tracev3"));
        const AW::Entry::Kind others[] = {AW::Entry::Kind::stateDump, AW::Entry::Kind::activity, AW::Entry::Kind::trace,
                                          AW::Entry::Kind::signpost, AW::Entry::Kind::loss};
        double t = 0;
        for (AW::Entry::Kind k : others) {
            AW::Entry e = logAt(f, t += 1);
            e.kind = k;
            f.entries.push_back(e);
        }
        AW::Entry dump = logAt(f, t += 1);
        dump.kind = AW::Entry::Kind::simpleDump;
        dump.logType = 0x10;
        dump.thread = 99;
        dump.senderImage = kPlugin;
        dump.simpleSubsystem = "com.example.simple";
        dump.simpleMessage = "a simple message";
        f.entries.push_back(dump);
        bundle.files = {f};
        const auto w = write(bundle);
        QCOMPARE(rawKinds(w->path), (std::pair{1, 5}));
        const QueryResult r = readAll(w->path);
        QCOMPARE(r.entries.size(), 1);
        const LogEntry& e = r.entries[0];
        QCOMPARE(e.message, QStringLiteral("a simple message"));
        QCOMPARE(e.subsystem, QStringLiteral("com.example.simple"));
        QCOMPARE(e.level, 4);
        QCOMPARE(e.threadIdentifier, quint64(99));
        QCOMPARE(e.sender, QStringLiteral("libplugin.dylib"));
        QCOMPARE(e.senderImagePath, QStringLiteral("/usr/lib/libplugin.dylib"));
        QCOMPARE(e.process, QStringLiteral("exampled"));
        QCOMPARE(e.processIdentifier, 100);
    }

    // Damage of every kind is skipped and counted; the rest is read.
    void damagedInput()
    {
        AW::Bundle bundle = baseBundle();
        AW::File f = fileAt(QStringLiteral("Persist/0000000000000001.tracev3"));
        f.entriesPerChunkset = 10;
        f.compress = false;  // stored blocks: the chunks are patched in place
        addSeconds(f, 1, 30);
        f.entries[0].strings = AW::StringsRef::sharedCache;
        f.entries[0].formatOffset = 0x1000;
        bundle.files = {f};

        using Damage = std::function<bool(const QString& bundle, const AW::FileReport& file)>;
        // Offsets in the tracev3 file: of a chunkset's first chunk, after its
        // header and its stored block's marker and size.
        const auto chunkOf = [](const AW::FileReport& file, int chunkset) {
            return chunksetsOf(file)[chunkset].offset + 16 + 8;
        };
        const auto inFile = [](const std::function<void(QByteArray&, const AW::FileReport&)>& patch) -> Damage {
            return [patch](const QString&, const AW::FileReport& file) {
                return patchFile(file.path, [&](QByteArray& b) { patch(b, file); });
            };
        };
        const auto inBundle = [](const QString& relative, const QByteArray& bytes) -> Damage {
            return [relative, bytes](const QString& bundle, const AW::FileReport&) {
                QDir().mkpath(QFileInfo(bundle + QLatin1Char('/') + relative).absolutePath());
                QFile out(bundle + QLatin1Char('/') + relative);
                return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
            };
        };
        const QString daemonStrings = upper(kDaemon).remove(QLatin1Char('-'));
        struct Case {
            const char* name;
            Damage damage;
            SkipCounts skipped;
            int entries;
        };
        const Case cases[] = {
            {"not a tracev3 file", inFile([](QByteArray& b, auto&) { put<quint32>(b, 0, 0xdeadbeef); }), {1, 0, 0, 0, 0}, 0},
            {"truncated inside a chunkset",
             inFile([&](QByteArray& b, auto& file) { b.truncate(chunkOf(file, 2) + 40); }),
             {0, 1, 0, 0, 0},
             20},
            {"chunk size past the end",
             inFile([](QByteArray& b, auto& file) { put<quint64>(b, chunksetsOf(file)[1].offset + 8, quint64(1) << 40); }),
             {0, 1, 0, 0, 0},
             10},
            {"unknown chunk between chunksets",
             inFile([](QByteArray& b, auto& file) { put<quint32>(b, chunksetsOf(file)[1].offset, 0x600e); }),
             {0, 1, 0, 0, 0},
             20},
            {"unknown block marker",
             inFile([](QByteArray& b, auto& file) { put<quint32>(b, chunksetsOf(file)[1].offset + 16, 0x78787878); }),
             {0, 1, 0, 0, 0},
             20},
            {"process count past the catalog",
             inFile([](QByteArray& b, auto& file) { put<quint16>(b, file.chunks[1].offset + 16 + 4, 0xffff); }),
             {0, 4, 0, 0, 0},
             0},
            {"firehose public size past its chunk",
             inFile([&](QByteArray& b, auto& file) { put<quint16>(b, chunkOf(file, 1) + 32, 0xffff); }),
             {0, 1, 0, 0, 0},
             20},
            {"tracepoint data past its page",
             inFile([&](QByteArray& b, auto& file) { put<quint16>(b, chunkOf(file, 1) + 48 + 22, 0xfff0); }),
             {0, 0, 1, 0, 0},
             20},
            {"unknown record type",
             inFile([&](QByteArray& b, auto& file) { put<quint8>(b, chunkOf(file, 1) + 48, 0x09); }),
             {0, 0, 1, 0, 0},
             29},
            {"item count past the tracepoint",
             inFile([&](QByteArray& b, auto& file) {
                 // The first tracepoint's data: its pc, an unknown byte, then the item count.
                 put<quint8>(b, chunkOf(file, 1) + 48 + 24 + 4 + 1, 0xff);
             }),
             {0, 0, 1, 0, 0},
             29},
            {"damaged uuidtext file", inBundle(daemonStrings.left(2) + QLatin1Char('/') + daemonStrings.mid(2), "junk"), {0, 0, 0, 1, 0, 29}, 30},
            {"damaged shared cache strings", inBundle(QStringLiteral("dsc/") + upper(kCache2).remove(QLatin1Char('-')), "hcsd"), {0, 0, 0, 1, 0, 1}, 30},
            {"damaged timesync file", inBundle(QStringLiteral("timesync/0000000000000009.timesync"), "garbage"), {1, 0, 0, 0, 0}, 30},
        };
        for (const Case& c : cases) {
            const auto w = write(bundle);
            QVERIFY2(c.damage(w->path, w->report.files[0]), c.name);
            const QueryResult r = readAll(w->path);
            QVERIFY2(r.ok(), c.name);
            QVERIFY2(r.skipped == c.skipped, c.name);
            QVERIFY2(r.entries.size() == c.entries, c.name);
        }
    }
};

QTEST_GUILESS_MAIN(UnifiedArchiveTest)
#include "test_unified_archive.moc"
