#include "logs/Platform.h"
#include "processnames/ProcessNameResolver.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

void writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TestProcessNameResolver : public QObject {
    Q_OBJECT

    QTemporaryDir m_tmp;
    int m_n = 0;
    QString m_resource;

    // A fresh application-support folder for one case.
    QString folder() { return m_tmp.path() + QStringLiteral("/case") + QString::number(++m_n) + QStringLiteral("/Vellacord"); }

private slots:
    void initTestCase()
    {
        TestEnv::useTemporaryHome();
        m_resource = m_tmp.path() + QStringLiteral("/ProcessNames.json");
        writeFile(m_resource, R"j({"launchd": "Service Launcher", "Finder": "Finder (Files)"})j");
    }

    void shippedTable()
    {
        // The default resolver copies the shipped resource into the support folder.
        ProcessNameResolver shipped;
        const QString copy = Platform::appSupportDir() + QStringLiteral("/ProcessNames.json");
        QCOMPARE(shipped.bundledFileURL(), copy);
        QVERIFY(QFileInfo::exists(copy));
        QCOMPARE(readFile(copy), readFile(ProcessNameResolver::shippedResourcePath()));
        QVERIFY(shipped.bundledNames().size() >= 40);
        QVERIFY(shipped.hasTranslation(QStringLiteral("kernel_task")));
        QVERIFY(shipped.displayName(QStringLiteral("WindowServer")) != QStringLiteral("WindowServer"));
        QVERIFY(QFileInfo(copy).isWritable());

        // Lookups are exact: unknown and case variants come back unchanged.
        QCOMPARE(shipped.displayName(QStringLiteral("mystery")), QStringLiteral("mystery"));
        QVERIFY(!shipped.hasTranslation(QStringLiteral("mystery")));
        QVERIFY(!shipped.hasTranslation(QStringLiteral("KERNEL_TASK")));
        QVERIFY(!shipped.hasTranslation(QStringLiteral(" kernel_task")));

        // Once copied, the user's copy is the shipped table, even when changed.
        writeFile(copy, R"j({"kernel_task": "Edited"})j");
        ProcessNameResolver again;
        QCOMPARE(again.displayName(QStringLiteral("kernel_task")), QStringLiteral("Edited"));
        QCOMPARE(again.bundledNames().size(), 1);
    }

    void missingResourceAndFolder()
    {
        const QString dir = folder();
        QVERIFY(!QFileInfo::exists(dir));
        ProcessNameResolver r(dir, QString());
        QVERIFY(QFileInfo(dir).isDir());  // created with its missing parents
        QCOMPARE(readFile(dir + QStringLiteral("/ProcessNames.json")), QByteArray("{}"));
        QVERIFY(r.bundledNames().isEmpty());
        QVERIFY(r.learnedNames().isEmpty());
        QVERIFY(!QFileInfo::exists(dir + QStringLiteral("/learned_processes.json")));
    }

    void learnedWinsAndLoadsBack()
    {
        const QString dir = folder();
        QDir().mkpath(dir);
        writeFile(dir + QStringLiteral("/learned_processes.json"), R"j({"launchd": "Learned Launcher"})j");
        ProcessNameResolver r(dir, m_resource);
        QCOMPARE(r.displayName(QStringLiteral("launchd")), QStringLiteral("Learned Launcher"));
        QCOMPARE(r.displayName(QStringLiteral("Finder")), QStringLiteral("Finder (Files)"));
        QVERIFY(r.hasTranslation(QStringLiteral("Finder")));
    }

    void learning()
    {
        const QString dir = folder();
        const QString learnedFile = dir + QStringLiteral("/learned_processes.json");
        ProcessNameResolver r(dir, m_resource);
        QSignalSpy spy(&r, &ProcessNameResolver::learnedNamesChanged);

        {
            // Nothing new: no message, no write, no notification.
            LogCapture log;
            r.learn({});
            r.learn({{QStringLiteral("launchd"), QStringLiteral("Other Name")}});
            QVERIFY(log.messages().isEmpty());
            QVERIFY(!QFileInfo::exists(learnedFile));
            QCOMPARE(spy.size(), 0);
            QCOMPARE(r.displayName(QStringLiteral("launchd")), QStringLiteral("Service Launcher"));
        }
        {
            // One new and one known pair: one message, one write, the shipped name untouched.
            LogCapture log;
            r.learn({{QStringLiteral("Finder"), QStringLiteral("Overwritten")},
                     {QStringLiteral("zz_daemon"), QStringLiteral("Zed Daemon")}});
            QCOMPARE(log.messages(), QStringList{QStringLiteral("Learned process name: zz_daemon → Zed Daemon")});
            QCOMPARE(r.displayName(QStringLiteral("Finder")), QStringLiteral("Finder (Files)"));
            QCOMPARE(r.displayName(QStringLiteral("zz_daemon")), QStringLiteral("Zed Daemon"));
            QCOMPARE(spy.size(), 1);
        }
        QVERIFY(QFileInfo::exists(learnedFile));
        // A learned name is never replaced either; new ones join it, sorted.
        r.learn({{QStringLiteral("zz_daemon"), QStringLiteral("Changed")},
                 {QStringLiteral("abc"), QStringLiteral("")},
                 {QStringLiteral("Abc"), QStringLiteral("Capital")}});
        QCOMPARE(r.displayName(QStringLiteral("zz_daemon")), QStringLiteral("Zed Daemon"));
        QCOMPARE(r.displayName(QStringLiteral("abc")), QString());  // empty friendly names are accepted
        QVERIFY(r.hasTranslation(QStringLiteral("abc")));

        const QByteArray saved = readFile(learnedFile);
        QVERIFY(saved.contains('\n'));  // pretty-printed
        QVERIFY(saved.indexOf("\"Abc\"") < saved.indexOf("\"abc\""));
        QVERIFY(saved.indexOf("\"abc\"") < saved.indexOf("\"zz_daemon\""));
        const QJsonObject obj = QJsonDocument::fromJson(saved).object();
        QCOMPARE(obj.size(), 3);
        QCOMPARE(obj.value(QStringLiteral("zz_daemon")).toString(), QStringLiteral("Zed Daemon"));
        QVERIFY(!obj.contains(QStringLiteral("Finder")));
        // The shipped copy is never rewritten by learning.
        QCOMPARE(readFile(dir + QStringLiteral("/ProcessNames.json")), readFile(m_resource));

        ProcessNameResolver next(dir, m_resource);
        QCOMPARE(next.learnedNames(), r.learnedNames());

        r.resetLearned();
        QVERIFY(!QFileInfo::exists(learnedFile));
        QVERIFY(r.learnedNames().isEmpty());
        QCOMPARE(r.displayName(QStringLiteral("zz_daemon")), QStringLiteral("zz_daemon"));
        QCOMPARE(ProcessNameResolver(dir, m_resource).learnedNames().size(), 0);
    }

    void corruptFiles()
    {
        const QString dir = folder();
        QDir().mkpath(dir);
        const QString bundled = dir + QStringLiteral("/ProcessNames.json");
        const QString learned = dir + QStringLiteral("/learned_processes.json");
        const QByteArray badBundled = R"j({"launchd": "Launcher", "broken": )j";
        const QByteArray badLearned = R"j(["not", "an", "object"])j";
        writeFile(bundled, badBundled);
        writeFile(learned, badLearned);

        for (int launch = 0; launch < 2; ++launch) {
            ProcessNameResolver r(dir, m_resource);
            QVERIFY(r.bundledNames().isEmpty());
            QVERIFY(r.learnedNames().isEmpty());
            QCOMPARE(readFile(bundled), badBundled);  // exists, so never replaced
            QCOMPARE(readFile(learned), badLearned);  // nothing learned yet, nothing written
        }

        ProcessNameResolver r(dir, m_resource);
        r.learn({{QStringLiteral("launchd"), QStringLiteral("Now Learned")}});
        const QJsonObject obj = QJsonDocument::fromJson(readFile(learned)).object();
        QCOMPARE(obj, QJsonObject({{QStringLiteral("launchd"), QStringLiteral("Now Learned")}}));
        QCOMPARE(readFile(bundled), badBundled);

        // A value that is not a string spoils the whole table.
        const QString dir2 = folder();
        QDir().mkpath(dir2);
        writeFile(dir2 + QStringLiteral("/ProcessNames.json"), R"j({"a": "A", "b": 2})j");
        writeFile(dir2 + QStringLiteral("/learned_processes.json"), R"j({"c": "C", "d": null})j");
        ProcessNameResolver mixed(dir2, m_resource);
        QVERIFY(mixed.bundledNames().isEmpty());
        QVERIFY(mixed.learnedNames().isEmpty());
    }

    void resolversSharingTheFile()
    {
        using Names = QMap<QString, QString>;
        const QString dir = folder();
        ProcessNameResolver first(dir, m_resource), second(dir, m_resource);
        first.learn({{"a", "A"}});
        second.learn({{"b", "B"}});
        QCOMPARE(ProcessNameResolver(dir, m_resource).learnedNames(), (Names{{"a", "A"}, {"b", "B"}}));
        QCOMPARE(second.displayName("a"), QStringLiteral("A"));  // taken in with its own write

        // A reset elsewhere is not undone by the next write here.
        second.resetLearned();
        first.learn({{"c", "C"}});
        QCOMPARE(ProcessNameResolver(dir, m_resource).learnedNames(), (Names{{"c", "C"}}));
        QCOMPARE(first.displayName("a"), QStringLiteral("a"));

        // Nor does a name whose write failed before the reset come back after it.
        const QString learnedFile = dir + "/learned_processes.json";
        QFile::remove(learnedFile);
        QDir().mkpath(learnedFile);
        first.learn({{"d", "D"}});
        first.resetLearned();
        QDir(learnedFile).removeRecursively();
        first.learn({{"e", "E"}});
        QCOMPARE(ProcessNameResolver(dir, m_resource).learnedNames(), (Names{{"e", "E"}}));
    }

    void failedWriteKeepsMemory()
    {
        const QString dir = folder();
        ProcessNameResolver r(dir, m_resource);
        // A folder in the learned file's place makes every write fail.
        QDir().mkpath(dir + QStringLiteral("/learned_processes.json"));
        r.learn({{QStringLiteral("x"), QStringLiteral("X")}});
        QCOMPARE(r.displayName(QStringLiteral("x")), QStringLiteral("X"));
        QDir(dir + QStringLiteral("/learned_processes.json")).removeRecursively();
        r.learn({{QStringLiteral("y"), QStringLiteral("Y")}});
        const QJsonObject obj = QJsonDocument::fromJson(readFile(dir + QStringLiteral("/learned_processes.json"))).object();
        QCOMPARE(obj.size(), 2);  // the whole table, the earlier name included
    }
};

QTEST_GUILESS_MAIN(TestProcessNameResolver)
#include "test_process_name_resolver.moc"
