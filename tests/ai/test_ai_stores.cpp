#include "ai/AISettings.h"
#include "ai/ExplanationCache.h"
#include "base/Platform.h"
#include "crashes/CrashReport.h"
#include "tests/support/Entries.h"
#include "tests/support/TestEnv.h"

#include <QtTest>

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"  // reports name only the members a check needs

#include <sys/stat.h>
#include <unistd.h>

namespace {

LogEntry entry(const QString& process, const QString& subsystem, const QString& message)
{
    return makeEntry(0, 0, process, message, subsystem);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

std::optional<QString> some(const char* text) { return QString::fromUtf8(text); }

QJsonObject fileObject(const QString& path) { return QJsonDocument::fromJson(readFile(path)).object(); }

}  // namespace

// The AI library's stored state: the settings and the two explanation caches.
class TestAIStores : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;

    QString folder() const { return m_dir->path() + "/Vellacord"; }
    QString file() const { return folder() + "/explanations.json"; }

private slots:
    void initTestCase() { TestEnv::useTemporaryHome(); }
    void init()
    {
        TestEnv::clearSettings();
        m_dir = std::make_unique<QTemporaryDir>();
    }

    void keys()
    {
        const auto sha = [](const QByteArray& text) {
            return QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex());
        };
        QCOMPARE(ExplanationCache::cacheKey(entry("a", "", "b")), sha("a\n\nb"));
        QCOMPARE(ExplanationCache::cacheKey(entry("\u00e9", "s", "")), sha("\xc3\xa9\ns\n"));
        // Only process, subsystem and message count.
        QCOMPARE(ExplanationCache::cacheKey(makeEntry(12345, 5, "a", "b", "", "sender", "category", 9, 3)), sha("a\n\nb"));
    }

    void storeLookupAndFile()
    {
        ExplanationCache cache(folder());
        QVERIFY(QDir(folder()).exists());  // created with its parents
        const LogEntry e = entry("backupd", "com.example", "failed");
        const QString key = ExplanationCache::cacheKey(e);
        QVERIFY(!cache.isCached(e));
        QVERIFY(!cache.explanationForKey(key));
        cache.store(key, "First");
        cache.store("zzz", "Other");
        cache.store(key, QString::fromUtf8("Second \xe2\x80\x94 text\nline"));
        QCOMPARE(cache.count(), 2);
        QCOMPARE(cache.explanationForKey(key), some("Second \xe2\x80\x94 text\nline"));

        // Pretty-printed, sorted member names, whole seconds in UTC.
        const QByteArray text = readFile(cache.filePath());
        QVERIFY(text.contains("\n    \""));
        QVERIFY(text.indexOf(key.toLatin1()) < text.indexOf("\"zzz\""));
        const QJsonObject top = QJsonDocument::fromJson(text).object();
        QCOMPARE(top.keys(), (QStringList{key, "zzz"}));
        const QString stamp = top["zzz"]["timestamp"].toString();
        QCOMPARE(top["zzz"].toObject(), (QJsonObject{{"explanation", "Other"}, {"timestamp", stamp}}));
        QVERIFY(stamp.size() == 20);
        QVERIFY(qAbs(QDateTime::fromString(stamp, Qt::ISODate).secsTo(QDateTime::currentDateTimeUtc())) < 60);

        // A new instance (the next launch) reads it back.
        ExplanationCache again(folder());
        QCOMPARE(again.count(), 2);
        QCOMPARE(again.explanationForKey("zzz"), some("Other"));
    }

    void evictsTheOldestBeyondAThousand_data()
    {
        // Loaded records keep their own ages; among equal ones the file's order decides.
        QTest::addColumn<QString>("oldStamp");
        QTest::addColumn<QString>("evicted");
        QTest::addColumn<QString>("kept");
        QTest::newRow("equal ages") << "2025-06-01T12:00:00Z"
                                    << "k0001"
                                    << "k0500";
        QTest::newRow("one older in the middle") << "2020-01-01T00:00:00Z"
                                                 << "k0500"
                                                 << "k0001";
    }

    void evictsTheOldestBeyondAThousand()
    {
        QFETCH(QString, oldStamp);
        QFETCH(QString, evicted);
        QFETCH(QString, kept);
        QJsonObject top;
        for (int i = 0; i < 1000; ++i)
            top.insert(QStringLiteral("k%1").arg(i, 4, 10, QLatin1Char('0')),
                       QJsonObject{{"explanation", "x"}, {"timestamp", i == 500 ? oldStamp : "2025-06-01T12:00:00Z"}});
        writeFile(file(), QJsonDocument(top).toJson());
        ExplanationCache cache(folder());
        cache.store("k0000", "replaced");  // replacing does not change the count
        QCOMPARE(cache.count(), 1000);
        cache.store("new", "newest");
        QCOMPARE(cache.count(), 1000);
        QVERIFY(!cache.explanationForKey(evicted));
        QVERIFY(cache.explanationForKey(kept));
        QCOMPARE(cache.explanationForKey("k0000"), some("replaced"));
        QCOMPARE(cache.explanationForKey("new"), some("newest"));
        const QJsonObject saved = fileObject(file());
        QVERIFY(saved.size() == 1000);
        QVERIFY(!saved.contains(evicted));
        QVERIFY(saved.contains("new"));
    }

    void corruptFilesReadAsEmptyAndAreRewritten_data()
    {
        QTest::addColumn<QByteArray>("content");
        const auto rec = [](const char* explanation, const char* stamp) {
            return "{\"explanation\": " + QByteArray(explanation) + ", \"timestamp\": " + stamp + "}";
        };
        const QByteArray good = "{\"k\": " + rec("\"x\"", "\"2026-01-05T09:30:00Z\"") + "}";
        for (const QByteArray& content :
             {good.left(good.size() / 2), QByteArray("[]"), QByteArray(R"({"k": "x"})"), QByteArray(R"({"k": {"explanation": "x"}})"),
              "{\"k\": " + rec("1", "\"2026-01-05T09:30:00Z\"") + "}", "{\"k\": " + rec("\"x\"", "\"2026-01-05 09:30:00\"") + "}",
              "{\"k\": " + rec("\"x\"", "1767605400") + "}",
              "{\"a\": " + rec("\"x\"", "\"2026-01-05T09:30:00Z\"") + ", \"b\": " + rec("\"y\"", "\"yesterday\"") + "}", QByteArray()})
            QTest::newRow(content.constData()) << content;
    }

    void corruptFilesReadAsEmptyAndAreRewritten()
    {
        QFETCH(QByteArray, content);
        writeFile(file(), content);
        ExplanationCache cache(folder());
        QCOMPARE(cache.count(), 0);
        QCOMPARE(readFile(file()), content);  // left alone until the next store
        cache.store("only", "one");
        QCOMPARE(fileObject(file()).keys(), QStringList{"only"});
    }

    void longExplanationsAreNotStored_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("stored");
        QTest::newRow("256 KiB") << QString(256 * 1024, 'x') << true;
        QTest::newRow("1 byte more") << QString(256 * 1024 + 1, 'x') << false;
        QTest::newRow("300 KB in 150 k chars") << QString(150000, QChar(0xe9)) << false;
    }

    void longExplanationsAreNotStored()
    {
        QFETCH(QString, text);
        QFETCH(bool, stored);
        ExplanationCache cache(folder());
        cache.store("k", text);
        QCOMPARE(cache.explanationForKey("k").has_value(), stored);
        QCOMPARE(ExplanationCache(folder()).count(), stored ? 1 : 0);
        CrashExplanationCache crashes(folder());
        CrashReport report{.fileName = "a.ips"};
        crashes.store(report, text);
        QCOMPARE(crashes.load(report).has_value(), stored);
    }

    void sharedCrashCacheFollowsTheApplicationSupportFolder()
    {
        CrashExplanationCache::resetShared();
        QCOMPARE(CrashExplanationCache::shared().cacheDir(), Platform::appSupportDir() + "/CrashExplanations");
        QVERIFY(QDir(CrashExplanationCache::shared().cacheDir()).exists());
        CrashExplanationCache::resetShared();  // the next test's folder
    }

    void crashCache()
    {
        CrashExplanationCache cache(folder());
        QVERIFY(QDir(folder() + "/CrashExplanations").exists());
        const QString name = "Finder-2026-01-05-101010.ips", reports = "/Users/x/Library/Logs/DiagnosticReports/";
        CrashReport report{.fileName = name, .filePath = reports + name};
        QCOMPARE(cache.crashFilePath(report), folder() + "/CrashExplanations/Finder-2026-01-05-101010.ips.json");
        QVERIFY(!cache.load(report));

        const QString text = QString::fromUtf8("Finder crashed \xe2\x80\x94 {not json}\n");
        cache.store(report, text);
        QCOMPARE(readFile(cache.crashFilePath(report)), text.toUtf8());  // the plain text, no JSON around it
        QCOMPARE(cache.load(report), std::optional(text));

        // The same file name in another folder shares the explanation; from an opened folder, keyed by content too.
        QCOMPARE(cache.load(CrashReport{.fileName = name, .filePath = reports + "Retired/" + name, .isRetired = true}), std::optional(text));
        const CrashReport digested{.fileName = name, .filePath = reports + name, .contentDigest = "d1"};
        QCOMPARE(cache.crashFilePath(digested), folder() + "/CrashExplanations/Finder-2026-01-05-101010.ips-d1.json");
        QVERIFY(!cache.load(digested));

        CrashReport slashed{.fileName = "a/../b"};
        QCOMPARE(cache.crashFilePath(slashed), folder() + "/CrashExplanations/a_.._b.json");
        cache.store(slashed, "s");
        QCOMPARE(cache.load(slashed), some("s"));

        writeFile(cache.crashFilePath(report), "bad \xff\xfe utf8");
        QVERIFY(!cache.load(report));
        cache.store(report, "again");  // replaces the bad file
        QCOMPARE(cache.load(report), some("again"));

        // What would block or never end reads as no explanation; the alarm
        // ends the test if a read does either.
        const QByteArray path = QFile::encodeName(cache.crashFilePath(report));
        alarm(10);
        for (bool fifo : {true, false}) {
            QFile::remove(cache.crashFilePath(report));
            QCOMPARE(fifo ? mkfifo(path.constData(), 0600) : symlink("/dev/zero", path.constData()), 0);
            QVERIFY(!cache.load(report));
        }
        alarm(0);
    }

    void firstLaunchAndStoredValues()
    {
        QVERIFY(AISettings().provider().name == "Anthropic");
        QVERIFY(AISettings().apiKey().isEmpty());
        QCOMPARE(AISettings().searchEngineURL(), QStringLiteral("https://www.google.com/search?q="));
        QVERIFY(Platform::settings().allKeys().isEmpty());  // construction writes nothing

        for (const char* stored : {"openai", "Gemini", ""}) {
            Platform::settings().setValue("aiProvider", stored);
            QCOMPARE(AISettings().provider().name, QStringLiteral("Anthropic"));
            QCOMPARE(Platform::settings().value("aiProvider").toString(), QString::fromLatin1(stored));  // left alone
        }
        Platform::settings().setValue("aiProvider", "OpenAI");
        Platform::settings().setValue("aiAPIKey", " key ");
        Platform::settings().setValue("searchEngineURL", "");
        AISettings s;  // an emptied URL stays empty
        QVERIFY(s.provider().name == "OpenAI");
        QVERIFY(s.apiKey() == " key ");
        QVERIFY(s.searchEngineURL() == "");
    }

    void assignmentsPersistAndNotifyOnChange()
    {
        AISettings s;
        QSignalSpy provider(&s, &AISettings::providerChanged);
        QSignalSpy key(&s, &AISettings::apiKeyChanged);
        QSignalSpy url(&s, &AISettings::searchEngineURLChanged);

        const AIProvider &anthropic = AIProviders::all()[0], &openAI = AIProviders::all()[1];
        s.setProvider(anthropic);  // unchanged: written, not announced
        QCOMPARE(Platform::settings().value("aiProvider").toString(), QStringLiteral("Anthropic"));
        QCOMPARE(provider.count(), 0);
        s.setProvider(openAI);
        s.setProvider(openAI);
        s.setAPIKey(QStringLiteral("sk-1"));
        s.setAPIKey(QStringLiteral("sk-1"));
        s.setSearchEngineURL(QString());
        QCOMPARE((QList<qsizetype>{provider.count(), key.count(), url.count()}), (QList<qsizetype>{1, 1, 1}));

        AISettings again;  // the next launch
        QVERIFY(&again.provider() == &openAI);
        QVERIFY(again.apiKey() == "sk-1");
        QVERIFY(again.searchEngineURL() == "");
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

QTEST_GUILESS_MAIN(TestAIStores)
#include "test_ai_stores.moc"
