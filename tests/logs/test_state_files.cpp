// State files: reads against what a hostile or broken home may hold in place
// of a small file. Every case runs under an alarm: a read that blocks or
// runs away kills the test instead of the machine. Then the settings file,
// each case in a child process (the store is one per process), and the recent
// archives list.

#include "base/AtomicFile.h"
#include "base/Platform.h"
#include "base/SafeRead.h"
#include "logs/RecentArchives.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

using Outcome = SafeRead::Result::Outcome;

namespace {

// The child of settingsFile: what the store held, then what it holds after a write.
int settingsChild(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QSettings& store = Platform::settings();
    const QString before = store.value("theme", "default").toString();
    store.setValue("theme", "written");
    store.sync();
    std::printf("%s %s\n", qPrintable(before), qPrintable(store.value("theme").toString()));
    return 0;
}

}  // namespace

class TestStateFiles : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    static QStringList stored() { return Platform::settings().value("recentArchives").toStringList(); }

private slots:
    void initTestCase() { TestEnv::useTemporaryHome(); }
    void init()
    {
        alarm(10);
        TestEnv::clearSettings();
    }
    void cleanup() { alarm(0); }

    void stateFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("reason");
        const QString notRegular = QStringLiteral("not a regular file");
        QTest::newRow("regular file") << "file" << int(Outcome::read) << QString();
        QTest::newRow("link to a regular file") << "link to file" << int(Outcome::read) << QString();
        QTest::newRow("missing") << "missing" << int(Outcome::missing) << QString();
        QTest::newRow("dangling link") << "dangling link" << int(Outcome::missing) << QString();
        QTest::newRow("FIFO without a writer") << "fifo" << int(Outcome::ignored) << notRegular;
        QTest::newRow("link to /dev/zero") << "link to /dev/zero" << int(Outcome::ignored) << notRegular;
        QTest::newRow("folder") << "folder" << int(Outcome::ignored) << notRegular;
        QTest::newRow("over 64 MiB") << "huge" << int(Outcome::ignored) << QStringLiteral("larger than 64 MiB");
    }

    void stateFiles()
    {
        QFETCH(QString, kind);
        QFETCH(int, outcome);
        QFETCH(QString, reason);
        const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()).replace('/', '_'));
        const QString target = m_dir.filePath("target.json");
        QVERIFY(!AtomicFile::write(target, "{\"a\": 1}", AtomicFile::LinkPolicy::followToRegularFile));
        QVERIFY(kind == "missing" || (kind == "file" || kind == "huge" ? QFile::copy(target, path)
                                      : kind == "link to file"         ? QFile::link(target, path)
                                      : kind == "dangling link"        ? QFile::link(m_dir.filePath("nowhere"), path)
                                      : kind == "fifo"                 ? mkfifo(QFile::encodeName(path).constData(), 0600) == 0
                                      : kind == "link to /dev/zero"    ? QFile::link("/dev/zero", path)
                                                                       : QDir().mkpath(path)));
        QVERIFY(kind != "huge" || QFile::resize(path, SafeRead::maxStateFileBytes + 1));
        const SafeRead::Result r = SafeRead::readRegularFile(path);
        QCOMPARE(int(r.outcome), outcome);
        QCOMPARE(r.reason, reason);
        QCOMPARE(r.data, outcome == int(Outcome::read) ? QByteArray("{\"a\": 1}") : QByteArray());

        LogCapture log;
        QCOMPARE(int(SafeRead::readStateFile(path, lcProcessNames()).outcome), outcome);
        QCOMPARE(log.messages(), reason.isEmpty() ? QStringList() : QStringList{"Ignored " + path + ": " + reason});
    }

    void settingsFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");  // empty: the file is read and written
        QTest::newRow("regular file") << "file" << QString();
        QTest::newRow("FIFO") << "fifo"
                              << "not a regular file";
        QTest::newRow("2 MiB file") << "huge"
                                    << "larger than 1 MiB";
        QTest::newRow("folder") << "folder"
                                << "not a regular file";
        QTest::newRow("dangling link") << "dangling link"
                                       << "a link to nothing";
        QTest::newRow("FIFO as its lock file") << "fifo lock"
                                               << "its lock file is not a regular file";
    }

    void settingsFile()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir config;
        const QString path = config.filePath("Vellacord/Vellacord.conf");
        const QString odd = kind == "fifo lock" ? path + ".lock" : path;  // what is not a small file
        const QByteArray oddName = QFile::encodeName(odd);
        QVERIFY(QDir().mkpath(kind == "folder" ? path : config.filePath("Vellacord")));
        const QByteArray contents = "[General]\ntheme=stored\n" + QByteArray(kind == "huge" ? 2 << 20 : 0, '#');
        QVERIFY(kind == "folder" || kind == "fifo" || !AtomicFile::write(path, contents, AtomicFile::LinkPolicy::followToRegularFile));
        QVERIFY(!kind.startsWith("fifo") || mkfifo(oddName.constData(), 0600) == 0);
        if (kind == "dangling link") {
            QVERIFY(QFile::remove(path));
            QVERIFY(QFile::link(config.filePath("elsewhere"), path));
        }
        struct stat before {
        }, after{};
        QCOMPARE(::lstat(oddName.constData(), &before), 0);

        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", config.path());
        env.insert("VELLACORD_SETTINGS_CHILD", "1");
        env.insert("QT_LOGGING_RULES", "com.corvistra.Vellacord.*=true");
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), QStringList());
        if (!child.waitForFinished(8000)) {  // within the alarm
            child.kill();
            child.waitForFinished();
            QFAIL("the settings hung the child");
        }
        const QString err = QString::fromUtf8(child.readAllStandardError());
        QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()).trimmed(),
                 reason.isEmpty() ? QStringLiteral("stored written") : QStringLiteral("default written"));
        QCOMPARE(err.contains("Ignored the settings file " + path + ": " + reason + ";"), !reason.isEmpty());
        if (reason.isEmpty()) {
            QVERIFY(SafeRead::readRegularFile(path).data.contains("theme=written"));
            return;
        }
        // Left as it was, and nothing created where the link points.
        QCOMPARE(::lstat(oddName.constData(), &after), 0);
        QCOMPARE(after.st_mode, before.st_mode);
        QVERIFY(kind != "huge" || SafeRead::readRegularFile(path, 4 << 20).data == contents);
        QVERIFY(!QFileInfo::exists(config.filePath("elsewhere")));
        const auto entries = QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot;
        QCOMPARE(QDir(config.filePath("Vellacord")).entryList(entries).size(), kind == "fifo lock" ? 2 : 1);
        QVERIFY(kind != "folder" || QDir(path).entryList(entries).isEmpty());
    }

    void addKeepsFiveMostRecentFirst()
    {
        RecentArchives r;
        for (int i = 1; i <= 6; ++i)
            r.add(QStringLiteral("/a/%1").arg(i));
        QCOMPARE(r.paths(), QStringList({"/a/6", "/a/5", "/a/4", "/a/3", "/a/2"}));
        // Re-adding one moves it to the front; the length stays.
        r.add("/a/4");
        QCOMPARE(r.paths(), QStringList({"/a/4", "/a/6", "/a/5", "/a/3", "/a/2"}));
        QCOMPARE(stored(), r.paths());
        r.clear();  // the key goes with the list
        QVERIFY(!Platform::settings().contains("recentArchives"));
    }

    void storedValues()
    {
        // The settings file keeps a one-element list as plain text, which the next launch reads back.
        QSettings& store = Platform::settings();
        store.setValue("recentArchives", "/only/one");
        QCOMPARE(RecentArchives().paths(), QStringList{"/only/one"});
        // Anything else that is no list of texts is ignored, and replaced by the next add.
        for (const QVariant& foreign : {QVariant(42), QVariant(QVariantList{"/a", 7}), QVariant(QVariantMap{{"k", "/a"}})}) {
            store.setValue("recentArchives", foreign);
            QVERIFY(RecentArchives().paths().isEmpty());
        }
        RecentArchives r;
        r.add("/new");
        QCOMPARE(stored(), QStringList{"/new"});
    }
};

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsSet("VELLACORD_SETTINGS_CHILD"))
        return settingsChild(argc, argv);
    QCoreApplication app(argc, argv);
    TestStateFiles test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_state_files.moc"
