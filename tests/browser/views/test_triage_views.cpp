#include "browser/EntrySelection.h"
#include "browser/Marks.h"
#include "browser/views/ContextBar.h"
#include "browser/views/ExportCommand.h"
#include "browser/views/HideChipsRow.h"
#include "browser/views/LogListModel.h"
#include "browser/views/TimelineStrip.h"
#include "browser/views/TransientNotice.h"
#include "tests/support/TestEnv.h"
#include "tests/support/WindowFixture.h"
#include "ui/ViewStyle.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

// The window side of hiding, Show in Context and marks, driven as a user
// does; the rules themselves are the model's tests.
class TestTriageViews : public QObject, public WindowFixture {
    Q_OBJECT

    const LogEntry& row(int i) const { return model()->filteredEntries().at(i); }
    void select(int i) { model()->selection()->selectEntry(row(i)); }
    void key(int k, Qt::KeyboardModifiers m = {}) { QTest::keyClick(view.get(), Qt::Key(k), m); }
    QStringList chipTexts() const
    {
        QStringList t;
        for (FilterChip* c : child<HideChipsRow>("hideChipsRow")->ruleChips())
            t << c->fullText();
        return t;
    }
    // The row menu's items from "Show in Context" on, with the keys they show.
    QStringList rowMenu(int i)
    {
        QStringList items;
        QTimer::singleShot(0, this, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            for (QAction* a : menu->actions())
                items << a->text() + (a->shortcut().isEmpty() ? "" : " " + a->shortcut().toString());
            menu->close();
        });
        QAbstractItemView* list = view->listView();
        emit list->customContextMenuRequested(list->visualRect(view->listModel()->index(i)).center());
        return items.mid(items.indexOf("Show in Context Ctrl+J"));
    }
    bool gutterMarked(int i) const  // the accent bar left of the time
    {
        QAbstractItemView* list = view->listView();
        const QRect r = list->visualRect(view->listModel()->index(i));
        return list->viewport()->grab().toImage().pixelColor(r.left() + 2, r.center().y()) == ViewStyle::accent(list);
    }

private slots:
    void initTestCase() { TestEnv::useTemporaryHome(); }
    void init()
    {
        TestEnv::clearSettings();
        const double t = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0 - 1200;
        const QStringList processes{"kernel", "a&b", "Safari", "kernel"};
        const QStringList subsystems{"com.apple.iokit", QString(50, u's'), QString(), "com.apple.iokit"};
        provider.locked([&] {
            provider.store->raw.clear();
            for (int i = 0; i < 60; ++i)  // errors
                provider.store->raw.push_back(MemoryLogStore::log(t + i, 4, processes[i % 4],
                                                                  QString("event %1 done").arg(i), subsystems[i % 4]));
        });
        setUp();
    }
    void cleanup() { tearDown(); }

    void hideChipsShowCountsAndRemove()
    {
        auto* chips = child<HideChipsRow>("hideChipsRow");
        QVERIFY(chips->isHidden());
        model()->hideProcess(row(2));
        model()->hideSubsystem(row(0));
        QCOMPARE(chipTexts(), (QStringList{"Process \"Safari\" (15)", "Subsystem \"com.apple.iokit\" (30)"}));
        QVERIFY(chips->isVisible());
        FilterChip* first = chips->ruleChips().first();
        for (int x : {16, first->width() - 16})  // the text does nothing, the ✕ removes
            QTest::mouseClick(first, Qt::LeftButton, {}, QPoint(x, first->height() / 2));
        QCOMPARE(chipTexts(), QStringList{"Subsystem \"com.apple.iokit\" (30)"});
        model()->hideLikeThis(row(0));
        child<QPushButton>("showAllButton")->click();
        QVERIFY(chips->isHidden());
        // The Patterns view's pick, with its own ✕.
        model()->pipeline().setPatternFilter(QStringLiteral("event ‹n› done"));
        QVERIFY(chips->isVisible());
        QCOMPARE(chips->patternChip()->fullText(), QStringLiteral("Pattern: event ‹n› done"));
        chips->patternChip()->click();
        QVERIFY(!model()->pipeline().patternFilter());
    }

    void contextBarAndBack()
    {
        model()->pipeline().setSearchText("Safari");
        select(10);
        const LogEntry picked = row(10);
        key(Qt::Key_J, Qt::ControlModifier);
        auto* bar = child<ContextBar>("contextBar");
        QVERIFY(bar->isVisible());
        QAbstractItemView* list = view->listView();
        const auto offCentre = [&] {  // in half rows
            const QRect r = list->visualRect(view->listModel()->index(view->listModel()->rowOf(picked.id)));
            return 2 * qAbs(r.center().y() - list->viewport()->height() / 2) / r.height();
        };
        QTRY_COMPARE(offCentre(), 0);
        bar->backButton()->click();
        QVERIFY(bar->isHidden());
        QCOMPARE(model()->pipeline().searchText(), QStringLiteral("Safari"));
        QCOMPARE(model()->selection()->entry()->id, picked.id);
    }

    void rowMenuItems()
    {
        QTRY_COMPARE(view->listModel()->rowCount(), 60);
        QCOMPARE(rowMenu(0), (QStringList{"Show in Context Ctrl+J", "Mark Ctrl+M", "", "Hide Process \"kernel\"",
                                          "Hide Subsystem \"com.apple.iokit\"", "Hide Messages Like This"}));
        model()->toggleMark(row(1));
        QCOMPARE(rowMenu(1).mid(1), (QStringList{"Unmark Ctrl+M", "", "Hide Process \"a&&b\"",
                                                 "Hide Subsystem \"" + QString(39, u's') + "…\"",
                                                 "Hide Messages Like This"}));
        QCOMPARE(rowMenu(2).mid(3), (QStringList{"Hide Process \"Safari\"", "Hide Messages Like This"}));
    }

    void markKeysAndGutter()
    {
        select(4);
        key(Qt::Key_M, Qt::ControlModifier);
        QVERIFY(gutterMarked(4));
        // The timeline's notch above the bars.
        auto* strip = view->findChild<TimelineStrip*>();
        const QImage timeline = strip->grab().toImage();
        bool notch = false;
        for (int x = 0; x < timeline.width(); ++x)
            notch |= timeline.pixelColor(x, 1) == ViewStyle::accent(strip);
        QVERIFY(notch);
        select(40);
        key(Qt::Key_M, Qt::ControlModifier);
        // F3 forward and Shift+F3 back, wrapping around.
        const QList<std::pair<Qt::KeyboardModifiers, int>> steps{
            {{}, 4}, {{}, 40}, {{}, 4}, {Qt::ShiftModifier, 40}, {Qt::ShiftModifier, 4}};
        for (const auto& [mod, expected] : steps) {
            key(Qt::Key_F3, mod);
            QCOMPARE(model()->selection()->entry()->id, row(expected).id);
        }
        key(Qt::Key_M, Qt::ControlModifier);
        QVERIFY(!gutterMarked(4));
        child<FilterChip>("markedOnlyChip")->click();
        QCOMPARE(model()->filteredEntries().size(), 1);  // the mark left
        model()->marks()->clear();
        key(Qt::Key_F3);
        QCOMPARE(child<TransientNotice>("markNotice")->text(), QStringLiteral("No marked entries"));
    }

    void exportMarkedOnly()
    {
        for (int i : {3, 7, 8})
            model()->toggleMark(row(i));
        QTemporaryDir dir;
        ExportCommand* cmd = view->exportCommand();
        cmd->setSavePanelRunner(
            [&](const QString&) { return ExportCommand::SaveChoice{dir.filePath("m.txt"), EntryExport::Format::text, true}; });
        QSignalSpy done(cmd, &ExportCommand::finished);
        cmd->run();
        QVERIFY(done.wait());
        QFile out(dir.filePath("m.txt"));
        QVERIFY(out.open(QIODevice::ReadOnly));
        QCOMPARE(out.readAll(), EntryExport::document(EntryExport::Format::text, {row(3), row(7), row(8)}, {}));
    }
};

QTEST_MAIN(TestTriageViews)
#include "test_triage_views.moc"
