#include "app/views/APIKeyHelpView.h"
#include "app/views/AboutView.h"
#include "app/views/AuxWindows.h"
#include "app/views/HelpView.h"
#include "tests/support/TestEnv.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QtTest>

class TestHelpWindows : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::useTemporaryHome(); }

    void helpSectionsInOrder()
    {
        const QStringList expected = {
            "What Vellacord Does", "Severity Levels", "Severity Filters", "Time Range",
            "Search and Cascading Filters", "Optional Columns", "Filter to PID", "PID Tooltip",
            "Subsystem Filter", "Column Sorting", "Entry Detail Pane", "AI Log Explainer",
            "Proactive Log Analysis", "Live Tail", "Search Web and Mac Support", "Crash Log Viewer",
            ".logarchive Support", "Collect System Logs", "Theming", "Process Name Translation",
            "System-Wide Log Access"};
        HelpView view;
        QStringList shown;
        for (auto* l : view.findChildren<QLabel*>(QStringLiteral("helpSection")))
            shown << l->text();
        QCOMPARE(shown, expected);
        auto* title = view.findChild<QLabel*>(QStringLiteral("helpTitle"));
        QVERIFY(title);
        QCOMPARE(title->text(), QStringLiteral("Vellacord Help"));
        QVERIFY(view.findChild<QScrollArea*>());
        for (const auto& s : HelpView::sections())
            QVERIFY2(!s.items.isEmpty(), qPrintable(s.title));
        // The five levels each get a line, Fault first.
        const auto levels = HelpView::sections().at(1).items;
        QCOMPARE(levels.size(), 5);
        QVERIFY(levels.at(0).startsWith("Fault"));
        QVERIFY(levels.at(4).startsWith("Debug"));
    }

    void aboutTexts()
    {
        QCOMPARE(AboutView::versionLine("1.4.2", "77"), QStringLiteral("Version 1.4.2 (77)"));
        QCOMPARE(AboutView::versionLine("", ""), QStringLiteral("Version 1.0 (1)"));
        QVERIFY(AboutView::versionLine().endsWith(QStringLiteral(" (" VELLACORD_BUILD ")")));  // the checker's build
        QCoreApplication::setApplicationVersion("2.3");
        AboutView view;
        auto* v = view.findChild<QLabel*>(QStringLiteral("aboutVersion"));
        QVERIFY(v);
        QVERIFY(v->text().startsWith(QStringLiteral("Version 2.3 (")));
        auto* tag = view.findChild<QLabel*>(QStringLiteral("aboutTagline"));
        QCOMPARE(tag->text(), QStringLiteral("When something breaks on your Mac, Vellacord gets you to the answer "
                                             "fast. A native log viewer and crash analyzer for system "
                                             "administrators."));
        QVERIFY(tag->maximumWidth() <= 340);
        QCOMPARE(view.findChild<QLabel*>(QStringLiteral("aboutName"))->text(), QStringLiteral("Vellacord"));
        QVERIFY(!view.findChild<QLabel*>(QStringLiteral("aboutIcon"))->pixmap().isNull());
    }

    void apiKeyHelpContentAndDone()
    {
        QWidget* win = AuxWindows::open(AuxWindows::apiKeyHelpID);
        QVERIFY(win);
        QVERIFY(win->isVisible());
        QCOMPARE(win->windowTitle(), QStringLiteral("Setting Up Your AI API Key"));
        QStringList blocks;
        for (auto* l : win->findChildren<QLabel*>(QStringLiteral("apiKeyBlockTitle")))
            blocks << l->text();
        QCOMPARE(blocks, (QStringList{"Anthropic (Claude)", "OpenAI (ChatGPT)", "Privacy and Security"}));
        QStringList steps;
        for (auto* l : win->findChildren<QLabel*>(QStringLiteral("apiKeyStep")))
            steps << l->text();
        QCOMPARE(steps.count("Navigate to API Keys and create a new key."), 2);
        QVERIFY(steps.contains("Your API key is stored locally on your Mac in app storage only."));
        QVERIFY(steps.contains("You can revoke your key at any time from the provider's dashboard."));
        QVERIFY(win->findChild<QLabel*>(QStringLiteral("apiKeyIntro"))->text().startsWith(
            "The AI Log Explainer and Proactive Analysis features require an API key"));
        auto* done = win->findChild<QPushButton*>(QStringLiteral("apiKeyDone"));
        QVERIFY(done);
        done->click();
        QVERIFY(!win->isVisible());
        // Reopening shows the same window again.
        QCOMPARE(AuxWindows::open(AuxWindows::apiKeyHelpID), win);
        QVERIFY(win->isVisible());
        win->close();
    }

    void singleWindowsByIdentifier()
    {
        QWidget* help = AuxWindows::open(AuxWindows::helpID);
        QWidget* about = AuxWindows::open(AuxWindows::aboutID);
        QVERIFY(help && about && help != about);
        QCOMPARE(help->windowTitle(), QStringLiteral("Vellacord Help"));
        QCOMPARE(about->windowTitle(), QStringLiteral("About Vellacord"));
        QCOMPARE(AuxWindows::open(AuxWindows::helpID), help);
        QCOMPARE(AuxWindows::find(AuxWindows::aboutID), about);
        QVERIFY(!AuxWindows::open("no-such-window"));
        // A closed window comes back as the same instance.
        help->close();
        QVERIFY(!help->isVisible());
        QCOMPARE(AuxWindows::open(AuxWindows::helpID), help);
        QVERIFY(help->isVisible());
        // About is not resizable beyond its content.
        QCOMPARE(about->minimumSize(), about->maximumSize());
        help->close();
        about->close();
    }
};

QTEST_MAIN(TestHelpWindows)
#include "test_help_windows.moc"
