#include "base/Platform.h"
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

using Names = QMap<QString, QString>;

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
    QString folder() { return m_tmp.path() + "/case" + QString::number(++m_n) + "/Vellacord"; }
    Names learnedIn(const QString& dir) { return ProcessNameResolver(dir, m_resource).learnedNames(); }
    static QStringList displayNames(const ProcessNameResolver& r)
    {
        QStringList out;
        for (const char* name : {"launchd", "Finder", "zz_daemon", "abc", "Abc"})
            out << r.displayName(name);
        return out;
    }

private slots:
    void initTestCase()
    {
        TestEnv::useTemporaryHome();
        m_resource = m_tmp.path() + "/ProcessNames.json";
        writeFile(m_resource, R"j({"launchd": "Service Launcher", "Finder": "Finder (Files)"})j");
    }

    void shippedTable()
    {
        // The default resolver copies the shipped resource into the support folder.
        ProcessNameResolver shipped;
        const QString copy = Platform::appSupportDir() + "/ProcessNames.json";
        QCOMPARE(readFile(copy), readFile(ProcessNameResolver::shippedResourcePath()));
        QVERIFY(shipped.displayName("WindowServer") != QStringLiteral("WindowServer"));
        QVERIFY(QFileInfo(copy).isWritable());

        // Lookups are exact: unknown and case variants come back unchanged.
        QVERIFY(shipped.hasTranslation("kernel_task"));
        for (const char* other : {"mystery", "KERNEL_TASK", " kernel_task"}) {
            QVERIFY2(!shipped.hasTranslation(other), other);
            QVERIFY2(shipped.displayName(other) == QLatin1String(other), other);
        }

        // Once copied, the user's copy is the shipped table, even when changed.
        writeFile(copy, R"j({"kernel_task": "Edited"})j");
        ProcessNameResolver again;
        QCOMPARE(again.bundledNames(), (Names{{"kernel_task", "Edited"}}));

        // No shipped resource: the folder is created with its missing parents, the table empty.
        const QString dir = folder();
        ProcessNameResolver none(dir, QString());
        QCOMPARE(readFile(dir + "/ProcessNames.json"), QByteArray("{}"));
        QVERIFY(none.bundledNames().isEmpty());
        QVERIFY(none.learnedNames().isEmpty());
        QVERIFY(!QFileInfo::exists(dir + "/learned_processes.json"));
    }

    void learning()
    {
        const QString dir = folder();
        const QString learnedFile = dir + "/learned_processes.json";
        ProcessNameResolver r(dir, m_resource);
        QSignalSpy spy(&r, &ProcessNameResolver::learnedNamesChanged);
        LogCapture log;
        r.learn({});
        r.learn({{"launchd", "Other Name"}});  // nothing new: no message, no write, no notification
        QVERIFY(!QFileInfo::exists(learnedFile));
        r.learn({{"Finder", "Overwritten"}, {"zz_daemon", "Zed Daemon"}});  // the shipped name untouched
        QCOMPARE(log.messages(), QStringList{"Learned process name: zz_daemon → Zed Daemon"});
        QCOMPARE(spy.size(), 1);
        // A learned name is never replaced either; new ones join it, sorted; empty names are accepted.
        r.learn({{"zz_daemon", "Changed"}, {"abc", ""}, {"Abc", "Capital"}});
        QCOMPARE(displayNames(r), (QStringList{"Service Launcher", "Finder (Files)", "Zed Daemon", "", "Capital"}));
        QVERIFY(r.hasTranslation("abc"));
        // The shipped names are the Mac's: a Linux entry gets only learned ones.
        constexpr LogOrigin linuxJournal = LogOrigin::linuxJournal;
        QCOMPARE(r.displayName("zz_daemon", linuxJournal) + '|' + r.displayName("Finder", linuxJournal),
                 QStringLiteral("Zed Daemon|Finder"));
        QVERIFY(r.hasTranslation("zz_daemon", linuxJournal));
        QVERIFY(!r.hasTranslation("Finder", linuxJournal));
        const QJsonObject all{{"Abc", "Capital"}, {"abc", ""}, {"zz_daemon", "Zed Daemon"}};
        QCOMPARE(readFile(learnedFile), QJsonDocument(all).toJson(QJsonDocument::Indented));  // pretty-printed, sorted
        QCOMPARE(readFile(dir + "/ProcessNames.json"), readFile(m_resource));                 // never rewritten by learning

        // A learned name wins over the shipped one when loaded back.
        writeFile(learnedFile, R"j({"launchd": "Learned Launcher"})j");
        QCOMPARE(ProcessNameResolver(dir, m_resource).displayName("launchd"), QStringLiteral("Learned Launcher"));

        r.resetLearned();
        QVERIFY(!QFileInfo::exists(learnedFile));
        QVERIFY(r.learnedNames().isEmpty());
        QCOMPARE(displayNames(r), (QStringList{"Service Launcher", "Finder (Files)", "zz_daemon", "abc", "Abc"}));
    }

    // A name that breaks the rule is not learned at all, nor read back from the file.
    void unacceptableNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("acceptable");
        QTest::newRow("plain") << "Bluetooth Daemon" << true;
        QTest::newRow("64 characters") << QString(64, 'n') << true;
        QTest::newRow("non-ASCII") << QString::fromUtf8("Dienst für Drucker") << true;
        QTest::newRow("65 characters") << QString(65, 'n') << false;
        QTest::newRow("line feed") << "Safe\nsshd" << false;
        QTest::newRow("tab") << "a\tb" << false;
        QTest::newRow("escape sequence") << "a\x1b[31m" << false;
        QTest::newRow("DEL") << "a\x7f" << false;
        QTest::newRow("C1 control") << QString::fromUtf8("a\u0085b") << false;
        QTest::newRow("line separator") << QString::fromUtf8("a\u2028b") << false;
        QTest::newRow("right-to-left override") << QString::fromUtf8("web\u202eexe.01") << false;
        QTest::newRow("isolate") << QString::fromUtf8("a\u2066b") << false;
        QTest::newRow("Arabic letter mark") << QString::fromUtf8("a\u061cb") << false;
    }
    void unacceptableNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, acceptable);
        const QString dir = folder();
        ProcessNameResolver r(dir, m_resource);
        r.learn({{"zz_daemon", name}});
        QCOMPARE(r.hasTranslation("zz_daemon"), acceptable);
        writeFile(dir + "/learned_processes.json", QJsonDocument(QJsonObject{{"other", name}, {"x", "X"}}).toJson());
        const Names expected = acceptable ? Names{{"other", name}, {"x", "X"}} : Names{{"x", "X"}};
        QCOMPARE(learnedIn(dir), expected);
    }

    void corruptFiles_data()
    {
        QTest::addColumn<QByteArray>("bundled");
        QTest::addColumn<QByteArray>("learned");
        QTest::newRow("not JSON, not an object") << QByteArray(R"j({"launchd": "Launcher", "broken": )j")
                                                 << QByteArray(R"j(["not", "an", "object"])j");
        // A value that is not a string spoils the whole table.
        QTest::newRow("a value that is no string") << QByteArray(R"j({"a": "A", "b": 2})j")
                                                   << QByteArray(R"j({"c": "C", "d": null})j");
    }

    void corruptFiles()
    {
        QFETCH(QByteArray, bundled);
        QFETCH(QByteArray, learned);
        const QString dir = folder();
        QDir().mkpath(dir);
        writeFile(dir + "/ProcessNames.json", bundled);
        writeFile(dir + "/learned_processes.json", learned);
        for (int launch = 0; launch < 2; ++launch) {
            ProcessNameResolver r(dir, m_resource);
            QVERIFY(r.bundledNames().isEmpty());
            QVERIFY(r.learnedNames().isEmpty());
            QCOMPARE(readFile(dir + "/ProcessNames.json"), bundled);       // exists, so never replaced
            QCOMPARE(readFile(dir + "/learned_processes.json"), learned);  // nothing learned, nothing written
        }
        ProcessNameResolver(dir, m_resource).learn({{"launchd", "Now Learned"}});
        QCOMPARE(learnedIn(dir), (Names{{"launchd", "Now Learned"}}));
        QCOMPARE(readFile(dir + "/ProcessNames.json"), bundled);
    }

    void resolversSharingTheFile()
    {
        const QString dir = folder();
        ProcessNameResolver first(dir, m_resource), second(dir, m_resource);
        first.learn({{"a", "A"}});
        second.learn({{"b", "B"}});
        QCOMPARE(learnedIn(dir), (Names{{"a", "A"}, {"b", "B"}}));
        QCOMPARE(second.displayName("a"), QStringLiteral("A"));  // taken in with its own write

        // A reset elsewhere is not undone by the next write here.
        second.resetLearned();
        first.learn({{"c", "C"}});
        QCOMPARE(learnedIn(dir), (Names{{"c", "C"}}));
        QCOMPARE(first.displayName("a"), QStringLiteral("a"));

        // A folder in the file's place makes writes fail: the name stays in memory and is
        // written with the next good write.
        const QString learnedFile = dir + "/learned_processes.json";
        QFile::remove(learnedFile);
        QDir().mkpath(learnedFile);
        first.learn({{"d", "D"}});
        QCOMPARE(first.displayName("d"), QStringLiteral("D"));
        QDir(learnedFile).removeRecursively();
        first.learn({{"e", "E"}});
        QCOMPARE(learnedIn(dir), (Names{{"d", "D"}, {"e", "E"}}));  // c went with the removed file
    }
};

QTEST_GUILESS_MAIN(TestProcessNameResolver)
#include "test_process_name_resolver.moc"
