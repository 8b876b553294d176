#include "logs/LogCollector.h"
#include "logs/LogFetcher.h"
#include "logs/Platform.h"
#include "tests/support/JournalFixture.h"
#include "tests/support/TestEnv.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestLogCollector : public QObject {
    Q_OBJECT

    QTemporaryDir m_tools;

    // A fake collection tool: a shell script whose body follows the line that
    // records its arguments; selected through VELLACORD_LOG_TOOL.
    QString fakeTool(const QString& name, const QByteArray& body)
    {
        const QString path = m_tools.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return {};
        f.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n" + body + "\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("VELLACORD_LOG_TOOL", path.toUtf8());
        return path;
    }

    static QStringList recordedArguments(const QString& tool)
    {
        QFile f(tool + QStringLiteral(".args"));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    struct Run {
        bool success = false;
        QString path;
        QString failure;
    };

    static Run runToEnd(LogCollector& c)
    {
        QSignalSpy finished(&c, &LogCollector::finished);
        if (!c.start())
            return {};
        if (!finished.wait(20000))
            qWarning("the collection did not finish");
        if (finished.isEmpty())
            return {};
        const QList<QVariant> args = finished.first();
        return Run{args.at(0).toBool(), args.at(1).toString(), args.at(2).toString()};
    }

    // Runs a fake tool to its end and returns the alert text (empty when none).
    QString alertTextFor(const QByteArray& body)
    {
        fakeTool(QStringLiteral("tool.sh"), body);
        LogCollector c;
        const Run r = runToEnd(c);
        if (r.success)
            return {};
        if (c.isCollecting())
            return QStringLiteral("<still collecting>");
        return r.failure;
    }

private slots:
    void initTestCase()
    {
        TestEnv::useTemporaryHome();
        QVERIFY(m_tools.isValid());
    }

    void init()
    {
        TestEnv::clearSettings();
        // Runs within one second share an output path; start each test afresh.
        QDir desktop(Platform::desktopDir());
        for (const QString& name : desktop.entryList({"Vellacord-*"}, QDir::Dirs | QDir::Files))
            QDir(desktop.filePath(name)).removeRecursively();
    }
    void cleanup() { qunsetenv("VELLACORD_LOG_TOOL"); }

    void outputPathAndArguments()
    {
        const QDateTime t(QDate(2024, 3, 5), QTime(7, 8, 9), Qt::LocalTime);
        QCOMPARE(LogCollector::outputPath(t), Platform::desktopDir() + "/Vellacord-2024-03-05-070809.logarchive");
        QCOMPARE(LogCollector::toolArguments("/d/x.logarchive"),
                 QStringList({"collect", "--last", "1h", "--output", "/d/x.logarchive"}));
    }

    void oneRunAtATime()
    {
        fakeTool(QStringLiteral("slow.sh"), "sleep 1; exit 3");
        LogCollector c;
        QSignalSpy finished(&c, &LogCollector::finished);
        QVERIFY(c.start());
        QVERIFY(c.isCollecting());
        QVERIFY(!c.start());
        // The event loop keeps running while the tool works.
        bool ticked = false;
        QTimer::singleShot(100, this, [&] { ticked = c.isCollecting(); });
        QVERIFY(finished.wait(20000));
        QVERIFY(ticked && !c.isCollecting());
        QCOMPARE(finished.size(), 1);
    }

    void successLeavesTheArchive()
    {
        const QString tool = fakeTool(QStringLiteral("ok.sh"), "mkdir \"$5\" && echo 'progress noise' >&2");
        LogCollector c;
        const Run r = runToEnd(c);
        QVERIFY(r.success && r.failure.isEmpty());
        QVERIFY2(r.path.startsWith(Platform::desktopDir() + "/Vellacord-"), qPrintable(r.path));  // outputPath's form
        QCOMPARE(recordedArguments(tool), LogCollector::toolArguments(r.path));
        QVERIFY(QFileInfo(r.path).isDir());
    }

    void exitStatusTexts()
    {
        const QString cancelled = QStringLiteral("Log collection was cancelled or requires administrator privileges.");
        const QList<QPair<QByteArray, QString>> cases{
            {"exit 1", cancelled},
            {"echo 'must be run as root' >&2; exit 1", cancelled},
            {"echo 'Operation cancelled by user' >&2; exit 5", cancelled},
            {"echo 'Cancelled' >&2; exit 2", "Exit code 2\nCancelled\n"},  // case-sensitive
            {"printf 'log: caf\\303\\251 --bogus\\n' >&2; exit 64", QString::fromUtf8("Exit code 64\nlog: caf\u00e9 --bogus\n")},
            {"printf 'bad \\377 bytes' >&2; exit 2", "Exit code 2\n"},  // standard error that is not UTF-8 is shown as empty
            {"kill -9 $$", "Exit code 9\n"},  // never a success, the signal number as the status
            // Standard input is empty, not a pipe left open; a lot on standard output cannot stall the tool.
            {"cat; exit 4", "Exit code 4\n"},
            {"head -c 20000000 /dev/zero; echo done >&2; exit 3", "Exit code 3\ndone\n"}};
        for (const auto& [body, text] : cases)
            QCOMPARE(alertTextFor(body), text);
    }

    void toolThatCannotStart()
    {
        const QString missing = m_tools.filePath(QStringLiteral("no-such-tool"));
        for (const QString& tool : {missing, fakeTool(QStringLiteral("not-executable.sh"), "exit 0")}) {
            QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner);
            qputenv("VELLACORD_LOG_TOOL", tool.toUtf8());
            LogCollector c;
            const Run r = runToEnd(c);
            QVERIFY(!r.success && !c.isCollecting());
            QVERIFY2(!r.failure.isEmpty() && !r.failure.startsWith(QLatin1String("Exit code")), qPrintable(tool));
        }
    }

    void realToolCollectsTheLastHour()
    {
        // The shipped script, found from the build tree, reading a fixture journal instead of the machine's.
        QTemporaryDir journal;
        const double now = QDateTime::currentSecsSinceEpoch();
        using JournalFixture::message;
        QCOMPARE(JournalFixture::writeJournal(journal.path(), {message(now - 7200, "sshd", "two hours ago", 6),
                                                               message(now - 600, "kernel", "ten minutes ago", 3),
                                                               message(now - 60, "cron", "a minute ago", 5)}),
                 QString());
        qputenv("VELLACORD_JOURNAL_DIRECTORY", journal.path().toUtf8());
        LogFetcher fetcher;  // the platform's journal store reads the archive
        LogCollector c;
        const Run r = runToEnd(c);
        QVERIFY2(r.success, qPrintable(r.failure));
        QVERIFY(QFileInfo::exists(r.path + "/system.journal"));
        fetcher.openArchive(r.path);
        QTRY_VERIFY_WITH_TIMEOUT(!fetcher.isLoading(), 20000);
        QVERIFY2(!fetcher.errorMessage() && fetcher.entries().size() == 2, qPrintable(fetcher.errorMessage().value_or(QString())));
        QCOMPARE(fetcher.entries()[0].message + '|' + fetcher.entries()[1].message, QStringLiteral("ten minutes ago|a minute ago"));

        // Nothing in the last hour: still an archive, with no entries.
        // (Each run's output is removed: a run in the same second has the same path.)
        QVERIFY(QDir(r.path).removeRecursively());
        QTemporaryDir empty;
        qputenv("VELLACORD_JOURNAL_DIRECTORY", empty.path().toUtf8());
        const Run e = runToEnd(c);
        fetcher.openArchive(e.path);
        QTRY_VERIFY_WITH_TIMEOUT(!fetcher.isLoading(), 20000);
        QCOMPARE(fetcher.errorMessage(), std::optional(QStringLiteral("No log entries found in this archive.")));

        // A journal that cannot be read ends in exit status 1, and no archive is left.
        QVERIFY(QDir(e.path).removeRecursively());
        qputenv("VELLACORD_JOURNAL_DIRECTORY", QByteArray("/nonexistent/journal"));
        const Run u = runToEnd(c);
        qunsetenv("VELLACORD_JOURNAL_DIRECTORY");
        QCOMPARE(u.success ? QString() : u.failure, LogCollector::failureText(1, {}));
        QVERIFY(!QFileInfo::exists(u.path));
    }

    void realToolRefusesAnExistingOutput()
    {
        const QString tool = LogCollector::toolPath();
        QTemporaryDir dir;
        QProcess p;
        p.start(tool, LogCollector::toolArguments(dir.path()));
        QVERIFY(p.waitForFinished(20000) && p.exitCode() == 73 && p.readAllStandardError().contains("already exists"));
        p.start(tool, {"collect", "--last", "1h"});
        QVERIFY(p.waitForFinished(20000) && p.exitCode() == 64);
    }
};

QTEST_GUILESS_MAIN(TestLogCollector)
#include "test_log_collector.moc"
