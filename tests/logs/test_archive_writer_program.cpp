// The archive writer's program: a JSON description becomes a bundle that the
// command line reads back; a description the formats cannot hold is refused.

#include "tests/support/TestEnv.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const char kProcesses[] = R"("processes": [{"procIdFirst": 1, "procIdSecond": 10, "pid": 100,
    "mainImage": "A0000000-0000-4000-8000-0000000000D1", "sharedCache": "C0000000-0000-4000-8000-000000000002",
    "subsystems": [{"id": 1, "subsystem": "com.example.net", "category": "connection"}]}])";

// The times are on the file's header clock; the timesync boot moves those
// after its sync (100 s after the boot) on by 400 s.
const char kDescription[] = R"({
  "images": [{"uuid": "A0000000-0000-4000-8000-0000000000D1", "path": "/usr/libexec/exampled",
              "strings": {"256": "Connected to %{public}s on port %d", "512": "plain %{private}s %{bytes}llu",
                          "768": "%{in_addr}.4P"}}],
  "sharedCaches": [{"uuid": "C0000000-0000-4000-8000-000000000002", "version": 1,
                    "images": [{"uuid": "A0000000-0000-4000-8000-0000000000C4", "path": "/usr/lib/libinfo.dylib",
                                "textOffset": 65536, "textSize": 65536, "strings": {"4096": "lookup %s"}}]}],
  PROCESSES,
  "timesync": [{"boot": "B0000000-0000-4000-8000-000000000001", "timebaseNumer": 125, "timebaseDenom": 3,
                "bootWallNanos": 1767600000000000000, "syncs": [[2400000000, 1767600500000000000]]}],
  "files": [{"path": "Persist/0000000000000001.tracev3", "boot": "B0000000-0000-4000-8000-000000000001",
             "timebaseNumer": 125, "timebaseDenom": 3, "bootWallSeconds": 1767600000, "entriesPerChunkset": 3,
             "chunksetsPerCatalog": 2, "entries": [
    {"kind": "log", "process": 0, "time": "2026-01-05T08:00:01Z", "formatOffset": 256, "subsystem": 1,
     "arguments": [{"type": 34, "string": "db.example.com"}, {"type": 2, "int32": 443}]},
    {"kind": "log", "process": 0, "time": "2026-01-05T08:00:02Z", "logType": "error", "formatOffset": 512,
     "oversize": "sameChunkset",
     "arguments": [{"type": 33, "where": "privateData", "string": "secret"}, {"type": 2, "int64": 4720}]},
    {"kind": "log", "process": 0, "time": "2026-01-05T08:00:03Z", "strings": "sharedCache", "formatOffset": "0x1000",
     "pc": 65552, "arguments": [{"type": 66, "string": "host"}]},
    {"kind": "simpleDump", "process": 0, "time": "2026-01-05T08:00:04Z", "senderImage": "A0000000-0000-4000-8000-0000000000D1",
     "simpleSubsystem": "com.example", "simpleMessage": "simple"},
    {"kind": "stateDump", "process": 0, "time": "2026-01-05T08:00:05Z", "stateTitle": "state", "stateData": "data"},
    {"kind": "log", "process": 0, "time": "2026-01-05T08:00:06Z", "formatOffset": 768,
     "arguments": [{"type": 50, "where": "valueData", "hex": "0a000001"}]},
    {"kind": "log", "process": 0, "time": "2026-01-05T08:00:07Z", "logType": "fault", "dynamic": true,
     "formatOffset": 5, "backtrace": true, "arguments": [{"type": 34, "string": "dynamic"}]},
    {"kind": "log", "process": 0, "time": "2026-01-05T08:03:20Z", "formatOffset": 256,
     "arguments": [{"type": 34, "string": "x"}, {"type": 2, "int32": 1}]}]}]
})";

QString writerPath() { return QString::fromLocal8Bit(qgetenv("VELLACORD_ARCHIVE_WRITER")); }

// Runs the writer on the description; its exit code and standard error.
std::pair<int, QString> runWriter(const QByteArray& description, const QString& out)
{
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("description.json")));
    if (!f.open(QIODevice::WriteOnly) || f.write(description) != description.size())
        return {-1, {}};
    f.close();
    QProcess p;
    p.start(writerPath(), {f.fileName(), out});
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardError())};
}

QByteArray withProcesses(const char* text) { return QByteArray(text).replace("PROCESSES", kProcesses); }

}  // namespace

class ArchiveWriterProgramTest : public QObject {
    Q_OBJECT
private slots:
    void describedBundleReadsBack()
    {
        QTemporaryDir dir;
        const QString bundle = dir.filePath(QStringLiteral("described.logarchive"));
        QCOMPARE(runWriter(withProcesses(kDescription), bundle), (std::pair{0, QString()}));
        const TestEnv::CliRun run = TestEnv::runCli({QStringLiteral("logs"), QStringLiteral("--archive"), bundle,
                                                     QStringLiteral("--level"), QStringLiteral("all"),
                                                     QStringLiteral("--format"), QStringLiteral("json")});
        QCOMPARE(run.code, 0);
        QStringList read;
        for (const QString& line : run.lines()) {
            const QJsonObject e = QJsonDocument::fromJson(line.toUtf8()).object();
            read << e[QStringLiteral("date")].toString() + QLatin1Char(' ') + e[QStringLiteral("levelLabel")].toString() +
                        QLatin1Char(' ') + e[QStringLiteral("sender")].toString() + QLatin1Char(' ') +
                        e[QStringLiteral("subsystem")].toString() + QStringLiteral(": ") + e[QStringLiteral("message")].toString();
        }
        QCOMPARE(read, (QStringList{
                           "2026-01-05T08:00:01.000Z Notice exampled com.example.net: Connected to db.example.com on port 443",
                           "2026-01-05T08:00:02.000Z Error exampled : plain secret 4.72 kB",
                           "2026-01-05T08:00:03.000Z Notice libinfo.dylib : lookup host",
                           "2026-01-05T08:00:04.000Z Notice exampled com.example: simple",
                           "2026-01-05T08:00:06.000Z Notice exampled : 10.0.0.1",
                           "2026-01-05T08:00:07.000Z Fault exampled : dynamic",
                           "2026-01-05T08:10:00.000Z Notice exampled : Connected to x on port 1",
                       }));
    }

    void refusals()
    {
        const struct {
            const char* description;
            const char* says;
        } cases[] = {
            {"nope", "description.json: not a JSON object"},
            {R"({"files": [{"path": "../x.tracev3"}]})", "the file path ../x.tracev3 is not inside the bundle"},
            {R"({"files": [{"path": "a.tracev3", "entries": [{"kind": "log", "process": 3}]}]})",
             "a.tracev3, entry 0: unknown process 3"},
            {R"({PROCESSES, "files": [{"path": "a.tracev3", "entries": [{"kind": "trace", "process": 0, "formatOffset": "0x80000000"}]}]})",
             "a.tracev3, entry 0: trace entries take a 31-bit format offset and a known strings file type"},
            {R"({PROCESSES, "files": [{"path": "a.tracev3", "entries": [{"kind": "nope", "process": 0}]}]})",
             "description.json: kind \"nope\" is not known"},
            {R"({PROCESSES, "files": [{"path": "a.tracev3", "entries": [{"kind": "log", "process": 0, "oversize": "earlierChunkset"}]}]})",
             "a.tracev3, entry 0: oversize data for an earlier chunkset in the file's first one"},
            {R"({"sharedCaches": [{"uuid": "C0000000-0000-4000-8000-000000000001", "version": 3}]})",
             "shared-cache strings version 3"},
        };
        for (const auto& c : cases) {
            QTemporaryDir dir;
            const auto [code, err] = runWriter(withProcesses(c.description), dir.filePath(QStringLiteral("out")));
            QCOMPARE(code, 1);
            QVERIFY2(err.contains(QLatin1String(c.says)), qPrintable(err));
        }
    }
};

QTEST_GUILESS_MAIN(ArchiveWriterProgramTest)
#include "test_archive_writer_program.moc"
