#include "ai/AISettings.h"
#include "ai/ExplanationCache.h"
#include "crashes/CrashLogFetcher.h"
#include "crashes/views/CrashDetailPane.h"
#include "crashes/views/CrashFolderBar.h"
#include "crashes/views/CrashRow.h"
#include "crashes/views/CrashView.h"
#include "logs/Platform.h"
#include "tests/support/PaintedText.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/PlainTextCheck.h"
#include "tests/support/TestEnv.h"
#include "ui/PlainTextViewer.h"
#include "ui/Widgets.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QTemporaryDir>

#include <QDir>
#include <QTimeZone>
#include <QFile>
#include <QGroupBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QtTest>

namespace {

const char* kIpsBody = R"JSON({
  "procName" : "Safari",
  "CFBundleShortVersionString" : "17.2",
  "osVersion" : "macOS 14.2.1 (23C71)",
  "modelCode" : "MacBookPro18,3",
  "timestamp" : "%1",
  "exception" : {"type" : "EXC_BAD_ACCESS", "signal" : "SIGSEGV", "subtype" : "KERN_INVALID_ADDRESS at 0x0"},
  "faultingThread" : 2,
  "threads" : [{"frames":[]},{"frames":[]},{"frames":[
     {"imageName":"WebCore","symbol":"WebCore::Node::ref()","imageOffset":1234},
     {"imageName":"libsystem_pthread.dylib","symbol":"_pthread_start","imageOffset":28}]}]
})JSON";

const char* kCrashText =
    "Process:               backupd [411]\n"
    "Version:               ???\n"
    "Exception Type:        EXC_CRASH (SIGABRT)\n"
    "Crashed Thread:        0\n";

QByteArray anthropicAnswer(const QString& text)
{
    return QJsonDocument(QJsonObject{{"content", QJsonArray{QJsonObject{{"type", "text"}, {"text", text}}}}})
        .toJson(QJsonDocument::Compact);
}

}  // namespace

class TestCrashView : public QObject {
    Q_OBJECT

    QString m_reports;
    LoopbackHttpServer m_server;

    void writeFile(const QString& path, const QByteArray& data)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(data);
    }

    void clearReports() { QDir(m_reports).removeRecursively(); QDir().mkpath(m_reports); }

    void writeSampleReports()
    {
        clearReports();
        writeFile(m_reports + "/Safari-2024-01-15-102345.ips",
                  QByteArray("{\"bug_type\":\"309\",\"name\":\"Safari\"}\n")
                      + QString::fromLatin1(kIpsBody).arg("2024-01-15T10:23:45.123Z").toUtf8());
        writeFile(m_reports + "/Retired/backupd-2023-12-01.crash", kCrashText);
        // Text reports are dated by their modification time: older than the .ips.
        QFile old(m_reports + "/Retired/backupd-2023-12-01.crash");
        QVERIFY(old.open(QIODevice::ReadWrite));
        QVERIFY(old.setFileTime(QDateTime(QDate(2023, 12, 1), QTime(8, 0), QTimeZone::utc()),
                                QFileDevice::FileModificationTime));
    }

    // Shows the view (which scans) and waits for the scan to end.
    static void showAndScan(CrashView& view)
    {
        view.resize(1000, 700);
        view.show();
        QVERIFY(view.crashFetcher()->isLoading());
        QCOMPARE(view.presentation(), CrashView::Presentation::scanning);
        QTRY_VERIFY(!view.crashFetcher()->isLoading());
    }

    static void clickRow(CrashView& view, int row)
    {
        QListView* list = view.listView();
        const QRect r = list->visualRect(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
    }

    template <class T>
    static T* named(QWidget* root, const char* name)
    {
        return root->findChild<T*>(QString::fromLatin1(name));
    }
    // As the user sees it: none while hidden.
    template <class T>
    static T* shown(QWidget* root, const char* name)
    {
        T* w = named<T>(root, name);
        return w && w->isVisibleTo(root) ? w : nullptr;
    }
    static QStringList shownTexts(QWidget* root, const char* name)
    {
        QStringList texts;
        for (auto* l : root->findChildren<QLabel*>(QString::fromLatin1(name)))
            if (l->isVisibleTo(root))
                texts << l->text();
        return texts;
    }

private slots:
    void initTestCase()
    {
        const QString home = TestEnv::useTemporaryHome();
        m_reports = home + "/Library/Logs/DiagnosticReports";
        QCOMPARE(QDir::cleanPath(CrashLogFetcher::defaultReportsDirectory()), QDir::cleanPath(m_reports));
        QVERIFY(m_server.start());
        qputenv("VELLACORD_ANTHROPIC_URL", m_server.baseUrl().toUtf8());
    }

    void init()
    {
        TestEnv::clearSettings();
        QDir(Platform::appSupportDir() + "/CrashExplanations").removeRecursively();
        CrashExplanationCache::resetShared();
        m_server.clearRequests();
    }

    void emptyStateAfterScan()
    {
        clearReports();
        AISettings settings;
        CrashView view(&settings);
        showAndScan(view);
        QCOMPARE(view.presentation(), CrashView::Presentation::empty);
        auto* text = named<QLabel>(&view, "crashEmptyText");
        QVERIFY(text->isVisible());
        QCOMPARE(text->text(), QStringLiteral("No crash reports found in ~/Library/Logs/DiagnosticReports/"));
        QVERIFY(!view.listView()->isVisible());
    }

    void openedFolderAndItsCacheKeys()
    {
        writeSampleReports();
        QTemporaryDir bundle;
        // Another machine's report under the same name as one of the user's.
        const QByteArray foreign = "{\"procName\":\"Mail\",\"timestamp\":\"2024-02-01T08:00:00.000Z\"}";
        writeFile(bundle.filePath("Safari-2024-01-15-102345.ips"), foreign);
        writeFile(bundle.filePath("Retired/old.crash"), kCrashText);
        AISettings settings;
        CrashView view(&settings);
        showAndScan(view);
        const CrashReport home = view.crashFetcher()->reports().at(0);
        QVERIFY(home.contentDigest.isEmpty());
        CrashExplanationCache::shared().store(home, "the user's own Safari crash");
        QVERIFY(shown<QLabel>(&view, "crashHomeLabel"));
        QVERIFY(!shown<QPushButton>(&view, "closeCrashFolderButton"));

        view.setFolderPanelRunner([&] { return std::optional<QString>(bundle.path()); });
        named<QPushButton>(&view, "openCrashFolderButton")->click();
        QVERIFY(view.crashFetcher()->isLoading());
        QTRY_VERIFY(!view.crashFetcher()->isLoading());
        const CrashReportList reports = view.crashFetcher()->reports();
        QCOMPARE(reports.size(), 2);  // the retired text report is dated now, so it comes first
        QCOMPARE(reports[1].appName, QStringLiteral("Mail"));
        QVERIFY(reports[0].isRetired);
        QCOMPARE(view.folderBar()->bannerText(), "Viewing crash reports in: " + QDir::toNativeSeparators(bundle.path()));
        QVERIFY(shown<QPushButton>(&view, "closeCrashFolderButton"));
        // Same name, other content: its own cache file, so no wrong explanation.
        const QString digest = QCryptographicHash::hash(foreign, QCryptographicHash::Sha256).toHex();
        QCOMPARE(QFileInfo(CrashExplanationCache::shared().crashFileURL(reports[1])).fileName(),
                 "Safari-2024-01-15-102345.ips-" + digest + ".json");
        clickRow(view, 1);
        QCOMPARE(view.selectedCrash()->appName, QStringLiteral("Mail"));
        QVERIFY(!view.detailPane()->explanation());

        named<QPushButton>(&view, "closeCrashFolderButton")->click();
        QTRY_VERIFY(!view.crashFetcher()->isLoading());
        QVERIFY(!view.folder());
        QVERIFY(!view.selectedCrash());
        QCOMPARE(view.crashFetcher()->reports().at(0).appName, QStringLiteral("Safari"));
        QVERIFY(!shown<QPushButton>(&view, "closeCrashFolderButton"));

        // The user's own folder opened by path keeps its name keys; an empty one says so.
        view.setFolder(m_reports);
        QTRY_VERIFY(!view.crashFetcher()->isLoading());
        QVERIFY(view.crashFetcher()->reports().at(0).contentDigest.isEmpty());
        QTemporaryDir empty;
        view.setFolder(empty.path());
        QTRY_VERIFY(!view.crashFetcher()->isLoading());
        QCOMPARE(named<QLabel>(&view, "crashEmptyText")->text(),
                 "No crash reports found in " + QDir::toNativeSeparators(empty.path()) + "/");
    }

    void tableRowsAndToggleSelection()
    {
        writeSampleReports();
        AISettings settings;
        CrashView view(&settings);
        showAndScan(view);
        QCOMPARE(view.presentation(), CrashView::Presentation::table);
        QCOMPARE(view.listView()->model()->rowCount(), 2);
        QStringList headers;
        for (auto* l : view.findChildren<QLabel*>("crashHeaderTitle"))
            headers << l->text();
        QCOMPARE(headers, (QStringList{"Date", "App", "Type", "File"}));
        QVERIFY(!view.detailPane()->isVisible());
        QVERIFY(!named<PaneResizeBar>(&view, "crashResizeHandle")->isVisible());

        clickRow(view, 0);
        QVERIFY(view.selectedCrash());
        QCOMPARE(view.selectedCrash()->appName, QStringLiteral("Safari"));
        QVERIFY(view.detailPane()->isVisible());
        QVERIFY(named<PaneResizeBar>(&view, "crashResizeHandle")->isVisible());
        QCOMPARE(view.detailPane()->height(), 280);

        clickRow(view, 1);
        QCOMPARE(view.selectedCrash()->appName, QStringLiteral("backupd"));
        QCOMPARE(view.detailPane()->crash()->appName, QStringLiteral("backupd"));

        // A second click on the selected row closes the pane.
        clickRow(view, 1);
        QVERIFY(!view.selectedCrash());
        QVERIFY(!view.detailPane()->isVisible());

        // The keys move the selection; the pane follows.
        QTest::keyClick(view.listView(), Qt::Key_Down);
        QVERIFY(view.selectedCrash());
        QCOMPARE(view.detailPane()->crash()->appName, QStringLiteral("Safari"));
        QTest::keyClick(view.listView(), Qt::Key_End);
        QCOMPARE(view.selectedCrash()->appName, QStringLiteral("backupd"));
        QTest::keyClick(view.listView(), Qt::Key_Up);
        QCOMPARE(view.detailPane()->crash()->appName, QStringLiteral("Safari"));
        clickRow(view, 0);
        QVERIFY(!view.selectedCrash());

        // A rescan keeps the pane on its copy although ids are new.
        clickRow(view, 0);
        const QUuid before = view.selectedCrash()->id;
        view.rescan();
        QTRY_VERIFY(!view.crashFetcher()->isLoading());
        QVERIFY(view.crashFetcher()->reports().at(0).id != before);
        QVERIFY(view.detailPane()->isVisible());
        QCOMPARE(view.detailPane()->crash()->id, before);
    }

    void rowPaintsItsCells()
    {
        CrashReport r;
        r.id = QUuid::createUuid();
        r.appName = "backupd";
        r.fileName = "backupd-2023-12-01.crash";
        r.crashReason = "abort() called";
        r.date = QDateTime(QDate(2023, 12, 1), QTime(8, 30, 5));
        r.isRetired = true;
        PaintedText device;
        {
            QPainter p(&device);
            CrashRow::paintRow(&p, QRect(0, 0, 1200, 24), r, false, CrashRow::dateString(r.date), false,
                               QPalette());
        }
        const QString all = device.texts().join('|');
        QVERIFY2(all.contains("2023-12-01 08:30:05"), qPrintable(all));
        QVERIFY(all.contains("backupd|(archived)"));
        QVERIFY(all.contains("Abort"));
        QVERIFY(all.contains("backupd-2023-12-01.crash"));

        r.isRetired = false;
        PaintedText plain;
        {
            QPainter p(&plain);
            CrashRow::paintRow(&p, QRect(0, 0, 1200, 24), r, true, "x", true, QPalette());
        }
        QVERIFY(!plain.texts().join('|').contains("(archived)"));

        // The badge's tooltip is the whole type, however the badge is cut; elsewhere the path.
        r.exceptionType = "EXC_BAD_ACCESS_WITH_A_LONG_NAME";
        r.filePath = "/r/backupd.crash";
        const QRect row(0, 0, 1200, 24);
        const int badgeX = CrashRow::sideInset + CrashRow::dateWidth + CrashRow::appWidth;
        QCOMPARE(CrashRow::toolTipAt(row, QPoint(badgeX + 1, 10), r), r.exceptionType);
        QCOMPARE(CrashRow::toolTipAt(row, QPoint(badgeX + CrashRow::typeWidth - 1, 10), r), r.exceptionType);
        QCOMPARE(CrashRow::toolTipAt(row, QPoint(badgeX - 1, 10), r), r.filePath);
        QCOMPARE(CrashRow::toolTipAt(row, QPoint(badgeX + CrashRow::typeWidth, 10), r), r.filePath);

    }

    void resizeHandleClamps()
    {
        QCOMPARE(PaneResizeBar::dragged(280, -1000), 500.0);
        QCOMPARE(PaneResizeBar::dragged(280, 1000), 100.0);
        QCOMPARE(PaneResizeBar::dragged(280, -20), 300.0);

        writeSampleReports();
        AISettings settings;
        CrashView view(&settings);
        showAndScan(view);
        clickRow(view, 0);
        auto* handle = named<PaneResizeBar>(&view, "crashResizeHandle");
        QCOMPARE(handle->cursor().shape(), Qt::SizeVerCursor);
        // A real drag upwards by 40 points, in two updates.
        const QPoint start = handle->rect().center();
        QTest::mousePress(handle, Qt::LeftButton, {}, start);
        QMouseEvent move1(QEvent::MouseMove, QPointF(start.x(), start.y() - 15),
                          handle->mapToGlobal(QPointF(start.x(), start.y() - 15)), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(handle, &move1);
        QMouseEvent move2(QEvent::MouseMove, QPointF(start.x(), start.y() - 40),
                          handle->mapToGlobal(QPointF(start.x(), start.y() - 40)), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(handle, &move2);
        QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(start.x(), start.y() - 40));
        QCOMPARE(view.detailHeight(), 320.0);
        QCOMPARE(view.detailPane()->height(), 320);
        view.dragHandle(-1000);
        QCOMPARE(view.detailPane()->height(), 500);
        view.dragHandle(1000);
        QCOMPARE(view.detailPane()->height(), 100);
    }

    void paneSummaryAndRaw()
    {
        writeSampleReports();
        AISettings settings;
        CrashView view(&settings);
        showAndScan(view);
        clickRow(view, 0);
        CrashDetailPane* pane = view.detailPane();
        QCOMPARE(named<QLabel>(pane, "crashAppName")->text(), QStringLiteral("Safari"));
        QCOMPARE(named<QLabel>(pane, "crashAppVersion")->text(), QStringLiteral("v17.2"));
        QCOMPARE(named<QLabel>(pane, "crashBadge")->text(), QStringLiteral("EXC_BAD_ACCESS"));
        const QStringList labels = shownTexts(pane, "crashInfoLabel"), values = shownTexts(pane, "crashInfoValue");
        QCOMPARE(labels, (QStringList{"Reason", "Exception", "Faulting Thread", "OS Version", "Device"}));
        QCOMPARE(values.at(0), QString::fromUtf8("SIGSEGV — KERN_INVALID_ADDRESS at 0x0"));
        QCOMPARE(values.at(2), QStringLiteral("2"));
        QCOMPARE(values.at(4), QStringLiteral("MacBookPro18,3"));
        auto* trace = named<QLabel>(pane, "crashStackTraceText");
        QVERIFY(trace);
        QVERIFY(trace->text().startsWith("Thread 2 (Faulting Thread):"));
        QVERIFY(trace->text().contains("WebCore::Node::ref() + 1234"));
        QVERIFY(shown<QGroupBox>(pane, "crashStackTrace"));

        // Show Raw / Hide Raw, and the raw text does not wrap.
        auto* raw = named<QPushButton>(pane, "crashRawButton");
        QCOMPARE(raw->text(), QStringLiteral("Show Raw"));
        QVERIFY(!shown<QGroupBox>(pane, "crashRawBox"));
        raw->click();
        raw = named<QPushButton>(pane, "crashRawButton");
        QCOMPARE(raw->text(), QStringLiteral("Hide Raw"));
        auto* rawText = named<PlainTextViewer>(pane, "crashRawText");
        QVERIFY(rawText);
        QVERIFY(!rawText->wrapping());
        QCOMPARE(rawText->text(), pane->crash()->rawContent);
        QCOMPARE(named<QGroupBox>(pane, "crashRawBox")->title(), QStringLiteral("Raw Crash Report"));

        // The text report: no version, no stack trace; the raw box stays open.
        clickRow(view, 1);
        QVERIFY(!shown<QGroupBox>(pane, "crashStackTrace"));
        QCOMPARE(named<QPushButton>(pane, "crashRawButton")->text(), QStringLiteral("Hide Raw"));
        QCOMPARE(named<QLabel>(pane, "crashAppName")->text(), QStringLiteral("backupd"));

        // All summary fields empty: the Crash Info box is there and empty.
        CrashReport bare;
        bare.id = QUuid::createUuid();
        bare.appName = "bare";
        pane->setCrash(bare);
        QVERIFY(shown<QGroupBox>(pane, "crashInfo"));
        QVERIFY(shownTexts(pane, "crashInfoLabel").isEmpty());
        QVERIFY(!shown<QLabel>(pane, "crashAppVersion"));
        QCOMPARE(named<QLabel>(pane, "crashBadge")->text(), QStringLiteral("Unknown"));

        // A long report scrolls in its own box, to its last line.
        QStringList lines;
        for (int i = 1; i <= 4000; ++i)
            lines << QStringLiteral("line %1 of the report").arg(i);
        bare.id = QUuid::createUuid();
        bare.rawContent = lines.join('\n');
        pane->setCrash(bare);
        QVERIFY(rawText->height() <= CrashDetailPane::kRawBoxMaxHeight);
        QCOMPARE(rawText->rowCount(), 4000);
        rawText->setFocus();
        QTest::keyClick(rawText, Qt::Key_End);
        QCOMPARE(rawText->rowText(rawText->lastVisibleRow()), lines.last());
    }

    void explainButtonNeedsKey()
    {
        AISettings settings;
        CrashDetailPane pane(&settings);
        // Report text is never read as markup.
        const QString hostile = QStringLiteral("<img src=\"/dev/zero\"><b>X</b>");
        CrashReport r;
        r.id = QUuid::createUuid();
        r.appName = r.appVersion = r.exceptionType = r.crashReason = r.osVersion = r.deviceModel = hostile;
        r.stackTrace = r.rawContent = hostile;
        r.fileName = "App.ips";
        pane.setCrash(r);
        pane.show();
        pane.toggleRaw();
        QCOMPARE(PlainTextCheck::markupWidgets(&pane, hostile, {"crashExplanationText"}), QStringList());
        auto* explain = named<QPushButton>(&pane, "crashExplainButton");
        QVERIFY(explain);
        QCOMPARE(explain->text(), QStringLiteral("Explain this crash"));
        QVERIFY(!explain->isEnabled());
        settings.setAPIKey("   ");
        QVERIFY(!explain->isEnabled());
        QVERIFY(shown<QLabel>(&pane, "crashConfigureHint"));
        settings.setAPIKey("sk-test");
        QVERIFY(explain->isEnabled());
        QVERIFY(!shown<QLabel>(&pane, "crashConfigureHint"));
    }

    void explainThroughCacheAndServer()
    {
        AISettings settings;
        settings.setAPIKey("sk-test");
        CrashDetailPane pane(&settings);
        CrashReport a;
        a.id = QUuid::createUuid();
        a.appName = "Safari";
        a.fileName = "Safari-1.ips";
        a.exceptionType = "EXC_BAD_ACCESS";
        pane.setCrash(a);
        pane.show();

        const QString answer = "It **crashed** reading `0x0`.\n\nUpdate Safari.";
        m_server.enqueue(LoopbackHttpServer::Response::json(200, anthropicAnswer(answer)));
        named<QPushButton>(&pane, "crashExplainButton")->click();
        QVERIFY(pane.isExplaining());
        QVERIFY(named<QWidget>(&pane, "crashExplaining")->isVisible());
        QVERIFY(!named<QPushButton>(&pane, "crashExplainButton")->isVisible());
        QTRY_VERIFY(!pane.isExplaining());
        QCOMPARE(pane.explanation().value_or(QString()), answer);
        QCOMPARE(named<QGroupBox>(&pane, "crashAIExplanation")->title(), QStringLiteral("AI Explanation"));
        QCOMPARE(named<QLabel>(&pane, "crashCachedLabel")->text(), QStringLiteral("cached"));
        QVERIFY(named<QLabel>(&pane, "crashExplanationText")->text().contains("<b>crashed</b>"));
        QVERIFY(!shown<QPushButton>(&pane, "crashExplainButton"));
    }
};

QTEST_MAIN(TestCrashView)
#include "test_crash_view.moc"
