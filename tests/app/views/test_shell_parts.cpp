#include "app/UpdateChecker.h"
#include "ai/AISettings.h"
#include "ai/views/AnalysisItemRow.h"
#include "ai/views/AnalysisView.h"
#include "app/views/CollectConfirmSheet.h"
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
// loopback provider, the update banner and log collection through a stand-in log tool.
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

    struct Alert {
        QString title, text, informative;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList buttons;
        bool plain = true;  // every label of the box shows its text literally
        int width = 0;
    };

    // Reads the next modal alert and presses its first button.
    static void answerNextAlert(Alert* out)
    {
        QTimer::singleShot(50, [out] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return answerNextAlert(out);
            *out = {box->windowTitle(), box->text(), box->informativeText(), box->icon(), {}, true, box->width()};
            for (QLabel* l : box->findChildren<QLabel*>())
                out->plain = out->plain && l->textFormat() == Qt::PlainText;
            for (QAbstractButton* b : box->buttons())
                out->buttons << b->text().remove('&');
            box->buttons().first()->click();
        });
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

private slots:
    void initTestCase()
    {
        home = TestEnv::useTemporaryHome();
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
        s->doneButton()->click();
        QTRY_VERIFY(!view->model()->showSettings() && !openSettings());
        find<QToolButton>("settingsButton")->click();
        QVERIFY(view->model()->showSettings() && openSettings());
        openSettings()->doneButton()->click();
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
        QCOMPARE(banner->textLabel()->text(), UpdateChecker::bannerText("99.1"));  // closing it: the banner's test
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
        Alert alert;
        answerNextAlert(&alert);
        LogCollectionUI::finish(view.get(), false, home + "/Desktop/Vellacord-x.logarchive",
                                "Exit code 64\nlog: unknown option");
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
        // A failure's alert is answered, so that it fails the test rather than blocking it.
        QString failure;
        QTimer alerts;
        connect(&alerts, &QTimer::timeout, this, [&failure] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                failure = box->informativeText();
                box->buttons().first()->click();
            }
        });
        alerts.start(50);
        button->click();
        QTRY_VERIFY(view->model()->isCollecting());
        QCOMPARE(button->text(), QStringLiteral("Collecting…"));
        QVERIFY(!button->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!view->model()->isCollecting(), 10000);
        QVERIFY2(failure.isEmpty() && button->isEnabled(), qPrintable(failure));
        const QString path = view->model()->logFetcher()->archiveURL().value_or(QString());
        QVERIFY2(QFileInfo(path).fileName().startsWith("Vellacord-") && path.endsWith(".logarchive"), qPrintable(path));
        QCOMPARE(QFileInfo(path).absolutePath(), QDir(home + "/Desktop").absolutePath());
        QCOMPARE(recent->paths().value(0), path);
        QTRY_VERIFY(find<QLabel>("archiveLabel")->text().contains(QFileInfo(path).fileName()));
    }
};

QTEST_MAIN(TestShellParts)
#include "test_shell_parts.moc"
