#include "tests/support/Entries.h"
#include "ai/AISettings.h"
#include "ai/ExplanationCache.h"
#include "browser/EntryText.h"
#include "browser/views/DetailPane.h"
#include "browser/views/LogListModel.h"
#include "browser/views/LogRowDelegate.h"
#include "logs/Platform.h"
#include "processnames/ProcessNameResolver.h"
#include "ui/PlainTextViewer.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/PlainTextCheck.h"
#include "tests/support/TestEnv.h"

#include <QFile>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "tests/support/PaintedText.h"

using Response = LoopbackHttpServer::Response;

class TestDetailPane : public QObject {
    Q_OBJECT

    QTemporaryDir namesDir;
    std::unique_ptr<LoopbackHttpServer> server;
    QList<QUrl> opened;

    static LogEntry entry(const QString& process, const QString& message)
    {
        return makeEntry(1767605407.25, 4, process, message, {}, QStringLiteral("libxpc.dylib"), {}, 1, 77);
    }

    static QByteArray anthropicAnswer(const QString& text)
    {
        const QJsonObject part{{"type", "text"}, {"text", text}};
        return QJsonDocument(QJsonObject{{"content", QJsonArray{part}}}).toJson(QJsonDocument::Compact);
    }

    static QString explainLabel(DetailPane* pane)
    {
        auto* b = pane->findChild<QPushButton*>("explainButton");
        return b ? b->property("label").toString() : QString();
    }
    static QPushButton* explainButton(DetailPane* pane) { return pane->findChild<QPushButton*>("explainButton"); }
    // The named child as the user sees it: none while it is hidden.
    template <typename T = QLabel>
    static T* shown(QWidget* pane, const char* name)
    {
        T* w = pane->findChild<T*>(QLatin1String(name));
        return w && w->isVisibleTo(pane) ? w : nullptr;
    }

    ProcessNameResolver* resolver(QObject* parent)
    {
        const QString res = namesDir.filePath("shipped.json");
        QFile f(res);
        f.open(QIODevice::WriteOnly);
        f.write(R"({"launchd": "Launch Daemon", "Safari": "Safari"})");
        f.close();
        const QString folder = namesDir.filePath(QUuid::createUuid().toString(QUuid::WithoutBraces));
        return new ProcessNameResolver(folder, res, parent);
    }

private slots:
    void initTestCase()
    {
        TestEnv::useTemporaryHome();
        server = std::make_unique<LoopbackHttpServer>();
        QVERIFY(server->start());
        qputenv("VELLACORD_ANTHROPIC_URL", server->baseUrl().toUtf8());
        DetailPane::setUrlOpener([this](const QUrl& u) {
            opened << u;
            return true;
        });
    }

    void init()
    {
        TestEnv::clearSettings();
        ExplanationCache::resetShared();
        QFile::remove(Platform::appSupportDir() + "/explanations.json");
        opened.clear();
    }

    void metadata()
    {
        QObject owner;
        ProcessNameResolver* names = resolver(&owner);
        LogEntry e = entry("launchd", "Service exited");
        DetailPane pane(e, names, nullptr, 220.0, [] {});
        pane.show();
        QCOMPARE(shown(&pane, "detailLevel")->text(), QStringLiteral("Error"));
        QCOMPARE(shown(&pane, "detailDate")->text(), EntryText::detailTimeString(e.date));
        QVERIFY(shown(&pane, "detailDate")->text().endsWith(QStringLiteral(".250")));
        QCOMPARE(shown(&pane, "meta_Process")->text(), QStringLiteral("Launch Daemon (launchd)"));
        QCOMPARE(shown(&pane, "meta_PID")->text(), QStringLiteral("1"));
        QCOMPARE(shown(&pane, "meta_Thread")->text(), QStringLiteral("77"));
        QCOMPARE(shown(&pane, "meta_Sender")->text(), QStringLiteral("libxpc.dylib"));
        for (const char* n : {"meta_Subsystem", "meta_Category", "meta_Host", "meta_Activity ID"})
            QVERIFY2(!shown(&pane, n), n);
        // No AI settings: no AI section at all.
        QVERIFY(!explainButton(&pane));
        QCOMPARE(pane.height(), 220);

        e.process = QStringLiteral("cloudd");
        e.subsystem = QStringLiteral("com.apple.cloudkit");
        e.category = QStringLiteral("Sync");
        e.host = QStringLiteral("web-01");
        e.activityIdentifier = 42;
        QLabel* message = shown(&pane, "detailMessage");
        pane.setEntry(e);
        QCOMPARE(shown(&pane, "detailMessage"), message);  // updated, not rebuilt
        QCOMPARE(shown(&pane, "meta_Process")->text(), QStringLiteral("cloudd"));
        e.process = QStringLiteral("Safari");  // translated to itself: no " (Safari)"
        pane.setEntry(e);
        QCOMPARE(shown(&pane, "meta_Process")->text(), QStringLiteral("Safari"));
        QCOMPARE(shown(&pane, "meta_Subsystem")->text(), QStringLiteral("com.apple.cloudkit"));
        QCOMPARE(shown(&pane, "meta_Category")->text(), QStringLiteral("Sync"));
        QCOMPARE(shown(&pane, "meta_Host")->text(), QStringLiteral("web-01"));
        QCOMPARE(shown(&pane, "meta_Activity ID")->text(), QStringLiteral("42"));
    }

    void noKeyAndCached()
    {
        AISettings settings;
        const LogEntry e = entry("kernel", "AppleSMC: failed to read key");
        DetailPane pane(e, nullptr, &settings, std::nullopt, {});
        pane.show();
        QVERIFY(!shown<QWidget>(&pane, "popOutButton"));
        QCOMPARE(explainLabel(&pane), QStringLiteral("Explain this"));
        QVERIFY(!explainButton(&pane)->isEnabled());
        QVERIFY(shown(&pane, "configureHint"));
        QCOMPARE(shown(&pane, "configureHint")->text(), QStringLiteral("Configure API key in Settings"));

        // Cached: "Investigated", enabled without a key, answered from the cache.
        ExplanationCache::shared().store(ExplanationCache::cacheKey(e), QStringLiteral("The SMC is **fine**."));
        pane.setEntry(e);
        QCOMPARE(explainLabel(&pane), QStringLiteral("Investigated"));
        QVERIFY(explainButton(&pane)->isEnabled());
        QTest::mouseClick(explainButton(&pane), Qt::LeftButton);
        QCOMPARE(server->requestCount(), 0);
        QVERIFY(pane.wasCached());
        QVERIFY(shown(&pane, "cachedMark"));
        auto* text = shown(&pane, "explanationText");
        QVERIFY(text);
        QVERIFY(text->text().contains(QStringLiteral("<b>fine</b>")));
    }

    void explainRoundTrip()
    {
        server->clearRequests();
        QObject owner;
        ProcessNameResolver* names = resolver(&owner);
        AISettings settings;
        settings.setAPIKey(QStringLiteral("sk-test"));
        const LogEntry first = entry("bluetoothd", "LE connection failed with status 0x3e");
        const LogEntry other = entry("cloudd", "Request failed");
        DetailPane pane(first, names, &settings, std::nullopt, {});
        pane.show();
        QVERIFY(!shown(&pane, "configureHint"));
        QCOMPARE(explainLabel(&pane), QStringLiteral("Explain this"));
        server->enqueue(Response::json(
            200, anthropicAnswer("Bluetooth LE timed out; usually harmless.\n\nPROCESS_NAMES: "
                                 "{\"bluetoothd\": \"Bluetooth Daemon\"}")));
        QTest::mouseClick(explainButton(&pane), Qt::LeftButton);
        QVERIFY(pane.isExplaining());
        QCOMPARE(explainLabel(&pane), QStringLiteral("Explaining…"));
        QVERIFY(!explainButton(&pane)->isEnabled());
        // Another entry while the request runs: still "Explaining…", disabled.
        pane.setEntry(other);
        QCOMPARE(explainLabel(&pane), QStringLiteral("Explaining…"));
        QTRY_VERIFY(!pane.isExplaining());
        // The answer belongs to the first entry: not shown for the other one.
        QVERIFY(!shown(&pane, "explanationText"));
        pane.setEntry(first);
        auto* text = shown(&pane, "explanationText");
        QVERIFY(text);
        QVERIFY(text->text().contains(QStringLiteral("usually harmless")));
        QVERIFY(!text->text().contains(QStringLiteral("PROCESS_NAMES")));
        QVERIFY(!pane.wasCached());
        QVERIFY(!shown(&pane, "cachedMark"));
        // Cached under the entry's key (text only) and the names learned.
        QCOMPARE(ExplanationCache::shared().explanationForKey(ExplanationCache::cacheKey(first)),
                 std::optional<QString>(QStringLiteral("Bluetooth LE timed out; usually harmless.")));
        QCOMPARE(names->displayName(QStringLiteral("bluetoothd")), QStringLiteral("Bluetooth Daemon"));
        QCOMPARE(shown(&pane, "meta_Process")->text(), QStringLiteral("Bluetooth Daemon (bluetoothd)"));
        QCOMPARE(explainLabel(&pane), QStringLiteral("Investigated"));
        QCOMPARE(server->requestCount(), 1);
        QCOMPARE(server->requests().first().header("x-api-key"), QByteArray("sk-test"));

        // A failure: red text in the box, nothing cached.
        server->enqueue(Response::json(401, R"({"error":{"message":"invalid x-api-key"}})"));
        pane.setEntry(other);
        QTest::mouseClick(explainButton(&pane), Qt::LeftButton);
        QTRY_VERIFY(!pane.isExplaining());
        auto* error = shown(&pane, "explanationError");
        QVERIFY(error);
        QVERIFY(!error->text().isEmpty());
        QVERIFY(!shown(&pane, "explanationText"));
        QVERIFY(!ExplanationCache::shared().isCached(other));
    }

    // Log text is never read as markup; a huge message shows its first 64 KiB
    // and opens whole in a viewer.
    void hostileAndHugeMessages()
    {
        QObject owner;
        AISettings settings;
        const QString hostile = QStringLiteral("<img src=\"/dev/zero\"><b>X</b>");
        LogEntry e = entry(hostile, hostile);
        e.sender = e.subsystem = e.category = hostile;
        DetailPane pane(e, resolver(&owner), &settings, 300.0, [] {});
        pane.show();
        QCOMPARE(PlainTextCheck::markupWidgets(&pane, hostile, {"explanationText"}), QStringList());
        QVERIFY(!shown<QPushButton>(&pane, "showAllMessage"));

        // 65,535 + 2 + 100,000 bytes: the two-byte character does not fit.
        e.message = QString(65535, 'a') + QString::fromUtf8("é") + QString(100000, 'b');
        pane.setEntry(e);
        QCOMPARE(shown(&pane, "detailMessage")->text(), QString(65535, 'a'));
        auto* all = shown<QPushButton>(&pane, "showAllMessage");
        QVERIFY(all);
        QCOMPARE(all->text(), QStringLiteral("Show All (162 KB)"));
        all->click();
        auto* whole = pane.findChild<PlainTextViewer*>("wholeMessage");
        QVERIFY(whole && whole->isWindow() && whole->isVisible());
        QCOMPARE(whole->text(), e.message);
        e.message = QString(65536, 'c');
        pane.setEntry(e);
        QCOMPARE(shown(&pane, "detailMessage")->text(), e.message);
        QVERIFY(!shown<QPushButton>(&pane, "showAllMessage"));
    }

    void webAndSupport()
    {
        AISettings settings;
        LogEntry e = entry("launchd", "x");
        e.subsystem = QStringLiteral("com.apple.xpc.launchd");
        DetailPane pane(e, nullptr, &settings, std::nullopt, {});
        QTest::mouseClick(pane.findChild<QPushButton*>("searchWebButton"), Qt::LeftButton);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.first().toString(QUrl::FullyEncoded),
                 AISettings::defaultSearchEngineURL() + QStringLiteral("macos%20launchd%20xpc.launchd"));
        settings.setSearchEngineURL(QStringLiteral("::not valid::"));
        QTest::mouseClick(pane.findChild<QPushButton*>("searchWebButton"), Qt::LeftButton);
        QCOMPARE(opened.size(), 1);
        QTest::mouseClick(pane.findChild<QPushButton*>("macSupportButton"), Qt::LeftButton);
        QCOMPARE(opened.last(), EntryText::macSupportURL());
    }

    // Light badges are filled pills showing their whole label at any font size and pixel ratio;
    // the dark theme has no fill. Tooltips show the raw process.
    void rowPainting()
    {
        LogListModel model;
        LogEntry e = entry("kernel", "m");
        RowContext ctx;
        LogRowDelegate delegate(&model, &ctx);
        const int h = LogRowDelegate::rowHeight();
        QStyleOptionViewItem opt;
        opt.rect = QRect(0, 0, 900, h);
        const RowLayout::Cells cells = RowLayout::cells(opt.rect, {});
        const QPoint inBadge(cells.severity.left() + 3, h / 2);
        for (bool dark : {false, true}) {
            ctx.dark = dark;
            model.setEntries({e});
            QImage img(900, h, QImage::Format_ARGB32);
            img.fill(QColor(30, 30, 32));
            QPainter p(&img);
            delegate.paint(&p, opt, model.index(0));
            if (dark)
                QCOMPARE(QColor(img.pixel(cells.severity.left() + 3, 1)), QColor(30, 30, 32));
            else
                QCOMPARE(QColor(img.pixel(inBadge)), e.badgeBackground());
        }
        const QFont appFont = QApplication::font();
        ctx.dark = false;
        for (qreal dpr : {1.0, 1.25}) {
            for (int points : {9, 11, 15}) {
                QFont f = appFont;
                f.setPointSize(points);
                QApplication::setFont(f);
                for (int level = 1; level <= 5; ++level) {
                    e.level = level;
                    model.setEntries({e});
                    PaintedText device(QSize(900, h), dpr);
                    QPainter p(&device);
                    delegate.paint(&p, opt, model.index(0));
                    p.end();
                    QVERIFY2(device.texts().contains(e.levelLabel()),
                             qPrintable(QString("%1 pt at %2: %3").arg(points).arg(dpr).arg(device.texts().join('|'))));
                }
            }
        }
        QApplication::setFont(appFont);
        QCOMPARE(delegate.tooltipAt(opt.rect, cells.process.center(), e), QStringLiteral("kernel"));
        QCOMPARE(delegate.tooltipAt(opt.rect, cells.message.center(), e), QString());
    }
};

QTEST_MAIN(TestDetailPane)
#include "test_detail_pane.moc"
