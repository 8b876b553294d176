#include "ai/views/AnalysisItemRow.h"
#include "ai/views/AnalysisView.h"
#include "tests/support/Entries.h"
#include "tests/support/TestEnv.h"
#include "ui/PlainTextViewer.h"
#include "ui/ViewStyle.h"

#include <QtTest>
#include <QtWidgets>

namespace {
AnalysisItem item(const QString& title, const QString& concern, std::optional<LogEntry> e = std::nullopt)
{
    return AnalysisItem{QUuid::createUuid(), title, concern, std::move(e)};
}

QString visibleText(QWidget* root, const char* name)
{
    auto* l = root->findChild<QLabel*>(QString::fromLatin1(name));
    return l && l->isVisibleTo(root) ? l->text() : QString();
}
QString text(QWidget* root, const char* name) { return root->findChild<QLabel*>(QString::fromLatin1(name))->text(); }
}  // namespace

class TestAnalysisView : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::useTemporaryHome(); }

    void statesRowsAndJump()
    {
        QWidget host;
        host.resize(800, 700);
        host.show();
        AnalysisView view(&host);
        std::optional<LogEntry> picked;
        bool visibleWhenPicked = false;
        view.setOnSelectEntry([&](const LogEntry& e) {
            picked = e;
            visibleWhenPicked = view.isVisible();
        });
        view.open();
        QCOMPARE(text(&view, "analysisTitle") + '|' + text(&view, "analysisNote"),
                 QStringLiteral("Proactive Log Analysis|AI analysis may be inaccurate. Always verify findings independently."));
        QCOMPARE(view.body(), AnalysisView::Body::empty);
        QCOMPARE(visibleText(&view, "analysisEmptyText"), QStringLiteral("No notable issues found"));
        view.setLoading(true);
        QCOMPARE(visibleText(&view, "analysisLoadingText") + visibleText(&view, "analysisEmptyText"),
                 QStringLiteral("Analyzing logs…"));

        // Loading wins over an error; the error shows once loading ends.
        view.setError(QStringLiteral("boom"));
        QCOMPARE(view.body(), AnalysisView::Body::loading);
        view.setLoading(false);
        QCOMPARE(visibleText(&view, "analysisErrorText"), QStringLiteral("boom"));

        view.setError(std::nullopt);
        const LogEntry disk = makeEntry(0, 5, "kernel", QStringLiteral("disk0s2:\nI/O\rerror\u2028retrying\fnow"));
        AnalysisItemList items{item("Disk errors", "Repeated I/O failures.", disk), item("Analysis Summary", "All fine otherwise."),
                               item("C", "c")};
        view.setItems(items);
        QCOMPARE(view.body(), AnalysisView::Body::items);
        view.setItems(items << item("D", "d"));
        QTRY_COMPARE(view.findChildren<AnalysisItemRow*>().size(), 4);
        view.findChild<QToolButton*>("analysisClose")->click();
        QVERIFY(!view.isVisible());

        view.open();
        const auto rows = view.findChildren<AnalysisItemRow*>();
        const auto rowOf = [&](const char* title) {
            return *std::find_if(rows.begin(), rows.end(), [&](AnalysisItemRow* r) { return r->item().title == title; });
        };
        AnalysisItemRow *withEntry = rowOf("Disk errors"), *without = rowOf("Analysis Summary");
        QVERIFY(!without->jumpButton());
        QVERIFY(!without->findChild<QLabel*>("analysisEntryLevel"));
        QCOMPARE(QStringList({text(withEntry, "analysisItemTitle"), text(withEntry, "analysisItemConcern"),
                              text(withEntry, "analysisEntryLevel"), text(withEntry, "analysisEntryProcess")}),
                 QStringList({"Disk errors", "Repeated I/O failures.", "Fault", "kernel"}));
        QCOMPARE(text(withEntry, "analysisEntryMessage"), QStringLiteral("disk0s2: I/O error retrying now"));  // on one line
        QCOMPARE(withEntry->jumpButton()->text(), QStringLiteral("Jump to entry"));
        withEntry->jumpButton()->click();
        QCOMPARE(picked.value_or(LogEntry()).id, disk.id);
        QVERIFY(visibleWhenPicked);  // the action runs before the sheet closes
        QVERIFY(!view.isVisible());
    }

    // Each level's name, Notice's pale yellow above all, reads at AA contrast on the sheet in both themes.
    void levelContrast_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<int>("level");
        for (bool dark : {false, true})
            for (int level = 0; level <= 5; ++level)
                QTest::addRow("%s %s", dark ? "dark" : "light", qPrintable(LogEntry::levelLabelFor(level))) << dark << level;
    }

    void levelContrast()
    {
        QFETCH(bool, dark);
        QFETCH(int, level);
        const QPalette theme = dark ? ViewStyle::darkPalette() : ViewStyle::lightPalette();
        AnalysisView view;
        view.setItems({item("t", "c", makeEntry(0, level, "p", "m"))});
        view.setPalette(theme);  // a theme switch reaches rows made before it
        QTRY_VERIFY(view.findChild<AnalysisItemRow*>());
        const QColor text = view.findChild<QLabel*>("analysisEntryLevel")->palette().color(QPalette::WindowText);
        for (QPalette::ColorRole behind : {QPalette::Window, QPalette::Base})
            QVERIFY2(ViewStyle::contrastRatio(text, theme.color(behind)) >= 4.5, qPrintable(text.name()));
    }

    // Many or huge findings: rows for the first 20 with their texts cut, the whole concern in a viewer.
    void hugeAnalysis()
    {
        AnalysisItemList items;
        const QString concern = QString(3000, 'c'), title = QString(300, 't');
        items << item(title, concern, makeEntry(0, 5, QString::fromUtf8("web\u202eexe.01"), "m"));
        for (int i = 1; i < 30; ++i)
            items << item(QString::number(i), "c");
        AnalysisView view;
        view.setItems(items);
        QCOMPARE(view.items().size(), 30);
        QTRY_COMPARE(view.findChildren<AnalysisItemRow*>().size(), AnalysisView::kShownItems);
        QCOMPARE(text(&view, "analysisMoreNote"), QStringLiteral("The first 20 of 30 findings are shown."));
        auto* first = view.findChildren<AnalysisItemRow*>().first();
        QCOMPARE(text(first, "analysisItemTitle"), QString(200, 't') + QChar(0x2026));
        QCOMPARE(text(first, "analysisItemConcern"), QString(2000, 'c') + QChar(0x2026));
        QCOMPARE(text(first, "analysisEntryProcess"), QStringLiteral("web<U+202E>exe.01"));
        auto* all = first->findChild<QPushButton*>("analysisShowAll");
        QCOMPARE(all->text(), QStringLiteral("Show All (3 KB)"));
        all->click();
        QCOMPARE(first->findChild<PlainTextViewer*>("wholeConcern")->text(), concern);
        view.setItems(items.mid(0, 20));
        QTRY_VERIFY(!view.findChild<QLabel*>("analysisMoreNote"));
    }
};

QTEST_MAIN(TestAnalysisView)
#include "test_analysis_view.moc"
