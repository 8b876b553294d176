#include "base/Platform.h"
#include "browser/EntryText.h"
#include "browser/views/PatternsView.h"
#include "tests/support/TestEnv.h"
#include "tests/support/WindowFixture.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QLabel>
#include <QSettings>
#include <QTableView>
#include <QTest>

namespace {

const double t0 = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0 - 1200;

// Three patterns: "disk stalled" three times (2 processes), "VM Started"
// twice (first of all), "VM Paused" once, a fault.
void fill(MemoryStoreProvider& provider)
{
    provider.locked([&] {
        provider.store->raw = {
            MemoryLogStore::log(t0 + 1, 2, "vmd", "VM Started"),
            MemoryLogStore::log(t0 + 2, 4, "kernel", "disk stalled"),
            MemoryLogStore::log(t0 + 3, 5, "vmd", "VM Paused"),
            MemoryLogStore::log(t0 + 4, 3, "hyper", "VM Started"),
            MemoryLogStore::log(t0 + 5, 5, "launchd", "disk stalled"),
            MemoryLogStore::log(t0 + 6, 4, "kernel", "disk stalled"),
        };
    });
}

}  // namespace

class TestPatternsView : public QObject, public WindowFixture {
    Q_OBJECT

    PatternsView* panel() const { return child<PatternsView>("patternsView"); }
    PatternsModel* rows() const { return panel()->patternsModel(); }
    QStringList order() const
    {
        QStringList l;
        for (int r = 0; r < rows()->rowCount(); ++r)
            l << rows()->summaryAt(r).pattern;
        return l;
    }
    QRect cell(const QString& pattern, int column) const
    {
        return panel()->table()->visualRect(rows()->index(rows()->rowOf(pattern), column));
    }
    void click(const QPoint& pos) const { QTest::mouseClick(panel()->table()->viewport(), Qt::LeftButton, {}, pos); }

private slots:
    void initTestCase() { TestEnv::useTemporaryHome(); }

    void init()
    {
        TestEnv::clearSettings();
        fill(provider);
        setUp();
        model()->pipeline().setActiveFilters({SeverityLevel::fault, SeverityLevel::error, SeverityLevel::notice,
                                              SeverityLevel::info, SeverityLevel::debug});
        QTest::mouseClick(child<QAbstractButton>("patternsButton"), Qt::LeftButton);
    }

    void cleanup() { tearDown(); }

    void rowsAndSortOrders()
    {
        QCOMPARE(child<QLabel>("patternsCount")->text(), QStringLiteral("3 patterns"));
        // Each column's text (the levels' badges by their tooltip), by count.
        const auto time = [](double d) { return EntryText::timeString(t0 + d); };
        const QList<QStringList> expected = {
            {"3", "Fault 1, Error 2", "disk stalled", "2", time(2), time(6)},
            {"2", "Notice 1, Info 1", "VM Started", "2", time(1), time(4)},
            {"1", "Fault 1", "VM Paused", "1", time(3), time(3)},
        };
        for (int r = 0; r < expected.size(); ++r)
            for (int c = 0; c < PatternsModel::columnTotal; ++c)
                QCOMPARE(rows()->index(r, c).data(c == PatternsModel::levelsColumn ? Qt::ToolTipRole : Qt::DisplayRole).toString(), expected[r][c]);

        // Header clicks in turn: the order after each and the sort column's title.
        const struct {
            int column;
            QStringList order;
            QString title;
        } clicks[] = {
            {PatternsModel::levelsColumn, {"disk stalled", "VM Paused", "VM Started"}, "Levels \u2193"},
            {PatternsModel::levelsColumn, {"VM Started", "VM Paused", "disk stalled"}, "Levels \u2191"},
            {PatternsModel::firstColumn, {"VM Started", "disk stalled", "VM Paused"}, "First \u2191"},
            {PatternsModel::firstColumn, {"VM Paused", "disk stalled", "VM Started"}, "First \u2193"},
            {PatternsModel::patternColumn, {"VM Paused", "disk stalled", "VM Started"}, "First \u2193"},
            {PatternsModel::countColumn, {"disk stalled", "VM Started", "VM Paused"}, "Count \u2193"},
            {PatternsModel::countColumn, {"VM Paused", "VM Started", "disk stalled"}, "Count \u2191"},
        };
        QHeaderView* header = panel()->table()->horizontalHeader();
        for (const auto& c : clicks) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(c.column) + 8, header->height() / 2));
            QCOMPARE(order(), c.order);
            QCOMPARE(rows()->headerData(rows()->sortColumn(), Qt::Horizontal, Qt::DisplayRole).toString(), c.title);
        }
    }

    void pickAndHide()
    {
        // A click picks the row's pattern, a second one drops it.
        click(cell("VM Started", PatternsModel::countColumn).center());
        QCOMPARE(model()->pipeline().patternFilter(), std::optional<QString>("VM Started"));
        QCOMPARE(model()->filteredEntries().size(), 2);
        QVERIFY(rows()->isPicked(rows()->rowOf("VM Started")));
        QCOMPARE(rows()->rowOf("not listed"), -1);
        QCOMPARE(order().size(), 3);  // the other patterns stay listed
        click(cell("VM Started", PatternsModel::firstColumn).center());
        QVERIFY(!model()->pipeline().patternFilter());

        // "Hide" on the hovered row makes a rule; hiding the picked one drops the pick.
        click(cell("VM Paused", PatternsModel::countColumn).center());
        const QRect button = PatternRowDelegate::hideRect(cell("VM Paused", PatternsModel::patternColumn));
        QTest::mouseMove(panel()->table()->viewport(), button.center());
        click(button.center());
        QCOMPARE(model()->pipeline().hiddenRules(), (QList<HideRule>{{HideRule::Kind::pattern, "VM Paused"}}));
        QVERIFY(!model()->pipeline().patternFilter());
        QCOMPARE(order(), (QStringList{"disk stalled", "VM Started"}));
        QCOMPARE(child<QLabel>("patternsCount")->text(), QStringLiteral("2 patterns"));

        // The keys: Return picks the current row, Delete hides it.
        QTableView* table = panel()->table();
        table->setFocus();
        table->setCurrentIndex(rows()->index(rows()->rowOf("disk stalled"), 0));
        QTest::keyClick(table, Qt::Key_Return);
        QCOMPARE(model()->pipeline().patternFilter(), std::optional<QString>("disk stalled"));
        QTest::keyClick(table, Qt::Key_Delete);
        QCOMPARE(model()->pipeline().hiddenRules().size(), 2);
    }

    void toggleAndEmptyState()
    {
        // On (from init): shown beside a list that keeps its room in the smallest window.
        QVERIFY(model()->pipeline().patternsShown());
        QVERIFY(Platform::settings().value("showPatterns").toBool());
        QVERIFY(panel()->isVisible());
        view->resize(700, 400);
        QTRY_COMPARE(view->width(), 700);
        QVERIFY(view->listView()->width() >= 420);

        model()->pipeline().setSearchText("nothing like it");
        QVERIFY(child<QLabel>("patternsEmpty")->isVisible());
        QCOMPARE(child<QLabel>("patternsCount")->text(), QStringLiteral("0 patterns"));

        // The window's key turns it off, and the button follows.
        QTest::keySequence(view.get(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
        QVERIFY(!model()->pipeline().patternsShown());
        QVERIFY(!panel()->isVisible());
        QVERIFY(!child<QAbstractButton>("patternsButton")->isChecked());
    }
};

QTEST_MAIN(TestPatternsView)
#include "test_patterns_view.moc"
