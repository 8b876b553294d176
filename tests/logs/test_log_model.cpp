#include "tests/support/Entries.h"
#include "logs/LogEntry.h"

#include <QTest>

class TestLogModel : public QObject {
    Q_OBJECT

    static LogEntry entry(const QString& process, const QString& subsystem, const QString& sender, int level = 3)
    {
        return makeEntry(0, level, process, {}, subsystem, sender);
    }

private slots:
    void labels()
    {
        const QStringList labels{"Undefined", "Debug", "Info", "Notice", "Error", "Fault", "Unknown"};
        for (int level = -1; level <= 6; ++level)
            QCOMPARE(LogEntry::levelLabelFor(level), labels[level < 0 ? 6 : level]);
        QCOMPARE(Source::label(SourceType::all), QStringLiteral("All Types"));
    }

    void sourceClassification()
    {
        using S = SourceType;
        struct Case { LogEntry e; bool hardware, system, user; };
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
            {entry("com.apple.WebKit.Networking", "", "com.apple.WebKit.Networking"), false, true, false},
        };
        for (const Case& c : cases) {
            const QList<bool> got{Source::matches(S::all, c.e), Source::matches(S::hardware, c.e), Source::matches(S::system, c.e),
                                  Source::matches(S::user, c.e)};
            QVERIFY2(got == (QList<bool>{true, c.hardware, c.system, c.user}), qPrintable(c.e.process + "/" + c.e.subsystem + "/" + c.e.sender));
        }
    }
};

QTEST_GUILESS_MAIN(TestLogModel)
#include "test_log_model.moc"
