#include "tests/support/TestEnv.h"
#include "ui/InlineMarkdown.h"
#include "ui/InlineMarkdownView.h"
#include "ui/PlainText.h"
#include "ui/PlainTextViewer.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextDocument>
#include <QVBoxLayout>
#include <QtTest>

// The kit's text: the plain-text viewer, inline Markdown, plain tooltips. (Secondary ink following the theme: the
// shell's theme sweep.)
class TestTextViews : public QObject {
    Q_OBJECT
    static QString body(const QString& md)
    {
        QString h = InlineMarkdown::toHtml(md);
        const QString open = "<span style=\"white-space: pre-wrap;\">";
        if (!h.startsWith(open) || !h.endsWith("</span>"))
            return "<bad wrapper>" + h;
        return h.mid(open.size(), h.size() - open.size() - 7);
    }
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
        QTest::newRow("trailing break") << "a\n"
                                        << 0 << QStringList{"a", ""};
        QTest::newRow("wrap at a space") << "alpha beta gamma" << 10 << QStringList{"alpha ", "beta gamma"};
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

    void inlineMarkdown()
    {
        const std::pair<const char*, const char*> cases[] = {
            {"a **bold** b", "a <b>bold</b> b"},
            {"an *em* and _em_", "an <i>em</i> and <i>em</i>"},
            {"run `rm -rf <x>` now", "run <code>rm -rf &lt;x&gt;</code> now"},
            {"see [docs](https://example.org/a?b=1&c=2)", "see <a href=\"https://example.org/a?b=1&amp;c=2\">docs</a>"},
            {"**bold with *em* inside**", "<b>bold with <i>em</i> inside</b>"},
            // Blocks stay plain, with line breaks.
            {"# Title\n- one\n- two", "# Title<br/>- one<br/>- two"},
            {"* not emphasis", "* not emphasis"},
            // Unsafe or unmatched: shown literally.
            {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
            {"[x](javascript:alert(1))", "[x](javascript:alert(1))"},
            {"a `tick", "a `tick"},
            {"snake_case_name", "snake_case_name"},
            {"\\*literal\\*", "*literal*"},
            {"\"q\" & 'a'", "&quot;q&quot; &amp; 'a'"},
            // An opener inside emphasis finds no partner beyond it; an address holding "[" is not linked.
            {"*a *b c*", "<i>a *b c</i>"},
            {"**x __y__**", "<b>x <b>y</b></b>"},
            {"[x](https://a.example/[b)", "[x](https://a.example/[b)"},
        };
        for (const auto& [md, html] : cases)
            QCOMPARE(body(QString::fromUtf8(md)), QString::fromUtf8(html));
        // 100 KB of openers without a partner: shown as written (the renderer once took hours on this; the bench
        // holds the time).
        const QString openers = QStringLiteral("**a *b _c [d ").repeated(8000);
        QCOMPARE(body(openers), openers);
    }
    // Small answers are laid out at once, larger ones on a worker thread (a layout of an answer
    // replaced meanwhile is dropped), answers past 256 KiB shown as plain text.
    void answerView()
    {
        QWidget window;
        auto* col = new QVBoxLayout(&window);
        auto* label = new QLabel;
        label->setObjectName("explanation");
        col->addWidget(label);
        window.resize(500, 400);
        window.show();
        QList<QUrl> opened;
        MarkdownAnswerView::setLinkOpener([&](const QUrl& u) { opened << u; return true; });
        MarkdownAnswerView* view = MarkdownAnswerView::showInPlaceOf(label, "[docs](https://example.org/a) is **fine**");
        QVERIFY(view);
        QVERIFY(view->isVisibleTo(&window));
        QVERIFY(!label->isVisibleTo(&window));
        QCOMPARE(view->objectName(), "explanation");
        QCOMPARE(MarkdownAnswerView::showInPlaceOf(label, "again"), view);
        view->setAnswer("[docs](https://example.org/a) is **fine**");
        QVERIFY(view->html().contains("<b>fine</b>"));
        QVERIFY(!view->isRendering());
        QTRY_VERIFY(view->height() > 0);
        QWidget* rendered = view->findChild<QWidget*>("answerRendered");
        QTest::mouseClick(rendered, Qt::LeftButton, {}, QPoint(3, rendered->fontMetrics().height() / 2));
        QCOMPARE(opened, QList<QUrl>{QUrl("https://example.org/a")});
        MarkdownAnswerView::setLinkOpener({});

        const QString big = QString("*slow* layout ").repeated(10000), small = "the *second* answer";
        QStringList shown;  // what each layout shown holds
        connect(view, &MarkdownAnswerView::rendered, this, [&] {
            view->selectAll();
            shown << view->selectedText().left(17);
        });
        view->setAnswer(big);
        QVERIFY(view->isRendering());
        QVERIFY(view->html().isEmpty());
        view->setAnswer(small);
        QTRY_VERIFY(!view->isRendering());
        QCOMPARE(shown, QStringList{"the second answer"});
        view->setAnswer(big);
        QTRY_VERIFY(view->html().contains("<i>slow</i>"));
        view->selectAll();
        QCOMPARE(view->selectedText(), QString("slow layout ").repeated(10000));

        // 300,000 bytes: the start as plain text, the whole in a viewer.
        const QString huge = QString(299999, 'x') + "\n";
        view->setAnswer(huge);
        auto* head = view->findChild<PlainTextViewer*>("answerHead");
        QVERIFY(view->isPlain());
        QVERIFY(head->isVisibleTo(&window));
        QVERIFY(view->html().isEmpty());
        QCOMPARE(head->text(), huge.left(MarkdownAnswerView::kShownPlainBytes));
        auto* all = view->findChild<QPushButton*>("showAllAnswer");
        QCOMPARE(all->text(), QStringLiteral("Show All (293 KB)"));
        all->click();
        auto* whole = view->findChild<PlainTextViewer*>("wholeAnswer");
        QVERIFY(whole);
        QVERIFY(whole->isWindow());
        QCOMPARE(whole->text(), huge);
        view->setAnswer(QString());
        QVERIFY(!view->isPlain());
        QVERIFY(!head->isVisibleTo(&window));
        QVERIFY(view->html().isEmpty());
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
            QVERIFY(!tip.contains("<img"));
            QVERIFY(!tip.contains("<b>"));
        }
        QCOMPARE(PlainText::toolTip(QString()), QString());
    }
};

QTEST_MAIN(TestTextViews)
#include "test_text_views.moc"
