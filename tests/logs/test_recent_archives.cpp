#include "logs/Platform.h"
#include "logs/RecentArchives.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestRecentArchives : public QObject {
    Q_OBJECT

    static QStringList stored() { return Platform::settings().value("recentArchives").toStringList(); }

private slots:
    void initTestCase() { TestEnv::useTemporaryHome(); }
    void init() { TestEnv::clearSettings(); }

    void addKeepsFiveMostRecentFirst()
    {
        RecentArchives r;
        QSignalSpy spy(&r, &RecentArchives::pathsChanged);
        for (int i = 1; i <= 6; ++i)
            r.add(QStringLiteral("/a/%1").arg(i));
        QCOMPARE(r.paths(), QStringList({"/a/6", "/a/5", "/a/4", "/a/3", "/a/2"}));
        QCOMPARE(spy.size(), 6);
        // Re-adding one moves it to the front; the length stays.
        r.add("/a/4");
        QCOMPARE(r.paths(), QStringList({"/a/4", "/a/6", "/a/5", "/a/3", "/a/2"}));
        QCOMPARE(stored(), r.paths());
        QCOMPARE(RecentArchives().paths(), r.paths());

        // Letter case and trailing slashes make different entries; a file URL is its path.
        r.clear();
        QCOMPARE(spy.size(), 8);
        QVERIFY(!Platform::settings().contains("recentArchives"));
        QVERIFY(RecentArchives().paths().isEmpty());
        for (const char* p : {"/a/X", "/a/x", "/a/x/", "file:///a/X"})
            r.add(p);
        QCOMPARE(r.paths(), QStringList({"/a/X", "/a/x/", "/a/x"}));
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

    void existingArchivesSkipsMissing()
    {
        QTemporaryDir dir;
        const QString a = dir.filePath("A"), b = dir.filePath("B"), c = dir.filePath("C");
        RecentArchives r;
        for (const QString& p : {a, b, c}) {
            QVERIFY(QDir().mkpath(p));
            r.add(p);
        }
        QVERIFY(QDir(b).removeRecursively());
        QCOMPARE(r.existingArchives(), QStringList({c, a}));
        QCOMPARE(r.paths(), QStringList({c, b, a}));
        QVERIFY(QFile(b).open(QIODevice::WriteOnly));  // a plain file counts as existing too
        QCOMPARE(r.existingArchives(), QStringList({c, b, a}));
    }
};

QTEST_GUILESS_MAIN(TestRecentArchives)
#include "test_recent_archives.moc"
