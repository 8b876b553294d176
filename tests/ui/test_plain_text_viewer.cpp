#include "ui/PlainTextViewer.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>
#include <QTest>

class TestPlainTextViewer : public QObject {
    Q_OBJECT

    static QStringList rows(const PlainTextViewer& v)
    {
        QStringList r;
        for (int i = 0; i < v.rowCount(); ++i)
            r << v.rowText(i);
        return r;
    }

private slots:
    void rows_data()
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
    void rows()
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
        QCOMPARE(this->rows(v), rows);
        // Display breaks are not copied.
        v.selectAll();
        QCOMPARE(v.selectedText(), text);
    }

    void drawnLiterallyAndCopiedOverWindowShortcuts()
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
        v->setFocus();
        QApplication::clipboard()->clear();
        QTest::keyClick(v, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(v, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), v->text());
        QCOMPARE(spy.count(), 0);
    }
};

QTEST_MAIN(TestPlainTextViewer)
#include "test_plain_text_viewer.moc"
