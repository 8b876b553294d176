// Prompts, user messages and the parsers of the two answer conventions.

#include "ai/AIExplainer.h"
#include "crashes/CrashReport.h"
#include "tests/support/Entries.h"

#include <QtTest>

namespace {

LogEntry entry(int level, const QString& process, const QString& subsystem, const QString& message,
               const QString& category = {}, const QString& sender = {})
{
    return makeEntry(1767605400, level, process, message, subsystem, sender, category, 42, 7);
}

LogEntryList numbered(int n)
{
    LogEntryList list;
    for (int i = 0; i < n; ++i)
        list << entry(4, QStringLiteral("p%1").arg(i), QString(), QStringLiteral("m%1").arg(i));
    return list;
}

}  // namespace

class TestAIAnswers : public QObject {
    Q_OBJECT

private slots:
    void prompts()
    {
        // The entry prompts, by the machine the entries came from: test_linux_texts.
        QCOMPARE(AIExplainer::crashPrompt, QStringLiteral(
                                               "You are a macOS system expert helping a system administrator understand a crash report. Explain what crashed, why it likely crashed, whether this is a known issue or something unusual, and what the administrator should do about it. Be concise and direct."));
    }

    void entryMessages()
    {
        QCOMPARE(AIExplainer::entryMessage(entry(4, "backupd", "", "backup failed", "", "libfoo.dylib")),
                 QStringLiteral("Severity: Error\nProcess: backupd\nSender: libfoo.dylib\nMessage: backup failed"));
        QCOMPARE(AIExplainer::entryMessage(entry(5, "kernel", "com.apple.iokit", "panic\nline 2", "power", "")),
                 QStringLiteral("Severity: Fault\nProcess: kernel\nSubsystem: com.apple.iokit\nCategory: power\nSender: \nMessage: panic\nline 2"));
    }

    void crashMessages()
    {
        CrashReport only;
        only.appName = "Finder";
        only.fileName = "Finder-2026-01-05-101010.ips";
        only.deviceModel = "Mac14,2";
        only.rawContent = "raw";
        QCOMPARE(AIExplainer::crashMessage(only), QStringLiteral("Crash Report for: Finder"));

        CrashReport full = only;
        std::tie(full.appVersion, full.exceptionType, full.crashReason, full.osVersion, full.stackTrace) =
            std::tuple("14.2", "EXC_BAD_ACCESS", "SIGSEGV", "macOS 14.2", "0 libsystem 0x1\n1 Finder 0x2");
        full.faultingThread = 3;
        QCOMPARE(AIExplainer::crashMessage(full),
                 QStringLiteral("Crash Report for: Finder\nVersion: 14.2\nException: EXC_BAD_ACCESS\nReason: SIGSEGV\n"
                                "OS: macOS 14.2\nStack Trace:\n0 libsystem 0x1\n1 Finder 0x2"));
    }

    void processNames()
    {
        using Names = QMap<QString, QString>;
        const struct {
            const char *answer, *text;
            Names names;
        } cases[] = {
            {"  \n It is normal.\n\n", "It is normal.", {}},
            {"It is normal.\n\nPROCESS_NAMES: {}", "It is normal.", {}},
            // Prose after the block is not shown.
            {"Sync.\nPROCESS_NAMES: {\"bird\": \"iCloud Drive\", \"cloudd\": \"CloudKit\"}\nHope this helps!", "Sync.", {{"bird", "iCloud Drive"}, {"cloudd", "CloudKit"}}},
            {"A.\nPROCESS_NAMES: {\"bird\": \"iCloud Drive\", \"n\": 3}", "A.", {}},  // one bad value drops all
            {"A.\nPROCESS_NAMES: } and then { \"a\": \"b\"", "A.", {}},
            // The first marker splits; the JSON runs from the first "{" to the last "}" after it.
            {"One PROCESS_NAMES: {\"a\": \"b\"} PROCESS_NAMES: {\"c\": \"d\"}", "One", {}},
            {"One PROCESS_NAMES: x {\"a\": \"PROCESS_NAMES: {}\"} y", "One", {{"a", "PROCESS_NAMES: {}"}}},
            {"Case matters. process_names: {\"a\": \"b\"}", "Case matters. process_names: {\"a\": \"b\"}", {}},
            {"A.\nPROCESS_NAMES: {\"\": \"\", \"K\": \"Kernel\"}", "A.", {{"", ""}, {"K", "Kernel"}}},
        };
        for (const auto& c : cases) {
            const auto r = AIExplainer::parseProcessNames(QString::fromUtf8(c.answer));
            QVERIFY2(r.text == QString::fromUtf8(c.text), c.answer);
            QVERIFY2(r.names == c.names, c.answer);
        }
    }

    // Only the explained entry's own process is learned from the block.
    void namesToLearn()
    {
        AIExplainer::ProcessNamesAnswer answer;
        answer.names = {{"sshd", "Harmless Helper"}, {"bluetoothd", "Bluetooth Daemon"}, {"", "Nobody"}};
        using Names = QMap<QString, QString>;
        QCOMPARE(AIExplainer::namesToLearn(answer, entry(4, "bluetoothd", "", "m")), (Names{{"bluetoothd", "Bluetooth Daemon"}}));
        QCOMPARE(AIExplainer::namesToLearn(answer, entry(4, "kernel", "", "m")), Names());
        QCOMPARE(AIExplainer::namesToLearn(answer, entry(4, "", "", "m")), Names());
    }

    void batches()
    {
        QCOMPARE(AIExplainer::batchMessage({}), QString());
        LogEntryList two{entry(4, "kernel", "networking", "connection reset"), entry(2, "a|b", "", "x | y")};
        QCOMPARE(AIExplainer::batchMessage(two),
                 QStringLiteral("[0] Error | kernel | networking | connection reset\n[1] Info | a|b |  | x | y"));

        const LogEntryList many = numbered(250);
        const LogEntryList batch = AIExplainer::analysisBatch(many);
        QVERIFY(batch.size() == 100);
        QVERIFY(batch.first().id == many[150].id);
        QVERIFY(batch.last().id == many[249].id);
        const QStringList lines = AIExplainer::batchMessage(batch).split('\n');
        QCOMPARE(lines.size(), 100);
        QCOMPARE(lines.first() + '|' + lines.last(), QStringLiteral("[0] Error | p150 |  | m150|[99] Error | p249 |  | m249"));
        QCOMPARE(AIExplainer::analysisBatch(numbered(7)).size(), 7);
    }

    // The 100 most recent by date, in the list's order, whatever the sort.
    void batchIsTheMostRecent_data()
    {
        QTest::addColumn<QList<double>>("dates");  // in list order; entry k's message is "i<k>"
        QTest::addColumn<QString>("batch");        // size, first, 51st and last message
        QList<double> up, down, bySomething, undated, tied;
        for (int k = 0; k < 250; ++k) {
            up << k;
            down << 249 - k;
            bySomething << (k < 125 ? 2 * k : 2 * (k - 125) + 1);
            undated << (k < 200 ? double(k) : qQNaN());
            tied << (k < 200 ? 10 : 5);
        }
        QTest::newRow("oldest first") << up << "100|i150|i200|i249";
        QTest::newRow("newest first") << down << "100|i0|i50|i99";
        QTest::newRow("another column's order") << bySomething << "100|i75|i200|i249";
        QTest::newRow("no date is oldest") << undated << "100|i100|i150|i199";
        QTest::newRow("equal dates, newest first") << tied << "100|i0|i50|i99";
        QTest::newRow("short") << up.mid(0, 7) << "7|i0||i6";
    }

    void batchIsTheMostRecent()
    {
        QFETCH(QList<double>, dates);
        LogEntryList list;
        for (qsizetype k = 0; k < dates.size(); ++k)
            list << makeEntry(dates[k], 4, "p", QStringLiteral("i%1").arg(k));
        const LogEntryList batch = AIExplainer::analysisBatch(list);
        QTEST(QStringLiteral("%1|%2|%3|%4").arg(batch.size()).arg(batch.first().message, batch.value(50).message, batch.last().message),
              "batch");
    }

    void analysisBlocks()
    {
        using AIExplainer::parseAnalysis;
        const LogEntryList batch = numbered(10);
        auto items = parseAnalysis(
            "ENTRY: 3\nTITLE: Disk errors\nCONCERN: Repeated I/O failures.\n\nENTRY: 99\nTITLE: X\nCONCERN: Y", batch);
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0].title + '|' + items[0].concern, QStringLiteral("Disk errors|Repeated I/O failures."));
        QCOMPARE(items[0].entry.value_or(LogEntry()).id, batch[3].id);
        QVERIFY(!items[1].entry);
        QVERIFY(!items[0].id.isNull());
        QVERIFY(items[0].id != items[1].id);

        // Index forms: a plain decimal number, optionally in brackets; nothing else makes one.
        const auto indexOf = [&](const QString& entryLine) -> qsizetype {
            const auto found = parseAnalysis(entryLine + "\nTITLE: t\nCONCERN: c", numbered(200));
            if (found.size() != 1 || !found[0].entry)
                return -1;
            return found[0].entry->process.mid(1).toInt();
        };
        // 2^63-1 fits but is outside the batch; a later unreadable line removes the index.
        const QList<QPair<const char*, int>> cases{
            {"ENTRY: [12]", 12}, {"ENTRY:  [ 12 ] \t", 12}, {"ENTRY: 007", 7}, {"  ENTRY:ENTRY: 5", 5}, {"ENTRY: none", -1}, {"ENTRY: 3, 7", -1}, {"ENTRY: -1", -1}, {"ENTRY: +1", -1}, {"ENTRY: 0x2", -1}, {"ENTRY: 1.5", -1}, {"ENTRY: [12", -1}, {"ENTRY: []", -1}, {"ENTRY: 12 13", -1}, {"ENTRY: 99999999999999999999", -1}, {"ENTRY: 9223372036854775807", -1}, {"ENTRY: \xd9\xa3", -1}, {"ENTRY: \xef\xbc\x91", -1}, {"ENTRY: 1\xc2\xbd", -1}, {"ENTRY: 4\nENTRY: 6", 6}, {"ENTRY: 4\nENTRY: x", -1}};
        for (const auto& [line, index] : cases)
            QVERIFY2(indexOf(QString::fromUtf8(line)) == index, line);

        // Incomplete blocks yield nothing; tags are case-sensitive; leading spaces are fine.
        items = parseAnalysis("TITLE: Only a title\n\nTitle: lower\nCONCERN: c\n\n \t\u3000TITLE:  Spaced \nCONCERN:\tWhy\t ", batch);
        QCOMPARE(items.size(), 1);
        QCOMPARE(items[0].title + '|' + items[0].concern, QStringLiteral("Spaced|Why"));
    }

    void analysisFallbacks()
    {
        const LogEntryList batch = numbered(3);
        auto items = AIExplainer::parseAnalysis(" Everything looks normal.\n", batch);
        QCOMPARE(items.size(), 1);
        // The concern as received.
        QCOMPARE(items[0].title + '|' + items[0].concern, QStringLiteral("Analysis Summary| Everything looks normal.\n"));
        QVERIFY(!items[0].entry);
        QVERIFY(AIExplainer::parseAnalysis("  \n\n \n", batch).isEmpty());
        QVERIFY(AIExplainer::parseAnalysis("", batch).isEmpty());
        QVERIFY(AIExplainer::parseAnalysis("ENTRY: 1\nTITLE: t\nCONCERN: c", {})[0].entry == std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestAIAnswers)
#include "test_ai_answers.moc"
