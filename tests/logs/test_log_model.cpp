#include "logs/LogEntry.h"

#include <QTest>

class TestLogModel : public QObject {
    Q_OBJECT

    static LogEntry entry(const QString& process, const QString& subsystem, const QString& sender, int level = 3)
    {
        LogEntry e;
        e.process = process;
        e.subsystem = subsystem;
        e.sender = sender;
        e.level = level;
        return e;
    }

private slots:
    void levelLabelsAndColours()
    {
        const QStringList labels{"Undefined", "Debug", "Info", "Notice", "Error", "Fault", "Unknown"};
        for (int level = 0; level <= 6; ++level)
            QCOMPARE(LogEntry::levelLabelFor(level), labels[level]);
        QCOMPARE(LogEntry::levelLabelFor(-1), QStringLiteral("Unknown"));

        LogEntry e;
        e.level = 5;
        QCOMPARE(e.badgeBackground(), QColor::fromRgbF(192 / 255.0f, 57 / 255.0f, 43 / 255.0f));
        QCOMPARE(e.rowBackground(), QColor::fromRgbF(1.0f, 214 / 255.0f, 214 / 255.0f));
        QCOMPARE(e.levelColor(), QColor::fromRgbF(1.0f, 0.3f, 0.3f));
        e.level = 1;
        QCOMPARE(e.badgeBackground(), QColor::fromRgbF(149 / 255.0f, 165 / 255.0f, 166 / 255.0f));
        // Undefined and out-of-range levels share the last row of the table.
        LogEntry u;
        u.level = 7;
        LogEntry z;
        z.level = 0;
        QCOMPARE(u.badgeBackground(), QColor::fromRgbF(127 / 255.0f, 140 / 255.0f, 141 / 255.0f));
        QCOMPARE(u.badgeBackground(), z.badgeBackground());
        QCOMPARE(u.levelColor(), QColor::fromRgbF(0.4f, 0.4f, 0.4f));
        QCOMPARE(u.messageColor(), QColor::fromRgbF(0.35f, 0.35f, 0.35f));
        QCOMPARE(u.rowBackground(), QColor::fromRgbF(250 / 255.0f, 250 / 255.0f, 250 / 255.0f));
    }

    void severityLevels()
    {
        QCOMPARE(Severity::allCases().size(), 5);
        QCOMPARE(Severity::allCases().first(), SeverityLevel::fault);
        const QList<int> levels{5, 4, 3, 2, 1};
        const QStringList labels{"Fault", "Error", "Notice", "Info", "Debug"};
        for (int i = 0; i < 5; ++i) {
            const SeverityLevel s = Severity::allCases()[i];
            QCOMPARE(Severity::logLevel(s), levels[i]);
            QCOMPARE(Severity::label(s), labels[i]);
            QCOMPARE(Severity::color(s), LogEntry::levelColorFor(levels[i]));
        }
    }

    void sourceTypeRawValues()
    {
        QCOMPARE(Source::fromRawValue("hardware"), std::optional(SourceType::hardware));
        QVERIFY(!Source::fromRawValue("Hardware"));
        QVERIFY(!Source::fromRawValue(""));
        QCOMPARE(Source::label(SourceType::all), QStringLiteral("All Types"));
        QCOMPARE(Source::allCases().size(), 4);
    }

    void sourceClassification()
    {
        using S = SourceType;
        struct Case {
            LogEntry e;
            bool hardware, system, user;
        };
        const QList<Case> cases{
            {entry("Kernel", "", "x"), true, false, false},
            {entry("KERNEL_TASK", "", "x"), true, false, false},
            {entry("kernel_task2", "", "x"), false, false, true},
            {entry("powerd", "com.apple.iokit.power", ""), true, true, false},
            {entry("x", "com.apple.driver.AppleSMC", ""), true, true, false},
            {entry("x", "COM.APPLE.FOO", "libfoo.dylib"), false, false, true},
            {entry("x", "com.apple", "libfoo.dylib"), false, false, true},
            {entry("x", "", "com.apple.CoreFoundation"), false, true, false},
            {entry("x", "", "libsystem_info.dylib"), false, false, true},
            {entry("x", "org.example.Driver", ""), true, false, false},  // "driver" in any case
            {entry("kernel", "", "com.apple.kext"), true, true, false},
        };
        for (const Case& c : cases) {
            const QByteArray what = (c.e.process + "/" + c.e.subsystem + "/" + c.e.sender).toUtf8();
            QVERIFY2(Source::matches(S::all, c.e), what);
            QVERIFY2(Source::matches(S::hardware, c.e) == c.hardware, what);
            QVERIFY2(Source::matches(S::system, c.e) == c.system, what);
            QVERIFY2(Source::matches(S::user, c.e) == c.user, what);
            // system and user never both hold; every non-hardware entry is one of them.
            QVERIFY(!(c.system && c.user));
            if (!c.hardware)
                QVERIFY(c.system || c.user);
        }
    }

    void idsAreFreshAndVersion4()
    {
        QSet<QUuid> ids;
        for (int i = 0; i < 1000; ++i) {
            const QUuid id = makeEntryId();
            QCOMPARE(id.version(), QUuid::Random);
            QCOMPARE(id.variant(), QUuid::DCE);
            ids.insert(id);
        }
        QCOMPARE(ids.size(), 1000);
    }
};

QTEST_GUILESS_MAIN(TestLogModel)
#include "test_log_model.moc"
