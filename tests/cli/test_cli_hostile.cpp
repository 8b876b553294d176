// The command line against hostile names, broken output and folders larger
// than it may hold open: every row runs the program as a child process, its
// standard output where the row says and under the open-file limit it says.

#include "tests/support/JournalFixture.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

enum class Sink { pipe,
                  devFull,
                  closed,
                  sizeLimit };

struct Limits {
    rlim_t openFiles = 0, openFilesHard = 0;  // 0: as inherited
};

}  // namespace

Q_DECLARE_METATYPE(Sink)

class TestCliHostile : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_names, m_fleet, m_damaged;
    LoopbackHttpServer m_server;

    static constexpr int kHosts = 50;

private slots:
    void initTestCase()
    {
        TestEnv::useTemporaryHome();
        QVERIFY(m_server.start());
        using JournalFixture::message;
        // Names that would move the cursor, retitle the terminal, forge a row or reorder the text.
        JournalFixture::Record forged = message(1767605400, "evil\x1b]0;owned\x07\tError\tfake", "clear\x1b[2J\r\nrow", 3);
        forged.set("_HOSTNAME", "web\xe2\x80\xae"
                                "10.exe");
        m_names = JournalFixture::makeArchive(m_dir.path(), "Names.logarchive", {forged});

        // A fleet folder: one journal per host.
        m_fleet = m_dir.path() + "/Fleet";
        for (int i = 0; i < kHosts; ++i) {
            JournalFixture::Record r = message(1767605400 + i, "app", "entry " + QByteArray::number(i), 3);
            QCOMPARE(JournalFixture::writeJournal(m_fleet, {r.set("_HOSTNAME", "host" + QByteArray::number(i))},
                                                  QStringLiteral("host%1.journal").arg(i)),
                     QString());
        }
        // A truncated journal among good ones.
        m_damaged = m_dir.path() + "/Damaged";
        for (int i = 0; i < 3; ++i)
            QCOMPARE(JournalFixture::writeJournal(m_damaged, {message(1767605400 + i, "app", "entry " + QByteArray::number(i), 3)},
                                                  QStringLiteral("h%1.journal").arg(i)),
                     QString());
        QVERIFY(QFile::resize(m_damaged + "/h1.journal", 3000));
    }

    void outputArgumentsAndFolders_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<Sink>("sink");
        QTest::addColumn<int>("openFiles");  // soft limit; 0 keeps the inherited one
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("err");     // what standard error says (a substring; "re:" a pattern)
        QTest::addColumn<QString>("out");     // a substring of standard output; empty: nothing expected
        QTest::addColumn<int>("lines");       // lines of standard output; -1: not counted
        QTest::addColumn<QString>("answer");  // the AI provider's text, for explain and analyze

        const QStringList names{"logs", "--archive", m_names};
        // Output that cannot be written fails the run, whatever the command printed before.
        QTest::newRow("full disk") << names << Sink::devFull << 0 << 1
                                   << "vellacord-cli: cannot write the output: No space left on device"
                                   << "" << 0 << QString();
        QTest::newRow("closed standard output") << names << Sink::closed << 0 << 1
                                                << "vellacord-cli: cannot write the output: Bad file descriptor"
                                                << "" << 0 << QString();
        QTest::newRow("file size limit") << QStringList{"logs", "--archive", m_fleet} << Sink::sizeLimit << 0 << 1
                                         << "vellacord-cli: cannot write the output: File too large"
                                         << "" << -1 << QString();

        // Names print escaped in rows, exactly in json.
        QTest::newRow("rows escape names") << names << Sink::pipe << 0 << 0 << ""
                                           << "\tError\tevil\\x1b]0;owned\\x07\\tError\\tfake\tclear\\x1b[2J\\r\\nrow" << 1 << QString();
        QTest::newRow("host column escapes bidi") << names + QStringList{"--columns", "Host"} << Sink::pipe << 0 << 0 << ""
                                                  << "\tweb\\u202e10.exe\t" << 1 << QString();
        QTest::newRow("json keeps names") << names + QStringList{"--format", "json"} << Sink::pipe << 0 << 0 << ""
                                          << "\"process\":\"evil\\u001b]0;owned\\u0007\\tError\\tfake\"" << 1 << QString();
        QTest::newRow("processes escape names") << QStringList{"processes", "--archive", m_names} << Sink::pipe << 0 << 0 << ""
                                                << "evil\\x1b]0;owned\\x07\\tError\\tfake" << -1 << QString();

        // Provider text is escaped too: explain keeps its line breaks, analyze rows do not.
        const QStringList all{"--archive", m_names, "--level", "fault,error,notice,info,debug"};
        QTest::newRow("explain escapes the answer") << QStringList{"explain", "--index", "0"} + all << Sink::pipe << 0 << 0 << ""
                                                    << "Line one \\x1b[2J\nEnd \\u202e." << 2 << "Line one \x1b[2J\nEnd \u202e.";
        QTest::newRow("analyze escapes findings") << QStringList{"analyze"} + all << Sink::pipe << 0 << 0 << ""
                                                  << "Evil\\x1b]0;t\\x07\\nrow\tC\\t1\t-\n"
                                                  << 1
                                                  << "ENTRY: 1, 0\nTITLE: Evil\x1b]0;t\x07\\nrow\nCONCERN: C\t1";

        // Arguments that would quietly mean something else.
        QTest::newRow("start after end") << QStringList{"logs", "--archive", m_names, "--start", "2026-01-05T10:00:00Z",
                                                        "--end", "2026-01-05T09:00:00Z"}
                                         << Sink::pipe << 0 << 2 << "vellacord-cli logs: --start must not be after --end"
                                         << "" << 0 << QString();
        QTest::newRow("empty archive path") << QStringList{"logs", "--archive", ""} << Sink::pipe << 0 << 2
                                            << "vellacord-cli logs: --archive needs a path"
                                            << "" << 0 << QString();
        QTest::newRow("empty crash folder path") << QStringList{"crashes", "--dir", ""} << Sink::pipe << 0 << 2
                                                 << "vellacord-cli crashes: --dir needs a path"
                                                 << "" << 0 << QString();

        // A fleet larger than the open-file limit: the soft limit is raised to the hard one; where the
        // hard one is too low, the files not read are named and the run fails.
        const QStringList fleet{"logs", "--archive", m_fleet, "--format", "json"};
        QTest::newRow("fleet under a soft limit") << fleet << Sink::pipe << 32 << 0 << ""
                                                  << "\"host\":\"host49\"" << kHosts << QString();
        QTest::newRow("fleet under a hard limit") << fleet << Sink::pipe << -32 << 1
                                                  << R"(re:files were not read \(the open-file limit is 32\): (host\d+\.journal, ){2}host\d+\.journal and \d+ more\.)"
                                                  << "\"host\":\"host0\"" << -1 << QString();
        // A truncated journal is counted, the others read.
        QTest::newRow("truncated journal") << QStringList{"logs", "--archive", m_damaged} << Sink::pipe << 0 << 0
                                           << "Skipped while reading: 1 damaged file."
                                           << "entry 2" << 2 << QString();
    }

    void outputArgumentsAndFolders()
    {
        QFETCH(QStringList, args);
        QFETCH(Sink, sink);
        QFETCH(int, openFiles);
        QFETCH(int, code);
        QFETCH(QString, err);
        QFETCH(QString, out);
        QFETCH(int, lines);
        QFETCH(QString, answer);
        if (!answer.isEmpty())
            m_server.enqueue(LoopbackHttpServer::Response::json(
                200, QJsonDocument(QJsonObject{{"content", QJsonArray{QJsonObject{{"type", "text"}, {"text", answer}}}}})
                         .toJson(QJsonDocument::Compact)));
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VELLACORD_ANTHROPIC_URL", m_server.baseUrl());
        env.insert("VELLACORD_API_KEY", "test-key");
        p.setProcessEnvironment(env);
        const QString outFile = m_dir.filePath("out.txt");
        QFile::remove(outFile);
        if (sink == Sink::devFull)
            p.setStandardOutputFile(QStringLiteral("/dev/full"));
        else if (sink == Sink::sizeLimit)
            p.setStandardOutputFile(outFile);
        p.setChildProcessModifier([sink, openFiles] {
            if (sink == Sink::closed)
                ::close(STDOUT_FILENO);
            if (sink == Sink::sizeLimit) {
                ::signal(SIGXFSZ, SIG_IGN);  // kept ignored across exec: writes fail with EFBIG
                const rlimit size{512, 512};
                ::setrlimit(RLIMIT_FSIZE, &size);
            }
            if (openFiles != 0) {  // negative: the hard limit too
                const rlim_t soft = rlim_t(std::abs(openFiles));
                const rlimit files{soft, openFiles < 0 ? soft : 4096};
                ::setrlimit(RLIMIT_NOFILE, &files);
            }
        });
        p.start(TestEnv::cliPath(), args);
        QVERIFY(p.waitForFinished(60000));
        const QString stdErr = QString::fromUtf8(p.readAllStandardError());
        const QString stdOut = QString::fromUtf8(sink == Sink::pipe ? p.readAllStandardOutput() : QByteArray());
        QVERIFY2(p.exitStatus() == QProcess::NormalExit, qPrintable(QString::number(p.exitCode()) + '|' + stdErr));
        QVERIFY2(p.exitCode() == code, qPrintable(QString::number(p.exitCode()) + '|' + stdErr));
        QVERIFY2(err.startsWith("re:") ? QRegularExpression(err.mid(3)).match(stdErr).hasMatch() : stdErr.contains(err),
                 qPrintable(stdErr));
        QVERIFY2(out.isEmpty() || stdOut.contains(out), qPrintable(stdOut));
        if (lines >= 0)
            QCOMPARE(stdOut.count(u'\n'), lines);
        if (sink == Sink::sizeLimit)
            QVERIFY(QFileInfo(outFile).size() <= 512);
    }
};

QTEST_GUILESS_MAIN(TestCliHostile)
#include "test_cli_hostile.moc"
