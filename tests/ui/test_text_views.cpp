#include "tests/support/TestEnv.h"
#include "ui/PlainText.h"
#include "ui/PlainTextViewer.h"
#include "ui/TextStyles.h"
#include "ui/ViewStyle.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QSignalSpy>
#include <QTextDocument>
#include <QtTest>

// The kit's text: the plain-text viewer, plain tooltips, secondary ink and symbols.
class TestTextViews : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::useTemporaryHome(); }

    void viewerRows_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("wrapColumns");  // 0: no wrapping
        QTest::addColumn<QStringList>("rows");
        const QString x(PlainTextViewer::kMaxRow, 'x');
        QTest::newRow("long line in pieces") << x + x + "yz\r\nend" << 0 << QStringList{x, x, "yz", "end"};
        QTest::newRow("empty") << QString() << 0 << QStringList{""};
        QTest::newRow("trailing break") << "a\n" << 0 << QStringList{"a", ""};
        QTest::newRow("wrap at a space") << "alpha beta gamma" << 10 << QStringList{"alpha ", "beta gamma"};
        QTest::newRow("wrap a word") << "abcdefghijklmno" << 10 << QStringList{"abcdefghij", "klmno"};
        QTest::newRow("surrogates kept whole")
            << QString(9, 'a') + QString::fromUtf8("😀b") << 10 << QStringList{QString(9, 'a'), QString::fromUtf8("😀b")};
    }
    void viewerRows()
    {
        QFETCH(QString, text);
        QFETCH(int, wrapColumns);
        QFETCH(QStringList, rows);
        PlainTextViewer v;
        v.setFrameShape(QFrame::NoFrame);
        v.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        const double cw = QFontMetricsF(v.font()).horizontalAdvance(QLatin1Char('M'));
        v.resize(int(8 + (wrapColumns + 0.5) * cw), 200);
        v.setWrapping(wrapColumns > 0);
        v.setText(text);
        v.show();
        QStringList shown;
        for (int i = 0; i < v.rowCount(); ++i)
            shown << v.rowText(i);
        QCOMPARE(shown, rows);
        // Display breaks are not copied.
        v.selectAll();
        QCOMPARE(v.selectedText(), text);
    }

    void viewerDrawsLiterallyAndCopiesOverWindowShortcuts()
    {
        QWidget window;
        auto* windowCopy = new QAction(&window);
        windowCopy->setShortcut(QKeySequence::Copy);
        window.addAction(windowCopy);
        QSignalSpy spy(windowCopy, &QAction::triggered);
        auto* v = new PlainTextViewer(&window);
        v->resize(300, 100);
        v->setText(QString::fromUtf8("a\0b\x1b[31m\tc\u202e", 13));
        QCOMPARE(v->shownRow(0), QString::fromUtf8("a\u2400b\u241b[31m    c\u202e"));
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));  // else no window shortcut could fire
        v->setFocus();
        QApplication::clipboard()->clear();
        QTest::keyClick(v, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(v, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), v->text());
        QCOMPARE(spy.count(), 0);
    }

    void plainToolTipsShowTheTextLiterally()
    {
        for (const QString& text : {QStringLiteral("<img src=\"/dev/zero\">"),
                                    QStringLiteral("<b>BOLD</b><font color=red size=6>RED</font> & \"q\""),
                                    QStringLiteral("two\nlines")}) {
            const QString tip = PlainText::toolTip(text);
            QVERIFY(Qt::mightBeRichText(tip));  // so Qt does not guess from the text itself
            QTextDocument doc;
            doc.setHtml(tip);
            QCOMPARE(doc.toPlainText(), text);
            QVERIFY(!tip.contains("<img") && !tip.contains("<b>"));
        }
        QCOMPARE(PlainText::toolTip(QString()), QString());
    }

    void secondaryTextFollowsThePalette()
    {
        QPalette light = QApplication::palette(), dark = light;
        light.setColor(QPalette::WindowText, Qt::black);
        dark.setColor(QPalette::WindowText, Qt::white);
        dark.setColor(QPalette::Window, Qt::black);
        QApplication::setPalette(light);
        QLabel* l = TextStyles::label("x", TextStyles::Style::caption, true);
        const auto inkIs = [l](Qt::GlobalColor c) {
            const QColor ink = l->palette().color(QPalette::WindowText);
            return ink.rgb() == QColor(c).rgb() && ink.alphaF() < 0.7;
        };
        QVERIFY(inkIs(Qt::black));
        QApplication::setPalette(dark);
        QCoreApplication::processEvents();
        QVERIFY(inkIs(Qt::white));
        // Inside a window that is given the new palette too, as the theme does.
        QWidget window;
        window.setPalette(dark);
        l->setParent(&window);
        QApplication::setPalette(light);
        window.setPalette(light);
        QCoreApplication::processEvents();
        QVERIFY(inkIs(Qt::black));
    }

    void symbolsAreDrawn()
    {
        for (const char* name : {"checkmark.circle", "exclamationmark.triangle.fill", "wand.and.stars", "sparkles",
                                 "archivebox", "arrow.down.circle", "xmark", "tray.and.arrow.down"}) {
            const QImage img = ViewStyle::pixmap(QString::fromLatin1(name), Qt::red, 24, 1.0).toImage();
            QCOMPARE(img.size(), QSize(24, 24));
            int painted = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    painted += qAlpha(img.pixel(x, y)) > 0;
            QVERIFY2(ViewStyle::isKnown(QString::fromLatin1(name)) && painted > 20, name);
        }
    }
};

QTEST_MAIN(TestTextViews)
#include "test_text_views.moc"
