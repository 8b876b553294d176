#include "tests/support/TestEnv.h"
#include "ui/PlainText.h"
#include "ui/TextStyles.h"
#include "ui/ViewStyle.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QtTest>

class TestTextStyles : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::useTemporaryHome(); }

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
        QPalette light = QApplication::palette();
        light.setColor(QPalette::WindowText, Qt::black);
        QApplication::setPalette(light);
        QLabel* l = TextStyles::label("x", TextStyles::Style::caption, true);
        QCOMPARE(l->palette().color(QPalette::WindowText).rgb(), QColor(Qt::black).rgb());
        QVERIFY(l->palette().color(QPalette::WindowText).alphaF() < 0.7);

        QPalette dark = light;
        dark.setColor(QPalette::WindowText, Qt::white);
        dark.setColor(QPalette::Window, Qt::black);
        QApplication::setPalette(dark);
        QCoreApplication::processEvents();
        QCOMPARE(l->palette().color(QPalette::WindowText).rgb(), QColor(Qt::white).rgb());
        QVERIFY(l->palette().color(QPalette::WindowText).alphaF() < 0.7);

        // Inside a window that is given the new palette too, as the theme does.
        QWidget window;
        window.setPalette(dark);
        l->setParent(&window);
        QApplication::setPalette(light);
        window.setPalette(light);
        QCoreApplication::processEvents();
        QCOMPARE(l->palette().color(QPalette::WindowText).rgb(), QColor(Qt::black).rgb());
        QVERIFY(l->palette().color(QPalette::WindowText).alphaF() < 0.7);
    }

    void symbolsAreDrawn()
    {
        for (const char* name : {"checkmark.circle", "exclamationmark.triangle.fill", "wand.and.stars", "sparkles",
                                 "archivebox", "arrow.down.circle", "xmark", "tray.and.arrow.down"}) {
            QVERIFY(ViewStyle::isKnown(QString::fromLatin1(name)));
            const QImage img = ViewStyle::pixmap(QString::fromLatin1(name), Qt::red, 24, 1.0).toImage();
            QCOMPARE(img.size(), QSize(24, 24));
            int painted = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    painted += qAlpha(img.pixel(x, y)) > 0;
            QVERIFY2(painted > 20, name);
        }
    }
};

QTEST_MAIN(TestTextStyles)
#include "test_text_styles.moc"
