// The crash browser as the user drives it: scan, table, pane, folder bar and
// the explain button. The scan and cache rules are the fetcher's tests.

#include "ai/AISettings.h"
#include "ai/ExplanationCache.h"
#include "base/Platform.h"
#include "crashes/CrashLogFetcher.h"
#include "crashes/CrashParser.h"
#include "crashes/views/CrashDetailPane.h"
#include "crashes/views/CrashFolderBar.h"
#include "crashes/views/CrashRow.h"
#include "crashes/views/CrashView.h"
#include "logs/VisibleText.h"
#include "tests/crashes/ClassicReport.h"
#include "tests/crashes/ReportFile.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/PaintedText.h"
#include "tests/support/PlainTextCheck.h"
#include "tests/support/TestEnv.h"
#include "ui/InlineMarkdownView.h"
#include "ui/PlainText.h"
#include "ui/PlainTextViewer.h"
#include "ui/Widgets.h"

#include <QtTest>
#include <QtWidgets>

#include <sys/stat.h>
#include <unistd.h>

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"  // reports name only the members a check needs

namespace {

const QByteArray kIps = R"({"bug_type":"309"}
{"procName":"Safari","CFBundleShortVersionString":"17.2","modelCode":"MacBookPro18,3",
 "timestamp":"2024-01-15T10:23:45.123Z","osVersion":"macOS 14.2.1",
 "exception":{"type":"EXC_BAD_ACCESS","signal":"SIGSEGV","subtype":"KERN_INVALID_ADDRESS"},
 "faultingThread":1,"threads":[{"frames":[]},{"frames":[{"imageName":"WebCore","symbol":"ref","imageOffset":12}]}]})";

template <class T> T* named(QWidget* root, const char* name) { return root->findChild<T*>(QString::fromLatin1(name)); }
template <class T> T* shown(QWidget* root, const char* name)
{
    T* w = named<T>(root, name);
    return w && w->isVisibleTo(root) ? w : nullptr;
}
QString labelText(QWidget* root, const char* name) { return named<QLabel>(root, name)->text(); }
QStringList shownTexts(QWidget* root, const char* name)
{
    QStringList texts;
    for (auto* l : root->findChildren<QLabel*>(QString::fromLatin1(name)))
        if (l->isVisibleTo(root))
            texts << l->text();
    return texts;
}

QStringList headerTitles(QWidget* root)
{
    QStringList texts;
    for (auto* b : root->findChildren<QPushButton*>(QStringLiteral("crashHeaderTitle")))
        texts << b->text();
    return texts;
}

void waitForScan(CrashView& view) { QTRY_VERIFY(!view.crashFetcher()->isLoading()); }

void showAndScan(CrashView& view)
{
    view.resize(1000, 700);
    view.show();
    QCOMPARE(view.presentation(), CrashView::Presentation::scanning);
    QTRY_VERIFY(!view.crashFetcher()->isLoading());
}

void clickRow(CrashView& view, int row)
{
    QListView* list = view.listView();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(row, 0)).center());
}

}  // namespace

class TestCrashView : public QObject {
    Q_OBJECT
    QString m_reports;
    LoopbackHttpServer m_server;

private slots:
    void initTestCase()
    {
        m_reports = TestEnv::useTemporaryHome() + "/Library/Logs/DiagnosticReports";
        QVERIFY(m_server.start());
        qputenv("VELLACORD_ANTHROPIC_URL", m_server.baseUrl().toUtf8());
    }

    void init()
    {
        TestEnv::clearSettings();
        QDir(Platform::appSupportDir() + "/CrashExplanations").removeRecursively();
        CrashExplanationCache::resetShared();
    }

    void emptyAndOpenedFolders()
    {
        QDir(m_reports).removeRecursively();
        AISettings settings;
        CrashView view(&settings);
        showAndScan(view);
        QVERIFY(view.presentation() == CrashView::Presentation::empty);
        // Which folder was searched, on this system's terms, and a way to open another.
        QCOMPARE(shown<QLabel>(&view, "crashEmptyText")->text(), CrashLogFetcher::emptyResultText());
        QCOMPARE(CrashLogFetcher::ownFolderEmptyText("/h/Library/Logs/DiagnosticReports", true),
                 "No crash reports found in ~/Library/Logs/DiagnosticReports/");
        QCOMPARE(CrashLogFetcher::ownFolderEmptyText("/h/Library/Logs/DiagnosticReports", false),
                 "No crash reports found in /h/Library/Logs/DiagnosticReports/ \u2014 this system does not write crash "
                 "reports there. Open a folder of reports copied from a Mac.");
        QVERIFY(shown<QLabel>(&view, "crashHomeLabel"));
        QVERIFY(!shown<QPushButton>(&view, "closeCrashFolderButton"));

        QTemporaryDir bundle;
        writeReportFile(bundle.filePath("Mail.ips"), R"({"procName":"Mail"})");
        view.setFolderPanelRunner([&] { return std::optional<QString>(bundle.path()); });
        shown<QPushButton>(&view, "crashEmptyOpenFolderButton")->click();
        waitForScan(view);
        QCOMPARE(view.crashFetcher()->reports().at(0).appName + '|' + view.folderBar()->bannerText(),
                 "Mail|Viewing crash reports in: " + QDir::toNativeSeparators(bundle.path()));
        clickRow(view, 0);
        QVERIFY(view.selectedCrash());

        named<QPushButton>(&view, "closeCrashFolderButton")->click();
        waitForScan(view);
        QVERIFY(!view.folder());
        QVERIFY(!view.selectedCrash());
        QVERIFY(!shown<QPushButton>(&view, "closeCrashFolderButton"));
        QCOMPARE(view.presentation(), CrashView::Presentation::empty);
    }

    void tableSelectionPaneAndResize()
    {
        writeReportFile(m_reports + "/Safari.ips", kIps);
        writeReportFile(m_reports + "/Retired/backupd.crash", "Process: backupd [411]\nException Type: EXC_CRASH\n",
                        QDateTime(QDate(2023, 12, 1), QTime(8, 0), Qt::UTC));
        AISettings settings;
        CrashView view(&settings);
        showAndScan(view);
        QCOMPARE(view.presentation(), CrashView::Presentation::table);
        QVERIFY(!view.detailPane()->isVisible());

        clickRow(view, 1);
        QCOMPARE(view.detailPane()->crash()->appName, "backupd");
        QCOMPARE(view.detailPane()->height(), 280);
        clickRow(view, 1);  // a second click on the selected row closes the pane
        QVERIFY(!view.selectedCrash());
        QVERIFY(!view.detailPane()->isVisible());
        QVERIFY(!shown<PaneResizeBar>(&view, "crashResizeHandle"));

        QTest::keyClick(view.listView(), Qt::Key_Down);
        CrashDetailPane* pane = view.detailPane();
        QCOMPARE(pane->crash()->appName, QStringLiteral("Safari"));
        QCOMPARE(labelText(pane, "crashAppVersion") + '|' + labelText(pane, "crashBadge"), QStringLiteral("v17.2|EXC_BAD_ACCESS"));
        QCOMPARE(shownTexts(pane, "crashInfoLabel"),
                 (QStringList{"Reason", "Exception", "Faulting Thread", "OS Version", "Device"}));
        QCOMPARE(shownTexts(pane, "crashInfoValue").at(2), QStringLiteral("1"));
        QCOMPARE(labelText(pane, "crashStackTraceText"), pane->crash()->stackTrace);
        auto* raw = named<QPushButton>(pane, "crashRawButton");
        QCOMPARE(raw->text(), QStringLiteral("Show Raw"));
        QVERIFY(!shown<QGroupBox>(pane, "crashRawBox"));
        raw->click();
        QCOMPARE(raw->text() + '|' + shown<QGroupBox>(pane, "crashRawBox")->title(), QStringLiteral("Hide Raw|Raw Crash Report"));
        auto* rawText = named<PlainTextViewer>(pane, "crashRawText");
        // The scan keeps no report's text: the file is read again.
        QVERIFY(!rawText->wrapping());
        QVERIFY(pane->crash()->rawContent.isEmpty());
        QTRY_COMPARE(rawText->text(), QString::fromUtf8(kIps));
        QTest::keyClick(view.listView(), Qt::Key_Down);

        // A rescan gives new ids; the pane keeps its copy.
        const QUuid before = view.selectedCrash()->id;
        view.rescan();
        waitForScan(view);
        QVERIFY(view.crashFetcher()->reports().at(0).id != before);
        QCOMPARE(view.detailPane()->crash()->id, before);

        // The height is clamped to 100..500.
        view.dragHandle(-1000);
        QTRY_COMPARE(view.detailPane()->height(), 500);
        // A window without room for it shows the pane shorter but whole.
        view.resize(700, 400);
        QTRY_VERIFY(pane->height() < 500 && pane->mapTo(&view, QPoint(0, pane->height())).y() <= view.height());
        view.resize(1000, 700);
        view.dragHandle(1000);
        QTRY_COMPARE(view.detailPane()->height(), 100);

        // A bare, long report: an empty Crash Info box and a bounded raw box.
        pane->setCrash(CrashReport{.id = QUuid::createUuid(), .rawContent = QString("line\n").repeated(4000)});
        QVERIFY(shown<QGroupBox>(pane, "crashInfo"));
        QVERIFY(shownTexts(pane, "crashInfoLabel").isEmpty());
        QVERIFY(rawText->height() <= CrashDetailPane::kRawBoxMaxHeight);
    }

    // A title click sorts by its column, a second one reverses; newest first until then.
    void columnsSort_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QString>("apps");
        QTest::addColumn<QStringList>("titles");
        QTest::newRow("default") << QStringList() << "Gamma Alpha Beta" << QStringList{"Date \u2193", "App", "Type", "File"};
        QTest::newRow("app") << QStringList{"App"} << "Alpha Beta Gamma" << QStringList{"Date", "App \u2191", "Type", "File"};
        QTest::newRow("app again") << QStringList{"App", "App \u2191"} << "Gamma Beta Alpha"
                                   << QStringList{"Date", "App \u2193", "Type", "File"};
        QTest::newRow("type") << QStringList{"Type"} << "Alpha Beta Gamma" << QStringList{"Date", "App", "Type \u2191", "File"};
        QTest::newRow("file") << QStringList{"File"} << "Beta Gamma Alpha" << QStringList{"Date", "App", "Type", "File \u2191"};
        QTest::newRow("date again") << QStringList{"Date \u2193"} << "Beta Alpha Gamma"
                                    << QStringList{"Date \u2191", "App", "Type", "File"};
        QTest::newRow("back to date") << QStringList{"File", "Date"} << "Gamma Alpha Beta"
                                      << QStringList{"Date \u2193", "App", "Type", "File"};
    }
    void columnsSort()
    {
        QFETCH(QStringList, clicks);
        QFETCH(QString, apps);
        QFETCH(QStringList, titles);
        QTemporaryDir dir;
        const QDateTime t(QDate(2024, 1, 1), QTime(8, 0), Qt::UTC);
        writeReportFile(dir.filePath("x.crash"), "Process: Beta\nException Type: EXC_CRASH\n", t);
        writeReportFile(dir.filePath("z.crash"), "Process: Alpha\nException Type: EXC_BAD_ACCESS\n", t.addDays(1));
        writeReportFile(dir.filePath("y.crash"), "Process: Gamma\nException Type: EXC_GUARD\n", t.addDays(2));
        AISettings settings;
        CrashView view(&settings);
        view.setFolder(dir.path());
        showAndScan(view);
        for (const QString& title : clicks) {
            const QList<QPushButton*> buttons = view.findChildren<QPushButton*>("crashHeaderTitle");
            auto it = std::find_if(buttons.begin(), buttons.end(), [&](QPushButton* b) { return b->text() == title; });
            QVERIFY2(it != buttons.end(), qPrintable(title));
            QTest::mouseClick(*it, Qt::LeftButton);
        }
        QStringList order;
        for (int row = 0; row < view.listView()->model()->rowCount(); ++row)
            order << view.listView()->model()->index(row, 0).data().toString();
        QCOMPARE(order.join(' '), apps);
        QCOMPARE(headerTitles(&view), titles);
    }

    // A classic report shows its crashed thread and can be explained as a
    // structured one; one of which nothing was parsed says so over its raw text.
    void classicAndUnparsedReports()
    {
        AISettings settings;
        settings.setAPIKey("sk-test");
        CrashDetailPane pane(&settings);
        pane.show();
        pane.setCrash(CrashParser::parsePlainReport(kClassic, "Preview.crash", {}, {}, false));
        QVERIFY(!shown<QLabel>(&pane, "crashNothingParsed"));
        QVERIFY(!shown<QGroupBox>(&pane, "crashRawBox"));
        QCOMPARE(shownTexts(&pane, "crashInfoValue").mid(0, 3),
                 (QStringList{"*** -[__NSArrayM objectAtIndex:]: index 4 beyond bounds [0 .. 3]", "EXC_CRASH (SIGABRT)", "0"}));
        QCOMPARE(shown<QLabel>(&pane, "crashStackTraceText")->text().split('\n').size(), 5);
        m_server.enqueue(LoopbackHttpServer::Response::json(200, R"({"content":[{"type":"text","text":"Out of range."}]})"));
        shown<QPushButton>(&pane, "crashExplainButton")->click();
        QTRY_VERIFY(pane.explanation());
        const QString sent = QString::fromUtf8(m_server.requests().last().body);
        QVERIFY(sent.contains("Stack Trace:\\nThread 0 (Faulting Thread):\\n   0  libsystem_kernel.dylib"));
        QVERIFY(sent.contains("Reason: *** -[__NSArrayM"));

        const QString junk = "\x01\x02 not a report\n";
        pane.setCrash(CrashParser::parsePlainReport(junk, "junk.crash", {}, {}, false));
        QCOMPARE(shown<QLabel>(&pane, "crashNothingParsed")->text(),
                 "Nothing could be read from this report; the raw report is below.");
        QVERIFY(!shown<QGroupBox>(&pane, "crashInfo"));
        QVERIFY(!shown<QPushButton>(&pane, "crashExplainButton"));
        QVERIFY(!shown<QPushButton>(&pane, "crashRawButton"));
        QVERIFY(!shown<QLabel>(&pane, "crashConfigureHint"));
        QVERIFY(shown<QGroupBox>(&pane, "crashRawBox"));
        QCOMPARE(named<PlainTextViewer>(&pane, "crashRawText")->text(), junk);
        const qsizetype requests = m_server.requests().size();
        pane.explain();
        QCOMPARE(m_server.requests().size(), requests);
    }

    void rowPaintsItsCells()
    {
        CrashReport r{.fileName = "backupd.crash", .filePath = "/r/backupd.crash", .appName = "backupd", .crashReason = "abort() called", .isRetired = true};
        PaintedText device;
        {
            QPainter p(&device);
            CrashRow::paintRow(&p, QRect(0, 0, 1200, 24), r, false, "2023-12-01 08:30:05", false, QPalette());
        }
        QCOMPARE(device.texts(), (QStringList{"2023-12-01 08:30:05", "backupd", "(archived)", "Abort", "backupd.crash"}));

        // A typical type shows whole at the default width; only a narrow row cuts it.
        r.exceptionType = "EXC_BAD_ACCESS (SIGSEGV)";
        for (int width : {1000, 400}) {
            PaintedText painted;
            QPainter p(&painted);
            CrashRow::paintRow(&p, QRect(0, 0, width, 24), r, false, "d", false, QPalette());
            p.end();
            QVERIFY2(painted.texts().contains(r.exceptionType) == (width == 1000), qPrintable(painted.texts().join("|")));
        }
    }

    // Names are the report's own: shown cut, on one line, their direction
    // controls written out, in the row, its tooltip and the pane.
    void hostileNamesShowCut()
    {
        const QString huge(10 << 20, 'x');
        const CrashReport r{.id = QUuid::createUuid(), .fileName = "web\u202Eexe.01", .filePath = "/r/a\u202Eb", .appName = "web\u202Eexe.01", .appVersion = huge, .crashReason = "a\nb", .exceptionType = huge, .osVersion = huge, .stackTrace = "Thread 0:\n" + huge + QString(10000, '\n')};
        PaintedText device;
        {
            QPainter p(&device);
            CrashRow::paintRow(&p, QRect(0, 0, 1200, 24), r, false, "d", false, QPalette());
        }
        const QString shown = "web<U+202E>exe.01";
        QCOMPARE(device.texts().mid(1, 1) + device.texts().mid(3), (QStringList{shown, shown}));
        QCOMPARE(CrashRow::toolTipAt(QRect(0, 0, 1000, 24), QPoint(5, 5), r), "/r/a<U+202E>b");

        AISettings settings;
        CrashDetailPane pane(&settings);
        pane.setCrash(r);
        pane.show();
        QCOMPARE(labelText(&pane, "crashAppName") + '|' + shownTexts(&pane, "crashInfoValue").at(0), shown + "|a\u240Ab");
        for (QLabel* l : pane.findChildren<QLabel*>())
            QVERIFY2(l->text().size() <= VisibleText::maxFieldChars + 16, qPrintable(l->objectName()));
        const QString trace = labelText(&pane, "crashStackTraceText");
        QCOMPARE(trace.count('x'), CrashDetailPane::kMaxTraceLineChars);
        QCOMPARE(trace.count('\n'), CrashDetailPane::kMaxTraceLines - 1);
    }

    // Files not read: a notice names them; one too large is a row whose pane gives the reason.
    void unreadReports()
    {
        QDir(m_reports).removeRecursively();
        writeReportFile(m_reports + "/Safari.ips", kIps);
        QVERIFY(::mkfifo(QFile::encodeName(m_reports + "/pipe.ips").constData(), 0600) == 0);
        {
            writeReportFile(m_reports + "/huge.ips", {});
            QFile f(m_reports + "/huge.ips");
            QVERIFY(f.open(QIODevice::ReadWrite));
            QCOMPARE(::ftruncate(f.handle(), qint64(100) << 30), 0);
        }
        AISettings settings;
        CrashView view(&settings);
        showAndScan(view);
        auto* notice = shown<QLabel>(&view, "crashUnreadNotice");
        QVERIFY(notice);
        QCOMPARE(notice->text(), QStringLiteral("2 reports could not be read"));
        QCOMPARE(notice->toolTip(), PlainText::toolTip(m_reports + "/huge.ips: too large to read: 107374 MB\n" + m_reports + "/pipe.ips: not a regular file"));
        QCOMPARE(CrashView::unreadNotice(1), QStringLiteral("1 report could not be read"));

        clickRow(view, 0);  // the file's time is now: newest
        CrashDetailPane* pane = view.detailPane();
        QCOMPARE(labelText(pane, "crashAppName") + '|' + shownTexts(pane, "crashInfoValue").join(','),
                 QStringLiteral("huge.ips|too large to read: 107374 MB"));
        QVERIFY(!shown<QPushButton>(pane, "crashRawButton"));
        QVERIFY(!shown<QPushButton>(pane, "crashExplainButton"));
        QVERIFY(!shown<QLabel>(pane, "crashBadge"));
        QDir(m_reports).removeRecursively();
    }

    void explainPlainTextAndKey()
    {
        AISettings settings;
        CrashDetailPane pane(&settings);
        const QString h = QStringLiteral("<img src=\"/dev/zero\"><b>X</b>");
        pane.setCrash(CrashReport{.id = QUuid::createUuid(), .fileName = "App.ips", .appName = h, .appVersion = h, .crashReason = h, .exceptionType = h, .osVersion = h, .deviceModel = h, .stackTrace = h, .rawContent = h});
        pane.show();
        pane.toggleRaw();
        QCOMPARE(PlainTextCheck::markupWidgets(&pane, h, {"crashExplanationText"}), QStringList());

        auto* explain = named<QPushButton>(&pane, "crashExplainButton");
        QCOMPARE(explain->text(), QStringLiteral("Explain this crash"));
        QVERIFY(!explain->isEnabled());
        QVERIFY(shown<QLabel>(&pane, "crashConfigureHint"));
        settings.setAPIKey("sk-test");
        QVERIFY(explain->isEnabled());
        QVERIFY(!shown<QLabel>(&pane, "crashConfigureHint"));

        m_server.enqueue(LoopbackHttpServer::Response::json(200, R"({"content":[{"type":"text","text":"It **crashed**."}]})"));
        explain->click();
        QVERIFY(pane.isExplaining());
        QVERIFY(shown<QWidget>(&pane, "crashExplaining"));
        QVERIFY(!shown<QPushButton>(&pane, "crashExplainButton"));
        QTRY_VERIFY(!pane.isExplaining());
        QCOMPARE(pane.explanation().value_or(QString()), QStringLiteral("It **crashed**."));
        QCOMPARE(named<QGroupBox>(&pane, "crashAIExplanation")->title() + '|' + labelText(&pane, "crashCachedLabel"),
                 QStringLiteral("AI Explanation|cached"));
        QVERIFY(pane.findChild<MarkdownAnswerView*>("crashExplanationText")->html().contains("<b>crashed</b>"));
    }
};

QTEST_MAIN(TestCrashView)
#include "test_crash_view.moc"
