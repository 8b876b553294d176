#include "browser/EntryExport.h"
#include "browser/EntryText.h"
#include "browser/views/DetailPane.h"
#include "browser/views/LogListModel.h"
#include "browser/views/LogRowDelegate.h"
#include "browser/views/TimelineStrip.h"
#include "processnames/ProcessNameResolver.h"
#include "tests/support/Entries.h"
#include "tests/support/TestEnv.h"
#include "ui/PlainTextViewer.h"
#include "ui/ViewStyle.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

// What users expect of any viewer: copying an entry whole, selecting by
// clicks, seeing a drag's span and which process a PID is.
class TestSmallThings : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    ProcessNameResolver* names = nullptr;

    static LogEntry linuxEntry()
    {
        LogEntry e = makeEntry(1767605407.25, 5, QStringLiteral("kernel"), QStringLiteral("oom-kill"), {},
                               QStringLiteral("kernel"), {}, 1234);
        e.origin = LogOrigin::linuxJournal;
        e.threadKnown = false;
        e.host = QStringLiteral("web-01");
        return e;
    }

    // WCAG contrast of two opaque colours.
    static double contrast(const QColor& a, const QColor& b)
    {
        const auto lum = [](const QColor& c) {
            const auto ch = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
            return 0.2126 * ch(c.redF()) + 0.7152 * ch(c.greenF()) + 0.0722 * ch(c.blueF());
        };
        const double x = lum(a) + 0.05, y = lum(b) + 0.05;
        return std::max(x, y) / std::min(x, y);
    }

private slots:
    void initTestCase()
    {
        TestEnv::useTemporaryHome();
        QFile f(dir.filePath("shipped.json"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(R"({"launchd": "Launch Daemon", "kernel": "macOS Kernel"})");
        f.close();
        names = new ProcessNameResolver(dir.filePath("names"), dir.filePath("shipped.json"), this);
    }

    // The text once; the pane's button copies the same, in the pane's labels and order.
    void copyEntry()
    {
        LogEntry mac = makeEntry(1767605407.25, 4, QStringLiteral("launchd"), QStringLiteral("Service exited\n\tagain"),
                                 QStringLiteral("com.apple.xpc"), QStringLiteral("libxpc.dylib"), {}, 1, 77);
        mac.activityIdentifier = 9;
        mac.senderImagePath = QStringLiteral("/usr/lib/system/libxpc.dylib");
        const QString t = EntryText::detailTimeString(mac.date);
        QCOMPARE(EntryText::entryText(mac, names),
                 QStringLiteral("Error  %1\nProcess: Launch Daemon (launchd)\nPID: 1\nThread: 77\nSender: libxpc.dylib\n"
                                "Image: /usr/lib/system/libxpc.dylib\nSubsystem: com.apple.xpc\nActivity ID: 9\n\nService exited\n\tagain")
                     .arg(t));
        // Linux: no Mac name, no thread without a TID.
        QCOMPARE(EntryText::entryText(linuxEntry(), names),
                 QStringLiteral("Fault  %1\nProcess: kernel\nPID: 1234\nSender: kernel\nHost: web-01\n\noom-kill").arg(t));

        DetailPane pane(mac, names, nullptr, 300.0, [] {});
        pane.show();
        QStringList shown;
        for (QLabel* value : pane.findChildren<QLabel*>())
            if (value->objectName().startsWith("meta_") && value->isVisibleTo(&pane))
                shown << value->objectName().mid(5) + ": " + value->text();
        QCOMPARE(shown.join('\n'), EntryText::entryText(mac, names).section('\n', 1, shown.size()));
        QApplication::clipboard()->clear();
        QTest::mouseClick(pane.findChild<QPushButton*>("copyEntryButton"), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), EntryText::entryText(mac, names));
    }

    // Over the PID: its text and the name the process goes by, from the table of the entry's origin.
    void pidTooltip()
    {
        LogListModel model;
        RowContext ctx;
        ctx.visibleColumns = {ColumnId::pid, ColumnId::thread};
        ctx.displayName = [this](const LogEntry& e) { return names->displayName(e.process, e.origin); };
        LogRowDelegate delegate(&model, &ctx);
        const QRect row(0, 0, 1200, LogRowDelegate::rowHeight());
        const RowLayout::Cells cells = RowLayout::cells(row, ctx.visibleColumns);
        const std::pair<LogEntry, QString> cases[] = {
            {makeEntry(0, 4, "launchd", "m", {}, {}, {}, 1), QStringLiteral("1 — Launch Daemon")},
            {makeEntry(0, 4, "cloudd", "m", {}, {}, {}, 812), QStringLiteral("812 — cloudd")},
            {linuxEntry(), QStringLiteral("1234 — kernel")},
            {makeEntry(0, 4, "", "m", {}, {}, {}, 7), QStringLiteral("7")}};
        for (const auto& [entry, tip] : cases) {
            QCOMPARE(delegate.tooltipAt(row, cells.columns[0].center(), entry), tip);
            QCOMPARE(delegate.tooltipAt(row, cells.columns[1].center(), entry), Columns::text(ColumnId::thread, entry));
        }
    }

    // JSON names a thread only when the source did.
    void exportedThread()
    {
        LogEntry e = linuxEntry();
        QVERIFY(!QJsonDocument::fromJson(EntryExport::entryJson(e)).object().contains("threadIdentifier"));
        e.threadKnown = true;
        e.threadIdentifier = 0;
        QCOMPARE(QJsonDocument::fromJson(EntryExport::entryJson(e))["threadIdentifier"].toInteger(-1), 0);
    }

    // One of the frame's two tones stands out (3:1) against every bar and the strip behind, in both themes.
    void dragFrameStandsOut()
    {
        for (const bool dark : {false, true}) {
            const TimelineStrip::DragMarks marks = TimelineStrip::dragMarks(dark);
            const QPalette pal = dark ? ViewStyle::darkPalette() : ViewStyle::lightPalette();
            QList<QColor> under{pal.color(QPalette::Window), pal.color(QPalette::Base)};
            for (SeverityLevel s : Severity::all())
                under << TimelineStrip::barColor(s, dark);
            for (const QColor& c : under)
                QVERIFY2(std::max(contrast(marks.edge, c), contrast(marks.halo, c)) >= 3, qPrintable(c.name()));
            QVERIFY(contrast(marks.edge, pal.color(QPalette::Window)) >= 3);
            QVERIFY(marks.fill.alphaF() < 0.5);
        }
    }

    // A double click selects the word, a third click soon after the whole line (not the display row); later, a click only places.
    void clickSelection()
    {
        PlainTextViewer v;
        v.setText(QStringLiteral("alpha beta_2 gamma\r\nsecond"));
        v.resize(400, 120);
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        QWidget* port = v.viewport();
        const double cw = QFontMetricsF(v.font()).horizontalAdvance(QLatin1Char('M'));
        const QPoint at(4 + int(8.3 * cw), 4 + v.rowHeight() / 2);  // in "beta_2"
        const auto doubleClick = [&] {
            QTest::mouseClick(port, Qt::LeftButton, {}, at);
            QTest::mouseDClick(port, Qt::LeftButton, {}, at);
            QTest::mouseRelease(port, Qt::LeftButton, {}, at);
        };
        doubleClick();
        QCOMPARE(v.selectedText(), QStringLiteral("beta_2"));
        QTest::mouseClick(port, Qt::LeftButton, {}, at);
        QCOMPARE(v.selectedText(), QStringLiteral("alpha beta_2 gamma"));
        doubleClick();
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        QTest::mouseClick(port, Qt::LeftButton, {}, at);
        QCOMPARE(v.selectedText(), QString());
    }
};

QTEST_MAIN(TestSmallThings)
#include "test_small_things.moc"
