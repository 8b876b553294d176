#include "app/UpdateChecker.h"
#include "ai/AISettings.h"
#include "ai/views/AnalysisItemRow.h"
#include "ai/views/AnalysisView.h"
#include "app/views/AboutView.h"
#include "app/views/AuxWindows.h"
#include "app/views/CollectConfirmSheet.h"
#include "app/views/HelpView.h"
#include "app/views/LogCollectionUI.h"
#include "app/views/SettingsView.h"
#include "app/views/UpdateBanner.h"
#include "app/views/ShellParts.h"
#include "browser/DetailWindowState.h"
#include "browser/PendingArchive.h"
#include "browser/WindowModel.h"
#include "browser/views/ContentView.h"
#include "crashes/CrashLogFetcher.h"
#include "crashes/views/CrashView.h"
#include "logs/LogFetcher.h"
#include "logs/RecentArchives.h"
#include "tests/support/JournalFixture.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/MemoryLogStore.h"
#include "tests/support/TestEnv.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>

// This folder's views plugged into a real main window: the Crashes tab, the gear's popover, Analyze against a
// loopback provider, the update banner and log collection through a stand-in log tool; the help, about and API
// key windows.
class TestShellParts : public QObject {
    Q_OBJECT

    std::unique_ptr<MemoryStoreProvider> provider;
    std::unique_ptr<DetailWindowState> state;
    std::unique_ptr<RecentArchives> recent;
    std::unique_ptr<PendingArchive> pending;
    std::unique_ptr<ContentView> view;
    LoopbackHttpServer server;
    LoopbackHttpServer updates;  // the release manifest, apart from the provider's queue
    QString home, fixture;
    QList<QUrl> opened;  // what the banner asked the desktop to open

    struct Alert {
        QString title, text, informative;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList buttons;
        bool plain = true;  // every label of the box shows its text literally
        int width = 0;
    };
    QList<Alert> alerts;  // every modal alert is read and answered with its first button, so none blocks a test
    QTimer alertPoll;

    static QByteArray anthropicAnswer(const QString& text)
    {
        return QJsonDocument(QJsonObject{{"content", QJsonArray{QJsonObject{{"type", "text"}, {"text", text}}}}})
            .toJson(QJsonDocument::Compact);
    }

    template <class T>
    T* find(const char* name) const
    {
        return view->findChild<T*>(QString::fromLatin1(name));
    }

    static AnalysisView* sheet()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* a = qobject_cast<AnalysisView*>(w); a && a->isVisible())
                return a;
        return nullptr;
    }

    static SettingsView* openSettings()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible())
                if (auto* s = w->findChild<SettingsView*>())
                    return s;
        return nullptr;
    }

    void answerAlert()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        Alert a{box->windowTitle(), box->text(), box->informativeText(), box->icon(), {}, true, box->width()};
        for (QLabel* l : box->findChildren<QLabel*>())
            a.plain = a.plain && l->textFormat() == Qt::PlainText;
        for (QAbstractButton* b : box->buttons())
            a.buttons << b->text().remove('&');
        alerts << a;
        box->buttons().first()->click();
    }

    static QStringList labels(QWidget* root, const char* name)
    {
        QStringList l;
        for (auto* label : root->findChildren<QLabel*>(QString::fromLatin1(name)))
            l << label->text();
        return l;
    }

    void makeView()
    {
        view.reset();
        view = std::make_unique<ContentView>(state.get(), recent.get(), pending.get(), ShellParts::make());
        view->model()->logFetcher()->setStoreProvider(provider.get());
        view->resize(1100, 700);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        QTRY_VERIFY(!view->model()->logFetcher()->isLoading());
        QCOMPARE(view->model()->filteredEntries().size(), 3);
    }

public slots:
    void open(const QUrl& url) { opened << url; }

private slots:
    void initTestCase()
    {
        home = TestEnv::useTemporaryHome();
        for (const char* scheme : {"http", "https", "file", "javascript", "ftp", "vellacord"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
        connect(&alertPoll, &QTimer::timeout, this, &TestShellParts::answerAlert);
        alertPoll.start(50);
        fixture = JournalFixture::makeArchive(
            home, "fixture.logarchive",
            {JournalFixture::message(double(QDateTime::currentSecsSinceEpoch()) - 60, "kernel", "collected", 3)});
        provider = std::make_unique<MemoryStoreProvider>();
        QVERIFY(server.start());
        qputenv("VELLACORD_ANTHROPIC_URL", server.baseUrl().toUtf8());
        QVERIFY(updates.start());
        updates.setFallback(LoopbackHttpServer::Response::withBody(404, "text/html", "<h1>Not found</h1>"));
        qputenv("VELLACORD_UPDATE_URL", (updates.baseUrl() + "/Vellacord/version.json").toUtf8());
    }

    void init()
    {
        TestEnv::clearSettings();
        const double t = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0 - 600;
        auto& raw = provider->store->raw;
        raw.clear();
        raw.push_back(MemoryLogStore::log(t + 1, 5, "kernel", "panic: disk0 stalled", "com.apple.iokit.power", "k"));
        raw.push_back(MemoryLogStore::log(t + 2, 4, "launchd", "Service exited with abnormal code: 78", "", "x"));
        raw.push_back(MemoryLogStore::log(t + 3, 4, "WindowServer", "display failed to reconfigure", "", "s"));
        state = std::make_unique<DetailWindowState>();
        recent = std::make_unique<RecentArchives>();
        pending = std::make_unique<PendingArchive>();
        makeView();
        server.clearRequests();
        alerts.clear();
        opened.clear();
    }

    void cleanup()
    {
        if (AnalysisView* s = sheet())
            s->close();
        view.reset();
        // A query still running on the pool reads the store the next test refills.
        QThreadPool::globalInstance()->waitForDone();
    }

    void crashesTabAndRescan()
    {
        find<QAbstractButton>("crashesTab")->click();
        QVERIFY(view->model()->showCrashes());
        auto* crashes = view->findChild<CrashView*>();
        QVERIFY(crashes && crashes->isVisible());
        QTRY_VERIFY(!crashes->crashFetcher()->isLoading());
        find<QPushButton>("rescanButton")->click();
        QVERIFY(crashes->crashFetcher()->isLoading());
        QTRY_VERIFY(!crashes->crashFetcher()->isLoading());

        // An opened folder outlives a visit to the Logs tab (as --crashes DIR sets it).
        QTemporaryDir folder;
        crashes->setFolder(folder.path());
        QCOMPARE(view->model()->crashFolder(), std::optional<QString>(folder.path()));
        view->model()->setShowCrashes(false);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        view->model()->setShowCrashes(true);
        crashes = view->findChild<CrashView*>();
        QTRY_VERIFY(!crashes->crashFetcher()->isLoading());
        QCOMPARE(crashes->folder(), std::optional<QString>(folder.path()));
    }

    void settingsFromTheGearAndFromAnalyzeWithoutKey()
    {
        // Analyze without a key asks for one instead of calling the provider.
        find<QPushButton>("analyzeButton")->click();
        QVERIFY(view->model()->showSettings());
        SettingsView* s = openSettings();
        QVERIFY(s && !sheet());
        QCOMPARE(server.requestCount(), 0);
        QCOMPARE(labels(s, "settingsTitle") + labels(s, "searchURLNote"),
                 (QStringList{"AI Log Explainer Settings", "Query terms are appended to this URL"}));
        QCOMPARE(s->apiKeyField()->echoMode(), QLineEdit::Password);
        QCOMPARE(s->apiKeyField()->placeholderText() + '|' + s->segment(0)->text() + '|' + s->segment(1)->text(),
                 QStringLiteral("Paste your Anthropic API key|Anthropic|OpenAI"));
        QVERIFY(s->segment(0)->isChecked());
        QCOMPARE(s->searchURLField()->text(), AISettings::defaultSearchEngineURL());

        // Each edit applies at once. Spaces only: still required.
        AISettings* settings = view->model()->aiSettings();
        QTest::keyClicks(s->apiKeyField(), "  ");
        QCOMPARE(s->statusLabel()->text(), QStringLiteral("API key required"));
        QTest::keyClicks(s->apiKeyField(), "sk");
        QCOMPARE(s->statusLabel()->text(), QStringLiteral("API key set"));
        // Switching the provider keeps the key and changes the placeholder.
        QTest::mouseClick(s->segment(1), Qt::LeftButton);
        QVERIFY(settings->provider() == AIProvider::openai && settings->apiKey() == "  sk");
        QCOMPARE(s->apiKeyField()->placeholderText(), QStringLiteral("Paste your OpenAI API key"));
        // An emptied search URL is stored empty; the default is not applied.
        s->searchURLField()->selectAll();
        QTest::keyClick(s->searchURLField(), Qt::Key_Backspace);
        QCOMPARE(settings->searchEngineURL(), QString());
        s->doneButton()->click();
        QTRY_VERIFY(!view->model()->showSettings() && !openSettings());

        // The gear opens it again with the stored values.
        find<QToolButton>("settingsButton")->click();
        QVERIFY(view->model()->showSettings() && (s = openSettings()));
        QCOMPARE(s->apiKeyField()->text() + '|' + s->searchURLField()->text(), QStringLiteral("  sk|"));
        QVERIFY(s->segment(1)->isChecked());
        s->doneButton()->click();
    }

    void analyzeShowsFindingsAndJumps()
    {
        view->model()->aiSettings()->setAPIKey("sk-test");
        server.enqueue(LoopbackHttpServer::Response::json(
            200, anthropicAnswer("ENTRY: 2\nTITLE: Display failures\nCONCERN: WindowServer cannot reconfigure.")));
        auto* analyze = find<QPushButton>("analyzeButton");
        analyze->click();
        AnalysisView* s = sheet();
        QVERIFY(s && s->body() == AnalysisView::Body::loading);
        QVERIFY(!analyze->isEnabled());
        QTRY_COMPARE(s->body(), AnalysisView::Body::items);
        QVERIFY(analyze->isEnabled());
        auto* row = s->findChild<AnalysisItemRow*>();
        QVERIFY(row && row->jumpButton());
        const QUuid target = row->item().entry->id;
        view->model()->setHighlightDuration(50);  // the 3 s default is the model test's
        row->jumpButton()->click();
        QTRY_VERIFY(!sheet());
        QCOMPARE(view->model()->highlightedEntryID().value_or(QUuid()), target);
        QTRY_VERIFY(!view->model()->highlightedEntryID());
        QCOMPARE(view->model()->selectedEntry()->id, target);
    }

    void updateBannerFromTheManifest()
    {
        updates.clearRequests();
        updates.enqueue(LoopbackHttpServer::Response::json(
            200, R"({"currentVersion":"99.1","currentBuild":7,"downloadURL":"https://example.org/dl",)"
                 R"("releaseNotes":"Faster."})"));
        makeView();
        QTRY_VERIFY(updates.requestCount() >= 1);
        QCOMPARE(updates.requests().value(0).target, QByteArray("/Vellacord/version.json"));
        auto* banner = view->findChild<UpdateBanner*>();
        QTRY_VERIFY(banner->isVisible());
        QCOMPARE(banner->textLabel()->text() + banner->downloadButton()->text(),
                 UpdateChecker::bannerText("99.1") + UpdateChecker::downloadButtonText());
        banner->downloadButton()->click();
        QCOMPARE(opened, QList<QUrl>{QUrl("https://example.org/dl")});
        banner->closeButton()->click();
        QVERIFY(!banner->isVisible());
        // Closed stays closed for the window's life.
        banner->setUpdate(true, "99.2", "https://example.org/dl");
        QVERIFY(!banner->isVisible());
    }

    void bannerOpensOnlyWebAddresses()
    {
        // Which addresses those are is the checker's rule, tested there; the banner hides its button for others.
        QWidget host;
        auto* banner = new UpdateBanner(&host);
        host.show();
        banner->setUpdate(false, "1.0.0", "https://example.org/d");
        QVERIFY(!banner->isVisible());
        for (const QString& bad : {QStringLiteral("file:///etc/passwd"), QStringLiteral("")}) {
            banner->setUpdate(true, "2.0", bad);
            QVERIFY2(banner->isVisible() && banner->downloadButton()->isHidden(), qPrintable(bad));
            banner->download();
        }
        // The window's own check must agree as well.
        banner->setUpdate(true, "2.0", "https://example.org/ok");
        QVERIFY(!banner->downloadButton()->isHidden());
        banner->setURLCheck([](const QString&) { return false; });
        QVERIFY(banner->downloadButton()->isHidden());
        banner->download();
        QVERIFY(opened.isEmpty());
    }

    void collectConfirmation()
    {
        CollectConfirmSheet sheet(view.get());
        QCOMPARE(sheet.findChild<QLabel*>("collectTitle")->text(), QStringLiteral("Collect System Logs"));
        QCOMPARE(sheet.findChild<QLabel*>("collectMessage")->text(),
                 QStringLiteral("This will collect system logs from the past hour into a .logarchive file on your "
                                "Desktop.\n\nYou will be prompted for your administrator password."));
        QTimer::singleShot(0, &sheet, [&] { sheet.findChild<QPushButton*>("collectCancel")->click(); });
        QCOMPARE(sheet.exec(), int(QDialog::Rejected));
        QTimer::singleShot(0, &sheet, [&] { sheet.findChild<QPushButton*>("collectConfirm")->click(); });
        QCOMPARE(sheet.exec(), int(QDialog::Accepted));
    }

    void collectFailureShowsTheAlertAndOpensNothing()
    {
        view->model()->setCollecting(true);
        LogCollectionUI::finish(view.get(), false, home + "/Desktop/Vellacord-x.logarchive",
                                "Exit code 64\nlog: unknown option");
        QCOMPARE(alerts.size(), 1);
        const Alert alert = alerts.first();
        QCOMPARE((QStringList{alert.title, alert.text, alert.informative, alert.buttons.join('|')}),
                 (QStringList{"Log Collection Failed", "Log Collection Failed", "Exit code 64\nlog: unknown option", "OK"}));
        QVERIFY(alert.plain && alert.icon == QMessageBox::Warning);
        QVERIFY2(alert.width >= 400, qPrintable(QString::number(alert.width)));  // not a column of short lines
        QVERIFY(!view->model()->isCollecting() && recent->paths().isEmpty() && !view->model()->logFetcher()->isViewingArchive());
    }

    void collectThroughTheButton()
    {
        // A stand-in for the log tool that insists on: collect --last 1h --output PATH.
        const QString tool = home + "/fake-log-tool.sh";
        QFile f(tool);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n[ \"$1 $2 $3 $4\" = \"collect --last 1h --output\" ] || exit 9\nsleep 0.3\ncp -r '"
                + fixture.toUtf8() + "' \"$5\"\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("VELLACORD_LOG_TOOL", tool.toUtf8());
        auto* button = find<QPushButton>("collectButton");
        QTimer::singleShot(100, [] {
            if (auto* sheet = qobject_cast<CollectConfirmSheet*>(QApplication::activeModalWidget()))
                sheet->findChild<QPushButton*>("collectConfirm")->click();
        });
        button->click();
        QTRY_VERIFY(view->model()->isCollecting());
        QCOMPARE(button->text(), QStringLiteral("Collecting…"));
        QVERIFY(!button->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!view->model()->isCollecting(), 10000);
        QVERIFY2(alerts.isEmpty() && button->isEnabled(), qPrintable(alerts.value(0).informative));
        const QString path = view->model()->logFetcher()->archiveURL().value_or(QString());
        QVERIFY2(QFileInfo(path).fileName().startsWith("Vellacord-") && path.endsWith(".logarchive"), qPrintable(path));
        QCOMPARE(QFileInfo(path).absolutePath(), QDir(home + "/Desktop").absolutePath());
        QCOMPARE(recent->paths().value(0), path);
        QTRY_VERIFY(find<QLabel>("archiveLabel")->text().contains(QFileInfo(path).fileName()));
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
};

QTEST_MAIN(TestShellParts)
#include "test_shell_parts.moc"
