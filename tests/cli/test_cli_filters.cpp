#include "logs/Platform.h"
#include "tests/support/JournalFixture.h"
#include "tests/support/TestEnv.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

using TestEnv::CliRun;
CliRun cli(const QStringList& args) { return TestEnv::runCli(args); }

// The message column of row lines (the last one).
QStringList messagesOf(const CliRun& r)
{
    QStringList out;
    for (const QString& line : r.lines())
        out.append(line.section('\t', -1));
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
            message(t0 + 0, "backupd", "backup failed", 3),
            message(t0 + 1, "kernel", "thermal event", 6),
            message(t0 + 2, "Safari", "page load error", 3),
            message(t0 + 3, "apsd", "push NETWORK down", 2),
            message(t0 + 4, "zeta", "notice here", 5),
            message(t0 + 5, "Alpha", "debug chatter", 7),
        };
        records[0].set("_PID", "12").set("SUBSYSTEM", "com.example.backup").set("SENDER", "backupd");
        records[1].set("_PID", "0").set("SUBSYSTEM", "com.apple.iokit.power");
        records[2].set("_PID", "120").set("SUBSYSTEM", "com.apple.WebKit").set("SENDER", "WebKit");
        records[3].set("_PID", "21").set("SUBSYSTEM", "com.apple.apsd");
        records[4].set("_PID", "312").set("SENDER", "libzeta.dylib");
        records[5].set("_PID", "5").set("SENDER", "com.apple.Alpha");
        m_archive = JournalFixture::makeArchive(m_dir.path(), "Filters.logarchive", records);
    }

    void defaultsAndLevels()
    {
        CliRun r = logs({});
        QCOMPARE(r.code, 0);
        QCOMPARE(messagesOf(r), QStringList({"backup failed", "page load error", "push NETWORK down"}));
        r = logs({"--level", "notice"});
        QCOMPARE(messagesOf(r), QStringList{"notice here"});
        r = logs({"--level", "Debug, info"});
        QCOMPARE(messagesOf(r), QStringList({"thermal event", "debug chatter"}));
        QCOMPARE(messagesOf(logs({"--level", "ALL"})).size(), 6);
        r = logs({"--level", ""});
        QCOMPARE(r.code, 0);
        QVERIFY(r.lines().isEmpty());
        QCOMPARE(logs({"--level", "fault,warning"}).code, 2);
    }

    void typeProcessSubsystemSearch()
    {
        QCOMPARE(messagesOf(logs({"--level", kAll, "--type", "hardware"})), QStringList{"thermal event"});
        QCOMPARE(messagesOf(logs({"--level", kAll, "--type", "user"})),
                 QStringList({"backup failed", "notice here"}));
        QCOMPARE(messagesOf(logs({"--level", kAll, "--type", "system"})),
                 QStringList({"thermal event", "page load error", "push NETWORK down", "debug chatter"}));
        QCOMPARE(logs({"--type", "System"}).code, 2);

        QCOMPARE(messagesOf(logs({"--process", "Safari"})), QStringList{"page load error"});
        const CliRun none = logs({"--process", "safari"});
        QCOMPARE(none.code, 0);
        QVERIFY(none.lines().isEmpty());
        QCOMPARE(messagesOf(logs({"--level", kAll, "--subsystem", "com.apple.apsd"})), QStringList{"push NETWORK down"});
        QCOMPARE(messagesOf(logs({"--level", kAll, "--search", " \tnetwork "})), QStringList{"push NETWORK down"});
        // The search looks at process and subsystem too, not at the sender.
        QCOMPARE(messagesOf(logs({"--level", kAll, "--search", "SAFARI"})), QStringList{"page load error"});
        QCOMPARE(messagesOf(logs({"--level", kAll, "--search", "iokit"})), QStringList{"thermal event"});
        QVERIFY(logs({"--level", kAll, "--search", "libzeta"}).lines().isEmpty());
    }

    void columnFiltersAndSort()
    {
        QCOMPARE(messagesOf(logs({"--level", kAll, "--filter", "PID=12"})),
                 QStringList({"backup failed", "page load error", "notice here"}));
        QCOMPARE(messagesOf(logs({"--level", kAll, "--filter", "PID=12", "--filter", "Sender=WEB"})),
                 QStringList{"page load error"});
        QCOMPARE(logs({"--filter", "pid=12"}).code, 2);
        QCOMPARE(logs({"--filter", "PID"}).code, 2);

        auto processes = [](const CliRun& r) {
            QStringList out;
            for (const QString& line : r.lines())
                out.append(line.section('\t', 2, 2));
            return out;
        };
        QCOMPARE(processes(logs({"--level", kAll, "--sort", "Process"})),
                 QStringList({"Alpha", "apsd", "backupd", "kernel", "Safari", "zeta"}));
        QCOMPARE(processes(logs({"--level", kAll, "--sort", "Process", "--descending"})),
                 QStringList({"zeta", "Safari", "kernel", "backupd", "apsd", "Alpha"}));
        QCOMPARE(processes(logs({"--level", kAll, "--descending"})),
                 QStringList({"Alpha", "zeta", "apsd", "Safari", "kernel", "backupd"}));
        QCOMPARE(processes(logs({"--level", kAll, "--sort", "Severity"})).first(), QStringLiteral("Alpha"));
        QCOMPARE(logs({"--sort", "Activity"}).code, 2);
    }

    void ignoresPersistedSettings()
    {
        QSettings& store = Platform::settings();
        store.setValue("sortColumn", "Process");
        store.setValue("sortAscending", false);
        store.setValue("sourceFilter", "hardware");
        store.setValue("column_PID", true);
        store.setValue("filter_PID", "999");
        store.sync();
        QCOMPARE(messagesOf(logs({})), QStringList({"backup failed", "page load error", "push NETWORK down"}));
        TestEnv::clearSettings();
    }

    void processesCommand()
    {
        CliRun r = cli({"processes", "--archive", m_archive});
        QCOMPARE(r.code, 0);
        // Shipped friendly names; raw names in plain code-point order.
        QCOMPARE(r.lines().size(), 3);
        QCOMPARE(r.lines()[0].section('\t', 1), QStringLiteral("Safari"));
        QCOMPARE(r.lines()[1].section('\t', 1), QStringLiteral("apsd"));
        QCOMPARE(r.lines()[2].section('\t', 1), QStringLiteral("backupd"));
        QVERIFY(r.lines()[1].section('\t', 0, 0) != QStringLiteral("apsd"));
        QVERIFY(r.lines()[2].section('\t', 0, 0) != QStringLiteral("backupd"));

        // The own selection does not narrow the options, and stays among them.
        r = cli({"processes", "--archive", m_archive, "--process", "zeta"});
        QStringList raw;
        for (const QString& line : r.lines())
            raw.append(line.section('\t', 1));
        QCOMPARE(raw, QStringList({"Safari", "apsd", "backupd", "zeta"}));
        // Other filters do.
        r = cli({"processes", "--archive", m_archive, "--level", kAll, "--subsystem", "com.apple.WebKit"});
        QCOMPARE(r.lines(), QStringList{"Safari\tSafari"});
        QCOMPARE(cli({"processes", "--archive", m_archive, "--type", "nope"}).code, 2);
    }
};

QTEST_GUILESS_MAIN(TestCliFilters)
#include "test_cli_filters.moc"
