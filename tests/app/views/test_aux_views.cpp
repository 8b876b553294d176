#include "ai/AISettings.h"
#include "app/UpdateChecker.h"
#include "app/views/AboutView.h"
#include "app/views/AuxWindows.h"
#include "app/views/HelpView.h"
#include "app/views/SettingsView.h"
#include "app/views/UpdateBanner.h"
#include "tests/support/TestEnv.h"

#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

// The help, about and API key windows, the settings popover and the update banner.
class TestAuxViews : public QObject {
    Q_OBJECT
    QList<QUrl> m_opened;  // what the banner asked the desktop to open

    static QStringList labels(QWidget* root, const char* name)
    {
        QStringList l;
        for (auto* label : root->findChildren<QLabel*>(QString::fromLatin1(name)))
            l << label->text();
        return l;
    }

public slots:
    void open(const QUrl& url) { m_opened << url; }

private slots:
    void initTestCase()
    {
        TestEnv::useTemporaryHome();
        for (const char* scheme : {"http", "https", "file", "javascript", "ftp", "vellacord"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
    }
    void init()
    {
        TestEnv::clearSettings();
        m_opened.clear();
    }

    void helpSectionsInOrder()
    {
        HelpView view;
        QCOMPARE(labels(&view, "helpSection"),
                 (QStringList{"What Vellacord Does", "Severity Levels", "Severity Filters", "Time Range",
                              "Search and Cascading Filters", "Optional Columns", "Filter to PID", "PID Tooltip",
                              "Subsystem Filter", "Column Sorting", "Entry Detail Pane", "AI Log Explainer",
                              "Proactive Log Analysis", "Live Tail", "Search Web and Mac Support", "Crash Log Viewer",
                              ".logarchive Support", "Collect System Logs", "Theming", "Process Name Translation",
                              "System-Wide Log Access"}));
        QCOMPARE(labels(&view, "helpTitle"), QStringList{"Vellacord Help"});
    }

    void aboutTexts()
    {
        QCOMPARE(AboutView::versionLine("1.4.2", "77"), QStringLiteral("Version 1.4.2 (77)"));
        QCOMPARE(AboutView::versionLine("", ""), QStringLiteral("Version 1.0 (1)"));
        QVERIFY(AboutView::versionLine().endsWith(QStringLiteral(" (" VELLACORD_BUILD ")")));  // the checker's build
        QCoreApplication::setApplicationVersion("2.3");
        AboutView view;
        QVERIFY(labels(&view, "aboutVersion").value(0).startsWith(QStringLiteral("Version 2.3 (")));
        QCOMPARE(labels(&view, "aboutTagline"),
                 QStringList{"When something breaks on your Mac, Vellacord gets you to the answer fast. A native log "
                             "viewer and crash analyzer for system administrators."});
        QVERIFY(!view.findChild<QLabel*>(QStringLiteral("aboutIcon"))->pixmap().isNull());
    }

    void windowsOnePerIdentifier()
    {
        QWidget* help = AuxWindows::open(AuxWindows::helpID);
        QWidget* about = AuxWindows::open(AuxWindows::aboutID);
        QWidget* key = AuxWindows::open(AuxWindows::apiKeyHelpID);
        QVERIFY(help && about && key && help != about);
        QCOMPARE((QStringList{help->windowTitle(), about->windowTitle(), key->windowTitle()}),
                 (QStringList{"Vellacord Help", "About Vellacord", "Setting Up Your AI API Key"}));
        QCOMPARE(AuxWindows::find(AuxWindows::aboutID), about);
        QVERIFY(!AuxWindows::open("no-such-window"));
        QCOMPARE(about->minimumSize(), about->maximumSize());  // not resizable beyond its content

        QCOMPARE(labels(key, "apiKeyBlockTitle"), (QStringList{"Anthropic (Claude)", "OpenAI (ChatGPT)", "Privacy and Security"}));
        QCOMPARE(labels(key, "apiKeyStep").count("Navigate to API Keys and create a new key."), 2);
        key->findChild<QPushButton*>(QStringLiteral("apiKeyDone"))->click();
        QVERIFY(!key->isVisible());
        // A closed window comes back as the same instance.
        QCOMPARE(AuxWindows::open(AuxWindows::apiKeyHelpID), key);
        QVERIFY(key->isVisible());
        for (QWidget* w : {help, about, key})
            w->close();
    }

    void settingsEditsApplyAtOnce()
    {
        AISettings settings;
        SettingsView view(&settings);
        QWidget anchor;
        anchor.setGeometry(100, 80, 30, 24);
        anchor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&anchor));
        view.popup(&anchor);
        const QPoint anchorBottom = anchor.mapToGlobal(QPoint(0, anchor.height()));
        QVERIFY(view.geometry().top() >= anchorBottom.y() && view.geometry().top() <= anchorBottom.y() + 8);
        QCOMPARE(labels(&view, "settingsTitle"), QStringList{"AI Log Explainer Settings"});
        QCOMPARE(view.apiKeyField()->echoMode(), QLineEdit::Password);
        QCOMPARE(view.apiKeyField()->placeholderText() + '|' + view.segment(0)->text() + '|' + view.segment(1)->text(),
                 QStringLiteral("Paste your Anthropic API key|Anthropic|OpenAI"));
        QVERIFY(view.segment(0)->isChecked());
        QCOMPARE(view.searchURLField()->text(), AISettings::defaultSearchEngineURL());
        QCOMPARE(labels(&view, "searchURLNote"), QStringList{"Query terms are appended to this URL"});

        // Spaces only: still required; each keystroke is stored.
        QTest::keyClicks(view.apiKeyField(), "  ");
        QCOMPARE(view.statusLabel()->text(), QStringLiteral("API key required"));
        QTest::keyClicks(view.apiKeyField(), "sk");
        QCOMPARE(settings.apiKey(), QStringLiteral("  sk"));
        QCOMPARE(view.statusLabel()->text(), QStringLiteral("API key set"));

        // Switching the provider keeps the key and changes the placeholder.
        QTest::mouseClick(view.segment(1), Qt::LeftButton);
        QVERIFY(settings.provider() == AIProvider::openai && settings.apiKey() == "  sk");
        QCOMPARE(view.apiKeyField()->placeholderText(), QStringLiteral("Paste your OpenAI API key"));

        // Emptying the search URL stores the empty string; the default is not applied.
        view.searchURLField()->selectAll();
        QTest::keyClick(view.searchURLField(), Qt::Key_Backspace);
        QCOMPARE(settings.searchEngineURL(), QString());

        view.doneButton()->click();
        QVERIFY(!view.isVisible());
        // Stored values show in a new popover; toggling closes it.
        SettingsView again(&settings);
        again.popup(&anchor);
        QCOMPARE(again.apiKeyField()->text() + '|' + again.searchURLField()->text(), QStringLiteral("  sk|"));
        QVERIFY(again.segment(1)->isChecked());
        again.toggle(&anchor);
        QVERIFY(!again.isVisible());
    }

    void bannerShowsWhileAnUpdateIsAvailableAndOpensOnlyWebAddresses()
    {
        QWidget host;
        auto* banner = new UpdateBanner(&host);
        host.show();
        banner->setUpdate(false, "1.0.0", "https://example.org/d");
        QVERIFY(!banner->isVisible());
        banner->setUpdate(true, "1.4.2", "https://example.org/d");
        QVERIFY(banner->isVisible());
        QCOMPARE(banner->textLabel()->text() + banner->downloadButton()->text(),
                 UpdateChecker::bannerText("1.4.2") + UpdateChecker::downloadButtonText());
        banner->closeButton()->click();
        QVERIFY(!banner->isVisible());
        // Closed stays closed for the window's life.
        banner->setUpdate(true, "1.4.3", "https://example.org/d");
        QVERIFY(!banner->isVisible());

        // Download opens only web addresses (which those are is the checker's rule, tested there).
        banner->setUpdate(true, "2.0", "https://example.org/Vellacord-2.0.tar.gz");
        banner->downloadButton()->click();
        QCOMPARE(m_opened, QList<QUrl>{QUrl("https://example.org/Vellacord-2.0.tar.gz")});
        for (const QString& bad : {QStringLiteral("file:///etc/passwd"), QStringLiteral("")}) {
            banner->setUpdate(true, "2.0", bad);
            QVERIFY2(banner->downloadButton()->isHidden(), qPrintable(bad));  // shown without a dead button
            banner->download();
        }
        // The window's own check must agree as well.
        banner->setUpdate(true, "2.0", "https://example.org/ok");
        QVERIFY(!banner->downloadButton()->isHidden());
        banner->setURLCheck([](const QString&) { return false; });
        QVERIFY(banner->downloadButton()->isHidden());
        banner->download();
        QCOMPARE(m_opened.size(), 1);
    }
};

QTEST_MAIN(TestAuxViews)
#include "test_aux_views.moc"
