// Patterns: the masking rules, the format strings and references of unified
// entries, typed placeholders, a list's table (with an earlier table lending)
// and the summaries the Patterns view and `vellacord-cli patterns` show.

#include "browser/MessagePattern.h"
#include "browser/PatternTable.h"
#include "browser/TestedFields.h"
#include "tests/support/Entries.h"

#include <QTest>

namespace {

std::shared_ptr<const MessageTemplate> format(const QString& text, bool found = true)
{
    return std::make_shared<MessageTemplate>(
        MessageTemplate{text, QUuid(QStringLiteral("{8a3f0c1e-5b2d-4e6f-9a1b-2c3d4e5f6a7b}")), 0x1f2e, found});
}

LogEntry withTemplate(const QString& message, std::shared_ptr<const MessageTemplate> t)
{
    LogEntry e = makeEntry(0, 2, QStringLiteral("p"), message);
    e.messageTemplate = std::move(t);
    return e;
}

QStringList patternsOf(const PatternTable& t)
{
    QStringList out;
    for (quint32 n : t.number)
        out << t.texts.at(n);
    return out;
}

}  // namespace

class TestMessagePattern : public QObject {
    Q_OBJECT
private slots:
    void mask_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* tag, const char* message, const char* expected = nullptr) {
            QTest::newRow(tag) << QString::fromUtf8(message) << QString::fromUtf8(expected ? expected : message);
        };
        row("words never merge", "VM Started");
        row("another word, another pattern", "VM Paused");
        row("numbers inside words", "eth0 up, x86_64 sda1 utf8 IPv4 v2 0day");
        row("glued by . - +", "utf-8 v1.2 C++11 libfoo.so.6 eth0.100 5-fold");
        row("numbers alone", "pid=123 (42) [7] #3 -5 +3.25 50% x=-1", "pid=‹n› (‹n›) [‹n›] #‹n› ‹n› ‹n› ‹n›% x=‹n›");
        row("dotted, ranges, exponents", "version 1.2.3, 1-5, 1e-5, 2.", "version ‹n›, ‹n›-‹n›, ‹n›, ‹n›.");
        row("uuids, either case", "id 550E8400-e29b-41d4-A716-446655440000 {123e4567-e89b-12d3-a456-426614174000}",
            "id ‹uuid› {‹uuid›}");
        row("ipv4", "from 192.168.1.20:443 to 10.0.0.0/8, 1.2.3.4.5, 256.1.1.1", "from ‹ip›:‹n› to ‹ip›/‹n›, ‹n›, ‹n›");
        row("ipv6", "fe80::1%en0 [::1]:8080 2001:db8:0:0:0:0:2:1 ::ffff:10.0.0.1, fe80::2: down",
            "‹ip›%en0 [‹ip›]:‹n› ‹ip› ‹ip›, ‹ip›: down");
        row("not ipv6", "std::map add::bead a:b:c 1:2:3:4:5:6:7:8:9", "std::map add::bead a:b:c ‹n›:‹n›:‹n›:‹n›:‹n›:‹n›:‹n›:‹n›:‹n›");
        row("mac", "aa:bb:cc:dd:ee:ff 00:1A:2B:3C:4D:5E", "‹mac› ‹mac›");
        row("octets to 255, a port after a colon", "10.1.1.255 10.1.1.256 :8080", "‹ip› ‹n› :‹n›");
        row("a path in angle brackets", "at </usr/lib/x>", "at <‹path›>");
        row("hex", "at 0x7ff8 0XFF 0xZZ 3f2a9b1cd0 DEADBEEF01 deadbeef Dead12Beef 1234abc",
            "at ‹hex› ‹hex› 0xZZ ‹hex› ‹hex› deadbeef Dead12Beef 1234abc");
        row("times", "at 12:30:01.250, 2026-01-05T09:30:00Z, 2026-01-05 09:30:00+01:00, 2026-01-05; 10:00 2026-01-05T09:30:00-0500",
            "at ‹time›, ‹time›, ‹time›, ‹time›; ‹n›:‹n› ‹time›");
        row("durations", "took 5ms, 2 seconds, 1h30m, 1min 30.5s, 250µs, -3ms; 1.5 s 5m 5 h",
            "took ‹dur›, ‹dur›, ‹dur›, ‹dur› ‹dur›, ‹dur›, ‹dur›; ‹n› s 5m ‹n› h");
        row("sizes", "wrote 512 bytes, 4KiB, 1.5 GB, 12.3M peak, 2MB/s; 5 B 5Mbps",
            "wrote ‹size›, ‹size›, ‹size›, ‹size› peak, ‹size›/s; ‹n› B 5Mbps");
        row("paths", "open /var/log/syslog: denied (/usr/lib/libc.so.6) ~/Library/x.plist, /tmp/a(1) / // and/or ./rel a/b",
            "open ‹path›: denied (‹path›) ‹path›, ‹path› / // and/or ./rel a/b");
        row("urls", "GET https://example.com/a?b=1, then ftp:// x", "GET ‹url›, then ftp:// x");
        row("quoted strings", "set \"Wi-Fi 2\" to 'on', don't stop, users' files, “x” \"a \\\"b\\\" c\" ''",
            "set ‹str› to ‹str›, don't stop, users' files, ‹str› ‹str› ‹str›");
        row("unbalanced quotes", "say \"hi, it's 'open\nnext' 'a");
        row("empty", "");
        row("non-ASCII", "café 42 Größe 3 ünd5 Ω7 — 8", "café ‹n› Größe ‹n› ünd5 Ω7 — ‹n›");
        row("white space and controls kept", "line 1\n\tline 2\x1b", "line ‹n›\n\tline ‹n›\x1b");
    }

    void mask()
    {
        QFETCH(QString, message);
        QFETCH(QString, expected);
        QCOMPARE(MessagePattern::mask(message), expected);
        QCOMPARE(MessagePattern::of(makeEntry(0, 2, QStringLiteral("p"), message)), expected);
    }

    // A unified entry's pattern is its format string, exact; a missing one, its reference.
    void unifiedEntries()
    {
        QCOMPARE(MessagePattern::of(withTemplate(QStringLiteral("port 5 of \"en0\""), format(QStringLiteral("port %d of \"%s\" 0x%x")))),
                 QStringLiteral("port %d of \"%s\" 0x%x"));
        QCOMPARE(MessagePattern::of(withTemplate(QStringLiteral("<format string not found>"), format({}, false))),
                 QStringLiteral("‹format not found› 8A3F0C1E-5B2D-4E6F-9A1B-2C3D4E5F6A7B+0x1f2e"));
    }

    void fromTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("placeholders") << "<n> of <uuid> at <path>, <hex><ip><mac><time><dur><size><url><str>"
                                      << "‹n› of ‹uuid› at ‹path›, ‹hex›‹ip›‹mac›‹time›‹dur›‹size›‹url›‹str›";
        QTest::newRow("reference") << "<format not found> X+0x1"
                                   << "‹format not found› X+0x1";
        QTest::newRow("others kept") << "<b>x</b> <N> <n"
                                     << "<b>x</b> <N> <n";
    }

    void fromTyped()
    {
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        QCOMPARE(MessagePattern::fromTyped(typed), expected);
    }

    // Equal patterns share a number; a table lending from an earlier one gives
    // what a table of its own would, whether the list grew, lost its oldest
    // entries or was reordered.
    void table()
    {
        const auto t = format(QStringLiteral("join %s"));
        LogEntryList list;
        for (const char* m : {"disk 1 full", "disk 22 full", "VM Started", "VM Paused", "", "disk 3 full"})
            list << makeEntry(0, 2, QStringLiteral("p"), QString::fromUtf8(m));
        list << withTemplate(QStringLiteral("join a"), t) << withTemplate(QStringLiteral("join b"), t);
        const PatternTable first(list);
        QCOMPARE(patternsOf(first), (QStringList{"disk ‹n› full", "disk ‹n› full", "VM Started", "VM Paused", "",
                                                 "disk ‹n› full", "join %s", "join %s"}));
        QCOMPARE(first.texts.size(), 5);
        QCOMPARE(first.numberOf(QStringLiteral("VM Paused")), std::optional<quint32>(first.number[3]));
        QVERIFY(!first.numberOf(QStringLiteral("VM")));

        LogEntryList grown = list;
        grown << makeEntry(0, 2, QStringLiteral("p"), QStringLiteral("VM 7 Stopped")) << withTemplate({}, format(QStringLiteral("x")));
        LogEntryList reordered = grown;
        std::reverse(reordered.begin(), reordered.end());
        for (const LogEntryList& next : {grown, grown.mid(3), reordered}) {
            const PatternTable lent(next, &first);
            QCOMPARE(patternsOf(lent), patternsOf(PatternTable(next)));
            QCOMPARE(lent.texts.size(), PatternTable(next).texts.size());
        }
    }

    // Count, levels, distinct processes, first and last dates; most frequent
    // first, then in the order first seen; the same with the pairs kept as a
    // bitmap or a set.
    void counter()
    {
        LogEntryList list;
        const auto add = [&](double date, int level, const char* process, const char* message) {
            list << makeEntry(date, level, QString::fromUtf8(process), QString::fromUtf8(message));
        };
        add(10, 4, "a", "b 1");
        add(5, 5, "b", "b 2");
        add(20, 4, "a", "b 3");
        add(7, 9, "a", "zed");
        add(8, 1, "c", "b 4");
        add(3, 2, "c", "alpha");
        add(4, 1, "c", "alpha");
        const TestedFields fields(list);
        const PatternTable table(list);
        for (quint32 processCount : {quint32(fields.processNames.size()), quint32(1) << 22}) {
            PatternCounter counter(table, fields.process, processCount);
            for (size_t i = 0; i < size_t(list.size()); ++i)
                if (i != 4)  // a counter folds the entries given, not the table's list
                    counter.add(i, list[qsizetype(i)].level, list[qsizetype(i)].date);
            const QList<PatternSummary> s = counter.summaries();
            QCOMPARE(s.size(), 3);
            QCOMPARE(s[0].pattern, QStringLiteral("b ‹n›"));
            QCOMPARE(s[0].count, 3);
            QCOMPARE(s[0].levels, (std::array<int, 6>{0, 0, 0, 0, 2, 1}));
            QCOMPARE(s[0].processes, 2);
            QCOMPARE(s[0].first, 5.0);
            QCOMPARE(s[0].last, 20.0);
            QCOMPARE(s[1].pattern, QStringLiteral("alpha"));
            QCOMPARE(s[1].levels, (std::array<int, 6>{0, 1, 1, 0, 0, 0}));
            QCOMPARE(s[2].pattern, QStringLiteral("zed"));
            QCOMPARE(s[2].levels[0], 1);  // a level outside 1–5
        }
    }
};

QTEST_GUILESS_MAIN(TestMessagePattern)
#include "test_message_pattern.moc"
