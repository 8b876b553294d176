#include "app/views/CollectConfirmSheet.h"
#include "app/views/LogCollectionUI.h"
#include "browser/DetailWindowState.h"
#include "browser/PendingArchive.h"
#include "browser/views/ContentView.h"
#include "logs/LogFetcher.h"
#include "logs/RecentArchives.h"
#include "tests/support/JournalFixture.h"
#include "tests/support/MemoryLogStore.h"
#include "tests/support/TestEnv.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <memory>

class TestLogCollectionUI : public QObject {
    Q_OBJECT

    QString m_home;
    std::unique_ptr<MemoryStoreProvider> provider;
    std::unique_ptr<DetailWindowState> state;
    std::unique_ptr<RecentArchives> recent;
    std::unique_ptr<PendingArchive> pending;
    std::unique_ptr<ContentView> view;

    struct Alert {
        QString title, text, informative;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList buttons;
    };

    // Reads the next modal alert and presses its only button.
    static void answerNextAlert(Alert* out)
    {
        QTimer::singleShot(50, [out] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) {
                answerNextAlert(out);
                return;
            }
            out->title = box->windowTitle();
            out->text = box->text();
            out->informative = box->informativeText();
            out->icon = box->icon();
            for (QAbstractButton* b : box->buttons())
                out->buttons << b->text().remove('&');
            box->buttons().first()->click();
        });
    }

private slots:
    void initTestCase()
    {
        m_home = TestEnv::useTemporaryHome();
        provider = std::make_unique<MemoryStoreProvider>();
    }

    void init()
    {
        TestEnv::clearSettings();
        state = std::make_unique<DetailWindowState>();
        recent = std::make_unique<RecentArchives>();
        pending = std::make_unique<PendingArchive>();
        view = std::make_unique<ContentView>(state.get(), recent.get(), pending.get());
        view->logFetcher()->setStoreProvider(provider.get());
        view->show();
        QTRY_VERIFY(!view->logFetcher()->isLoading());
    }

    void cleanup() { view.reset(); }

    void confirmationSheetTexts()
    {
        CollectConfirmSheet sheet(view.get());
        QCOMPARE(sheet.findChild<QLabel*>("collectTitle")->text(), QStringLiteral("Collect System Logs"));
        QCOMPARE(sheet.findChild<QLabel*>("collectMessage")->text(),
                 QStringLiteral("This will collect system logs from the past hour into a .logarchive file on your "
                                "Desktop.\n\nYou will be prompted for your administrator password."));
        QCOMPARE(sheet.width(), 380);
        QTimer::singleShot(0, &sheet, [&] { sheet.findChild<QPushButton*>("collectCancel")->click(); });
        QCOMPARE(sheet.exec(), int(QDialog::Rejected));
        QTimer::singleShot(0, &sheet, [&] { sheet.findChild<QPushButton*>("collectConfirm")->click(); });
        QCOMPARE(sheet.exec(), int(QDialog::Accepted));
    }

    void failureShowsTheAlertAndOpensNothing()
    {
        view->setCollecting(true);
        Alert alert;
        answerNextAlert(&alert);
        LogCollectionUI::finish(view.get(), false, m_home + "/Desktop/Vellacord-x.logarchive",
                                "Exit code 64\nlog: unknown option");
        QCOMPARE(alert.title, QStringLiteral("Log Collection Failed"));
        QCOMPARE(alert.text, QStringLiteral("Log Collection Failed"));
        QCOMPARE(alert.informative, QStringLiteral("Exit code 64\nlog: unknown option"));
        QCOMPARE(alert.icon, QMessageBox::Warning);
        QCOMPARE(alert.buttons, QStringList{"OK"});
        QVERIFY(!view->isCollecting());
        QVERIFY(recent->paths().isEmpty());
        QVERIFY(!view->logFetcher()->isViewingArchive());
    }

    void successRecordsAndOpensTheArchive()
    {
        const QString path = JournalFixture::makeArchive(
            m_home + "/Desktop", "Vellacord-2024-04-18-091502.logarchive",
            {JournalFixture::message(double(QDateTime::currentSecsSinceEpoch()) - 60, "kernel", "hello", 3)});
        view->setCollecting(true);
        LogCollectionUI::finish(view.get(), true, path, QString());
        QVERIFY(!view->isCollecting());
        QCOMPARE(recent->paths().value(0), path);
        QCOMPARE(view->logFetcher()->archiveURL().value_or(QString()), path);
        auto* banner = view->findChild<QLabel*>("archiveLabel");
        QVERIFY(banner);
        QTRY_VERIFY(banner->text().contains("Vellacord-2024-04-18-091502.logarchive"));
    }
};

QTEST_MAIN(TestLogCollectionUI)
#include "test_log_collection_ui.moc"
