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

    void searchTerms()
    {
        using ET = QStringList;
        QCOMPARE(EntryText::searchTerms(entry("launchd", "com.apple.xpc.launchd", "libxpc")),
                 (ET{"macos", "launchd", "xpc.launchd"}));
        // The subsystem without its prefix equals the process: dropped.
        QCOMPARE(EntryText::searchTerms(entry("launchd", "com.apple.launchd", "x")), (ET{"macos", "launchd"}));
        // Every occurrence of the prefix goes, not just a leading one.
        QCOMPARE(EntryText::searchTerms(entry("p", "com.apple.a.com.apple.b", "")), (ET{"macos", "p", "a.b"}));
        // No subsystem: the sender, when it differs from the process.
        QCOMPARE(EntryText::searchTerms(entry("bluetoothd", "", "bluetoothd")), (ET{"macos", "bluetoothd"}));
        QCOMPARE(EntryText::searchTerms(entry("bluetoothd", "", "CoreBluetooth")),
                 (ET{"macos", "bluetoothd", "CoreBluetooth"}));
    }

    void searchAddress()
    {
        const LogEntry e = entry("Safari Web", "", "WebKit&Co/x?y#z");
        const QString q = EntryText::encodedQuery(e);
        // Space and "#" are encoded; query characters such as & / ? stay.
        QCOMPARE(q, QStringLiteral("macos%20Safari%20Web%20WebKit&Co/x?y%23z"));
        const QUrl url = EntryText::searchWebURL(e, QStringLiteral(" \thttps://www.google.com/search?q= \t"));
        QVERIFY(url.isValid());
        QCOMPARE(url.toString(QUrl::FullyEncoded),
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
        s.setEntry(a);
        s.setEntry(a);  // same identity: no change
        QCOMPARE(entrySpy.count(), 1);
        LogEntry copy = a;
        copy.id = makeEntryId();  // same content, another record
        s.setEntry(copy);
        QCOMPARE(entrySpy.count(), 2);
        s.setOpen(true);
        s.setOpen(true);
        QCOMPARE(openSpy.count(), 1);
        {
            auto* owner = new QObject;
            auto* settings = new AISettings(owner);
            s.setServices(nullptr, settings);
            QCOMPARE(s.aiSettings(), settings);
            delete owner;
        }
        // Services of a window that has gone read as absent.
        QCOMPARE(s.aiSettings(), nullptr);
    }
};

QTEST_GUILESS_MAIN(TestEntryText)
#include "test_entry_text.moc"
