#include "ai/AISettings.h"
#include "ai/ExplanationCache.h"
#include "base/Platform.h"
#include "browser/EntryText.h"
#include "browser/views/DetailPane.h"
#include "browser/views/LogListModel.h"
#include "browser/views/LogRowDelegate.h"
#include "processnames/ProcessNameResolver.h"
#include "tests/support/Entries.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/PaintedText.h"
#include "tests/support/PlainTextCheck.h"
#include "tests/support/TestEnv.h"
#include "ui/InlineMarkdownView.h"
#include "ui/PlainText.h"
#include "ui/PlainTextViewer.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

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

    static QPushButton* explainButton(DetailPane* pane) { return pane->findChild<QPushButton*>("explainButton"); }
    static QString explainLabel(DetailPane* pane) { return explainButton(pane)->property("label").toString(); }
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
        LogEntry e = entry("launchd", "Service exited");
        DetailPane pane(e, resolver(&owner), nullptr, 220.0, [] {});
        pane.show();
        QVERIFY(!explainButton(&pane));  // no AI settings: no AI section at all
        const auto* message = shown<PlainTextViewer>(&pane, "detailMessage");
        for (int round = 0; round < 3; ++round) {
            QCOMPARE(shown<PlainTextViewer>(&pane, "detailMessage"), message);  // updated, not rebuilt
            QCOMPARE(shown(&pane, "detailLevel")->text(), QStringLiteral("Error"));
            QCOMPARE(shown(&pane, "detailDate")->text(), EntryText::detailTimeString(e.date));
            // Shown name and raw name; a name translated to itself once; empty fields hidden.
            const std::pair<const char*, QString> fields[] = {
                {"meta_Process", round == 0 ? "Launch Daemon (launchd)" : e.process}, {"meta_PID", "1"}, {"meta_Thread", "77"}, {"meta_Sender", "libxpc.dylib"}, {"meta_Subsystem", e.subsystem}, {"meta_Category", e.category}, {"meta_Host", e.host}, {"meta_Activity ID", e.activityIdentifier ? QString::number(e.activityIdentifier) : QString()}};
            for (const auto& [name, text] : fields) {
                QVERIFY2(text.isEmpty() == !shown(&pane, name), name);
                if (!text.isEmpty())
                    QCOMPARE(shown(&pane, name)->text(), text);
            }
            e.process = round == 0 ? QStringLiteral("cloudd") : QStringLiteral("Safari");
            e.subsystem = QStringLiteral("com.apple.cloudkit");
            e.category = QStringLiteral("Sync");
            e.host = QStringLiteral("web-01");
            e.activityIdentifier = 42;
            pane.setEntry(e);
        }
    }

    // The pane shows the controller's states; its rules are the controller's tests.
    void explainStates()
    {
        AISettings settings;
        const LogEntry cached = entry("kernel", "AppleSMC: failed to read key");
        {
            DetailPane pane(cached, nullptr, &settings, std::nullopt, {});
            pane.show();
            QVERIFY(!shown<QWidget>(&pane, "popOutButton"));
            QVERIFY(!explainButton(&pane)->isEnabled());
            QCOMPARE(explainLabel(&pane), QStringLiteral("Explain this"));
            QCOMPARE(shown(&pane, "configureHint")->text(), QStringLiteral("Configure API key in Settings"));
            ExplanationCache::shared().store(ExplanationCache::cacheKey(cached), QStringLiteral("The SMC is **fine**."));
            pane.setEntry(cached);  // selected with an explanation in the cache: shown at once, marked
            QCOMPARE(explainLabel(&pane), QStringLiteral("Investigated"));
            QVERIFY(shown(&pane, "cachedMark"));
            QVERIFY(shown<MarkdownAnswerView>(&pane, "explanationText")->html().contains(QStringLiteral("<b>fine</b>")));
        }
        QObject owner;
        settings.setAPIKey(QStringLiteral("sk-test"));
        const LogEntry first = entry("bluetoothd", "LE connection failed with status 0x3e");
        DetailPane pane(first, resolver(&owner), &settings, std::nullopt, {});
        pane.show();
        server->enqueue(Response::json(200, anthropicAnswer("Bluetooth LE timed out; usually harmless.\n\nPROCESS_NAMES: "
                                                            "{\"bluetoothd\": \"Bluetooth Daemon\"}")));
        QTest::mouseClick(explainButton(&pane), Qt::LeftButton);
        QCOMPARE(explainLabel(&pane), QStringLiteral("Explaining…"));
        QVERIFY(!explainButton(&pane)->isEnabled());
        QTRY_VERIFY(!pane.isExplaining());
        auto* text = shown<MarkdownAnswerView>(&pane, "explanationText");
        QVERIFY(text);
        QVERIFY(text->html().contains(QStringLiteral("usually harmless")));
        QVERIFY(!shown(&pane, "cachedMark"));
        QCOMPARE(shown(&pane, "meta_Process")->text(), QStringLiteral("Bluetooth Daemon (bluetoothd)"));
        QCOMPARE(explainLabel(&pane), QStringLiteral("Investigated"));

        server->enqueue(Response::json(401, R"({"error":{"message":"invalid x-api-key"}})"));
        pane.setEntry(entry("cloudd", "Request failed"));
        QTest::mouseClick(explainButton(&pane), Qt::LeftButton);
        QTRY_VERIFY(!pane.isExplaining());
        QVERIFY(!shown(&pane, "explanationError")->text().isEmpty());
        QVERIFY(!shown<MarkdownAnswerView>(&pane, "explanationText"));
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
        e.host = QString::fromUtf8("web\u202Eexe.01\n");
        DetailPane pane(e, resolver(&owner), &settings, 300.0, [] {});
        pane.show();
        QCOMPARE(PlainTextCheck::markupWidgets(&pane, hostile, {}), QStringList());
        QCOMPARE(shown(&pane, "meta_Host")->text(), QString::fromUtf8("web<U+202E>exe.01\u240A"));

        // 65,535 + 2 + 100,000 bytes: the two-byte character does not fit.
        e.message = QString(65535, 'a') + QString::fromUtf8("é") + QString(100000, 'b');
        pane.setEntry(e);
        auto* head = shown<PlainTextViewer>(&pane, "detailMessage");
        QCOMPARE(head->text(), QString(65535, 'a'));
        // As tall as its wrapped text at the pane's width: the outer pane scrolls.
        QTRY_COMPARE(head->height(), head->contentHeight());
        QVERIFY(head->rowCount() > 100);
        QCOMPARE(head->lastVisibleRow(), head->rowCount() - 1);
        auto* all = shown<QPushButton>(&pane, "showAllMessage");
        QCOMPARE(all ? all->text() : QString(), QStringLiteral("Show All (162 KB)"));
        all->click();
        auto* whole = pane.findChild<PlainTextViewer*>("wholeMessage");
        QVERIFY(whole);
        QVERIFY(whole->isWindow());
        QVERIFY(whole->isVisible());
        QCOMPARE(whole->text(), e.message);
        e.message = QString(65536, 'c');
        pane.setEntry(e);
        QCOMPARE(head->text(), e.message);
        QVERIFY(!shown<QPushButton>(&pane, "showAllMessage"));

        QTest::mouseClick(pane.findChild<QPushButton*>("searchWebButton"), Qt::LeftButton);
        QTest::mouseClick(pane.findChild<QPushButton*>("macSupportButton"), Qt::LeftButton);
        QCOMPARE(opened, (QList<QUrl>{EntryText::searchWebURL(e, AISettings::defaultSearchEngineURL()), EntryText::macSupportURL()}));
    }

    // Over a row's process, the tooltip is the raw name behind the friendly one, on one line and with
    // what would reorder it written out; the cell paints it so too.
    void rowTooltip()
    {
        LogListModel model;
        model.setEntries(LogEntryList{entry(QString::fromUtf8("k\u202Eb\n"), "m")});
        RowContext ctx;
        LogRowDelegate delegate(&model, &ctx);
        QStyleOptionViewItem opt;
        opt.rect = QRect(0, 0, 900, LogRowDelegate::rowHeight());
        QHelpEvent help(QEvent::ToolTip, RowLayout::cells(opt.rect, {}).process.center(), QPoint(10, 10));
        QVERIFY(delegate.helpEvent(&help, nullptr, opt, model.index(0)));
        QTRY_COMPARE(QToolTip::text(), PlainText::toolTip(QString::fromUtf8("k<U+202E>b\u240A")));
        PaintedText painted;
        QPainter p(&painted);
        delegate.paint(&p, opt, model.index(0));
        p.end();
        QVERIFY2(painted.texts().contains(QStringLiteral("k<U+202E>b ")), qPrintable(painted.texts().join('|')));
    }

    // A long message is cut before it is shaped, yet the cell shows it from its
    // start and elided at its right edge, on one line: also when combining
    // marks make the cut fit the cell.
    void rowMessageElided()
    {
        RowContext ctx;
        QStyleOptionViewItem opt;
        opt.rect = QRect(0, 0, 900, LogRowDelegate::rowHeight());
        const QRect cell = RowLayout::cells(opt.rect, {}).message;
        auto render = [&](const QString& message) {
            LogListModel model;
            model.setEntries(LogEntryList{entry("kernel", message)});
            QImage image(opt.rect.size(), QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::white);
            QPainter p(&image);
            LogRowDelegate(&model, &ctx).paint(&p, opt, model.index(0));
            return image.copy(cell);
        };
        const QImage blank = render(QString());
        for (const QString& m : {QString(2000, u'w'), QStringLiteral("e\u0301").repeated(400) + QStringLiteral("END"),
                                 QStringLiteral("a\u2028") + QString(2000, u'w')}) {  // a line separator is a space
            const QImage shown = render(m);
            const auto inkIn = [&](int from, int to) {
                for (int x = from; x < to; ++x)
                    for (int y = 0; y < shown.height(); ++y)
                        if (shown.pixel(x, y) != blank.pixel(x, y))
                            return true;
                return false;
            };
            const int w = shown.width();
            QVERIFY2(inkIn(0, w / 10), qPrintable(m.left(8)));
            QVERIFY2(inkIn(w * 9 / 10, w), qPrintable(m.left(8)));
        }
    }
};

QTEST_MAIN(TestDetailPane)
#include "test_detail_pane.moc"
