#include "app/ArchiveChoice.h"
#include "app/views/VellacordApp.h"
#include "browser/PendingArchive.h"
#include "logs/Platform.h"
#include "logs/RecentArchives.h"
#include "tests/support/TestEnv.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

// The open command's check, and the real open panel choosing folders and exported files.
class TestArchiveChoice : public QObject {
    Q_OBJECT
    QString m_desktop;
    std::unique_ptr<VellacordApp> m_app;
    QList<VellacordApp::Alert> m_alerts;

    QString makeFile(const QString& name)
    {
        QFile f(m_desktop + "/" + name);
        f.open(QIODevice::WriteOnly);
        f.write("{\"eventType\":\"logEvent\",\"timestamp\":\"2026-01-05 09:30:00+0000\",\"eventMessage\":\"m\"}\n");
        return f.fileName();
    }

    // Runs the open command against the real panel; `act` works the panel once it is shown.
    void runPanel(const std::function<void(QFileDialog*)>& act)
    {
        bool acted = false;
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog || acted)
                return;
            acted = true;
            act(dialog);
            if (dialog->isVisible())  // a failed check inside `act` must not leave the panel waiting
                dialog->reject();
        });
        poll->start(20);
        m_app->openArchiveCommand();
        delete poll;
        QVERIFY(acted);
    }

    static void choose(QFileDialog* dialog, const QString& name)
    {
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
        QPushButton* open = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open);
        if (!open->isEnabled()) {
            dialog->reject();
            return;
        }
        open->click();
    }

private slots:
    void initTestCase()
    {
        TestEnv::useTemporaryHome();
        m_desktop = Platform::desktopDir();
        QDir().mkpath(m_desktop);
    }

    void init()
    {
        TestEnv::clearSettings();
        m_app = std::make_unique<VellacordApp>();
        m_alerts.clear();
        m_app->setAlertRunner([this](const VellacordApp::Alert& a) {
            m_alerts << a;
            return QStringLiteral("OK");
        });
    }

    void cleanup() { m_app.reset(); }

    void panelChoosesAnExportedFile()
    {
        const QString ndjson = makeFile("mac.ndjson");
        const QString jsonl = makeFile("mac.jsonl");
        makeFile("notes.txt");
        QDir().mkpath(m_desktop + "/Old.logarchive");

        // The panel lists the exports and archives, not other files, under its settings.
        runPanel([&](QFileDialog* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Open Log Archive"));
            QCOMPARE(d->labelText(QFileDialog::Accept), QStringLiteral("Open Archive"));
            auto* model = d->findChild<QFileSystemModel*>();
            QVERIFY(model);
            QTRY_VERIFY(model->index(ndjson).isValid());
            QVERIFY(model->nameFilters().contains(QStringLiteral("*.ndjson")));
            QVERIFY(model->nameFilters().contains(QStringLiteral("*.jsonl")));
            QVERIFY(model->filter() & QDir::Files);
            QVERIFY(!model->nameFilterDisables());
            choose(d, QStringLiteral("mac.ndjson"));
        });
        QCOMPARE(m_app->pendingArchive()->url(), std::optional<QString>(ndjson));
        QCOMPARE(m_app->recentArchives()->paths(), QStringList{ndjson});
        QVERIFY(m_alerts.isEmpty());

        runPanel([&](QFileDialog* d) { choose(d, QStringLiteral("mac.jsonl")); });
        QCOMPARE(m_app->pendingArchive()->url(), std::optional<QString>(jsonl));

        // A folder is still chosen as a folder.
        runPanel([&](QFileDialog* d) { choose(d, QStringLiteral("Old.logarchive")); });
        QCOMPARE(m_app->pendingArchive()->url(), std::optional<QString>(m_desktop + "/Old.logarchive"));
        QCOMPARE(m_app->recentArchives()->paths(),
                 (QStringList{m_desktop + "/Old.logarchive", jsonl, ndjson}));
        QCOMPARE(m_app->recentArchives()->existingArchives().size(), 3);

        // Any other file: the alert, nothing recorded.
        runPanel([&](QFileDialog* d) { choose(d, QStringLiteral("notes.txt")); });
        QCOMPARE(m_alerts.size(), 1);
        QCOMPARE(m_alerts[0].title, QStringLiteral("Not a Log Archive"));
        QCOMPARE(m_alerts[0].informativeText, ArchiveChoice::notAnArchiveText(m_desktop + "/notes.txt"));
        QCOMPARE(m_app->recentArchives()->paths().size(), 3);

        // Cancelled: nothing.
        m_app->pendingArchive()->clear();
        runPanel([](QFileDialog* d) { d->reject(); });
        QVERIFY(!m_app->pendingArchive()->url());
    }
};

QTEST_MAIN(TestArchiveChoice)
#include "test_archive_choice.moc"
