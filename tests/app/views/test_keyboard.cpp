#include "app/views/AuxWindows.h"
#include "app/views/SettingsView.h"
#include "app/views/VellacordApp.h"
#include "browser/FetchRange.h"
#include "browser/WindowModel.h"
#include "browser/views/BrowserWidgets.h"
#include "browser/views/ContentView.h"
#include "browser/views/FloatingDetailView.h"
#include "logs/LogFetcher.h"
#include "tests/support/MemoryLogStore.h"
#include "tests/support/TestEnv.h"
#include "ui/SeverityPalette.h"
#include "ui/ViewStyle.h"
#include "ui/Widgets.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <utility>

// The keyboard in a main window and the application's own windows: what Tab
// reaches and marks, the tab keys, Enter in the range fields, the keys that
// close a window; and the severity chips' colours.
class TestKeyboard : public QObject {
    Q_OBJECT

    MemoryStoreProvider provider;
    std::unique_ptr<VellacordApp> app;
    QMainWindow* window = nullptr;

    ContentView* view() const { return qobject_cast<ContentView*>(window->centralWidget()); }
    WindowModel* model() const { return view()->model(); }
    QWidget* child(const QString& name) const { return window->findChild<QWidget*>(name); }

private slots:
    void initTestCase()
    {
        TestEnv::useTemporaryHome();
        const double t = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0 - 600;
        for (int i = 0; i < 30; ++i)
            provider.store->raw.push_back(MemoryLogStore::log(t + i, 4, "launchd", "exited", "", "x"));
    }

    void init()
    {
        TestEnv::clearSettings();
        if (QByteArray(QTest::currentTestFunction()) == "chipColours")
            return;  // no window needed
        app = std::make_unique<VellacordApp>();
        window = app->newMainWindow();
        model()->logFetcher()->setStoreProvider(&provider);
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTRY_VERIFY(!model()->logFetcher()->isLoading());
    }

    void cleanup()
    {
        delete std::exchange(window, nullptr);
        delete FloatingDetailView::instance();
        app.reset();
        QThreadPool::globalInstance()->waitForDone();
    }

    // Every named control takes Tab; the lists, which draw no frame, show a ring while they hold focus.
    void tabReachesEveryControl()
    {
        QTemporaryDir crashes;
        QFile report(crashes.filePath("Finder_2025-03-01-100000_mac.crash"));
        QVERIFY(report.open(QIODevice::WriteOnly));
        report.write("Process:         Finder [412]\nDate/Time:       2025-03-01 10:00:00.000 +0000\n"
                     "Exception Type:  EXC_CRASH (SIGABRT)\n");
        report.close();
        view()->setCrashFolder(crashes.path());
        model()->range()->toggleCustomRange();
        QStringList names{"logsTab", "crashesTab", "range_1h", "range_24h", "customButton", "collectButton",
                          "refreshButton", "applyButton", "entryList"};
        for (SeverityLevel s : Severity::all())
            names << QStringLiteral("chip_") + Severity::label(s);
        QTest::keyClick(window, Qt::Key_2, Qt::ControlModifier);  // makes the crash list
        names << QStringLiteral("crashList");
        for (const QString& name : names) {
            QWidget* w = child(name);
            QVERIFY2(w, qPrintable(name));
            QVERIFY2(w->focusPolicy() & Qt::TabFocus, qPrintable(name));
        }
        for (const char* list : {"crashList", "entryList"}) {
            QTest::keyClick(window, list[0] == 'c' ? Qt::Key_2 : Qt::Key_1, Qt::ControlModifier);
            QWidget* w = child(QLatin1String(list));
            auto* ring = w->findChild<FocusRing*>();
            QVERIFY2(ring, list);
            QVERIFY2(!ring->isVisible(), list);
            w->setFocus(Qt::TabFocusReason);
            QTRY_VERIFY2(ring->isVisible() && ring->geometry() == w->rect(), list);
        }
    }

    // Ctrl+1 and Ctrl+2 switch tabs, and the View menu shows them.
    void tabKeysInTheViewMenu()
    {
        auto* menu = window->findChild<QMenu*>(QStringLiteral("viewMenu"));
        QStringList shown;
        for (QAction* a : menu->actions())
            if (!a->shortcut().isEmpty())
                shown << a->text() + u' ' + a->shortcut().toString();
        QVERIFY2(shown.contains("Show Logs Ctrl+1"), qPrintable(shown.join('|')));
        QVERIFY2(shown.contains("Show Crashes Ctrl+2"), qPrintable(shown.join('|')));
        QTest::keyClick(window, Qt::Key_2, Qt::ControlModifier);
        QVERIFY(view()->showCrashes());
        QTest::keyClick(window, Qt::Key_1, Qt::ControlModifier);
        QVERIFY(!view()->showCrashes());
    }

    void enterInARangeFieldApplies_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("key");
        QTest::newRow("From, Return") << "customStart" << int(Qt::Key_Return);
        QTest::newRow("To, Enter") << "customEnd" << int(Qt::Key_Enter);
    }
    void enterInARangeFieldApplies()
    {
        QFETCH(QString, field);
        QFETCH(int, key);
        model()->range()->toggleCustomRange();
        model()->range()->setCustomRange(1772359200, 1772366400);
        const LogFetcher* f = model()->logFetcher();
        QVERIFY(f->lastFetchStart() != std::optional<double>(1772359200.0));
        QWidget* edit = child(field);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key(key));
        QCOMPARE(std::pair(*f->lastFetchStart(), *f->lastFetchEnd()), std::pair(1772359200.0, 1772366400.0));
    }

    void escapeAndCtrlWClose_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QKeySequence>("keys");
        for (const char* id : {AuxWindows::helpID, AuxWindows::aboutID, AuxWindows::apiKeyHelpID}) {
            QTest::addRow("%s Escape", id) << QString::fromLatin1(id) << QKeySequence(Qt::Key_Escape);
            QTest::addRow("%s Ctrl+W", id) << QString::fromLatin1(id) << QKeySequence(Qt::CTRL | Qt::Key_W);
        }
    }
    void escapeAndCtrlWClose()
    {
        QFETCH(QString, id);
        QFETCH(QKeySequence, keys);
        QWidget* w = AuxWindows::open(id);
        QVERIFY(QTest::qWaitForWindowActive(w));
        QTest::keySequence(w, keys);
        QTRY_VERIFY(!w->isVisible());
        delete w;  // kept for reuse by the application; the next row opens a new one
    }

    void settingsOpensOnTheKeyField()
    {
        view()->setShowSettings(true);
        SettingsView* s = window->findChild<SettingsView*>();
        QVERIFY(s);
        QVERIFY(s->isVisible());
        QTRY_COMPARE(s->focusWidget(), s->apiKeyField());
        view()->setShowSettings(false);
    }

    // AA contrast for every chip's label, on and off, in both themes; Info shows its badge's colour, and a chip
    // that is on stands 3:1 off the dark window (Debug's grey once passed for off).
    void chipColours_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("on");
        for (bool dark : {false, true})
            for (SeverityLevel s : Severity::all())
                for (bool on : {true, false})
                    QTest::addRow("%s %s %s", dark ? "dark" : "light", qPrintable(Severity::label(s)), on ? "on" : "off")
                        << dark << int(s) << on;
    }
    void chipColours()
    {
        QFETCH(bool, dark);
        QFETCH(int, level);
        QFETCH(bool, on);
        QCOMPARE(ViewStyle::contrastRatio(Qt::black, Qt::white), 21.0);
        QCOMPARE(qRound(ViewStyle::contrastRatio(QColor(118, 118, 118), Qt::white) * 100), 454);
        const QPalette pal = dark ? ViewStyle::darkPalette() : ViewStyle::lightPalette();
        const auto s = SeverityLevel(level);
        const ViewStyle::ChipColors c = SeverityChip::colors(s, on, pal);
        const QColor window = pal.color(QPalette::Window);
        QVERIFY2(ViewStyle::contrastRatio(c.text, c.fill) >= 4.5, qPrintable(c.text.name() + " on " + c.fill.name()));
        if (!on) {
            QCOMPARE(c.fill, window);
            return;
        }
        QVERIFY(!dark || ViewStyle::contrastRatio(c.fill, window) >= 3.0);
        if (s == SeverityLevel::info)
            QCOMPARE(c.fill, SeverityPalette::colors(2, dark).tone);
    }
};

QTEST_MAIN(TestKeyboard)
#include "test_keyboard.moc"
