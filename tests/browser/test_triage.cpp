#include "base/Platform.h"
#include "browser/EntrySelection.h"
#include "browser/FilterPipeline.h"
#include "browser/Marks.h"
#include "browser/WindowModel.h"
#include "logs/LogFetcher.h"
#include "logs/LogQuery.h"
#include "tests/support/Entries.h"
#include "tests/support/MemoryLogStore.h"
#include "tests/support/TestEnv.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// The window's rows over a kept order, which the command line's separate
// function must list too.
QStringList listed(const FilterState& s, const LogEntryList& entries, const Pipeline::Extras& extras = {},
                   Pipeline::Evaluation* ev = nullptr)
{
    static Pipeline::SortedOrder kept;
    Pipeline::Evaluation e = Pipeline::evaluate(s, entries, false, &kept, extras);
    QStringList rows;
    for (const LogEntry& r : e.filtered)
        rows << r.message;
    if (ev)
        *ev = e;
    if (!extras.marks.isEmpty() || s.markedOnly)
        return rows;  // the separate function knows no marks
    QStringList oracle;
    for (const LogEntry& r : Pipeline::filteredEntries(s, entries, false))
        oracle << r.message;
    return rows == oracle ? rows : QStringList{"not as filteredEntries"};
}

LogEntry templated(double date, const QString& message, const std::shared_ptr<const MessageTemplate>& t)
{
    LogEntry e = makeEntry(date, 4, "kernel", message, "com.k");
    e.messageTemplate = t;
    return e;
}

}  // namespace

class TestTriage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::useTemporaryHome(); }
    void init() { TestEnv::clearSettings(); }

    void hideRulesThroughThePass()
    {
        auto fmt = std::make_shared<MessageTemplate>(MessageTemplate{"VM %s", {}, 0, true});
        const LogEntryList entries{
            makeEntry(1, 4, "cupsd", "a", "org.cups"),
            makeEntry(2, 4, "cupsd", "b", "org.cups"),
            makeEntry(3, 4, "sshd", "c", "org.ssh"),
            makeEntry(4, 3, "sshd", "retry 3", "org.ssh"),
            makeEntry(5, 4, "sshd", "retry 41", ""),
            templated(6, "VM Started", fmt),
            templated(7, "VM Paused", fmt),
            makeEntry(8, 4, "CUPS", "d", "org.cups.x"),
        };
        using K = HideRule::Kind;
        const struct {
            const char* name;
            QList<HideRule> rules;
            QStringList rows;
            QList<qsizetype> counts;
            QStringList processes;
        } cases[] = {
            {"none", {}, {"a", "b", "c", "retry 41", "VM Started", "VM Paused", "d"}, {}, {"CUPS", "cupsd", "kernel", "sshd"}},
            // Exact names: "CUPS" is another process; the dropdowns lose the hidden one.
            {"process", {{K::process, "cupsd"}}, {"c", "retry 41", "VM Started", "VM Paused", "d"}, {2}, {"CUPS", "kernel", "sshd"}},
            {"subsystem", {{K::subsystem, "org.ssh"}}, {"a", "b", "retry 41", "VM Started", "VM Paused", "d"}, {1}, {"CUPS", "cupsd", "kernel", "sshd"}},
            // A format string hides both of its messages; a masked pattern both retries, the notice one too once listed.
            {"format", {{K::pattern, "VM %s"}}, {"a", "b", "c", "retry 41", "d"}, {2}, {"CUPS", "cupsd", "sshd"}},
            {"masked", {{K::pattern, QStringLiteral("retry \u2039n\u203a")}}, {"a", "b", "c", "VM Started", "VM Paused", "d"}, {1}, {"CUPS", "cupsd", "kernel", "sshd"}},
            // Overlapping rules both count the entry; a rule nothing matches counts 0.
            {"overlap", {{K::process, "sshd"}, {K::subsystem, "org.ssh"}, {K::process, "ghost"}}, {"a", "b", "VM Started", "VM Paused", "d"}, {2, 1, 0}, {"CUPS", "cupsd", "kernel"}},
        };
        for (const auto& c : cases) {
            FilterState s;
            s.hidden = c.rules;
            Pipeline::Evaluation ev;
            QVERIFY2(listed(s, entries, {}, &ev) == c.rows, c.name);
            QVERIFY2(ev.hiddenCounts == c.counts, c.name);
            QVERIFY2(ev.processes == c.processes, c.name);
            QCOMPARE(Pipeline::availableProcesses(s, entries), c.processes);
        }
        // The timeline counts what is listed, not what is hidden.
        FilterState s;
        s.hidden = {{K::process, "cupsd"}};
        Pipeline::Evaluation ev;
        listed(s, entries, {}, &ev);
        qsizetype inTimeline = 0;
        for (const TimelineBucket& b : ev.timeline)
            inTimeline += b.total();
        QCOMPARE(inTimeline, 5);
        // Counts follow the other filters: a search keeping only "a" leaves one hidden.
        s.searchText = "A";
        listed(s, entries, {}, &ev);
        QCOMPARE(ev.hiddenCounts, QList<qsizetype>{1});
    }

    void patternPickMarkedOnlyAndExclusions()
    {
        const LogEntryList entries{makeEntry(1, 4, "a", "disk 1 full"), makeEntry(2, 4, "b", "disk 22 full"),
                                   makeEntry(3, 4, "Backupd", "ok"), makeEntry(4, 4, "c", "OK then")};
        FilterState s;
        s.pattern = QStringLiteral("disk \u2039n\u203a full");
        Pipeline::Extras extras;
        extras.patterns = true;
        Pipeline::Evaluation ev;
        QCOMPARE(listed(s, entries, extras, &ev), QStringList({"disk 1 full", "disk 22 full"}));
        // The view still sees every pattern of the list, the pick's too.
        QCOMPARE(ev.patterns.size(), 3);
        QCOMPARE(ev.patterns.first().count, 2);
        s.pattern.reset();
        // Exclusions match message or process in any letter case.
        s.excluded = {"  ok ", "BACKUP"};
        QCOMPARE(listed(s, entries), QStringList({"disk 1 full", "disk 22 full"}));
        s.excluded = {"then"};
        QCOMPARE(listed(s, entries), QStringList({"disk 1 full", "disk 22 full", "ok"}));
        s.excluded.clear();
        // Marked only, by the entries' keys; a mark change is seen through its generation.
        s.markedOnly = true;
        extras.marks = {LogFetcher::tailKey(entries[1]), LogFetcher::tailKey(entries[3])};
        extras.marksGeneration = 1;
        QCOMPARE(listed(s, entries, extras, &ev), QStringList({"disk 22 full", "OK then"}));
        QCOMPARE(ev.markDates, QList<double>({2, 4}));
        extras.marks.remove(LogFetcher::tailKey(entries[3]));
        extras.marksGeneration = 2;
        QCOMPARE(listed(s, entries, extras), QStringList{"disk 22 full"});
        // A new list of the same size under the same marks: the flags follow the keys, not the places.
        const LogEntryList reversed{entries[3], entries[2], entries[1], entries[0]};
        s.sortColumn = ColumnId::message;
        QCOMPARE(listed(s, reversed, extras), QStringList{"disk 22 full"});
        QVERIFY(listed(s, entries).isEmpty());
    }

    void persistenceAndClearing()
    {
        QSettings& store = Platform::settings();
        {
            FilterPipeline p;
            QSignalSpy changed(&p, &FilterPipeline::changed);
            p.addHideRule({HideRule::Kind::process, "cupsd"});
            p.addHideRule({HideRule::Kind::process, "cupsd"});  // twice is once
            p.addHideRule({HideRule::Kind::pattern, "x \u2039n\u203a"});
            p.addHideRule({HideRule::Kind::subsystem, ""});  // hides nothing: not added
            QCOMPARE(changed.size(), 2);
            p.setPatternsShown(true);
        }
        FilterPipeline q;
        QCOMPARE(q.hiddenRules(), QList<HideRule>({{HideRule::Kind::process, "cupsd"}, {HideRule::Kind::pattern, "x \u2039n\u203a"}}));
        QVERIFY(q.patternsShown());
        q.removeHideRule(0);
        q.removeHideRule(5);
        QCOMPARE(FilterPipeline().hiddenRules().size(), 1);
        q.setMarkedOnly(true);
        q.setPatternFilter(QStringLiteral("p"));
        QVERIFY(q.hasFilters());
        q.clearFilters();
        QVERIFY(!q.hasFilters());
        QVERIFY(q.hiddenRules().isEmpty());
        QVERIFY(!q.patternFilter());
        QVERIFY(!q.markedOnly());
        QVERIFY(FilterPipeline().hiddenRules().isEmpty());
        // A stored value is untrusted: what is not a rule is skipped.
        store.setValue("hiddenRules", R"([{"kind":"process","value":"a"},{"kind":"host","value":"b"},)"
                                      R"({"kind":"pattern","value":7},{"kind":"subsystem","value":""},)"
                                      R"("x",{"kind":"process","value":"a"},{"kind":"subsystem","value":"s"}])");
        QCOMPARE(FilterPipeline().hiddenRules(), QList<HideRule>({{HideRule::Kind::process, "a"}, {HideRule::Kind::subsystem, "s"}}));
        store.setValue("hiddenRules", "{not json");
        QVERIFY(FilterPipeline().hiddenRules().isEmpty());
        QCOMPARE(HideRules::chipText({HideRule::Kind::subsystem, "com.x"}), QStringLiteral("Subsystem \"com.x\""));
    }

    void contextLiftsAndBackRestores()
    {
        QSettings& store = Platform::settings();
        FilterPipeline p;
        p.setActiveFilters({SeverityLevel::error});
        p.setSearchText("disk");
        p.setSelectedProcess(QStringLiteral("kernel"));
        p.setSourceFilter("user");
        p.setShown(ColumnId::pid, true);
        p.setFilterText(ColumnId::pid, "12");
        p.addHideRule({HideRule::Kind::process, "noise"});
        p.toggleSort(ColumnId::process);
        p.setMarkedOnly(true);
        const FilterState before = p.state();
        QSignalSpy context(&p, &FilterPipeline::contextChanged);
        p.showInContext();
        QVERIFY(p.inContext());
        QCOMPARE(context.size(), 1);
        const FilterState lifted = p.state();
        QCOMPARE(lifted.activeFilters.size(), 5);
        QVERIFY(lifted.searchText.isEmpty() && !lifted.selectedProcess && !lifted.markedOnly);
        QVERIFY(lifted.hidden.isEmpty() && lifted.filter(ColumnId::pid).isEmpty() && lifted.sourceFilter == "all");
        QVERIFY(lifted.sortColumn == ColumnId::time && lifted.sortAscending);
        QVERIFY(lifted.isShown(ColumnId::pid));  // columns stay
        // Lifting stores nothing; a change meanwhile is stored, and Back undoes it.
        QCOMPARE(store.value("filter_PID").toString(), QStringLiteral("12"));
        QCOMPARE(store.value("sortColumn").toString(), QStringLiteral("Process"));
        p.setFilterText(ColumnId::pid, "99");
        p.showInContext();  // again: still the first filters to go back to
        p.backToFilters();
        QVERIFY(!p.inContext());
        QCOMPARE(context.size(), 3);
        const FilterState& after = p.state();
        QCOMPARE(after.activeFilters, before.activeFilters);
        QCOMPARE(after.searchText, before.searchText);
        QCOMPARE(after.selectedProcess, before.selectedProcess);
        QCOMPARE(after.sourceFilter, before.sourceFilter);
        QCOMPARE(after.filterText, before.filterText);
        QCOMPARE(after.hidden, before.hidden);
        QCOMPARE(after.markedOnly, before.markedOnly);
        QVERIFY(after.sortColumn == before.sortColumn && after.sortAscending == before.sortAscending);
        QCOMPARE(store.value("filter_PID").toString(), QStringLiteral("12"));
    }

    // The model: a hidden neighbour shown in context, Back keeping the
    // selection while listed, marks across a refresh and F3's wrap.
    void modelContextAndMarks()
    {
        MemoryStoreProvider provider;
        const double now = wallClockNow();
        provider.store->raw = {MemoryLogStore::log(now - 50, 4, "app", "one"), MemoryLogStore::log(now - 40, 4, "noise", "two"),
                               MemoryLogStore::log(now - 30, 2, "app", "three"), MemoryLogStore::log(now - 20, 4, "app", "four")};
        WindowModel model(nullptr, nullptr, nullptr);
        model.logFetcher()->setStoreProvider(&provider);
        model.pipeline().addHideRule({HideRule::Kind::process, "noise"});
        model.logFetcher()->fetch(now - 100, now);
        QTRY_COMPARE(model.filteredEntries().size(), 2);
        const auto messages = [&] {
            QStringList out;
            for (const LogEntry& e : model.filteredEntries())
                out << e.message;
            return out;
        };
        QSignalSpy reveal(model.selection(), &EntrySelection::revealRequested);
        model.showInContext(model.filteredEntries().at(1));
        QCOMPARE(messages(), QStringList({"one", "two", "three", "four"}));
        QCOMPARE(model.selection()->entry()->message, QStringLiteral("four"));
        QCOMPARE(reveal.size(), 1);
        model.backToFilters();
        QCOMPARE(messages(), QStringList({"one", "four"}));
        QCOMPARE(model.selection()->entry()->message, QStringLiteral("four"));
        model.showInContext(model.filteredEntries().at(0));
        model.selection()->selectEntry(model.filteredEntries().at(1));  // "two", hidden once back
        model.backToFilters();
        QVERIFY(!model.selection()->entry());

        // Marks: by key, across a refresh (fresh ids), navigated with wrap.
        QVERIFY(!model.goToMark(true));
        model.toggleMark(model.filteredEntries().at(0));
        model.toggleMark(model.filteredEntries().at(1));
        QCOMPARE(model.markDates().size(), 2);
        model.logFetcher()->refresh();
        QTRY_VERIFY(!model.logFetcher()->isLoading());
        QCOMPARE(model.filteredEntries().size(), 2);
        QVERIFY(model.marks()->isMarked(model.filteredEntries().at(1)));
        QVERIFY(model.goToMark(true));
        QCOMPARE(model.selection()->entry()->message, QStringLiteral("one"));
        QVERIFY(model.goToMark(true));
        QCOMPARE(model.selection()->entry()->message, QStringLiteral("four"));
        QVERIFY(model.goToMark(true));  // wraps
        QCOMPARE(model.selection()->entry()->message, QStringLiteral("one"));
        QVERIFY(model.goToMark(false));
        QCOMPARE(model.selection()->entry()->message, QStringLiteral("four"));
        model.toggleMark(model.filteredEntries().at(0));
        model.pipeline().setMarkedOnly(true);
        QCOMPARE(messages(), QStringList{"four"});
        // Another archive has its own marks; the live log's come back with it.
        model.marks()->setScope("/tmp/x.logarchive");
        QVERIFY(model.filteredEntries().isEmpty());
        model.marks()->setScope(QString());
        QCOMPARE(messages(), QStringList{"four"});
    }
};

QTEST_GUILESS_MAIN(TestTriage)
#include "test_triage.moc"
