#include "tests/support/Entries.h"
#include "ai/AISettings.h"
#include "browser/DetailWindowState.h"
#include "browser/EntryText.h"
#include "tests/support/TestEnv.h"

#include <QSignalSpy>
#include <QTest>

class TestEntryText : public QObject {
    Q_OBJECT

    static LogEntry entry(const QString& process, const QString& subsystem, const QString& sender)
    {
        return makeEntry(0, 0, process, QStringLiteral("hello"), subsystem, sender);
    }

private slots:
    void initTestCase() { TestEnv::useTemporaryHome(); }

    void searchWeb()
    {
        // The subsystem loses every "com.apple." and goes when it equals the process; without one, the
        // sender when it differs from the process.
        const LogEntry cases[] = {entry("launchd", "com.apple.xpc.launchd", "libxpc"), entry("launchd", "com.apple.launchd", "x"),
                                  entry("p", "com.apple.a.com.apple.b", ""), entry("bluetoothd", "", "bluetoothd"),
                                  entry("bluetoothd", "", "CoreBluetooth")};
        QStringList terms;
        for (const LogEntry& e : cases)
            terms << EntryText::searchTerms(e).join(' ');
        QCOMPARE(terms, QStringList({"macos launchd xpc.launchd", "macos launchd", "macos p a.b", "macos bluetoothd",
                                     "macos bluetoothd CoreBluetooth"}));
        // Space and "#" are encoded; query characters such as & / ? stay; the engine address is trimmed.
        const LogEntry e = entry("Safari Web", "", "WebKit&Co/x?y#z");
        QCOMPARE(EntryText::encodedQuery(e), QStringLiteral("macos%20Safari%20Web%20WebKit&Co/x?y%23z"));
        QCOMPARE(EntryText::searchWebURL(e, QStringLiteral(" \thttps://www.google.com/search?q= \t")).toString(QUrl::FullyEncoded),
                 QStringLiteral("https://www.google.com/search?q=macos%20Safari%20Web%20WebKit&Co/x?y%23z"));
        // Not an address at all: nothing to open.
        QVERIFY(!EntryText::searchWebURL(e, QStringLiteral("not a url ")).isValid());
        QVERIFY(!EntryText::searchWebURL(e, QString()).isValid());
    }

    void rowTextAndDates()
    {
        LogEntry e = entry("kernel", "", "");
        e.level = 4;
        e.message = QStringLiteral("disk full\nsecond line");
        e.date = QDateTime(QDate(2026, 1, 5), QTime(9, 30, 7, 250)).toMSecsSinceEpoch() / 1000.0;
        QCOMPARE(EntryText::rowText(e), QStringLiteral("2026-01-05 09:30:07\tError\tkernel\tdisk full\nsecond line"));
        QCOMPARE(EntryText::detailTimeString(e.date), QStringLiteral("2026-01-05 09:30:07.250"));
        e.level = 9;
        QVERIFY(EntryText::rowText(e).contains(QStringLiteral("\tUnknown\t")));
    }

    void detailWindowState()
    {
        DetailWindowState s;
        QSignalSpy entrySpy(&s, &DetailWindowState::entryChanged);
        QSignalSpy openSpy(&s, &DetailWindowState::isOpenChanged);
        QVERIFY(!s.entry() && !s.isOpen() && !s.wantsPopBack());
        const LogEntry a = entry("a", "", "");
        LogEntry copy = a;
        copy.id = makeEntryId();  // same content, another record
        for (const LogEntry& e : {a, a, copy})  // the same identity twice: one change
            s.setEntry(e);
        s.setOpen(true);
        s.setOpen(true);
        QVERIFY(entrySpy.count() == 2 && openSpy.count() == 1);
        auto* owner = new QObject;
        auto* settings = new AISettings(owner);
        s.setServices(nullptr, settings);
        QCOMPARE(s.aiSettings(), settings);
        delete owner;
        QCOMPARE(s.aiSettings(), nullptr);  // services of a window that has gone read as absent
    }
};

QTEST_GUILESS_MAIN(TestEntryText)
#include "test_entry_text.moc"
