#include "tests/support/Entries.h"
#include "browser/FilterPipeline.h"
#include "logs/Platform.h"
#include "tests/support/TestEnv.h"

#include <QSignalSpy>
#include <QTest>

namespace {

QStringList messages(const LogEntryList& list)
{
    QStringList out;
    for (const LogEntry& e : list)
        out.append(e.message);
    return out;
}

FilterState allLevels()
{
    FilterState s;
    s.activeFilters = {SeverityLevel::fault, SeverityLevel::error, SeverityLevel::notice, SeverityLevel::info,
                       SeverityLevel::debug};
    return s;
}

}  // namespace

class TestFilterPipeline : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::useTemporaryHome(); }
    void init() { TestEnv::clearSettings(); }

    void severityTest()
    {
        LogEntryList entries;
        for (int level = 0; level <= 7; ++level)
            entries.append(makeEntry(level, level, "p", QString::number(level), "com.x." + QString::number(level)));

        FilterState s = allLevels();
        QCOMPARE(messages(Pipeline::matchingEntries(s, entries, false, false)),
                 QStringList({"1", "2", "3", "4", "5"}));

        // Each toggle admits exactly its own level.
        const QList<QPair<SeverityLevel, QString>> single{{SeverityLevel::fault, "5"},  {SeverityLevel::error, "4"},
                                                          {SeverityLevel::notice, "3"}, {SeverityLevel::info, "2"},
                                                          {SeverityLevel::debug, "1"}};
        for (const auto& [level, expected] : single) {
            s.activeFilters = {level};
            QCOMPARE(messages(Pipeline::matchingEntries(s, entries, false, false)), QStringList{expected});
        }

        // Defaults: fault and error only.
        QCOMPARE(messages(Pipeline::filteredEntries(FilterState(), entries, false)), QStringList({"4", "5"}));

        // Nothing active: every list is empty, the dropdowns keep only the selection.
        s.activeFilters.clear();
        QVERIFY(Pipeline::filteredEntries(s, entries, false).isEmpty());
        QVERIFY(Pipeline::availableProcesses(s, entries).isEmpty());
        QVERIFY(Pipeline::availableSubsystems(s, entries).isEmpty());
        s.selectedProcess = "p";
        QCOMPARE(Pipeline::availableProcesses(s, entries), QStringList{"p"});
    }

    void sourceTest()
    {
        const LogEntryList entries{
            makeEntry(1, 4, "kernel_task", "hw", "com.apple.iokit.power"),
            makeEntry(2, 4, "WindowServer", "sys", "com.apple.windowserver"),
            makeEntry(3, 4, "MyApp", "usr", "com.example.app", "MyApp"),
            makeEntry(4, 4, "helper", "sender-sys", "", "com.apple.security"),
            makeEntry(5, 4, "Other", "caps", "COM.APPLE.FOO", "libfoo.dylib"),
        };
        FilterState s;
        s.sourceFilter = "hardware";
        QCOMPARE(messages(Pipeline::matchingEntries(s, entries, false, false)), QStringList{"hw"});
        s.sourceFilter = "system";
        QCOMPARE(messages(Pipeline::matchingEntries(s, entries, false, false)),
                 QStringList({"hw", "sys", "sender-sys"}));
        s.sourceFilter = "user";
        QCOMPARE(messages(Pipeline::matchingEntries(s, entries, false, false)), QStringList({"usr", "caps"}));
        // Unknown and wrongly cased raw values behave as "all".
        for (const QString& raw : {QStringLiteral("bogus"), QStringLiteral("System"), QString()}) {
            s.sourceFilter = raw;
            QCOMPARE(Pipeline::matchingEntries(s, entries, false, false).size(), entries.size());
        }
    }

    void searchTest()
    {
        const LogEntryList entries{
            makeEntry(1, 4, "a", "Kernel panic soon"),
            makeEntry(2, 4, "kernelmanagerd", "loaded"),
            makeEntry(3, 4, "b", "nothing", "com.example.KERNEL"),
            makeEntry(4, 4, "c", "no", "com.example", "KernelSender", "KernelCategory"),
            makeEntry(5, 4, "d", "other"),
        };
        FilterState s;
        s.searchText = "  KERNEL\t ";
        QCOMPARE(messages(Pipeline::matchingEntries(s, entries, false, false)),
                 QStringList({"Kernel panic soon", "loaded", "nothing"}));
        // Line breaks are part of the term.
        s.searchText = "kernel\n";
        QVERIFY(Pipeline::matchingEntries(s, entries, false, false).isEmpty());
        QCOMPARE(Pipeline::searchTerm(QStringLiteral("\t Ab C \n")), QStringLiteral("ab c \n"));
        QCOMPARE(Pipeline::searchTerm(QStringLiteral("\u00a0X\u3000")), QStringLiteral("x"));

        // Non-ASCII text and terms are lowered the same way on both sides.
        const LogEntryList intl{
            makeEntry(1, 4, "a", "\u00c4RGER im B\u00fcro"),
            makeEntry(2, 4, "a", "\u0130stanbul"),   // lowers to i + combining dot
            makeEntry(3, 4, "a", "300 \u212a"),       // Kelvin sign lowers to k
            makeEntry(4, 4, "a", "plain"),
        };
        s.searchText = QStringLiteral("\u00e4rger");
        QCOMPARE(messages(Pipeline::matchingEntries(s, intl, false, false)), QStringList{"\u00c4RGER im B\u00fcro"});
        s.searchText = "I";
        QCOMPARE(messages(Pipeline::matchingEntries(s, intl, false, false)),
                 QStringList({"\u00c4RGER im B\u00fcro", "\u0130stanbul", "plain"}));
        s.searchText = "300 K";
        QCOMPARE(messages(Pipeline::matchingEntries(s, intl, false, false)), QStringList{"300 \u212a"});
        s.searchText = "lainx";
        QVERIFY(Pipeline::matchingEntries(s, intl, false, false).isEmpty());
        s.searchText = "plaIN";
        QCOMPARE(Pipeline::matchingEntries(s, intl, false, false).size(), 1);
    }

    // The search must equal "lowercased text contains the term" for any text:
    // random texts around block boundaries, mixed case, non-ASCII letters.
    void searchMatchesLoweredContains()
    {
        const QString alphabet = QStringLiteral("aAbBnNeEtT kK\u0130\u212a\u00e4\u00c4i\n-");
        quint32 seed = 12345;
        auto next = [&seed](quint32 bound) {
            seed = seed * 1664525u + 1013904223u;
            return (seed >> 8) % bound;
        };
        auto randomText = [&](int maxLen) {
            QString t;
            const int len = int(next(quint32(maxLen + 1)));
            for (int i = 0; i < len; ++i)
                t += alphabet.at(int(next(quint32(alphabet.size()))));
            return t;
        };
        LogEntryList entries;
        for (int i = 0; i < 1500; ++i)
            entries.append(makeEntry(i, 4, QStringLiteral("#"), randomText(i % 3 ? 40 : 9), QStringLiteral("#")));
        int checkedTerms = 0;
        for (int k = 0; k < 300; ++k) {
            FilterState s;
            s.searchText = randomText(k % 2 ? 2 : 4);
            const QString term = Pipeline::searchTerm(s.searchText);
            if (term.isEmpty() || term.contains(QLatin1Char('#')))
                continue;
            ++checkedTerms;
            QStringList expected;
            for (const LogEntry& e : entries)
                if (e.message.toLower().contains(term))
                    expected.append(e.message);
            QCOMPARE(messages(Pipeline::matchingEntries(s, entries, false, false)), expected);
        }
        QVERIFY(checkedTerms > 200);
    }

    void columnFilters()
    {
        const LogEntryList entries{
            makeEntry(1, 4, "p", "12", "", "", "", 12),
            makeEntry(2, 4, "p", "120", "", "", "", 120),
            makeEntry(3, 4, "p", "312", "", "", "", 312),
            makeEntry(4, 4, "p", "21", "", "", "", 21),
            makeEntry(5, 4, "p", "-12", "", "", "", -12),
        };
        FilterState s;
        s.filterText[size_t(OptionalColumn::pid)] = "12";
        // Hidden column: the filter has no effect.
        QCOMPARE(Pipeline::matchingEntries(s, entries, false, false).size(), 5);
        s.shown[size_t(OptionalColumn::pid)] = true;
        QCOMPARE(messages(Pipeline::matchingEntries(s, entries, false, false)),
                 QStringList({"12", "120", "312", "-12"}));
        s.filterText[size_t(OptionalColumn::pid)] = "-";
        QCOMPARE(messages(Pipeline::matchingEntries(s, entries, false, false)), QStringList{"-12"});
        // Not trimmed.
        s.filterText[size_t(OptionalColumn::pid)] = " 12";
        QVERIFY(Pipeline::matchingEntries(s, entries, false, false).isEmpty());

        // Turning the column off empties its filter; turning it on keeps it.
        s.filterText[size_t(OptionalColumn::pid)] = "12";
        Pipeline::setShown(s, OptionalColumn::pid, false);
        QCOMPARE(s.filter(OptionalColumn::pid), QString());
        s.filterText[size_t(OptionalColumn::pid)] = "12";
        Pipeline::setShown(s, OptionalColumn::pid, true);
        QCOMPARE(s.filter(OptionalColumn::pid), QStringLiteral("12"));

        // Thread numbers are unsigned; text columns match case-insensitively.
        const LogEntryList more{
            makeEntry(1, 4, "p", "big", "com.a", "libFoo.dylib", "Net", 1, 18446744073709551615ull),
            makeEntry(2, 4, "p", "small", "com.b", "libbar.dylib", "disk", 1, 7),
        };
        FilterState t;
        t.shown[size_t(OptionalColumn::thread)] = true;
        t.filterText[size_t(OptionalColumn::thread)] = "551615";
        QCOMPARE(messages(Pipeline::matchingEntries(t, more, false, false)), QStringList{"big"});
        t = FilterState();
        t.shown[size_t(OptionalColumn::sender)] = true;
        t.filterText[size_t(OptionalColumn::sender)] = "LIBFOO";
        QCOMPARE(messages(Pipeline::matchingEntries(t, more, false, false)), QStringList{"big"});
        t.shown[size_t(OptionalColumn::category)] = true;
        t.filterText[size_t(OptionalColumn::category)] = "DISK";
        QVERIFY(Pipeline::matchingEntries(t, more, false, false).isEmpty());
        t.shown[size_t(OptionalColumn::sender)] = false;
        QCOMPARE(messages(Pipeline::matchingEntries(t, more, false, false)), QStringList{"small"});
        t.shown[size_t(OptionalColumn::subsystem)] = true;
        t.filterText[size_t(OptionalColumn::subsystem)] = "COM.B";
        QCOMPARE(messages(Pipeline::matchingEntries(t, more, false, false)), QStringList{"small"});
        LogEntryList fleet = more;
        fleet[0].host = "web-01";
        fleet[1].host = "db-01";
        t = FilterState();
        t.shown[size_t(OptionalColumn::host)] = true;
        t.filterText[size_t(OptionalColumn::host)] = "DB";
        QCOMPARE(messages(Pipeline::matchingEntries(t, fleet, false, false)), QStringList{"small"});
    }

    void dropdownCascade()
    {
        const LogEntryList entries{
            makeEntry(1, 4, "zeta", "1", "com.a"),
            makeEntry(2, 4, "Alpha", "2", "com.b"),
            makeEntry(3, 4, "beta", "3", "com.a"),
            makeEntry(4, 4, "", "4", ""),
            makeEntry(5, 3, "notice-only", "5", "com.n"),
            makeEntry(6, 4, "beta", "6", "com.c"),
        };
        FilterState s;
        QCOMPARE(Pipeline::availableProcesses(s, entries), QStringList({"", "Alpha", "beta", "zeta"}));
        QCOMPARE(Pipeline::availableSubsystems(s, entries), QStringList({"com.a", "com.b", "com.c"}));

        // Each dropdown honours the other's selection but not its own.
        s.selectedSubsystem = "com.a";
        s.selectedProcess = "beta";
        QCOMPARE(Pipeline::availableProcesses(s, entries), QStringList({"beta", "zeta"}));
        QCOMPARE(Pipeline::availableSubsystems(s, entries), QStringList({"com.a", "com.c"}));
        QCOMPARE(messages(Pipeline::filteredEntries(s, entries, false)), QStringList{"3"});

        // A selection no entry carries stays among the options; the list is empty.
        s.selectedProcess = "ghost";
        s.selectedSubsystem.reset();
        QVERIFY(Pipeline::availableProcesses(s, entries).contains("ghost"));
        QVERIFY(Pipeline::filteredEntries(s, entries, false).isEmpty());
        // Process equality is case-sensitive.
        s.selectedProcess = "BETA";
        QVERIFY(Pipeline::filteredEntries(s, entries, false).isEmpty());
        s.selectedSubsystem = "com.zz";
        s.selectedProcess.reset();
        QCOMPARE(Pipeline::availableSubsystems(s, entries), QStringList({"com.a", "com.b", "com.c", "com.zz"}));

        // The other filters apply to the options too.
        FilterState n;
        n.activeFilters = {SeverityLevel::notice};
        QCOMPARE(Pipeline::availableProcesses(n, entries), QStringList{"notice-only"});
        n.searchText = "nothing matches";
        QVERIFY(Pipeline::availableSubsystems(n, entries).isEmpty());
    }

    // The one-pass evaluation gives exactly the three separate results.
    void evaluationEqualsSeparateResults()
    {
        const LogEntryList entries{
            makeEntry(5, 4, "zeta", "disk full", "com.a"),       makeEntry(1, 4, "Alpha", "net down", "com.b"),
            makeEntry(3, 4, "beta", "net up", "com.a"),          makeEntry(4, 4, "", "quiet", ""),
            makeEntry(2, 3, "beta", "notice net", "com.c"),      makeEntry(6, 5, "zeta", "fault net", "com.b"),
        };
        const QList<std::optional<QString>> processes{std::nullopt, QStringLiteral("beta"), QStringLiteral("ghost")};
        const QList<std::optional<QString>> subsystems{std::nullopt, QStringLiteral("com.a"), QStringLiteral("com.b")};
        for (const auto& process : processes)
            for (const auto& subsystem : subsystems)
                for (const QString& search : {QString(), QStringLiteral("NET")})
                    for (bool tailing : {false, true}) {
                        FilterState s = allLevels();
                        s.activeFilters.remove(SeverityLevel::notice);
                        s.selectedProcess = process;
                        s.selectedSubsystem = subsystem;
                        s.searchText = search;
                        s.sortColumn = "Process";
                        const Pipeline::Evaluation ev = Pipeline::evaluate(s, entries, tailing);
                        QCOMPARE(messages(ev.filtered), messages(Pipeline::filteredEntries(s, entries, tailing)));
                        QCOMPARE(ev.processes, Pipeline::availableProcesses(s, entries));
                        QCOMPARE(ev.subsystems, Pipeline::availableSubsystems(s, entries));
                    }
    }

    void sorting()
    {
        const LogEntryList entries{
            makeEntry(30, 5, "cherry", "m1", "s", "", "", 3, 2),
            makeEntry(10, 1, "Banana", "m2", "s", "", "", -5, 18446744073709551615ull),
            makeEntry(20, 4, "apple", "m3", "s", "", "", 40, 9),
            makeEntry(40, 7, "Delta", "m4", "s", "", "", 0, 1),
            makeEntry(50, 3, "echo", "m5", "s", "", "", 7, 3),
        };
        FilterState s = allLevels();
        s.activeFilters.insert(SeverityLevel::debug);
        const LogEntryList visible = Pipeline::matchingEntries(s, entries, false, false);
        QCOMPARE(visible.size(), 4);  // level 7 is never listed

        auto order = [&](const QString& column, bool ascending) {
            LogEntryList list = entries;
            Pipeline::sortEntries(list, column, ascending);
            return messages(list);
        };
        QCOMPARE(order("Time", true), QStringList({"m2", "m3", "m1", "m4", "m5"}));
        QCOMPARE(order("Time", false), QStringList({"m5", "m4", "m1", "m3", "m2"}));
        // Unknown names sort by time.
        QCOMPARE(order("Activity", true), order("Time", true));
        QCOMPARE(order("process", true), order("Time", true));
        // Severity: an out-of-range level counts as 0; debug before fault.
        QCOMPARE(order("Severity", true), QStringList({"m4", "m2", "m5", "m3", "m1"}));
        // Localized, case-insensitive: code-point order would put capitals first.
        QCOMPARE(order("Process", true), QStringList({"m3", "m2", "m1", "m4", "m5"}));
        QCOMPARE(order("Process", false), QStringList({"m5", "m4", "m1", "m2", "m3"}));
        QCOMPARE(order("PID", true), QStringList({"m2", "m4", "m1", "m5", "m3"}));
        QCOMPARE(order("Thread", true), QStringList({"m4", "m1", "m5", "m3", "m2"}));
        LogEntryList byHost = entries;
        const char* hosts[] = {"web-b", "Web-c", "web-a", "", "web-d"};
        for (int i = 0; i < 5; ++i)
            byHost[i].host = QString::fromLatin1(hosts[i]);
        Pipeline::sortEntries(byHost, "Host", true);
        QCOMPARE(messages(byHost), QStringList({"m4", "m3", "m1", "m2", "m5"}));

        // Values differing only in case are equal keys: they stay together.
        LogEntryList mixed{makeEntry(1, 4, "b", "1"), makeEntry(2, 4, "A", "2"), makeEntry(3, 4, "B", "3"), makeEntry(4, 4, "a", "4")};
        // Equal keys keep time order in the sort's direction, whatever order they came in.
        std::reverse(mixed.begin(), mixed.end());
        Pipeline::sortEntries(mixed, "Process", true);
        QCOMPARE(messages(mixed), QStringList({"2", "4", "1", "3"}));
        Pipeline::sortEntries(mixed, "Process", false);
        QCOMPARE(messages(mixed), QStringList({"3", "1", "4", "2"}));
        LogEntryList levels;
        for (int i = 0; i < 40; ++i)  // enough rows for std::sort to leave ties scrambled
            levels.append(makeEntry(i, i % 2 ? 4 : 3, "p", QString::number(i)));
        Pipeline::sortEntries(levels, "Severity", false);
        for (int i = 1; i < 20; ++i)
            QVERIFY(levels[i - 1].date > levels[i].date && levels[i].level == 4);
        Pipeline::sortEntries(levels, "Severity", true);
        for (int i = 1; i < 20; ++i)
            QVERIFY(levels[i - 1].date < levels[i].date && levels[i].level == 3);
        // Sender and subsystem are text columns too.
        LogEntryList named{makeEntry(1, 4, "p", "1", "s.b", "b"), makeEntry(2, 4, "p", "2", "s.c", "a"),
                           makeEntry(3, 4, "p", "3", "s.a", "c")};
        Pipeline::sortEntries(named, "Sender", true);
        QCOMPARE(messages(named), QStringList({"2", "1", "3"}));
        Pipeline::sortEntries(named, "Subsystem", true);
        QCOMPARE(messages(named), QStringList({"3", "1", "2"}));
        // Accented letters sort with their base letter, not after z.
        LogEntryList accents{makeEntry(1, 4, "p", "zebra"), makeEntry(2, 4, "p", "\u00c9clair"), makeEntry(3, 4, "p", "apple")};
        Pipeline::sortEntries(accents, "Message", true);
        QCOMPARE(messages(accents), QStringList({"apple", "\u00c9clair", "zebra"}));

        // filteredEntries sorts; while live tailing it keeps fetch order.
        s.sortColumn = "Severity";
        QCOMPARE(messages(Pipeline::filteredEntries(s, entries, false)), QStringList({"m2", "m5", "m3", "m1"}));
        QCOMPARE(messages(Pipeline::filteredEntries(s, entries, true)), QStringList({"m1", "m2", "m3", "m5"}));
    }

    void toggleSortAndPersistence()
    {
        QSettings& store = Platform::settings();
        store.setValue("sortColumn", "Time");
        store.setValue("sortAscending", false);
        FilterPipeline p;
        QCOMPARE(p.sortColumn(), QStringLiteral("Time"));
        QVERIFY(!p.sortAscending());
        QSignalSpy changed(&p, &FilterPipeline::changed);

        p.toggleSort("Process");
        QCOMPARE(p.sortColumn(), QStringLiteral("Process"));
        QVERIFY(p.sortAscending());
        QCOMPARE(store.value("sortColumn").toString(), QStringLiteral("Process"));
        QCOMPARE(store.value("sortAscending").toBool(), true);
        p.toggleSort("Process");
        QVERIFY(!p.sortAscending());
        QCOMPARE(store.value("sortAscending").toBool(), false);
        QCOMPARE(changed.size(), 2);

        p.setSourceFilter("user");
        QCOMPARE(store.value("sourceFilter").toString(), QStringLiteral("user"));
        p.setShown(OptionalColumn::thread, true);
        QCOMPARE(store.value("column_Thread").toBool(), true);
        p.setFilterText(OptionalColumn::thread, "77");
        QCOMPARE(store.value("filter_Thread").toString(), QStringLiteral("77"));
        p.setShown(OptionalColumn::thread, false);
        QCOMPARE(store.value("column_Thread").toBool(), false);
        QCOMPARE(store.value("filter_Thread").toString(), QString());
        QVERIFY(store.contains("filter_Thread"));

        // Inputs that are not persisted write nothing.
        const QStringList keysBefore = store.allKeys();
        p.setSearchText("x");
        p.setSelectedProcess(QStringLiteral("p"));
        p.setSelectedSubsystem(QStringLiteral("s"));
        p.setActiveFilters({SeverityLevel::info});
        QCOMPARE(store.allKeys(), keysBefore);

        // Every key under its exact name is read back by a new window.
        TestEnv::clearSettings();
        store.setValue("sortColumn", "Sender");
        store.setValue("sortAscending", false);
        store.setValue("sourceFilter", "hardware");
        store.setValue("column_PID", true);
        store.setValue("column_Category", true);
        store.setValue("filter_PID", "12");
        store.setValue("filter_Sender", "lib");
        store.setValue("filter_Category", "net");
        store.sync();
        FilterPipeline q;
        QCOMPARE(q.sortColumn(), QStringLiteral("Sender"));
        QVERIFY(!q.sortAscending());
        QCOMPARE(q.sourceFilter(), QStringLiteral("hardware"));
        QCOMPARE(q.visibleColumns(), QList<OptionalColumn>({OptionalColumn::pid, OptionalColumn::category}));
        QCOMPARE(q.filterText(OptionalColumn::pid), QStringLiteral("12"));
        QCOMPARE(q.filterText(OptionalColumn::sender), QStringLiteral("lib"));
        QCOMPARE(q.filterText(OptionalColumn::category), QStringLiteral("net"));
        // Non-persisted inputs start at their defaults.
        QCOMPARE(q.activeFilters(), QSet<SeverityLevel>({SeverityLevel::fault, SeverityLevel::error}));
        QVERIFY(q.searchText().isEmpty());
        QVERIFY(!q.selectedProcess());

        // Defaults with an empty store.
        TestEnv::clearSettings();
        FilterPipeline d;
        QCOMPARE(d.sortColumn(), QStringLiteral("Time"));
        QVERIFY(d.sortAscending());
        QCOMPARE(d.sourceFilter(), QStringLiteral("all"));
        QVERIFY(d.visibleColumns().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFilterPipeline)
#include "test_filter_pipeline.moc"
