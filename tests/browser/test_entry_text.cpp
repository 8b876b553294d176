#include "tests/support/Entries.h"
#include "ai/AISettings.h"
#include "browser/DetailWindowState.h"
#include "browser/EntryText.h"
#include "tests/support/TestEnv.h"

#include <QSignalSpy>
#include <QTest>

#include <thread>

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

    // Local times in a zone set through TZ: across both DST changes, odd
    // fractions (truncated, as the double holds them), and dates the fast
    // path leaves to QDateTime. Each row runs on a fresh thread, which takes
    // the zone anew.
    void localTimes_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QString>("utc");
        QTest::addColumn<double>("fraction");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const char* zone, const char* utc, double fraction, const char* expected) {
            QTest::newRow(name) << QByteArray(zone) << QString::fromLatin1(utc) << fraction << QString::fromLatin1(expected);
        };
        row("before spring gap", "Europe/Berlin", "2026-03-29T00:59:59", 0.9999, "2026-03-29 01:59:59.999");
        row("after spring gap", "Europe/Berlin", "2026-03-29T01:00:00", 0, "2026-03-29 03:00:00.000");
        row("before fall back", "Europe/Berlin", "2026-10-25T00:59:59", 0.5, "2026-10-25 02:59:59.500");
        row("after fall back", "Europe/Berlin", "2026-10-25T01:00:00", 0, "2026-10-25 02:00:00.000");
        row("leap day rolls over", "Europe/Berlin", "2024-02-29T23:30:00", 0.25, "2024-03-01 00:30:00.250");
        row("new year", "Europe/Berlin", "2026-12-31T23:00:00", 0, "2027-01-01 00:00:00.000");
        row("under a millisecond", "Europe/Berlin", "2026-01-05T08:00:00", 0.0009, "2026-01-05 09:00:00.000");
        row("before the epoch", "Europe/Berlin", "1970-01-01T00:00:00", -0.0005, "1970-01-01 00:59:59.999");
        row("year 9999", "Europe/Berlin", "9999-06-01T00:00:00", 0, "9999-06-01 02:00:00.000");
        row("half hour behind", "America/St_Johns", "2026-01-05T12:00:00", 0, "2026-01-05 08:30:00.000");
        row("45 minutes ahead", "Asia/Kathmandu", "2026-01-05T12:00:00", 0, "2026-01-05 17:45:00.000");
        row("UTC", "UTC", "2026-01-05T12:00:00", 0.123, "2026-01-05 12:00:00.123");
    }

    void localTimes()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QString, utc);
        QFETCH(double, fraction);
        QFETCH(QString, expected);
        const QByteArray oldZone = qgetenv("TZ");
        qputenv("TZ", zone);
        const double date = QDateTime::fromString(utc + u'Z', Qt::ISODate).toSecsSinceEpoch() + fraction;
        QString detail, row, swept;
        std::thread([&] {
            detail = EntryText::detailTimeString(date);
            row = EntryText::timeString(date);
            // Every ~7 h for two years back, then forward, as QDateTime writes them.
            for (const int dir : {-1, 1}) {
                for (int k = 1; k < 2500 && swept.isEmpty(); ++k) {
                    const double d = date + dir * k * 26017.123;
                    const QDateTime local = QDateTime::fromMSecsSinceEpoch(qint64(std::floor(d * 1000)));
                    if (EntryText::detailTimeString(d) != local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")))
                        swept = local.toString(Qt::ISODateWithMs);
                }
            }
        }).join();
        oldZone.isNull() ? qunsetenv("TZ") : qputenv("TZ", oldZone);
        QCOMPARE(detail, expected);
        QCOMPARE(row, expected.left(19));
        QCOMPARE(swept, QString());
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
