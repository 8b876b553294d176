#include "app/views/CollectConfirmSheet.h"
#include "app/views/LogCollectionUI.h"
#include "app/views/ShellParts.h"
#include "browser/DetailWindowState.h"
#include "browser/PendingArchive.h"
#include "browser/WindowModel.h"
#include "browser/views/ContentView.h"
#include "logs/LogFetcher.h"
#include "logs/RecentArchives.h"
#include "tests/support/JournalFixture.h"
#include "tests/support/MemoryLogStore.h"
#include "tests/support/TestEnv.h"

#include <QApplication>
#include <QDir>
#include <QFile>
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
        bool plain = true;  // every label of the box shows its text literally
        int width = 0;
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
            for (QLabel* l : box->findChildren<QLabel*>())
                out->plain = out->plain && l->textFormat() == Qt::PlainText;
            out->width = box->width();
            for (QAbstractButton* b : box->buttons())
                out->buttons << b->text().remove('&');
            box->buttons().first()->click();
        });
    }

    QString m_fixture;

    // A stand-in for the log tool, selected through VELLACORD_LOG_TOOL.
    void writeTool(const QByteArray& body)
    {
        const QString path = m_home + "/fake-log-tool.sh";
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("#!/bin/sh\n" + body + "\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("VELLACORD_LOG_TOOL", path.toUtf8());
    }

private slots:
    void initTestCase()
    {
        m_home = TestEnv::useTemporaryHome();
        // Main windows check for a release at once: keep that check on loopback.
        qputenv("VELLACORD_UPDATE_URL", "http://127.0.0.1:9/Vellacord/version.json");
        provider = std::make_unique<MemoryStoreProvider>();
        m_fixture = JournalFixture::makeArchive(
            m_home, "fixture.logarchive",
            {JournalFixture::message(double(QDateTime::currentSecsSinceEpoch()) - 60, "kernel", "collected", 3)});
    }

    void init()
    {
        TestEnv::clearSettings();
        state = std::make_unique<DetailWindowState>();
        recent = std::make_unique<RecentArchives>();
        pending = std::make_unique<PendingArchive>();
        view = std::make_unique<ContentView>(state.get(), recent.get(), pending.get(), ShellParts::make());
        view->model()->logFetcher()->setStoreProvider(provider.get());
        view->show();
        QTRY_VERIFY(!view->model()->logFetcher()->isLoading());
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
        QPushButton* collect = sheet.findChild<QPushButton*>("collectConfirm");
        QCOMPARE(collect->grab().toImage().pixelColor(4, collect->height() / 2),
                 collect->palette().color(QPalette::Highlight));
        QTimer::singleShot(0, &sheet, [&] { collect->click(); });
        QCOMPARE(sheet.exec(), int(QDialog::Accepted));
    }

    void failureShowsTheAlertAndOpensNothing()
    {
        view->model()->setCollecting(true);
        Alert alert;
        answerNextAlert(&alert);
        LogCollectionUI::finish(view.get(), false, m_home + "/Desktop/Vellacord-x.logarchive",
                                "Exit code 64\nlog: unknown option");
        QCOMPARE(alert.title, QStringLiteral("Log Collection Failed"));
        QCOMPARE(alert.text, QStringLiteral("Log Collection Failed"));
        QCOMPARE(alert.informative, QStringLiteral("Exit code 64\nlog: unknown option"));
        QVERIFY(alert.plain);
        QCOMPARE(alert.icon, QMessageBox::Warning);
        QCOMPARE(alert.buttons, QStringList{"OK"});
        QVERIFY2(alert.width >= 400, qPrintable(QString::number(alert.width)));  // not a column of short lines
        QVERIFY(!view->model()->isCollecting());
        QVERIFY(recent->paths().isEmpty());
        QVERIFY(!view->model()->logFetcher()->isViewingArchive());
    }

    void successThroughTheCollectButton()
    {
        // The tool is given: collect --last 1h --output PATH.
        writeTool(QByteArray("[ \"$1 $2 $3 $4\" = \"collect --last 1h --output\" ] || exit 9\nsleep 0.3\ncp -r '")
                  + m_fixture.toUtf8() + "' \"$5\"\nexit 0");
        auto* button = view->findChild<QPushButton*>("collectButton");
        QVERIFY(button);
        // The confirmation sheet, then "Collect".
        QTimer::singleShot(100, [] {
            if (auto* sheet = qobject_cast<CollectConfirmSheet*>(QApplication::activeModalWidget()))
                sheet->findChild<QPushButton*>("collectConfirm")->click();
        });
        button->click();
        QTRY_VERIFY(view->model()->isCollecting());
        QCOMPARE(button->text(), QStringLiteral("Collecting…"));
        QVERIFY(!button->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!view->model()->isCollecting(), 10000);
        QVERIFY(button->isEnabled());
        const QString path = view->model()->logFetcher()->archiveURL().value_or(QString());
        QVERIFY2(QFileInfo(path).fileName().startsWith("Vellacord-"), qPrintable(path));
        QVERIFY(path.endsWith(".logarchive"));
        QCOMPARE(QFileInfo(path).absolutePath(), QDir(m_home + "/Desktop").absolutePath());
        QCOMPARE(recent->paths().value(0), path);
        QTRY_VERIFY(view->findChild<QLabel*>("archiveLabel")->text().contains(QFileInfo(path).fileName()));
    }
};

QTEST_MAIN(TestLogCollectionUI)
#include "test_log_collection_ui.moc"
