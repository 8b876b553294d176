#include "app/UpdateChecker.h"
#include "app/views/UpdateBanner.h"
#include "tests/support/TestEnv.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QUrl>
#include <QtTest>

// Records every address the banner asks the desktop to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

class TestUpdateBanner : public QObject {
    Q_OBJECT
    UrlRecorder recorder;

private slots:
    void initTestCase()
    {
        TestEnv::useTemporaryHome();
        for (const char* scheme : {"http", "https", "file", "javascript", "ftp", "vellacord"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &recorder, "open");
    }
    void init() { recorder.opened.clear(); }

    void showsOnlyWhileAnUpdateIsAvailable()
    {
        QWidget host;
        UpdateBanner* banner = new UpdateBanner(&host);
        host.show();
        QVERIFY(!banner->isVisible());
        banner->setUpdate(false, "1.0.0", "https://example.org/d");
        QVERIFY(!banner->isVisible());
        banner->setUpdate(true, "1.4.2", "https://example.org/d");
        QVERIFY(banner->isVisible());
        QCOMPARE(banner->textLabel()->text(), UpdateChecker::bannerText("1.4.2"));
        QCOMPARE(banner->downloadButton()->text(), UpdateChecker::downloadButtonText());
        banner->closeButton()->click();
        QVERIFY(banner->isDismissed());
        QVERIFY(!banner->isVisible());
        // Closed stays closed for the window's life.
        banner->setUpdate(true, "1.4.3", "https://example.org/d");
        QVERIFY(!banner->isVisible());
    }

    void downloadOpensOnlyWebAddresses()
    {
        UpdateBanner banner;
        banner.setUpdate(true, "2.0", "https://example.org/Vellacord-2.0.tar.gz");
        banner.downloadButton()->click();
        QCOMPARE(recorder.opened, QList<QUrl>{QUrl("https://example.org/Vellacord-2.0.tar.gz")});

        recorder.opened.clear();
        banner.setUpdate(true, "2.0", "HTTP://example.org/page");
        banner.download();
        QCOMPARE(recorder.opened.size(), 1);

        // Which addresses are web addresses is the checker's rule, tested there.
        for (const QString& bad : {QStringLiteral("file:///etc/passwd"), QStringLiteral("")}) {
            recorder.opened.clear();
            banner.setUpdate(true, "2.0", bad);
            QVERIFY2(banner.downloadButton()->isHidden(), qPrintable(bad));  // shown without a dead button
            banner.download();
            QVERIFY2(recorder.opened.isEmpty(), qPrintable(bad));
        }

        // The window's own check must agree as well.
        recorder.opened.clear();
        banner.setUpdate(true, "2.0", "https://example.org/ok");
        QVERIFY(!banner.downloadButton()->isHidden());
        banner.setURLCheck([](const QString&) { return false; });
        QVERIFY(banner.downloadButton()->isHidden());
        banner.download();
        QVERIFY(recorder.opened.isEmpty());
    }
};

QTEST_MAIN(TestUpdateBanner)
#include "test_update_banner.moc"
