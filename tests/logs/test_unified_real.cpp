// Files written by real Apple devices, read from ../shared/data/unified-log
// beside the project (skipped where that folder is missing). The values
// quoted below were read independently, from hex dumps of the files and of
// the tracev3 file's chunksets after LZ4 decompression.

#include "logs/unified/Catalog.h"
#include "logs/unified/StringsFiles.h"
#include "logs/unified/Timesync.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

using namespace Unified;

namespace {

QString realDir()
{
    return QDir::cleanPath(QString::fromLocal8Bit(qgetenv("VELLACORD_SOURCE_DIR")) +
                           QStringLiteral("/../shared/data/unified-log/real"));
}

QByteArray realFile(const QString& relative)
{
    QFile f(realDir() + QLatin1Char('/') + relative);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

#define REQUIRE_REAL_DATA()            \
    if (!QFileInfo(realDir()).isDir()) \
        QSKIP("skipped: the real unified-log files (../shared/data/unified-log/real) are missing");

}  // namespace

class UnifiedRealTest : public QObject {
    Q_OBJECT
private slots:
    void init() { REQUIRE_REAL_DATA(); }

    // A bundle of Persist/ with the one tracev3 file, timesync/, dsc/, and the
    // 00/ and 22/ uuidtext folders, all symbolic links, in a folder whose name
    // does not say what it is.
    void bundleThroughTheCommandLine()
    {
        QTemporaryDir dir;
        const QString bundle = dir.filePath(QStringLiteral("Logs from Sam's iPhone"));
        QVERIFY(QDir().mkpath(bundle + QStringLiteral("/Persist")));
        const QString real = realDir();
        for (const auto& [from, to] : {std::pair{"0000000000000f85.tracev3", "Persist/0000000000000f85.tracev3"},
                                       {"timesync", "timesync"},
                                       {"dsc", "dsc"},
                                       {"uuidtext/00", "00"},
                                       {"uuidtext/22", "22"}})
            QVERIFY(QFile::link(real + QLatin1Char('/') + QLatin1String(from), bundle + QLatin1Char('/') + QLatin1String(to)));

        const TestEnv::CliRun run = TestEnv::runCli(
            {QStringLiteral("logs"), QStringLiteral("--archive"), bundle, QStringLiteral("--level"),
             QStringLiteral("all"), QStringLiteral("--format"), QStringLiteral("json")});
        QCOMPARE(run.code, 0);
        // One tracepoint refers to oversize data that is not in the file; no image has its strings here.
        QCOMPARE(run.err.trimmed(), QStringLiteral("Skipped while reading: 1 message without its data. 8,158 entries have "
                                                   "no format string in this archive (strings files missing)."));
        QList<QJsonObject> entries;
        for (const QString& line : run.lines())
            entries << QJsonDocument::fromJson(line.toUtf8()).object();
        QCOMPARE(entries.size(), 8158);

        QMap<QString, int> levels;
        int withoutSubsystem = 0;
        for (const QJsonObject& e : entries) {
            ++levels[e[QStringLiteral("levelLabel")].toString()];
            withoutSubsystem += e[QStringLiteral("subsystem")].toString().isEmpty();
            // None of the file's images has its strings here.
            QVERIFY2(e[QStringLiteral("message")].toString().startsWith(QStringLiteral("<format string not found: ")),
                     qPrintable(e[QStringLiteral("message")].toString()));
        }
        // Default shows as Notice.
        QCOMPARE(levels, (QMap<QString, int>{{"Notice", 7187}, {"Debug", 485}, {"Info", 368}, {"Error", 92}, {"Fault", 26}}));
        // Exactly the 22 tracepoints without a subsystem flag: every id given resolves.
        QCOMPARE(withoutSubsystem, 22);

        struct Quoted {
            int index;
            const char* date;  // to the second
            int pid;
            qint64 thread;
            const char* subsystem;
            const char* category;
            qint64 activity;  // the raw identifier without its top flag byte (0x80)
        };
        const int fault = int(std::find_if(entries.begin(), entries.end(), [](const QJsonObject& e) {
                                  return e[QStringLiteral("level")].toInt() == 5 &&
                                         !e[QStringLiteral("subsystem")].toString().isEmpty();
                              }) -
                              entries.begin());
        const Quoted quoted[] = {
            {0, "2022-05-30T00:38:21", 49549, 11090491, "com.apple.ManagedConfiguration", "MC", 0xe53272},
            {int(entries.size()) - 1, "2022-06-01T02:20:01", 49623, 11480411, "com.apple.donotdisturb", "Sysdiagnose", 0xeaddd9},
            {fault, "2022-06-01T02:15:02", 92560, 7273253, "com.apple.SpringBoard", "TraitsArbiter", 0xeaac74},
        };
        for (const Quoted& q : quoted) {
            const QJsonObject& e = entries[q.index];
            QCOMPARE(e[QStringLiteral("date")].toString().left(19), QString::fromLatin1(q.date));
            QCOMPARE(e[QStringLiteral("processIdentifier")].toInt(), q.pid);
            QCOMPARE(e[QStringLiteral("threadIdentifier")].toInteger(), q.thread);
            QCOMPARE(e[QStringLiteral("subsystem")].toString(), QString::fromLatin1(q.subsystem));
            QCOMPARE(e[QStringLiteral("category")].toString(), QString::fromLatin1(q.category));
            QCOMPARE(e[QStringLiteral("activityIdentifier")].toInteger(), q.activity);
        }
        // The first message names where its format string should be: the
        // process's shared cache (not among dsc/) and the reference.
        QCOMPARE(entries[0][QStringLiteral("message")].toString(),
                 QStringLiteral("<format string not found: the archive has no strings for shared cache "
                                "671E0820-86AB-3339-A384-01EFBD8017A4 (offset 0x87C83CD)>"));
        // Without the main image's strings the process is its image UUID, the sender the cache's.
        QCOMPARE(entries[0][QStringLiteral("process")].toString(), QStringLiteral("191AAF39-CAA6-384D-A591-43318EEBD9D5"));
        QCOMPARE(entries[0][QStringLiteral("sender")].toString(), QStringLiteral("671E0820-86AB-3339-A384-01EFBD8017A4"));

        // --last counts back from the archive's last entry, not from now.
        const TestEnv::CliRun lastHour = TestEnv::runCli({QStringLiteral("logs"), QStringLiteral("--archive"), bundle,
                                                          QStringLiteral("--last"), QStringLiteral("1h"),
                                                          QStringLiteral("--level"), QStringLiteral("all")});
        QCOMPARE(lastHour.lines().size(), 8011);
    }

    void tracev3Header()
    {
        const QByteArray file = realFile(QStringLiteral("0000000000000f85.tracev3"));
        const std::optional<Tracev3Header> h = parseHeader(Bytes(file.constData(), std::size_t(file.size())));
        QVERIFY(h);
        QCOMPARE(h->timebase.numer, 125u);
        QCOMPARE(h->timebase.denom, 3u);
        // 0x6256ccb6 seconds and 0x5349a microseconds: the boot's wall time.
        QCOMPARE(qRound64(h->bootWallSeconds * 1e6), 1649855670341146LL);
        QCOMPARE(h->timeZoneMinutes, 300);
        QCOMPARE(h->boot, QUuid(QStringLiteral("A6EBC8E3-0A1C-40E8-93B9-DA3A7F671D19")));
        QCOMPARE(h->build, QStringLiteral("19D52"));
        QCOMPARE(h->model, QStringLiteral("J96AP"));
        QCOMPARE(h->timeZonePath, QStringLiteral("/var/db/timezone/zoneinfo/America/Toronto"));

        // A sub chunk with another tag, or too small for its fields, is left out.
        QByteArray damaged = file.left(kHeaderChunkBytes);
        damaged[168] = 0x04;  // 0x6103 becomes 0x6104
        damaged[76] = 8;      // the system information's 56 bytes become 8
        const std::optional<Tracev3Header> partial = parseHeader(Bytes(damaged.constData(), std::size_t(damaged.size())));
        QVERIFY(partial);
        QCOMPARE(partial->timeZonePath, QString());
        QCOMPARE(partial->build, QString());
        QCOMPARE(partial->boot, h->boot);
    }

    void sharedCacheStrings_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("version");
        QTest::addColumn<int>("ranges");
        QTest::addColumn<int>("images");
        QTest::addColumn<qulonglong>("offset");
        QTest::addColumn<QString>("text");
        QTest::addColumn<qulonglong>("textOffset");  // of the first image
        QTest::addColumn<QString>("uuid");
        QTest::addColumn<QString>("path");
        const QString corecapture = QStringLiteral("/System/Library/Extensions/corecapture.kext/corecapture");
        QTest::newRow("version 1") << "dsc/dsc-version1" << 1 << 252 << 196 << 0x980ull << "cc.debug.enable" << 0x540000ull
                                   << "F1D458E1-132C-3226-8AB7-E1BB4A3C8D9A" << corecapture;
        QTest::newRow("version 2") << "dsc/dsc-version2" << 2 << 263 << 200 << 0x4643ull
                                   << "%06llu.%06llu %s.%c[%lu] %s" << 0x6c0000ull
                                   << "4BE09C94-1FA5-3100-9527-EA16CD1A294E" << corecapture;
        // A small one whose range runs past the file's end and whose path
        // offset lies outside it: the string is there, the path is not.
        QTest::newRow("small") << "dsc/8E21CAB1DCF936B49F85CF860E6F34EC" << 1 << 1 << 1 << 0x48a40ull
                               << "%s Unknown app vocabulary type - %@" << 0x30000ull
                               << "4DB84124-D5A9-3412-B501-0D8A68000000" << QString();
    }

    void sharedCacheStrings()
    {
        QFETCH(QString, file);
        QFETCH(int, version);
        QFETCH(int, ranges);
        QFETCH(int, images);
        QFETCH(qulonglong, offset);
        QFETCH(QString, text);
        QFETCH(qulonglong, textOffset);
        QFETCH(QString, uuid);
        QFETCH(QString, path);
        bool damaged = true;
        const std::unique_ptr<SharedCacheStrings> dsc = SharedCacheStrings::open(realDir() + QLatin1Char('/') + file, &damaged);
        QVERIFY(dsc);
        QVERIFY(!damaged);
        QCOMPARE(dsc->version(), version);
        QCOMPARE(int(dsc->rangeCount()), ranges);
        QCOMPARE(int(dsc->imageCount()), images);
        const auto found = dsc->stringAt(offset);
        QVERIFY(found);
        QCOMPARE(QString::fromUtf8(found->text.data(), qsizetype(found->text.size())), text);
        QCOMPARE(found->image, 0);
        QCOMPARE(dsc->imageContaining(textOffset), 0);
        QCOMPARE(dsc->imageContaining(textOffset - 1), -1);
        QCOMPARE(dsc->image(0).uuid.toString(QUuid::WithoutBraces).toUpper(), uuid);
        QCOMPARE(dsc->image(0).path, path);
    }

    void uuidTextFiles()
    {
        const std::optional<UuidText> lsd = UuidText::parse(realFile(QStringLiteral("uuidtext/22/0D3C2953A33917B333DD8366AC25F2")));
        QVERIFY(lsd);
        QCOMPARE(lsd->path(), QStringLiteral("/usr/libexec/lsd"));
        QVERIFY(!lsd->stringAt(0));

        const std::optional<UuidText> photos = UuidText::parse(realFile(QStringLiteral("uuidtext/00/7EF56328D53A78B59CCCE3E3189F57")));
        QVERIFY(photos);
        // One range of 0x360 bytes at image offset 0x5591.
        QCOMPARE(QByteArray(photos->stringAt(0x5591)->data()), QByteArray("system.install.apple-software"));
        QCOMPARE(QByteArray(photos->stringAt(0x55af)->data()), QByteArray("system.install.apple-software.standard-user"));
        QVERIFY(!photos->stringAt(0x5590));
        QVERIFY(!photos->stringAt(0x5591 + 0x360));
        QVERIFY(photos->path().endsWith(QStringLiteral("/XPCServices/com.apple.PhotoThemeService.xpc/Contents/MacOS/com.apple.PhotoThemeService")));
    }

    void timesyncFile()
    {
        Timesync t;
        QVERIFY(t.parse(QByteArrayView(realFile(QStringLiteral("timesync/0000000000000002.timesync")))));
        // Another boot than the tracev3 file's, whose dates come from its own header.
        QVERIFY(!t.boot(QUuid(QStringLiteral("A6EBC8E3-0A1C-40E8-93B9-DA3A7F671D19"))));
        const BootClock* boot = t.boot(QUuid(QStringLiteral("FE7DA8C6-4F59-4893-8607-EBC45B775C80")));
        QVERIFY(boot);
        // Its first sync record: kernel time 0x1d7244c5, wall 0x15655392c706f720 ns; then 125/3 ns per unit.
        QCOMPARE(boot->wallAt(0x1d7244c5), double(0x15655392c706f720) / 1e9);
        QVERIFY(qAbs(boot->wallAt(0x1d7244c5 + 2400000) - boot->wallAt(0x1d7244c5) - 0.1) < 1e-6);
    }
};

QTEST_GUILESS_MAIN(UnifiedRealTest)
#include "test_unified_real.moc"
