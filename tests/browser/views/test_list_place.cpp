#include "base/Platform.h"
#include "browser/DetailWindowState.h"
#include "browser/EntrySelection.h"
#include "browser/FetchRange.h"
#include "browser/PendingArchive.h"
#include "browser/WindowModel.h"
#include "browser/views/BrowserWidgets.h"
#include "browser/views/ContentView.h"
#include "browser/views/DetailPane.h"
#include "browser/views/FloatingDetailView.h"
#include "browser/views/LogListArea.h"
#include "browser/views/LogListModel.h"
#include "browser/views/LogRowDelegate.h"
#include "logs/LogFetcher.h"
#include "logs/RecentArchives.h"
#include "tests/support/MemoryLogStore.h"
#include "tests/support/TestEnv.h"
#include "tests/support/WindowFixture.h"
#include "ui/PlainTextViewer.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSettings>
#include <QTest>
#include <QThreadPool>

#include <functional>
#include <memory>

namespace {

double now() { return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0; }

// Twelve errors of the last hour, one a minute, "e0" to "e11" of process "p0" to "p11".
void fill(MemoryStoreProvider& provider, const QString& without = {})
{
    const double t = now() - 1800;
    provider.locked([&] {
        provider.store->raw.clear();
        for (int i = 0; i < 12; ++i)
            if (QStringLiteral("e%1").arg(i) != without)
                provider.store->raw.push_back(
                    MemoryLogStore::log(t + i * 60, 4, QStringLiteral("p%1").arg(i), QStringLiteral("e%1").arg(i)));
    });
}

}  // namespace

// Where the user is in the list survives what happens to it, and the list
// keeps its room beside the pane, its columns and its filter rows.
class TestListPlace : public QObject, public WindowFixture {
    Q_OBJECT

    QString selected() const { return model()->selection()->entry().value_or(LogEntry()).message; }

private slots:
    void initTestCase() { TestEnv::useTemporaryHome(); }

    void init()
    {
        TestEnv::clearSettings();
        fill(provider);
        setUp();
    }

    void cleanup() { tearDown(); }

    // After a new read the pane (and the floating window it filled) shows the
    // same record, or closes when the new list lacks it.
    void paneFollowsItsEntry_data()
    {
        QTest::addColumn<std::function<void(TestListPlace*)>>("change");
        QTest::addColumn<bool>("popped");
        QTest::addColumn<QString>("shown");
        using F = std::function<void(TestListPlace*)>;
        QTest::newRow("refresh") << F([](TestListPlace* t) { t->model()->range()->refresh(); }) << false << "e3";
        QTest::newRow("archive holding it")
            << F([](TestListPlace* t) { t->pending->set(QStringLiteral("/tmp/A.logarchive")); }) << false << "e3";
        QTest::newRow("range without it") << F([](TestListPlace* t) {
            fill(t->provider, QStringLiteral("e3"));
            t->model()->range()->selectQuickRange(QuickTimeRange::last4h);
        }) << false << "";
        QTest::newRow("floating, refresh")
            << F([](TestListPlace* t) { t->model()->range()->refresh(); }) << true << "e3";
        QTest::newRow("floating, archive without it") << F([](TestListPlace* t) {
            fill(t->provider, QStringLiteral("e3"));
            t->pending->set(QStringLiteral("/tmp/B.logarchive"));
        }) << true << "";
    }

    void paneFollowsItsEntry()
    {
        QFETCH(std::function<void(TestListPlace*)>, change);
        QFETCH(bool, popped);
        QFETCH(QString, shown);
        const QUuid before = model()->filteredEntries().at(3).id;
        model()->selection()->clickEntry(model()->filteredEntries().at(3));
        if (popped)
            model()->selection()->popOut();
        change(this);
        QTRY_VERIFY(loaded() && !model()->filteredEntries().isEmpty());
        QCOMPARE(selected(), shown);
        const std::optional<LogEntry>& kept = model()->selection()->entry();
        QVERIFY(!kept || kept->id != before);  // the new list's record
        if (popped) {
            QCOMPARE(state->entry().value_or(LogEntry()).message, shown);
            QVERIFY(!view->detailPane());
        } else {
            QCOMPARE(paneMessage(), shown);
        }
    }

    // A hidden selection says so; an emptied list offers to clear the filters.
    void filtersHideTheSelection()
    {
        model()->selection()->clickEntry(model()->filteredEntries().at(3));
        auto* notListed = child<QLabel>("notListedLabel");
        QVERIFY(!notListed->isVisible());
        auto* search = child<QLineEdit>("searchField");
        QTest::keyClicks(search, QStringLiteral("e1"));  // e1, e10, e11
        QVERIFY(notListed->isVisible());
        QCOMPARE(paneMessage(), QStringLiteral("e3"));
        QCOMPARE(notListed->text(), QStringLiteral("Not in the current list"));
        QTest::keyClick(view->listView(), Qt::Key_Down);  // from a hidden row the keys start at the top
        QVERIFY(!notListed->isVisible());
        QCOMPARE(paneMessage(), QStringLiteral("e1"));

        // Every filter the button resets, set otherwise.
        model()->toggleSeverity(SeverityLevel::info);
        model()->pipeline().setSelectedProcess(QStringLiteral("p1"));
        model()->pipeline().setSelectedSubsystem(QStringLiteral("none"));
        model()->pipeline().setSourceFilter(QStringLiteral("user"));
        model()->pipeline().setShown(ColumnId::pid, true);
        model()->pipeline().setFilterText(ColumnId::pid, QStringLiteral("99"));
        QVERIFY(child("noMatchPanel")->isVisible());
        QVERIFY(!view->listView()->isVisible());
        QCOMPARE(child<QLabel>("noMatchLabel")->text(), QStringLiteral("No entries match the filters"));
        auto* clear = child<QPushButton>("clearFiltersButton");
        QCOMPARE(clear->text(), QStringLiteral("Clear Filters"));
        QTest::mouseClick(clear, Qt::LeftButton);
        const FilterState fresh;
        const FilterState& now = model()->pipeline().state();
        QCOMPARE(now.activeFilters, fresh.activeFilters);
        QVERIFY(now.searchText.isEmpty());
        QVERIFY(!now.selectedProcess);
        QVERIFY(!now.selectedSubsystem);
        QCOMPARE(now.sourceFilter, fresh.sourceFilter);
        QCOMPARE(now.filterText, fresh.filterText);
        QCOMPARE(Platform::settings().value(Columns::filterKey(ColumnId::pid)).toString(), QString());
        QCOMPARE(Platform::settings().value("sourceFilter").toString(), fresh.sourceFilter);  // a new window starts so
        QVERIFY(now.isShown(ColumnId::pid));                                                  // a column is no filter
        QVERIFY(search->text().isEmpty());
        QVERIFY(view->listView()->isVisible());
        QVERIFY(!child("noMatchPanel")->isVisible());
        QVERIFY(!notListed->isVisible());
        QCOMPARE(model()->filteredEntries().size(), 12);
    }

    // Escape or the pop-out closes the inline pane; the row stays the
    // keyboard's position, and Down goes on from it without reopening it.
    void keyboardKeepsItsRow_data()
    {
        QTest::addColumn<bool>("popOut");
        QTest::newRow("escape") << false;
        QTest::newRow("pop-out") << true;
    }

    void keyboardKeepsItsRow()
    {
        QFETCH(bool, popOut);
        QAbstractItemView* list = view->listView();
        list->setFocus();
        for (int i = 0; i < 8; ++i)
            QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(selected(), QStringLiteral("e7"));
        QVERIFY(view->detailPane());
        if (popOut)
            model()->selection()->popOut();
        else
            QTest::keyClick(list, Qt::Key_Escape);
        QVERIFY(!view->detailPane());
        QCOMPARE(selected(), QStringLiteral("e7"));
        QTest::keyClick(list, Qt::Key_Down);
        QVERIFY(!view->detailPane());
        QCOMPARE(selected(), QStringLiteral("e8"));
        if (popOut) {
            QCOMPARE(FloatingDetailView::instance()->pane()->entry().message, QStringLiteral("e8"));
            return;
        }
        QVERIFY(!view->clearSelectionAction()->isEnabled());  // Escape passes on now
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(paneMessage(), QStringLiteral("e8"));
    }

    // At 1600×1000 the list keeps a third of the height whatever the pane
    // asks; the actions stay outside the pane's scrolling part at any size;
    // the minimum and back gives the list its room again.
    void roomForTheList()
    {
        view->resize(1600, 1000);
        model()->selection()->clickEntry(model()->filteredEntries().at(0));
        child<LogListArea>("listArea")->setDetailPaneHeight(500);
        QTRY_VERIFY(view->detailPane() && view->detailPane()->height() == view->detailPane()->maximumHeight());
        QVERIFY(view->listView()->height() >= 1000 / 3);
        const int roomy = view->listView()->height();
        for (QSize size : {view->minimumSize(), QSize(1600, 1000)}) {
            view->resize(size);
            QCoreApplication::processEvents();
            DetailPane* pane = view->detailPane();
            pane->setListed(false);  // its note takes no room from the actions
            QCoreApplication::processEvents();
            auto* scroll = pane->findChild<QScrollArea*>();
            QList<QRect> taken{QRect(pane->findChild<QWidget*>("detailDate")->mapTo(pane, QPoint()),
                                     pane->findChild<QWidget*>("detailDate")->size())};
            for (const char* name :
                 {"explainButton", "searchWebButton", "macSupportButton", "copyEntryButton", "popOutButton"}) {
                auto* w = pane->findChild<QWidget*>(QLatin1String(name));
                const QRect r(w->mapTo(pane, QPoint()), w->size());
                QVERIFY2(w->isVisible(), name);
                QVERIFY2(!scroll->isAncestorOf(w), name);
                QVERIFY2(pane->rect().contains(r), name);
                for (const QRect& other : taken)
                    QVERIFY2(!r.intersects(other), name);
                taken.append(r);
            }
            QVERIFY(view->listView()->height() >= 2 * LogRowDelegate::rowHeight());
        }
        QTRY_COMPARE(view->listView()->height(), roomy);
    }

    // Dragging a header edge sizes the column, for the next window too; an
    // empty column keeps to the floor and leaves its room to the message.
    void columnWidths()
    {
        model()->pipeline().setShown(ColumnId::host, true);  // no entry names a host
        model()->pipeline().setShown(ColumnId::pid, true);
        LogHeader* header = view->header();
        const QRect host = header->labelRect(ColumnId::host);
        QCOMPARE(header->labelRect(ColumnId::message).left() - host.left(), RowLayout::minimumColumnWidth + RowLayout::spacing);
        const int process = header->labelRect(ColumnId::pid).left() - header->labelRect(ColumnId::process).left();
        const int edge = header->labelRect(ColumnId::pid).left() - RowLayout::spacing / 2;
        const int y = header->height() / 2;
        QTest::mousePress(header, Qt::LeftButton, {}, QPoint(edge, y));
        QTest::mouseMove(header, QPoint(edge + 20, y));
        QTest::mouseMove(header, QPoint(edge + 40, y));
        QTest::mouseRelease(header, Qt::LeftButton, {}, QPoint(edge + 40, y));
        QCOMPARE(header->labelRect(ColumnId::pid).left() - header->labelRect(ColumnId::process).left(), process + 40);
        QCOMPARE(Platform::settings().value("columnWidth_Process").toInt(), Columns::spec(ColumnId::process).defaultWidth + 40);
        QCOMPARE(model()->pipeline().sortColumn(), ColumnId::time);  // a drag is no click
        view.reset();
        makeView();
        QCOMPARE(view->header()->labelRect(ColumnId::pid).left() - view->header()->labelRect(ColumnId::process).left(), process + 40);
    }

    // Typing in a filter field or the search moves no other control.
    void typingMovesNothing()
    {
        model()->pipeline().setShown(ColumnId::pid, true);
        model()->pipeline().setShown(ColumnId::thread, true);
        QCoreApplication::processEvents();
        auto geometries = [this] {
            QList<QRect> g;
            for (const char* row : {"filterBar", "searchRow"})
                for (QWidget* w : child(row)->findChildren<QWidget*>())
                    if (w->isVisible())
                        g << QRect(w->mapTo(view.get(), QPoint()), w->size());
            return g;
        };
        const QList<QRect> before = geometries();
        for (const char* field : {"filter_PID", "searchField"}) {
            QTest::keyClicks(child(field), QStringLiteral("1"));
            QCoreApplication::processEvents();
            QCOMPARE(geometries().size() - before.size(), 1);  // its clear button, in room kept for it
            const QList<QRect> after = geometries();
            for (const QRect& r : before)
                QVERIFY2(after.contains(r), field);
            qobject_cast<QLineEdit*>(child(field))->clear();
        }
    }
};

QTEST_MAIN(TestListPlace)
#include "test_list_place.moc"
