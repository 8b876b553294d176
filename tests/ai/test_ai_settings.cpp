#include "ai/AISettings.h"
#include "logs/Platform.h"
#include "tests/support/TestEnv.h"

#include <QtTest>

#include <sys/stat.h>

class TestAISettings : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::useTemporaryHome(); }
    void init() { TestEnv::clearSettings(); }

    void firstLaunchAndStoredValues()
    {
        QVERIFY(AISettings().provider() == AIProvider::anthropic && AISettings().apiKey().isEmpty());
        QCOMPARE(AISettings().searchEngineURL(), QStringLiteral("https://www.google.com/search?q="));
        QVERIFY(Platform::settings().allKeys().isEmpty());  // construction writes nothing

        for (const char* stored : {"openai", "Gemini", ""}) {
            Platform::settings().setValue("aiProvider", stored);
            QCOMPARE(AISettings().provider(), AIProvider::anthropic);
            QCOMPARE(Platform::settings().value("aiProvider").toString(), QString::fromLatin1(stored));  // left alone
        }
        Platform::settings().setValue("aiProvider", "OpenAI");
        Platform::settings().setValue("aiAPIKey", " key ");
        Platform::settings().setValue("searchEngineURL", "");
        AISettings s;  // an emptied URL stays empty
        QVERIFY(s.provider() == AIProvider::openai && s.apiKey() == " key " && s.searchEngineURL() == "");
    }

    void assignmentsPersistAndNotifyOnChange()
    {
        AISettings s;
        QSignalSpy provider(&s, &AISettings::providerChanged);
        QSignalSpy key(&s, &AISettings::apiKeyChanged);
        QSignalSpy url(&s, &AISettings::searchEngineURLChanged);

        s.setProvider(AIProvider::anthropic);  // unchanged: written, not announced
        QCOMPARE(Platform::settings().value("aiProvider").toString(), QStringLiteral("Anthropic"));
        QCOMPARE(provider.count(), 0);
        s.setProvider(AIProvider::openai);
        s.setProvider(AIProvider::openai);
        s.setAPIKey(QStringLiteral("sk-1"));
        s.setAPIKey(QStringLiteral("sk-1"));
        s.setSearchEngineURL(QString());
        QCOMPARE((QList<qsizetype>{provider.count(), key.count(), url.count()}), (QList<qsizetype>{1, 1, 1}));

        AISettings again;  // the next launch
        QVERIFY(again.provider() == AIProvider::openai && again.apiKey() == "sk-1" && again.searchEngineURL() == "");

        // Re-assigning the held value rewrites the store (the user may have changed it elsewhere).
        Platform::settings().setValue("aiAPIKey", "edited");
        s.setAPIKey(QStringLiteral("sk-1"));
        QCOMPARE(Platform::settings().value("aiAPIKey").toString(), QStringLiteral("sk-1"));

        // Detached settings (the CLI's) never touch the store.
        TestEnv::clearSettings();
        AISettings d(AIProvider::openai, QStringLiteral("env-key"));
        QVERIFY(d.hasAPIKey());
        d.setAPIKey(QStringLiteral("other"));
        d.setProvider(AIProvider::anthropic);
        QVERIFY(d.apiKey() == "other" && Platform::settings().allKeys().isEmpty());
    }

    void hasAPIKey()
    {
        AISettings s;
        for (const char* blank : {"", " \t  \t", "\r\n", "\x7f", " \x1b "}) {
            s.setAPIKey(QString::fromLatin1(blank));
            QVERIFY2(!s.hasAPIKey(), blank);
            QCOMPARE(Platform::settings().value("aiAPIKey").toString(), QString::fromLatin1(blank));  // as typed
        }
        for (const QString& key : {QStringLiteral("k"), QStringLiteral("  k\t"), QStringLiteral("\r\nk\n"), QString(1, QChar(0))}) {
            s.setAPIKey(key);
            QVERIFY2(s.hasAPIKey() == (key.size() > 1 || key == "k"), qPrintable(key));
        }
    }

    void keyFileOwnerOnly()
    {
        const QString file = Platform::settings().fileName();
        for (bool existing : {false, true}) {
            QFile::remove(file);
            if (existing) {
                Platform::settings().setValue("aiProvider", "OpenAI");
                Platform::settings().sync();
                QVERIFY(::chmod(QFile::encodeName(file).constData(), 0644) == 0);
            }
            AISettings().setAPIKey("secret");
            Platform::settings().sync();
            struct stat st {};
            QVERIFY(::stat(QFile::encodeName(file).constData(), &st) == 0);
            QCOMPARE(st.st_mode & 0777, 0600u);
        }
    }
};

QTEST_GUILESS_MAIN(TestAISettings)
#include "test_ai_settings.moc"
