// Each filter and sort option reaches the list the CLI prints; the matching
// rules themselves are the filter pipeline's and tested there.

#include "logs/Platform.h"
#include "tests/support/JournalFixture.h"
#include "tests/support/TestEnv.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

using TestEnv::CliRun;
CliRun cli(const QStringList& args) { return TestEnv::runCli(args); }

// One column of the row lines (-1: the message, 2: the process).
QStringList column(const CliRun& r, int section)
{
    QStringList out;
    for (const QString& line : r.lines())
        out.append(line.section('\t', section, section));
    return out;
}

const QString kAll = QStringLiteral("fault,error,notice,info,debug");

}  // namespace

class TestCliFilters : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_archive;

    CliRun logs(QStringList args) { return cli(QStringList{"logs", "--archive", m_archive} + args); }

private slots:
    void initTestCase()
    {
        TestEnv::useTemporaryHome();
        const double t0 = 1767605400;
        using JournalFixture::message;
        QList<JournalFixture::Record> records{
            message(t0 + 0, "backupd", "backup failed", 3),   message(t0 + 1, "kernel", "thermal event", 6),
            message(t0 + 2, "Safari", "page load error", 3),  message(t0 + 3, "apsd", "push NETWORK down", 2),
            message(t0 + 4, "zeta", "notice here", 5),        message(t0 + 5, "Alpha", "debug chatter", 7),
        };
        records[0].set("_PID", "12").set("SUBSYSTEM", "com.example.backup").set("SENDER", "backupd");
        records[1].set("_PID", "0").set("SUBSYSTEM", "com.apple.iokit.power");
        records[2].set("_PID", "120").set("SUBSYSTEM", "com.apple.WebKit").set("SENDER", "WebKit");
        records[3].set("_PID", "21").set("SUBSYSTEM", "com.apple.apsd");
        records[4].set("_PID", "312").set("SENDER", "libzeta.dylib");
        records[5].set("_PID", "5").set("SENDER", "com.apple.Alpha");
        m_archive = JournalFixture::makeArchive(m_dir.path(), "Filters.logarchive", records);
    }

    void options_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("section");
        QTest::addColumn<QStringList>("expected");  // {"2"}: a usage error
        auto row = [](const char* tag, const QStringList& args, const QStringList& expected, int section = -1) {
            QTest::newRow(tag) << args << section << expected;
        };
        row("defaults: fault and error", {}, {"backup failed", "page load error", "push NETWORK down"});
        row("level", {"--level", "Debug, info"}, {"thermal event", "debug chatter"});
        row("level ALL", {"--level", "ALL", "--type", "hardware"}, {"thermal event"});
        row("no level", {"--level", ""}, {});
        row("type", {"--level", kAll, "--type", "user"}, {"backup failed", "notice here"});
        row("process", {"--process", "Safari"}, {"page load error"});
        row("process is exact", {"--process", "safari"}, {});
        row("subsystem", {"--level", kAll, "--subsystem", "com.apple.apsd"}, {"push NETWORK down"});
        row("search, trimmed", {"--level", kAll, "--search", " \tnetwork "}, {"push NETWORK down"});
        row("two column filters", {"--level", kAll, "--filter", "PID=12", "--filter", "Sender=WEB"}, {"page load error"});
        row("sort", {"--level", kAll, "--sort", "Process"}, {"Alpha", "apsd", "backupd", "kernel", "Safari", "zeta"}, 2);
        row("sort descending", {"--level", kAll, "--sort", "Process", "--descending"},
            {"zeta", "Safari", "kernel", "backupd", "apsd", "Alpha"}, 2);
        row("time descending", {"--level", kAll, "--descending"}, {"Alpha", "zeta", "apsd", "Safari", "kernel", "backupd"}, 2);
        row("usage error: level", {"--level", "fault,warning"}, {"2"});
        row("usage error: type", {"--type", "System"}, {"2"});
        row("usage error: filter column", {"--filter", "pid=12"}, {"2"});
        row("usage error: filter without value", {"--filter", "PID"}, {"2"});
        row("usage error: sort", {"--sort", "Activity"}, {"2"});
    }

    void options()
    {
        QFETCH(QStringList, args);
        QFETCH(int, section);
        QFETCH(QStringList, expected);
        const CliRun r = logs(args);
        QCOMPARE(r.code, expected == QStringList{"2"} ? 2 : 0);
        QCOMPARE(column(r, section), expected == QStringList{"2"} ? QStringList() : expected);
    }

    void ignoresPersistedSettings()
    {
        QSettings& store = Platform::settings();
        for (const auto& [key, value] : {std::pair("sortColumn", QVariant("Process")), {"sortAscending", false},
                                         {"sourceFilter", "hardware"}, {"filter_PID", "999"}})
            store.setValue(key, value);
        store.sync();
        QCOMPARE(column(logs({}), -1), QStringList({"backup failed", "page load error", "push NETWORK down"}));
        TestEnv::clearSettings();
    }

    void processesCommand()
    {
        // Shipped friendly names first; raw names in plain code-point order.
        CliRun r = cli({"processes", "--archive", m_archive});
        QVERIFY(r.code == 0);
        QCOMPARE(column(r, 1), QStringList({"Safari", "apsd", "backupd"}));
        QVERIFY(column(r, 0)[1] != QStringLiteral("apsd"));
        // The own selection does not narrow the options, and stays among them; other filters do.
        QCOMPARE(column(cli({"processes", "--archive", m_archive, "--process", "zeta"}), 1),
                 QStringList({"Safari", "apsd", "backupd", "zeta"}));
        QCOMPARE(cli({"processes", "--archive", m_archive, "--level", kAll, "--subsystem", "com.apple.WebKit"}).lines(), QStringList{"Safari\tSafari"});
        QCOMPARE(cli({"processes", "--archive", m_archive, "--type", "nope"}).code, 2);
    }
};

QTEST_GUILESS_MAIN(TestCliFilters)
#include "test_cli_filters.moc"
