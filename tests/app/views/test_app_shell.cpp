#include "ai/AISettings.h"
#include "ai/views/AnalysisItemRow.h"
#include "ai/views/AnalysisView.h"
#include "app/ArchiveChoice.h"
#include "app/UpdateChecker.h"
#include "app/views/AboutView.h"
#include "app/views/AuxWindows.h"
#include "app/views/CollectConfirmSheet.h"
#include "app/views/LogCollectionUI.h"
#include "app/views/SettingsView.h"
#include "app/views/UpdateBanner.h"
#include "app/views/VellacordApp.h"
#include "base/Platform.h"
#include "browser/EntrySelection.h"
#include "browser/PendingArchive.h"
#include "browser/WindowModel.h"
#include "browser/views/BrowserWidgets.h"
#include "browser/views/ContentView.h"
#include "browser/views/FloatingDetailView.h"
#include "crashes/CrashLogFetcher.h"
#include "crashes/views/CrashView.h"
#include "logs/LogFetcher.h"
#include "logs/RecentArchives.h"
#include "processnames/ProcessNameResolver.h"
#include "tests/support/JournalFixture.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/MemoryLogStore.h"
#include "tests/support/TestEnv.h"
#include "ui/PlainText.h"
#include "ui/ViewStyle.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QTimer>
#include <QToolButton>

#include <functional>

// The application with two main windows open: its menus, commands and theme; the parts it plugs into each window
// (the Crashes tab, the gear's popover, Analyze against a loopback provider, the update banner, log collection
// through a stand-in log tool); the help, about and API key windows.
class TestAppShell : public QObject {
    Q_OBJECT

    MemoryStoreProvider provider;
    std::unique_ptr<VellacordApp> app;
    QList<QMainWindow*> windows;
    QTemporaryDir dir;
    QList<VellacordApp::Alert> alerts;  // the application's own, through its seam
    QString alertAnswer;
    LoopbackHttpServer server;
    LoopbackHttpServer updates;  // the release manifest, apart from the provider's queue
    QString home, fixture;
    QList<QUrl> opened;  // what the banner asked the desktop to open

    struct Alert {
        QString title, text, informative;
        QStringList buttons;
        bool plain = true;  // every label of the box shows its text literally
    };
    QList<Alert> boxes;  // every modal message box is read and answered with its first button, so none blocks a test
    QTimer alertPoll;

    QMainWindow* openWindow()
    {
        QMainWindow* w = app->newMainWindow();
        content(w)->model()->logFetcher()->setStoreProvider(&provider);
        w->show();
        windows << w;
        return w;
    }
    static ContentView* content(QMainWindow* w) { return qobject_cast<ContentView*>(w->centralWidget()); }

    static QStringList texts(QMenu* m)
    {
        QStringList l;
        for (QAction* a : m->actions())
            l << (a->isSeparator() ? QStringLiteral("---") : a->text());
        return l;
    }
    static QAction* find(QMenu* m, const QString& text)
    {
        for (QAction* a : m->actions())
            if (a->text() == text)
                return a;
        return nullptr;
    }
    QMenu* fileMenu()
    {
        auto* m = new QMenu;
        app->fillFileMenu(m);
        return m;
    }
    QMenu* submenu(QMenu* m, const QString& title)
    {
        QAction* a = find(m, title);
        return a ? a->menu() : nullptr;
    }
    // Visible grey text under `root` that does not suit the scheme (light ink on dark, dark on light), from the
    // palettes; coloured ink and widgets with a style sheet of their own left out.
    static QStringList unsuited(QWidget* root, bool dark)
    {
        const auto wrongGrey = [dark](const QColor& c) {
            const int spread = qMax(c.red(), qMax(c.green(), c.blue())) - qMin(c.red(), qMin(c.green(), c.blue()));
            return c.alpha() > 60 && spread < 30 && (dark ? c.lightness() < 128 : c.lightness() > 128);
        };
        QStringList out;
        for (QWidget* w : root->findChildren<QWidget*>()) {
            bool styled = false;
            for (QWidget* p = w; p && p != root && !styled; p = p->parentWidget())
                styled = !p->styleSheet().isEmpty();
            if (!w->isVisibleTo(root) || styled)
                continue;
            QString text;
            if (auto* l = qobject_cast<QLabel*>(w)) {
                text = l->text();
            } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
                text = b->text();
            } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
                text = e->placeholderText() + e->text();
            } else if (auto* c = qobject_cast<QComboBox*>(w)) {
                text = c->currentText();
            }
            const QString id = w->parentWidget()->objectName() + u'/' + QLatin1String(w->metaObject()->className()) + u' ' +
                               w->objectName() + u' ' + text;
            if (!text.isEmpty() && wrongGrey(w->palette().color(w->foregroundRole())))
                out << id;
        }
        return out;
    }

    static QByteArray anthropicAnswer(const QString& text)
    {
        return QJsonDocument(QJsonObject{{"content", QJsonArray{QJsonObject{{"type", "text"}, {"text", text}}}}})
            .toJson(QJsonDocument::Compact);
    }

    ContentView* view() const { return content(windows[0]); }
    template <class T>
    T* child(const char* name) const
    {
        return view()->findChild<T*>(QString::fromLatin1(name));
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
        Alert a{box->windowTitle(), box->text(), box->informativeText(), {}, true};
        for (QLabel* l : box->findChildren<QLabel*>())
            a.plain = a.plain && l->textFormat() == Qt::PlainText;
        for (QAbstractButton* b : box->buttons())
            a.buttons << b->text().remove('&');
        boxes << a;
        box->buttons().first()->click();
    }

    static QStringList labels(QWidget* root, const char* name)
    {
        QStringList l;
        for (auto* label : root->findChildren<QLabel*>(QString::fromLatin1(name)))
            l << label->text();
        return l;
    }

    // Runs the open command against the real panel; `act` works the panel once it is shown.
    void runPanel(const std::function<void(QFileDialog*)>& act)
    {
        bool acted = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog || acted)
                return;
            acted = true;
            act(dialog);
            if (dialog->isVisible())  // a failed check inside `act` must not leave the panel waiting
                dialog->reject();
        });
        poll.start(20);
        app->openArchiveCommand();
        QVERIFY(acted);
    }
    static void choose(QFileDialog* dialog, const QString& name)
    {
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
        QPushButton* open = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open);
        if (open->isEnabled())
            open->click();
        else
            dialog->reject();
    }

public slots:
    void open(const QUrl& url) { opened << url; }

private slots:
    void initTestCase()
    {
        home = TestEnv::useTemporaryHome();
        for (const char* scheme : {"http", "https", "file", "javascript", "ftp", "vellacord"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
        connect(&alertPoll, &QTimer::timeout, this, &TestAppShell::answerAlert);
        alertPoll.start(50);
        fixture = JournalFixture::makeArchive(
            home, "fixture.logarchive",
            {JournalFixture::message(double(QDateTime::currentSecsSinceEpoch()) - 60, "kernel", "collected", 3)});
        const double t = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0 - 600;
        auto& raw = provider.store->raw;
        raw.push_back(MemoryLogStore::log(t + 1, 5, "kernel", "panic: disk0 stalled", "com.apple.iokit.power", "k"));
        raw.push_back(MemoryLogStore::log(t + 2, 4, "launchd", "Service exited with abnormal code: 78", "", "x"));
        raw.push_back(MemoryLogStore::log(t + 3, 4, "WindowServer", "display failed to reconfigure", "", "s"));
        QVERIFY(server.start());
        qputenv("VELLACORD_ANTHROPIC_URL", server.baseUrl().toUtf8());
        // Main windows check for a release at once: keep that check on loopback.
        QVERIFY(updates.start());
        updates.setFallback(LoopbackHttpServer::Response::withBody(404, "text/html", "<h1>Not found</h1>"));
        qputenv("VELLACORD_UPDATE_URL", (updates.baseUrl() + "/Vellacord/version.json").toUtf8());
    }

    void init()
    {
        TestEnv::clearSettings();
        app = std::make_unique<VellacordApp>();
        app->setAlertRunner([this](const VellacordApp::Alert& a) {
            alerts << a;
            return alertAnswer;
        });
        alerts.clear();
        boxes.clear();
        opened.clear();
        server.clearRequests();
        updates.clearRequests();
        openWindow();
        openWindow();
        QVERIFY(QTest::qWaitForWindowExposed(windows[0]));
        QTRY_COMPARE(view()->model()->filteredEntries().size(), 3);
    }

    void cleanup()
    {
        qDeleteAll(windows);
        windows.clear();
        delete FloatingDetailView::instance();
        app.reset();
        // A query still running on the pool reads the store.
        QThreadPool::globalInstance()->waitForDone();
    }

    void themeMenu()
    {
        QMenu view;
        app->fillViewMenu(&view);
        QMenu* theme = submenu(&view, "Theme");
        QCOMPARE(texts(&view), (QStringList{"Theme", "---", "Columns"}));
        // A window's menu also shows its own keyboard commands (their keys: the window's test).
        ContentView* window = content(windows[0]);
        app->fillViewMenu(&view, window);
        QCOMPARE(view.actions().mid(4, 2), (QList<QAction*>{window->findAction(), window->refreshAction()}));

        find(theme, Theme::menuItemLabel(AppTheme::dark, AppTheme::system))->trigger();
        QCOMPARE(Platform::settings().value("colorScheme").toString(), QStringLiteral("dark"));
        QVERIFY(ViewStyle::isDark(content(windows[1])));  // every open window follows: the sweep below
    }

    // A switch each way, from the system's look, reaches every widget of a window with all its parts shown.
    void themeSwitchReachesEveryWidget()
    {
        ContentView* view = content(windows[0]);
        WindowModel* model = view->model();
        const LogEntry entry = model->filteredEntries().first();
        model->selection()->setEntry(entry);
        model->selection()->popOut();
        FloatingDetailView* floating = FloatingDetailView::instance();
        QVERIFY(floating);
        QVERIFY(floating->pane());
        model->selection()->setEntry(entry);  // the inline pane too
        view->findChild<UpdateBanner*>()->setUpdate(true, QStringLiteral("9.9"), QStringLiteral("https://example.com/"));
        for (AppTheme to : {AppTheme::dark, AppTheme::light}) {
            app->setTheme(to);
            QCoreApplication::processEvents();
            for (QWidget* root : {static_cast<QWidget*>(windows[0]), static_cast<QWidget*>(floating)}) {
                const QStringList wrong = unsuited(root, to == AppTheme::dark);
                QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral("\n"))));
            }
        }
    }

    void columnsMenu()
    {
        QMenu view;
        app->fillViewMenu(&view);
        QMenu* columns = submenu(&view, "Columns");
        QCOMPARE(texts(columns), (QStringList{"PID", "Thread", "Sender", "Image", "Subsystem", "Category", "Host"}));
        find(columns, "Thread")->trigger();
        for (QMainWindow* w : windows)
            QVERIFY(content(w)->header()->labels().contains("Thread"));

        app->fillViewMenu(&view);
        columns = submenu(&view, "Columns");
        find(columns, "Thread")->trigger();
        for (QMainWindow* w : windows)
            QVERIFY(!content(w)->header()->labels().contains("Thread"));

        // With no window open the menu still turns a column off, and its filter text goes with it.
        qDeleteAll(windows);
        windows.clear();
        Platform::settings().setValue("column_Sender", true);
        Platform::settings().setValue("filter_Sender", "xpc");
        app->fillViewMenu(&view);
        find(submenu(&view, "Columns"), "Sender")->trigger();
        QVERIFY(!Platform::settings().value("column_Sender").toBool());
        QCOMPARE(Platform::settings().value("filter_Sender").toString(), QString());
    }

    void openRecent()
    {
        std::unique_ptr<QMenu> file(fileMenu());
        QCOMPARE(texts(file.get()), (QStringList{"New Window", "Open Log Archive…", "---", "Quit Vellacord"}));
        QCOMPARE(find(file.get(), "Open Log Archive…")->shortcut(), QKeySequence(QKeySequence::Open));

        const QString a = dir.filePath("A.logarchive"), b = dir.filePath("B&Co.logarchive");
        QVERIFY(QDir().mkpath(a));
        QVERIFY(QDir().mkpath(b));
        app->recentArchives()->add(dir.filePath("Gone.logarchive"));
        app->recentArchives()->add(a);
        app->recentArchives()->add(b);
        file.reset(fileMenu());
        QMenu* recent = submenu(file.get(), "Open Recent");
        // Names as they are ("&" is no mnemonic), the full path on hover.
        QCOMPARE(recent ? texts(recent) : QStringList(), (QStringList{"B&&Co.logarchive", "A.logarchive", "---", "Clear Recent"}));
        QVERIFY(recent->toolTipsVisible());
        QCOMPARE(find(recent, "A.logarchive")->toolTip(), PlainText::toolTip(a));
        // A recent item opens without reordering the list.
        find(recent, "A.logarchive")->trigger();
        QVERIFY(!app->pendingArchive()->path());
        QCOMPARE(content(windows[0])->model()->logFetcher()->archivePath(), std::optional<QString>(a));
        QCOMPARE(app->recentArchives()->paths().first(), b);

        // Every stored archive gone: only the separator and "Clear Recent".
        QDir(a).removeRecursively();
        QDir(b).removeRecursively();
        file.reset(fileMenu());
        QCOMPARE(texts(submenu(file.get(), "Open Recent")), (QStringList{"---", "Clear Recent"}));
        find(submenu(file.get(), "Open Recent"), "Clear Recent")->trigger();
        QVERIFY(app->recentArchives()->paths().isEmpty());
        QVERIFY(!Platform::settings().contains("recentArchives"));
        file.reset(fileMenu());
        QVERIFY(!submenu(file.get(), "Open Recent"));
    }

    void resetLearnedNames()
    {
        const QString file = Platform::appSupportDir() + "/learned_processes.json";
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("{\"x\": \"y\"}");
        f.close();
        // Names a window learned in this session go too.
        ProcessNameResolver* names = content(windows[1])->model()->processNames();
        names->learn({{"com.example.reset", "Reset Probe"}});
        alertAnswer = QStringLiteral("Cancel");
        app->resetLearnedProcessNames();
        QCOMPARE(alerts.size(), 1);
        QCOMPARE((QStringList{alerts[0].title, alerts[0].informativeText} + alerts[0].buttons),
                 (QStringList{"Reset Learned Process Names?", "This will permanently delete all process names Vellacord "
                                                              "has learned. This cannot be undone.",
                              "Reset", "Cancel"}));
        QVERIFY(QFile::exists(file));
        alertAnswer = QStringLiteral("Reset");
        app->resetLearnedProcessNames();
        QVERIFY(!QFile::exists(file));
        QVERIFY(names->learnedNames().isEmpty());
    }

    void quitShortcut()
    {
        QSignalSpy quit(app.get(), &VellacordApp::quitRequested);
        Platform::settings().setValue("sortColumn", "Process");
        // One handler for the whole application, however many windows appeared.
        windows[0]->hide();
        windows[0]->show();
        QTest::keyClick(content(windows[0])->listView(), Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(quit.count(), 1);
        // The settings reached the disk.
        QSettings onDisk(Platform::settings().fileName(), QSettings::NativeFormat);
        QCOMPARE(onDisk.value("sortColumn").toString(), QStringLiteral("Process"));
    }

    // A Mac's real bundle (from ../shared beside the project), in a folder
    // whose name says nothing, opens from the panel and as a given path.
    void realBundleOfAnyName()
    {
        const QString real = QDir::cleanPath(QString::fromLocal8Bit(qgetenv("VELLACORD_SOURCE_DIR")) +
                                             QStringLiteral("/../shared/data/unified-log/real"));
        if (!QFileInfo(real).isDir())
            QSKIP("skipped: the real unified-log files (../shared/data/unified-log/real) are missing");
        const QString bundle = Platform::desktopDir() + QStringLiteral("/From Sam");
        QVERIFY(QDir().mkpath(bundle + QStringLiteral("/Persist")));
        QVERIFY(QFile::link(real + QStringLiteral("/0000000000000f85.tracev3"), bundle + QStringLiteral("/Persist/a.tracev3")));
        runPanel([&](QFileDialog* d) { choose(d, QStringLiteral("From Sam")); });
        QCOMPARE(content(windows[0])->model()->logFetcher()->archivePath(), std::optional<QString>(bundle));
        app->openPath(bundle + QLatin1Char('/'));
        QCOMPARE(content(windows[0])->model()->logFetcher()->archivePath(), std::optional<QString>(bundle + QLatin1Char('/')));
        QVERIFY(alerts.isEmpty());
    }

    void panelChoosesExportsAndArchives()
    {
        const QString desktop = Platform::desktopDir();
        QDir().mkpath(desktop + "/Old.logarchive");
        for (const char* name : {"mac.ndjson", "notes.txt"}) {
            QFile f(desktop + "/" + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(name) == "notes.txt"
                        ? "Call the vendor about the disk.\n"
                        : "{\"eventType\":\"logEvent\",\"timestamp\":\"2026-01-05 09:30:00+0000\",\"eventMessage\":\"m\"}\n");
        }
        // The panel lists the exports and archives, not other files.
        runPanel([&](QFileDialog* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Open Log Archive"));
            QCOMPARE(d->labelText(QFileDialog::Accept), QStringLiteral("Open Archive"));
            auto* model = d->findChild<QFileSystemModel*>();
            QTRY_VERIFY(model->index(desktop + "/mac.ndjson").isValid());
            QVERIFY(model->nameFilters().contains("*.ndjson"));
            QVERIFY(model->nameFilters().contains("*.jsonl"));
            QVERIFY(model->filter() & QDir::Files);
            QVERIFY(!model->nameFilterDisables());
            choose(d, QStringLiteral("mac.ndjson"));
        });
        QCOMPARE(content(windows[0])->model()->logFetcher()->archivePath(), std::optional<QString>(desktop + "/mac.ndjson"));
        // A folder is still chosen as a folder; one of any name opens by what it
        // holds (a collector's journal folder), as a path given to the application does.
        const QString remote =
            JournalFixture::makeArchive(desktop, "remote-out", {JournalFixture::message(1767600000, "sshd", "accepted")});
        runPanel([&](QFileDialog* d) { choose(d, QStringLiteral("remote-out")); });
        QCOMPARE(content(windows[0])->model()->logFetcher()->archivePath(), std::optional<QString>(remote));
        app->openPath(remote);
        runPanel([&](QFileDialog* d) { choose(d, QStringLiteral("Old.logarchive")); });
        QCOMPARE(app->recentArchives()->paths(),
                 (QStringList{desktop + "/Old.logarchive", remote, desktop + "/mac.ndjson"}));
        QVERIFY(alerts.isEmpty());

        // A file of none of the formats: the alert, nothing recorded.
        runPanel([&](QFileDialog* d) { choose(d, QStringLiteral("notes.txt")); });
        QCOMPARE(alerts.size(), 1);
        QCOMPARE((QStringList{alerts[0].title, alerts[0].informativeText} + alerts[0].buttons),
                 (QStringList{"Not a Log Archive", ArchiveChoice::notAnArchiveText(desktop + "/notes.txt"), "OK"}));
        QCOMPARE(app->recentArchives()->paths().size(), 3);
        // So is such a path given to the application.
        app->openPath(desktop + "/notes.txt");
        QCOMPARE(alerts.size(), 2);
        QCOMPARE(alerts[1].informativeText, alerts[0].informativeText);

        // Cancelled: nothing.
        runPanel([](QFileDialog* d) { d->reject(); });
        QCOMPARE(alerts.size(), 2);
        QCOMPARE(app->recentArchives()->paths().size(), 3);
        QCOMPARE(content(windows[0])->model()->logFetcher()->archivePath(), std::optional<QString>(desktop + "/Old.logarchive"));
    }

    void crashesTabAndRescan()
    {
        // Collect, Tail, the entry count, Analyze and Refresh act on logs: hidden on the Crashes tab only.
        const char* logOnly[] = {"collectButton", "tailButton", "statusLabel", "analyzeButton", "refreshButton"};
        auto logControlsShown = [&] {
            return std::all_of(std::begin(logOnly), std::end(logOnly), [&](const char* n) { return child<QWidget>(n)->isVisible(); });
        };
        auto logControlsHidden = [&] {
            return std::none_of(std::begin(logOnly), std::end(logOnly), [&](const char* n) { return child<QWidget>(n)->isVisible(); });
        };
        QVERIFY(logControlsShown());
        child<QAbstractButton>("crashesTab")->click();
        QVERIFY(logControlsHidden());
        auto* crashes = view()->findChild<CrashView*>();
        QVERIFY(crashes);
        QVERIFY(crashes->isVisible());
        QTRY_VERIFY(!crashes->crashFetcher()->isLoading());
        child<QPushButton>("rescanButton")->click();
        QVERIFY(crashes->crashFetcher()->isLoading());
        QTRY_VERIFY(!crashes->crashFetcher()->isLoading());

        // An opened folder outlives a visit to the Logs tab (as --crashes DIR sets it).
        QTemporaryDir folder;
        crashes->setFolder(folder.path());
        QCOMPARE(view()->crashFolder(), std::optional<QString>(folder.path()));
        view()->setShowCrashes(false);
        QVERIFY(logControlsShown());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        view()->setShowCrashes(true);
        crashes = view()->findChild<CrashView*>();
        QTRY_VERIFY(!crashes->crashFetcher()->isLoading());
        QCOMPARE(crashes->folder(), std::optional<QString>(folder.path()));
    }

    void settingsFromTheGearAndFromAnalyzeWithoutKey()
    {
        // Analyze without a key asks for one instead of calling the provider.
        child<QPushButton>("analyzeButton")->click();
        QVERIFY(view()->showSettings());
        SettingsView* s = openSettings();
        QVERIFY(s);
        QVERIFY(!sheet());
        QCOMPARE(server.requestCount(), 0);
        QCOMPARE(labels(s, "settingsTitle") + labels(s, "searchURLNote"),
                 (QStringList{"AI Log Explainer Settings", "Query terms are appended to this URL"}));
        QCOMPARE(s->apiKeyField()->echoMode(), QLineEdit::Password);
        QCOMPARE(s->apiKeyField()->placeholderText() + '|' + s->segment(0)->text() + '|' + s->segment(1)->text(),
                 QStringLiteral("Paste your Anthropic API key|Anthropic|OpenAI"));

        // Each edit applies at once; the key is stored as typed.
        AISettings* settings = view()->model()->aiSettings();
        QCOMPARE(s->statusLabel()->text(), QStringLiteral("API key required"));
        QTest::keyClicks(s->apiKeyField(), "  sk");
        QCOMPARE(s->statusLabel()->text(), QStringLiteral("API key set"));
        // Switching the provider keeps the key and changes the placeholder.
        QTest::mouseClick(s->segment(1), Qt::LeftButton);
        QCOMPARE(settings->provider().name, QStringLiteral("OpenAI"));
        QCOMPARE(settings->apiKey(), "  sk");
        QCOMPARE(s->apiKeyField()->placeholderText(), QStringLiteral("Paste your OpenAI API key"));
        // An emptied search URL is stored empty; the default is not applied.
        s->searchURLField()->selectAll();
        QTest::keyClick(s->searchURLField(), Qt::Key_Backspace);
        QCOMPARE(settings->searchEngineURL(), QString());
        s->doneButton()->click();
        QTRY_VERIFY(!view()->showSettings() && !openSettings());

        // The gear opens it again with the stored values.
        child<QToolButton>("settingsButton")->click();
        QVERIFY(view()->showSettings());
        QVERIFY((s = openSettings()));
        QCOMPARE(s->apiKeyField()->text() + '|' + s->searchURLField()->text(), QStringLiteral("  sk|"));
        QVERIFY(s->segment(1)->isChecked());
        s->doneButton()->click();
    }

    void analyzeShowsFindingsAndJumps()
    {
        view()->model()->aiSettings()->setAPIKey("sk-test");
        server.enqueue(LoopbackHttpServer::Response::json(
            200, anthropicAnswer("ENTRY: 2\nTITLE: Display failures\nCONCERN: WindowServer cannot reconfigure.")));
        auto* analyze = child<QPushButton>("analyzeButton");
        analyze->click();
        AnalysisView* s = sheet();
        QVERIFY(s);
        QCOMPARE(s->body(), AnalysisView::Body::loading);
        QVERIFY(!analyze->isEnabled());
        QTRY_COMPARE(s->body(), AnalysisView::Body::items);
        QVERIFY(analyze->isEnabled());
        auto* row = s->findChild<AnalysisItemRow*>();
        QVERIFY(row);
        QVERIFY(row->jumpButton());
        const QUuid target = row->item().entry->id;
        view()->model()->selection()->setHighlightDuration(50);  // the 3 s default is the model test's
        row->jumpButton()->click();
        QTRY_VERIFY(!sheet());
        QCOMPARE(view()->model()->selection()->highlightedEntryID().value_or(QUuid()), target);
        QTRY_VERIFY(!view()->model()->selection()->highlightedEntryID());
        QCOMPARE(view()->model()->selection()->entry()->id, target);
    }

    void updateBannerFromTheManifest()
    {
        // The two windows' checks got the 404 page; a new window gets the manifest.
        QTRY_COMPARE(updates.requestCount(), 2);
        updates.clearRequests();
        updates.enqueue(LoopbackHttpServer::Response::json(
            200, R"({"currentVersion":"99.1","currentBuild":7,"downloadURL":"https://example.org/dl",)"
                 R"("releaseNotes":"Faster."})"));
        auto* banner = openWindow()->findChild<UpdateBanner*>();
        QTRY_VERIFY(banner->isVisible());
        QCOMPARE(banner->textLabel()->text() + banner->downloadButton()->text(),
                 UpdateChecker::bannerText("99.1") + UpdateChecker::downloadButtonText());
        // The version running and the notes beside it; notes from the network cut and with their controls shown.
        QCOMPARE(banner->notesLabel()->text(), QStringLiteral("Faster."));
        QCOMPARE(banner->runningLabel()->isVisibleTo(banner), !QCoreApplication::applicationVersion().isEmpty());
        banner->setDetails("1.4", QString::fromUtf8("Line \u202Eone\x1b[2J\nLine two"));
        QCOMPARE(banner->runningLabel()->text() + '|' + banner->notesLabel()->text(),
                 QString::fromUtf8("You have 1.4.|Line <U+202E>one\u241B[2J"));
        QCOMPARE(banner->notesLabel()->toolTip(), PlainText::toolTip(QString::fromUtf8("Line <U+202E>one\u241B[2J\nLine two")));
        QCOMPARE(UpdateBanner::shownNotes(QString(2047, 'a') + QString::fromUtf8("\u00e9b")), QString(2047, 'a') + QStringLiteral("…"));
        banner->downloadButton()->click();
        QCOMPARE(opened, QList<QUrl>{QUrl("https://example.org/dl")});
        // Download opens only web addresses (which those are is the checker's rule, tested there): the banner shows
        // without a dead button, and the window's check must agree as well.
        for (const char* bad : {"file:///etc/passwd", ""}) {
            banner->setUpdate(true, "99.1", bad);
            QVERIFY2(banner->isVisible(), bad);
            QVERIFY2(banner->downloadButton()->isHidden(), bad);
            banner->download();
        }
        // Whatever the checker lets through is shown as plain text with its controls written out.
        banner->setUpdate(true, "<b>9</b>\u202E", "https://example.org/ok");
        QCOMPARE(banner->textLabel()->text(), UpdateChecker::bannerText("<b>9</b><U+202E>"));
        QCOMPARE(banner->textLabel()->textFormat(), Qt::PlainText);
        banner->setURLCheck([](const QString&) { return false; });
        QVERIFY(banner->downloadButton()->isHidden());
        banner->download();
        QCOMPARE(opened.size(), 1);
        banner->closeButton()->click();
        QVERIFY(!banner->isVisible());
    }

    void collectConfirmationTexts()
    {
        CollectConfirmSheet sheet(view());
        QCOMPARE(sheet.findChild<QLabel*>("collectTitle")->text(), QStringLiteral("Collect System Logs"));
        // The message's text: test_linux_texts.
        QCOMPARE(sheet.findChild<QLabel*>("collectMessage")->text(), CollectConfirmSheet::message());
    }

    void collectFailureShowsTheAlertAndOpensNothing()
    {
        view()->setCollecting(true);
        LogCollectionUI::finish(view(), false, home + "/Desktop/Vellacord-x.logarchive",
                                "Exit code 64\nlog: unknown option");
        QCOMPARE(boxes.size(), 1);
        const Alert alert = boxes.first();
        QCOMPARE((QStringList{alert.title, alert.text, alert.informative, alert.buttons.join('|')}),
                 (QStringList{"Log Collection Failed", "Log Collection Failed", "Exit code 64\nlog: unknown option", "OK"}));
        QVERIFY(alert.plain);
        QVERIFY(!view()->isCollecting());
        QVERIFY(app->recentArchives()->paths().isEmpty());
        QVERIFY(!view()->model()->logFetcher()->isViewingArchive());
    }

    void collectThroughTheButton()
    {
        // A stand-in for the log tool that insists on: collect --last 1h --output PATH.
        const QString tool = home + "/fake-log-tool.sh";
        QFile f(tool);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n[ \"$1 $2 $3 $4\" = \"collect --last 1h --output\" ] || exit 9\nsleep 0.3\ncp -r '" + fixture.toUtf8() + "' \"$5\"\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("VELLACORD_LOG_TOOL", tool.toUtf8());
        auto* button = child<QPushButton>("collectButton");
        QTimer::singleShot(100, [] {
            if (auto* sheet = qobject_cast<CollectConfirmSheet*>(QApplication::activeModalWidget()))
                sheet->findChild<QPushButton*>("collectConfirm")->click();
        });
        button->click();
        QTRY_VERIFY(view()->isCollecting());
        QCOMPARE(button->text(), QStringLiteral("Collecting…"));
        QVERIFY(!button->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!view()->isCollecting(), 10000);
        QVERIFY2(boxes.isEmpty(), qPrintable(boxes.value(0).informative));
        QVERIFY2(button->isEnabled(), qPrintable(boxes.value(0).informative));
        // The tool's copy is opened and recorded (its name and place: the collector's test).
        const QString path = view()->model()->logFetcher()->archivePath().value_or(QString());
        QVERIFY2(QFileInfo(path).isDir(), qPrintable(path));
        QCOMPARE(app->recentArchives()->paths().value(0), path);
    }

    void auxWindowsOnePerIdentifier()
    {
        QCoreApplication::setApplicationVersion("2.3");
        QWidget* help = AuxWindows::open(AuxWindows::helpID);
        QWidget* about = AuxWindows::open(AuxWindows::aboutID);
        QWidget* key = AuxWindows::open(AuxWindows::apiKeyHelpID);
        QVERIFY(help);
        QVERIFY(about);
        QVERIFY(key);
        QVERIFY(help != about);
        QCOMPARE((QStringList{help->windowTitle(), about->windowTitle(), key->windowTitle()}),
                 (QStringList{"Vellacord Help", "About Vellacord", "Setting Up Your AI API Key"}));
        QVERIFY(!AuxWindows::open("no-such-window"));

        QCOMPARE(labels(help, "helpTitle") + labels(help, "helpSection"),
                 (QStringList{"Vellacord Help", "What Vellacord Does", "Severity Levels", "Severity Filters", "Time Range",
                              "Timeline", "Search and Cascading Filters", "Optional Columns", "Filter to PID",
                              "Hiding, Patterns, Context and Marks",
                              "PID Tooltip", "Subsystem Filter", "Column Sorting", "Entry Detail Pane", "Copy and Export",
                              "AI Log Explainer", "Proactive Log Analysis", "Live Tail", "Search Web and Mac Support",
                              "Crash Log Viewer", ".logarchive Support", "Collect System Logs", "Theming",
                              "Process Name Translation", "Keyboard", "Linux Sources", "System-Wide Log Access"}));
        QCOMPARE(AboutView::versionLine("1.4.2", "77") + '|' + AboutView::versionLine("", ""),
                 QStringLiteral("Version 1.4.2 (77)|Version 1.0 (1)"));
        QVERIFY(labels(about, "aboutVersion").value(0).startsWith(QStringLiteral("Version 2.3 (")));
        QCOMPARE(labels(about, "aboutTagline"), QStringList{AboutView::tagline()});  // its text: test_linux_texts
        QCOMPARE(labels(key, "apiKeyBlockTitle"), (QStringList{"Anthropic (Claude)", "OpenAI (ChatGPT)", "Privacy and Security"}));
        QCOMPARE(labels(key, "apiKeyStep").count("Navigate to API Keys and create a new key."), 2);
        QVERIFY(labels(key, "apiKeyStep").contains("Visit <a href=\"https://platform.openai.com\">platform.openai.com</a> and create a free account."));

        key->findChild<QPushButton*>(QStringLiteral("apiKeyDone"))->click();
        QVERIFY(!key->isVisible());
        // A closed window comes back as the same instance.
        QCOMPARE(AuxWindows::open(AuxWindows::apiKeyHelpID), key);
        QVERIFY(key->isVisible());
        for (QWidget* w : {help, about, key})
            w->close();
    }
};

QTEST_MAIN(TestAppShell)
#include "test_app_shell.moc"
