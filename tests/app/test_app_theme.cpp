#include "app/AppTheme.h"
#include "app/ArchiveChoice.h"
#include "logs/Platform.h"
#include "tests/support/TestEnv.h"

#include <QTest>

class TestAppTheme : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::useTemporaryHome(); }

    void storedTheme()
    {
        TestEnv::clearSettings();
        QCOMPARE(Theme::stored(), AppTheme::system);
        for (const char* s : {"Dark", "LIGHT", "", "system", "sepia"}) {
            Platform::settings().setValue("colorScheme", QString::fromLatin1(s));
            QCOMPARE(Theme::stored(), AppTheme::system);
        }
        // An unrecognised value is not rewritten.
        QCOMPARE(Platform::settings().value("colorScheme").toString(), QStringLiteral("sepia"));
        Theme::store(AppTheme::light);
        QVERIFY(Platform::settings().value("colorScheme").toString() == "light" && Theme::stored() == AppTheme::light);
        Theme::store(AppTheme::dark);
        QCOMPARE(Theme::stored(), AppTheme::dark);
    }

    void menuLabels()
    {
        QStringList labels;
        for (AppTheme t : Theme::allCases())
            labels << Theme::menuItemLabel(t, Theme::fromStored(QStringLiteral("Dark")));
        QCOMPARE(labels, (QStringList{"\u2713 System", "   Light", "   Dark"}));
        QCOMPARE(Theme::menuItemLabel(AppTheme::dark, AppTheme::dark), QStringLiteral("\u2713 Dark"));
    }

    void archiveChoice()
    {
        for (const char* ok : {"/tmp/Logs.LOGARCHIVE", "/tmp/a.b.logarchive/", "/home/u/Desktop/mac.ndjson",
                               "/tmp/Mac Export.JSONL", "/tmp/x.NdJson"})
            QVERIFY2(ArchiveChoice::isLogArchive(QString::fromUtf8(ok)), ok);
        for (const char* bad : {"/tmp/Logs", "/tmp/logarchive", "/tmp/x.logarchive.zip", "/tmp/.ndjson", "/tmp/x.json",
                                "/tmp/x.ndjson.gz", "/tmp/ndjson", "/tmp/x.jsonlines"})
            QVERIFY2(!ArchiveChoice::isLogArchive(QString::fromUtf8(bad)), bad);
        QCOMPARE(ArchiveChoice::notAnArchiveText(QStringLiteral("/home/u/Desktop/Stuff/")),
                 QStringLiteral("Please select a .logarchive bundle. The selected item \"Stuff\" is not a valid log "
                                "archive."));
    }
};

QTEST_GUILESS_MAIN(TestAppTheme)
#include "test_app_theme.moc"
