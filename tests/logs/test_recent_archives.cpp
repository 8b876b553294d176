#include "logs/Platform.h"
#include "logs/RecentArchives.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestRecentArchives : public QObject {
    Q_OBJECT

    static QStringList stored() { return Platform::settings().value(QStringLiteral("recentArchives")).toStringList(); }

private slots:
    void initTestCase() { TestEnv::useTemporaryHome(); }
    void init() { TestEnv::clearSettings(); }

    void addKeepsFiveMostRecentFirst()
    {
        RecentArchives r;
        QVERIFY(r.paths().isEmpty());
        QSignalSpy spy(&r, &RecentArchives::pathsChanged);
        for (int i = 1; i <= 6; ++i)
            r.add(QStringLiteral("/a/%1.logarchive").arg(i));
        const QStringList five{"/a/6.logarchive", "/a/5.logarchive", "/a/4.logarchive", "/a/3.logarchive",
                               "/a/2.logarchive"};
        QCOMPARE(r.paths(), five);
        QCOMPARE(stored(), five);
        QCOMPARE(spy.size(), 6);

        // Re-adding the third moves it to the front; the length stays.
        r.add(QStringLiteral("/a/4.logarchive"));
        QCOMPARE(r.paths(), QStringList({"/a/4.logarchive", "/a/6.logarchive", "/a/5.logarchive", "/a/3.logarchive",
                                         "/a/2.logarchive"}));
        QCOMPARE(stored(), r.paths());

        // Letter case and trailing slashes make different entries.
        r.clear();
        r.add(QStringLiteral("/a/X.logarchive"));
        r.add(QStringLiteral("/a/x.logarchive"));
        r.add(QStringLiteral("/a/x.logarchive/"));
        QCOMPARE(r.paths(), QStringList({"/a/x.logarchive/", "/a/x.logarchive", "/a/X.logarchive"}));

        // A file URL is recorded by its path.
        r.add(QStringLiteral("file:///a/X.logarchive"));
        QCOMPARE(r.paths().first(), QStringLiteral("/a/X.logarchive"));
        QCOMPARE(r.paths().size(), 3);
    }

    void survivesRestart()
    {
        {
            RecentArchives r;
            r.add(QStringLiteral("/only/one.logarchive"));
        }
        // The settings file keeps a one-element list as plain text, which is
        // what the next launch reads back.
        Platform::settings().setValue(QStringLiteral("recentArchives"), QStringLiteral("/only/one.logarchive"));
        RecentArchives reloaded;
        QCOMPARE(reloaded.paths(), QStringList{"/only/one.logarchive"});

        Platform::settings().setValue(QStringLiteral("recentArchives"), QStringList{"/p/1", "/p/2"});
        QCOMPARE(RecentArchives().paths(), QStringList({"/p/1", "/p/2"}));
    }

    void existingArchivesSkipsMissing()
    {
        QTemporaryDir dir;
        const QString a = dir.filePath(QStringLiteral("A.logarchive"));
        const QString b = dir.filePath(QStringLiteral("B.logarchive"));
        const QString c = dir.filePath(QStringLiteral("C.logarchive"));
        for (const QString& p : {a, b, c})
            QVERIFY(QDir().mkpath(p));
        RecentArchives r;
        r.add(a);
        r.add(b);
        r.add(c);
        QVERIFY(QDir(b).removeRecursively());
        QCOMPARE(r.existingArchives(), QStringList({c, a}));
        QCOMPARE(r.paths(), QStringList({c, b, a}));
        // A plain file counts as existing too.
        QFile f(b);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QCOMPARE(r.existingArchives(), QStringList({c, b, a}));
    }

    void clearRemovesKey()
    {
        RecentArchives r;
        r.add(QStringLiteral("/x.logarchive"));
        QVERIFY(Platform::settings().contains(QStringLiteral("recentArchives")));
        QSignalSpy spy(&r, &RecentArchives::pathsChanged);
        r.clear();
        QVERIFY(r.paths().isEmpty());
        QVERIFY(!Platform::settings().contains(QStringLiteral("recentArchives")));
        QCOMPARE(spy.size(), 1);
        QVERIFY(RecentArchives().paths().isEmpty());
    }

    void foreignValueIgnored()
    {
        QSettings& store = Platform::settings();
        store.setValue(QStringLiteral("recentArchives"), 42);
        QVERIFY(RecentArchives().paths().isEmpty());
        store.setValue(QStringLiteral("recentArchives"), QVariantList{QStringLiteral("/a"), 7});
        QVERIFY(RecentArchives().paths().isEmpty());
        store.setValue(QStringLiteral("recentArchives"), QVariantMap{{QStringLiteral("k"), QStringLiteral("/a")}});
        RecentArchives r;
        QVERIFY(r.paths().isEmpty());
        r.add(QStringLiteral("/new.logarchive"));
        QCOMPARE(stored(), QStringList{"/new.logarchive"});
    }
};

QTEST_GUILESS_MAIN(TestRecentArchives)
#include "test_recent_archives.moc"
