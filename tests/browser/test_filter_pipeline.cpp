#include "base/Platform.h"
#include "browser/FilterPipeline.h"
#include "tests/support/Entries.h"
#include "tests/support/TestEnv.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

namespace {

template <typename Rows>
QStringList messages(const Rows& list)
{
    QStringList out;
    for (const LogEntry& e : list)
        out.append(e.message);
    return out;
}

// What the window lists, through one sort order kept across every call as the
// window keeps it; the command line's separate function must list the same.
QStringList listed(const FilterState& s, const LogEntryList& entries, bool tailing = false)
{
    static Pipeline::SortedOrder kept;
    const QStringList rows = messages(Pipeline::evaluate(s, entries, tailing, &kept).filtered);
    return rows == messages(Pipeline::filteredEntries(s, entries, tailing)) ? rows : QStringList{"not as filteredEntries"};
}

// The window's dropdown options, over a kept order; live tailing's pass and
// the command line's separate functions must agree.
QStringList options(const FilterState& s, const LogEntryList& entries)
{
    static Pipeline::SortedOrder kept;
    const Pipeline::Evaluation ev = Pipeline::evaluate(s, entries, false, &kept);
    const Pipeline::Evaluation tailing = Pipeline::evaluate(s, entries, true);
    if (ev.processes != Pipeline::availableProcesses(s, entries) || ev.processes != tailing.processes ||
        ev.subsystems != Pipeline::availableSubsystems(s, entries) || ev.subsystems != tailing.subsystems)
        return {"not as availableProcesses"};
    return ev.processes + QStringList{"/"} + ev.subsystems;
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
        QCOMPARE(listed(s, entries), QStringList({"1", "2", "3", "4", "5"}));
        // Each toggle admits exactly its own level.
        QStringList single;
        for (SeverityLevel level : {SeverityLevel::fault, SeverityLevel::error, SeverityLevel::notice, SeverityLevel::info,
                                    SeverityLevel::debug}) {
            s.activeFilters = {level};
            single << listed(s, entries).join(',');
        }
        QCOMPARE(single, QStringList({"5", "4", "3", "2", "1"}));
        // Nothing active: every list is empty.
        s.activeFilters.clear();
        QCOMPARE(listed(s, entries) + options(s, entries), QStringList{"/"});
    }

    // Which entry is of which source is the classification's test (test_log_query, labelsAndSources).
    void sourceTest()
    {
        const LogEntryList entries{makeEntry(1, 4, "kernel_task", "hw"), makeEntry(2, 4, "MyApp", "usr", "com.example.app")};
        // Unknown and wrongly cased raw values behave as "all".
        const std::pair<QString, QStringList> cases[] = {
            {"hardware", {"hw"}}, {"system", {}}, {"user", {"usr"}}, {"bogus", {"hw", "usr"}}, {"Hardware", {"hw", "usr"}}};
        for (const auto& [raw, shown] : cases) {
            FilterState s;
            s.sourceFilter = raw;
            QCOMPARE(listed(s, entries), shown);
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
        // Message, process and subsystem; trimmed of spaces but not line breaks, which are part of the term.
        QStringList found;
        for (const char* text : {"  KERNEL\t ", "kernel\n"}) {
            FilterState s;
            s.searchText = text;
            found << listed(s, entries).join('|');
        }
        QCOMPARE(found, QStringList({"Kernel panic soon|loaded|nothing", ""}));
        QCOMPARE(Pipeline::searchTerm(QStringLiteral("\t Ab C \n")) + Pipeline::searchTerm(QStringLiteral("\u00a0X\u3000")),
                 QStringLiteral("ab c \nx"));
    }

    // The search must equal "lowercased text contains the term" for any text:
    // random texts around block boundaries, mixed case, non-ASCII letters,
    // U+0000, and surrogates paired and not; no term spans two fields.
    void searchMatchesLoweredContains()
    {
        const QString alphabet = QStringLiteral("aAbBnNeEtTzZ@[ kK\u0130\u212a\u00e4\u00c4i\n\r-\u20ac\U0001F600") + QChar(0);
        // \r and - differ in bit 5 only, @ and [ border the capitals; the pair's halves come alone and in pairs
        QRandomGenerator random(12345);
        auto randomText = [&](int maxLen) {
            QString t;
            for (int len = random.bounded(maxLen + 1); t.size() < len;)
                t += alphabet.at(random.bounded(int(alphabet.size())));
            return t;
        };
        LogEntryList entries;
        for (int i = 0; i < 1500; ++i)
            entries.append(makeEntry(i, 4, randomText(2), randomText(i % 3 ? 40 : 9), randomText(2)));
        int checkedTerms = 0;
        for (int k = 0; k < 300; ++k) {
            FilterState s;
            s.searchText = randomText(k % 2 ? 2 : 4);
            const QString term = Pipeline::searchTerm(s.searchText);
            if (term.isEmpty())
                continue;
            ++checkedTerms;
            QStringList expected;
            for (const LogEntry& e : entries)
                if (e.message.toLower().contains(term) || e.process.toLower().contains(term) ||
                    e.subsystem.toLower().contains(term))
                    expected.append(e.message);
            QCOMPARE(listed(s, entries), expected);
        }
        QVERIFY(checkedTerms > 200);
    }

    void columnFilters()
    {
        LogEntryList entries{
            makeEntry(1, 4, "p", "12", "com.a", "libFoo.dylib", "Net", 12, 18446744073709551615ull),
            makeEntry(2, 4, "p", "120", "com.b", "libbar.dylib", "disk", 120, 7),
            makeEntry(3, 4, "p", "312", "", "", "", 312),
            makeEntry(4, 4, "p", "21", "", "", "", 21),
            makeEntry(5, 4, "p", "-12", "", "", "", -12),
        };
        entries[0].host = "web-01";
        entries[1].host = "db-01";
        entries[1].senderImagePath = "/usr/lib/libbar.dylib";
        // Substrings, not trimmed; thread numbers unsigned; text columns case-insensitive.
        const struct {
            ColumnId column;
            const char* filter;
            QStringList shown;
        } cases[] = {
            {ColumnId::pid, "12", {"12", "120", "312", "-12"}},
            {ColumnId::pid, "-", {"-12"}},
            {ColumnId::pid, " 12", {}},
            {ColumnId::thread, "551615", {"12"}},
            {ColumnId::sender, "LIBFOO", {"12"}},
            {ColumnId::category, "DISK", {"120"}},
            {ColumnId::subsystem, "COM.B", {"120"}},
            {ColumnId::host, "DB", {"120"}},
            {ColumnId::image, "LIB/LIBB", {"120"}},
        };
        for (const auto& c : cases) {
            FilterState s;
            s.filterText[size_t(c.column)] = c.filter;
            QCOMPARE(listed(s, entries).size(), entries.size());  // hidden: no effect
            s.shown[size_t(c.column)] = true;
            QVERIFY2(listed(s, entries) == c.shown, c.filter);
        }
        // Shown filters all apply. Turning a column off empties its filter; turning it on keeps it.
        FilterState s;
        for (auto [column, text] : {std::pair{ColumnId::sender, "lib"}, {ColumnId::category, "NET"}}) {
            Pipeline::setShown(s, column, true);
            s.filterText[size_t(column)] = text;
        }
        QCOMPARE(listed(s, entries), QStringList{"12"});
        Pipeline::setShown(s, ColumnId::sender, true);
        Pipeline::setShown(s, ColumnId::category, false);
        QCOMPARE(s.filter(ColumnId::sender) + '|' + s.filter(ColumnId::category), QStringLiteral("lib|"));
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
        QCOMPARE(options(s, entries), QStringList({"", "Alpha", "beta", "zeta", "/", "com.a", "com.b", "com.c"}));
        // Each dropdown honours the other's selection but not its own.
        s.selectedSubsystem = "com.a";
        s.selectedProcess = "beta";
        QCOMPARE(options(s, entries), QStringList({"beta", "zeta", "/", "com.a", "com.c"}));
        QCOMPARE(listed(s, entries), QStringList{"3"});
        // A selection no entry carries stays among the options; the list is empty. Process equality is case-sensitive.
        s.selectedProcess = "ghost";
        s.selectedSubsystem.reset();
        QVERIFY(options(s, entries).contains("ghost"));
        QVERIFY(listed(s, entries).isEmpty());
        s.selectedProcess = "BETA";
        QVERIFY(listed(s, entries).isEmpty());
        s.selectedSubsystem = "com.zz";
        s.selectedProcess.reset();
        QCOMPARE(options(s, entries), QStringList({"/", "com.a", "com.b", "com.c", "com.zz"}));
        // The other filters apply to the options too.
        FilterState n;
        n.activeFilters = {SeverityLevel::notice};
        QCOMPARE(options(n, entries), QStringList({"notice-only", "/", "com.n"}));
        // Names of one length, more than the address slots: none is taken for another.
        LogEntryList many;
        for (int i = 0; i < 600; ++i)
            many.append(makeEntry(i, 4, QStringLiteral("p%1").arg(i, 3, 10, QLatin1Char('0')), "m"));
        QCOMPARE(options(FilterState(), many).size(), 601);
    }

    void sorting()
    {
        // Every column keys a different order; the messages are the rows' names.
        LogEntryList entries{
            makeEntry(30, 5, "cherry", "zebra", "s.b", "b", "n", 3, 2),
            makeEntry(10, 1, "Banana", "\u00c9clair", "s.c", "a", "m", -5, 18446744073709551615ull),
            makeEntry(20, 4, "apple", "apple", "s.a", "c", "l", 40, 9),
            makeEntry(40, 2, "Delta", "delta", "s.e", "e", "k", 0, 1),
            makeEntry(50, 3, "echo", "mango", "s.d", "d", "j", 7, 3),
        };
        for (int i = 0; const char* host : {"web-b", "Web-c", "web-a", "", "web-d"})
            entries[i++].host = QString::fromLatin1(host);
        for (int i = 0; const char* path : {"/usr/lib/b", "/usr/lib/e", "/System/c", "/usr/lib/A", ""})
            entries[i++].senderImagePath = QString::fromLatin1(path);
        const QString e = QStringLiteral("\u00c9clair");
        const QStringList byTime{e, "apple", "zebra", "delta", "mango"};
        const struct {
            const char* column;
            bool ascending;
            QStringList order;
        } cases[] = {
            {"Time", true, byTime},
            {"Severity", true, {e, "delta", "mango", "apple", "zebra"}},
            // Localized, case-insensitive: code-point order would put capitals (and accents) apart.
            {"Process", true, {"apple", e, "zebra", "delta", "mango"}},
            {"Message", true, {"apple", "delta", e, "mango", "zebra"}},
            {"PID", true, {e, "delta", "zebra", "mango", "apple"}},
            {"Thread", true, {"delta", "zebra", "mango", "apple", e}},
            {"Host", true, {"delta", "apple", "zebra", e, "mango"}},
            {"Sender", true, {e, "zebra", "apple", "mango", "delta"}},
            {"Subsystem", true, {"apple", "zebra", e, "mango", "delta"}},
            {"Category", true, {"mango", "delta", "apple", e, "zebra"}},
            {"Image", true, {"mango", "apple", "delta", "zebra", e}},
        };
        FilterState s = allLevels();
        for (const auto& c : cases) {
            s.sortColumn = Columns::byTitle(QString::fromLatin1(c.column)).value_or(ColumnId::time);
            s.sortAscending = c.ascending;
            QVERIFY2(listed(s, entries) == c.order, c.column);
        }
        QCOMPARE(listed(s, entries, true), QStringList({"zebra", e, "apple", "delta", "mango"}));  // tailing: fetch order
        // The kept order is rebuilt for another list of the same size.
        s.sortColumn = ColumnId::time;
        QCOMPARE(listed(s, entries).first(), e);
        entries[1].message = QStringLiteral("new");
        QCOMPARE(listed(s, entries).first(), QStringLiteral("new"));

        // Equal keys (also values differing only in case) keep time order in the
        // sort's direction, whatever order they came in.
        const LogEntryList mixed{makeEntry(4, 4, "a", "4"), makeEntry(3, 4, "B", "3"), makeEntry(2, 4, "A", "2"),
                                 makeEntry(1, 4, "b", "1")};
        s.sortColumn = ColumnId::process;
        QStringList orders{listed(s, mixed).join(',')};
        s.sortAscending = false;
        QCOMPARE(orders << listed(s, mixed).join(','), QStringList({"2,4,1,3", "3,1,4,2"}));
    }

    void toggleSortAndPersistence()
    {
        QSettings& store = Platform::settings();
        store.setValue("sortColumn", "Time");
        store.setValue("sortAscending", false);
        FilterPipeline p;  // descending: a new column sorts ascending
        QSignalSpy changed(&p, &FilterPipeline::changed);
        auto stored = [&](const QStringList& keys) {
            QStringList values;
            for (const QString& k : keys)
                values << store.value(k, "unset").toString();
            return values.join('|');
        };
        const QStringList keys{"sortColumn", "sortAscending", "sourceFilter", "column_Thread", "filter_Thread"};
        p.toggleSort(ColumnId::process);
        QVERIFY(p.sortColumn() == ColumnId::process);
        QVERIFY(p.sortAscending());
        QCOMPARE(stored(keys), QStringLiteral("Process|true|unset|unset|unset"));
        p.toggleSort(ColumnId::process);
        QVERIFY(!p.sortAscending());
        QVERIFY(changed.size() == 2);
        p.setSourceFilter("user");
        p.setShown(ColumnId::thread, true);
        p.setFilterText(ColumnId::thread, "77");
        QCOMPARE(stored(keys), QStringLiteral("Process|false|user|true|77"));
        p.setShown(ColumnId::thread, false);
        QCOMPARE(stored(keys), QStringLiteral("Process|false|user|false|"));

        // Every key under its exact name is read back by a new window; the rest start at defaults.
        TestEnv::clearSettings();
        const std::pair<const char*, QVariant> saved[] = {
            {"sortColumn", "Sender"}, {"sortAscending", false}, {"sourceFilter", "hardware"}, {"column_PID", true}, {"column_Category", true}, {"filter_PID", "12"}, {"filter_Sender", "lib"}, {"filter_Category", "net"}};
        for (const auto& [key, value] : saved)
            store.setValue(key, value);
        store.sync();
        FilterPipeline q;
        QVERIFY(q.sortColumn() == ColumnId::sender);
        QVERIFY(!q.sortAscending());
        QVERIFY(q.sourceFilter() == "hardware");
        QCOMPARE(q.visibleColumns(), QList<ColumnId>({ColumnId::pid, ColumnId::category}));
        QCOMPARE(QStringList({q.filterText(ColumnId::pid), q.filterText(ColumnId::sender),
                              q.filterText(ColumnId::category)}),
                 QStringList({"12", "lib", "net"}));
        QCOMPARE(q.activeFilters(), QSet<SeverityLevel>({SeverityLevel::fault, SeverityLevel::error}));
        QVERIFY(q.searchText().isEmpty());
        QVERIFY(!q.selectedProcess());
        // A stored title no column has (nor its case) sorts by time.
        store.setValue("sortColumn", "process");
        QCOMPARE(FilterPipeline().sortColumn(), ColumnId::time);
    }
};

QTEST_GUILESS_MAIN(TestFilterPipeline)
#include "test_filter_pipeline.moc"
