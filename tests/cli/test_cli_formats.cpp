// The log formats' table is the one place that decides: a row added to it is
// taken by the open command's check, the open panel, the help texts and the
// command line's query, with nothing else changed.

#include "app/ArchiveChoice.h"
#include "cli/LogsOptions.h"
#include "logs/LogFormats.h"
#include "tests/support/MemoryLogStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestCliFormats : public QObject {
    Q_OBJECT
private slots:
    void aRowAddedIsUsedEverywhere()
    {
        MemoryStoreProvider provider;
        provider.store->raw = {MemoryLogStore::log(1767600000, 4, "sensord", "too hot"),
                               MemoryLogStore::log(1767600001, 5, "sensord", "shutting down")};
        LogFormats::addFirst({QStringLiteral("Sensor log"), QStringLiteral("a file that starts with SENSOR"), QStringLiteral("sensor files"), {QStringLiteral("*.sensor")}, [](const QString& path) {
                                  QFile f(path);
                                  return f.open(QIODevice::ReadOnly) && f.read(6) == "SENSOR"; }, [&](const QString& path) { return provider.openArchive(path); }});
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("readings"));  // no extension: its content decides
        QFile f(log);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write("SENSOR\n"), 7);
        f.close();

        QVERIFY(ArchiveChoice::isLogArchive(log));
        QVERIFY(ArchiveChoice::isLogArchive(QStringLiteral("/tmp/unreadable.SENSOR")));  // by its name, when nothing else tells
        QVERIFY(ArchiveChoice::panelFilters().first().contains(QStringLiteral("*.sensor")));
        QVERIFY(LogFormats::helpText().startsWith(QStringLiteral("Sensor log: a file that starts with SENSOR\n")));

        QCommandLineParser parser;
        addLogsOptions(parser);
        QVERIFY(parser.parse({QStringLiteral("vellacord-cli"), QStringLiteral("--archive"), log}));
        QVERIFY(parser.helpText().contains(QStringLiteral("a Sensor log, a Mac unified log bundle")));
        QString usage;
        const std::optional<LogsRun> run = runLogsQuery(parser, &usage);
        QVERIFY(run);
        QCOMPARE(run->entries.size(), 2);
        QCOMPARE(run->rows.first().message, QStringLiteral("too hot"));

        // The README lists the table's rows, each in its own item.
        QFile readme(QString::fromLocal8Bit(qgetenv("VELLACORD_SOURCE_DIR")) + QStringLiteral("/README.md"));
        QVERIFY(readme.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(readme.readAll());
        for (const LogFormat& f : LogFormats::all())
            QVERIFY2(f.name == QLatin1String("Sensor log") || text.contains(QStringLiteral("- **") + f.name + QStringLiteral("**: ")),
                     qPrintable(f.name));
    }
};

QTEST_GUILESS_MAIN(TestCliFormats)
#include "test_cli_formats.moc"
