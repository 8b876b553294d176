#include "tests/support/Entries.h"
#include "ai/views/AnalysisItemRow.h"
#include "ai/views/AnalysisView.h"
#include "tests/support/TestEnv.h"

#include <QtWidgets>
#include <QtTest>

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
        QVERIFY(!without->jumpButton() && !without->findChild<QLabel*>("analysisEntryLevel"));
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
};

QTEST_MAIN(TestAnalysisView)
#include "test_analysis_view.moc"
