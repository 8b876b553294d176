#include "app/ArchiveChoice.h"
#include "app/views/UpdateBanner.h"
#include "app/views/VellacordApp.h"
#include "browser/DetailWindowState.h"
#include "browser/PendingArchive.h"
#include "browser/views/BrowserWidgets.h"
#include "browser/WindowModel.h"
#include "browser/views/ContentView.h"
#include "browser/views/FloatingDetailView.h"
#include "logs/LogFetcher.h"
#include "logs/Platform.h"
#include "logs/RecentArchives.h"
#include "processnames/ProcessNameResolver.h"
#include "tests/support/MemoryLogStore.h"
#include "tests/support/TestEnv.h"
#include "ui/ViewStyle.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

class TestAppShell : public QObject {
    Q_OBJECT

    MemoryStoreProvider provider;
    std::unique_ptr<VellacordApp> app;
    QList<QMainWindow*> windows;
    QTemporaryDir dir;
    QList<VellacordApp::Alert> alerts;
    QString alertAnswer;

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
    // Visible grey text and symbols under `root` that do not suit the scheme (light ink on dark, dark on light),
    // from the palettes and the icons' pixels; coloured ink and widgets with a style sheet of their own left out.
    static QStringList unsuited(QWidget* root, bool dark)
    {
        const auto wrongGrey = [dark](const QColor& c) {
            const int spread = qMax(c.red(), qMax(c.green(), c.blue())) - qMin(c.red(), qMin(c.green(), c.blue()));
            return c.alpha() > 60 && spread < 30 && (dark ? c.lightness() < 128 : c.lightness() > 128);
        };
        const auto inkOf = [](const QImage& image) {  // the pixels' mean, weighted by opacity
            double r = 0, g = 0, b = 0, n = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    r += c.red() * c.alphaF(), g += c.green() * c.alphaF(), b += c.blue() * c.alphaF(), n += c.alphaF();
                }
            return n > 0 ? QColor(int(r / n), int(g / n), int(b / n)) : QColor(Qt::transparent);
        };
        QStringList out;
        for (QWidget* w : root->findChildren<QWidget*>()) {
            bool styled = false;
            for (QWidget* p = w; p && p != root && !styled; p = p->parentWidget())
                styled = !p->styleSheet().isEmpty();
            if (!w->isVisibleTo(root) || styled || w->objectName() == QLatin1String("appIcon"))  // the brand's colours
                continue;
            QString text;
            QImage symbol;
            if (auto* l = qobject_cast<QLabel*>(w)) {
                text = l->text();
                symbol = l->pixmap().toImage();
            } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
                text = b->text();
                symbol = b->icon().pixmap(QSize(16, 16)).toImage();
            } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
                text = e->placeholderText() + e->text();
            } else if (auto* c = qobject_cast<QComboBox*>(w)) {
                text = c->currentText();
            }
            const QString id = w->parentWidget()->objectName() + u'/' + QLatin1String(w->metaObject()->className()) + u' ' +
                               w->objectName() + u' ' + text;
            if (!text.isEmpty() && wrongGrey(w->palette().color(w->foregroundRole())))
                out << id + QStringLiteral(" (text)");
            if (!symbol.isNull() && wrongGrey(inkOf(symbol)))
                out << id + QStringLiteral(" (symbol)");
        }
        return out;
    }

    QString makeDir(const QString& name)
    {
        const QString p = dir.filePath(name);
        QDir().mkpath(p);
        return p;
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

private slots:
    void initTestCase()
    {
        TestEnv::useTemporaryHome();
        // Main windows check for a release at once: keep that check on loopback.
        qputenv("VELLACORD_UPDATE_URL", "http://127.0.0.1:9/Vellacord/version.json");
        provider.store->raw.push_back(MemoryLogStore::log(double(QDateTime::currentSecsSinceEpoch()) - 60, 4,
                                                          "kernel", "disk"));
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
        openWindow();
        openWindow();
    }

    void cleanup()
    {
        qDeleteAll(windows);
        windows.clear();
        delete FloatingDetailView::instance();
        app.reset();
    }

    void themeMenu()
    {
        QMenu view;
        app->fillViewMenu(&view);
        QMenu* theme = submenu(&view, "Theme");
        const auto labels = [](AppTheme current) {
            QStringList l;
            for (AppTheme t : Theme::allCases())
                l << Theme::menuItemLabel(t, current);
            return l;
        };
        QCOMPARE(texts(theme), labels(AppTheme::system));
        QCOMPARE(texts(&view), (QStringList{"Theme", "---", "Columns"}));
        // A window's menu also shows its own keyboard commands (their keys: the window's test).
        ContentView* window = content(windows[0]);
        app->fillViewMenu(&view, window);
        QCOMPARE(view.actions().mid(4), (QList<QAction*>{window->findAction(), window->refreshAction()}));

        find(theme, Theme::menuItemLabel(AppTheme::dark, AppTheme::system))->trigger();
        QCOMPARE(Platform::settings().value("colorScheme").toString(), QStringLiteral("dark"));
        // Every open window follows at once.
        for (QMainWindow* w : windows)
            QVERIFY(ViewStyle::isDark(content(w)));
        app->fillViewMenu(&view);
        QCOMPARE(texts(submenu(&view, "Theme")), labels(AppTheme::dark));
    }

    // A switch each way, from the system's look, reaches every widget of a window with all its parts shown.
    void themeSwitchReachesEveryWidget()
    {
        ContentView* view = content(windows[0]);
        WindowModel* model = view->model();
        QTRY_VERIFY(!model->filteredEntries().isEmpty());
        const LogEntry entry = model->filteredEntries().first();
        model->setSelectedEntry(entry);
        model->popOut();
        FloatingDetailView* floating = FloatingDetailView::instance();
        QVERIFY(floating && floating->pane());
        model->setSelectedEntry(entry);  // the inline pane too
        // Every filter field shown, with text (and so its clear button).
        for (OptionalColumn c : Column::allCases()) {
            model->pipeline().setShown(c, true);
            model->pipeline().setFilterText(c, QStringLiteral("1"));
        }
        model->pipeline().setSearchText(QStringLiteral("disk"));
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
        QCOMPARE(texts(columns), (QStringList{"PID", "Thread", "Sender", "Subsystem", "Category", "Host"}));
        QVERIFY(!find(columns, "Thread")->isChecked());
        find(columns, "Thread")->trigger();
        for (QMainWindow* w : windows)
            QVERIFY(content(w)->header()->labels().contains("Thread"));
        QVERIFY(Platform::settings().value("column_Thread").toBool());

        app->fillViewMenu(&view);
        columns = submenu(&view, "Columns");
        QVERIFY(find(columns, "Thread")->isChecked());
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

        const QString a = makeDir("A.logarchive"), b = makeDir("B.logarchive");
        app->recentArchives()->add(dir.filePath("Gone.logarchive"));
        app->recentArchives()->add(a);
        app->recentArchives()->add(b);
        file.reset(fileMenu());
        QMenu* recent = submenu(file.get(), "Open Recent");
        QCOMPARE(recent ? texts(recent) : QStringList(), (QStringList{"B.logarchive", "A.logarchive", "---", "Clear Recent"}));
        // A recent item opens without reordering the list.
        find(recent, "A.logarchive")->trigger();
        QVERIFY(!app->pendingArchive()->url());
        QCOMPARE(content(windows[0])->model()->logFetcher()->archiveURL(), std::optional<QString>(a));
        QCOMPARE(app->recentArchives()->paths().first(), b);

        // Every stored archive gone: only the separator and "Clear Recent".
        QDir(a).removeRecursively();
        QDir(b).removeRecursively();
        file.reset(fileMenu());
        QCOMPARE(texts(submenu(file.get(), "Open Recent")), (QStringList{"---", "Clear Recent"}));
        find(submenu(file.get(), "Open Recent"), "Clear Recent")->trigger();
        QVERIFY(app->recentArchives()->paths().isEmpty() && !Platform::settings().contains("recentArchives"));
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
                              "has learned. This cannot be undone.", "Reset", "Cancel"}));
        QVERIFY(QFile::exists(file));
        alertAnswer = QStringLiteral("Reset");
        app->resetLearnedProcessNames();
        QVERIFY(!QFile::exists(file) && names->learnedNames().isEmpty());
        QCOMPARE(names->displayName("com.example.reset"), QStringLiteral("com.example.reset"));
    }

    void quitShortcut()
    {
        QSignalSpy quit(app.get(), &VellacordApp::quitRequested);
        Platform::settings().setValue("sortColumn", "Process");
        QTest::keyClick(windows[1], Qt::Key_Q, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(quit.count(), 0);
        // One handler for the whole application, however many windows appeared.
        windows[0]->hide();
        windows[0]->show();
        QTest::keyClick(content(windows[0])->listView(), Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(quit.count(), 1);
        // The settings reached the disk.
        QSettings onDisk(Platform::settings().fileName(), QSettings::NativeFormat);
        QCOMPARE(onDisk.value("sortColumn").toString(), QStringLiteral("Process"));
        // Windows without a menu bar quit the same way.
        DetailWindowState* state = app->detailWindowState();
        FloatingDetailView* floating = FloatingDetailView::open(state);
        QTest::keyClick(floating, Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(quit.count(), 2);
        std::unique_ptr<QMenu> file(fileMenu());
        QCOMPARE(find(file.get(), "Quit Vellacord")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    }

    void panelChoosesExportsAndArchives()
    {
        const QString desktop = Platform::desktopDir();
        QDir().mkpath(desktop + "/Old.logarchive");
        for (const char* name : {"mac.ndjson", "mac.jsonl", "notes.txt"}) {
            QFile f(desktop + "/" + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("{\"eventType\":\"logEvent\",\"timestamp\":\"2026-01-05 09:30:00+0000\",\"eventMessage\":\"m\"}\n");
        }
        // The panel lists the exports and archives, not other files.
        runPanel([&](QFileDialog* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Open Log Archive"));
            QCOMPARE(d->labelText(QFileDialog::Accept), QStringLiteral("Open Archive"));
            auto* model = d->findChild<QFileSystemModel*>();
            QTRY_VERIFY(model->index(desktop + "/mac.ndjson").isValid());
            QVERIFY(model->nameFilters().contains("*.ndjson") && model->nameFilters().contains("*.jsonl"));
            QVERIFY((model->filter() & QDir::Files) && !model->nameFilterDisables());
            choose(d, QStringLiteral("mac.ndjson"));
        });
        QCOMPARE(content(windows[0])->model()->logFetcher()->archiveURL(), std::optional<QString>(desktop + "/mac.ndjson"));
        runPanel([&](QFileDialog* d) { choose(d, QStringLiteral("mac.jsonl")); });
        // A folder is still chosen as a folder.
        runPanel([&](QFileDialog* d) { choose(d, QStringLiteral("Old.logarchive")); });
        QCOMPARE(app->recentArchives()->paths(),
                 (QStringList{desktop + "/Old.logarchive", desktop + "/mac.jsonl", desktop + "/mac.ndjson"}));
        QVERIFY(alerts.isEmpty());

        // Any other file: the alert, nothing recorded.
        runPanel([&](QFileDialog* d) { choose(d, QStringLiteral("notes.txt")); });
        QCOMPARE(alerts.size(), 1);
        QCOMPARE((QStringList{alerts[0].title, alerts[0].informativeText} + alerts[0].buttons),
                 (QStringList{"Not a Log Archive", ArchiveChoice::notAnArchiveText(desktop + "/notes.txt"), "OK"}));
        QCOMPARE(app->recentArchives()->paths().size(), 3);

        // Cancelled: nothing.
        runPanel([](QFileDialog* d) { d->reject(); });
        QCOMPARE(alerts.size(), 1);
        QCOMPARE(app->recentArchives()->paths().size(), 3);
        QCOMPARE(content(windows[0])->model()->logFetcher()->archiveURL(), std::optional<QString>(desktop + "/Old.logarchive"));
    }
};

QTEST_MAIN(TestAppShell)
#include "test_app_shell.moc"
