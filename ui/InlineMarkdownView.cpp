#include "ui/InlineMarkdownView.h"

#include "ui/InlineMarkdown.h"
#include "ui/PlainText.h"
#include "ui/PlainTextViewer.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QBoxLayout>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFutureWatcher>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QThread>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>

#include <cmath>

namespace {

std::function<bool(const QUrl&)>& linkOpener()
{
    static std::function<bool(const QUrl&)> opener = [](const QUrl& u) { return QDesktopServices::openUrl(u); };
    return opener;
}

using Document = std::shared_ptr<QTextDocument>;

// Safe to run on any thread: a document of its own, handed to `home` when laid out.
Document layOut(const QString& html, const QFont& font, const QString& css, int width, QThread* home)
{
    // Let go of on the thread that owns it by then, whichever thread lets go.
    Document doc(new QTextDocument, [](QTextDocument* d) { d->deleteLater(); });
    doc->setUndoRedoEnabled(false);
    doc->setDocumentMargin(0);
    doc->setDefaultFont(font);
    doc->setDefaultStyleSheet(css);
    doc->setHtml(html);
    doc->setTextWidth(std::max(width, 1));
    doc->size();  // the whole layout, now
    doc->moveToThread(home);
    return doc;
}

}  // namespace

// The formatted answer: draws a laid-out document and keeps it laid out at
// its width, one worker job at a time.
class MarkdownAnswerView::Rendered : public QWidget {
public:
    explicit Rendered(MarkdownAnswerView* owner) : QWidget(owner), m_owner(owner)
    {
        setMouseTracking(true);
        setFocusPolicy(Qt::ClickFocus);
        connect(&m_watcher, &QFutureWatcherBase::finished, this, &Rendered::arrived);
    }

    // A new text: what was shown goes at once (it is another answer's).
    void setHtml(const QString& html, bool immediate)
    {
        m_html = html;
        ++m_text;
        m_immediate = immediate;
        m_anchor = m_position = 0;
        m_doc.reset();
        updateGeometry();
        update();
        if (!m_html.isEmpty())
            request();
    }
    // Font or colours changed: the same text laid out again, shown until then.
    void restyle()
    {
        ++m_style;
        if (!m_html.isEmpty())
            request();
    }
    const QString& html() const { return m_html; }
    bool hasLayout() const { return m_doc != nullptr && m_docText == m_text; }
    bool isBusy() const { return m_watcher.isRunning() || (!m_html.isEmpty() && !hasLayout()); }

    QString selectedText() const
    {
        if (!m_doc || m_anchor == m_position)
            return {};
        QTextCursor c(m_doc.get());
        c.setPosition(std::min(m_anchor, lastPosition()));
        c.setPosition(std::min(m_position, lastPosition()), QTextCursor::KeepAnchor);
        return c.selection().toPlainText();
    }
    void selectAll()
    {
        m_anchor = 0;
        m_position = lastPosition();
        update();
    }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int) const override { return contentHeight(); }
    QSize sizeHint() const override { return {200, contentHeight()}; }
    QSize minimumSizeHint() const override { return {40, contentHeight()}; }

protected:
    void paintEvent(QPaintEvent* e) override
    {
        if (!m_doc)
            return;
        QPainter p(this);
        QAbstractTextDocumentLayout::PaintContext ctx;
        ctx.clip = e->rect();
        ctx.palette = palette();
        ctx.palette.setColor(QPalette::Text, palette().color(QPalette::WindowText));
        if (m_anchor != m_position) {
            QTextCursor c(m_doc.get());
            c.setPosition(std::min(m_anchor, lastPosition()));
            c.setPosition(std::min(m_position, lastPosition()), QTextCursor::KeepAnchor);
            QTextCharFormat f;
            f.setBackground(palette().brush(QPalette::Highlight));
            f.setForeground(palette().brush(QPalette::HighlightedText));
            ctx.selections << QAbstractTextDocumentLayout::Selection{c, f};
        }
        p.setClipRect(e->rect());
        m_doc->documentLayout()->draw(&p, ctx);
    }

    void resizeEvent(QResizeEvent*) override
    {
        if (!m_html.isEmpty() && m_doc && width() != m_docWidth)
            request();
    }

    void mousePressEvent(QMouseEvent* e) override
    {
        if (!m_doc || e->button() != Qt::LeftButton)
            return;
        m_pressedLink = linkAt(e->position());
        m_anchor = m_position = positionAt(e->position());
        update();
    }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        if (!m_doc)
            return;
        setCursor(linkAt(e->position()).isEmpty() ? Qt::IBeamCursor : Qt::PointingHandCursor);
        if (e->buttons() & Qt::LeftButton) {
            m_position = positionAt(e->position());
            update();
        }
    }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        if (!m_doc || e->button() != Qt::LeftButton)
            return;
        const QString link = linkAt(e->position());
        if (m_anchor == m_position && !link.isEmpty() && link == m_pressedLink) {
            const QUrl url(link);
            const QString scheme = url.scheme().toLower();
            // The renderer makes no other links; the check stays next to the opening.
            if (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("mailto"))
                linkOpener()(url);
        }
        m_pressedLink.clear();
    }
    void keyPressEvent(QKeyEvent* e) override
    {
        if (e == QKeySequence::Copy)
            copy();
        else if (e == QKeySequence::SelectAll)
            selectAll();
        else
            QWidget::keyPressEvent(e);
    }
    void contextMenuEvent(QContextMenuEvent* e) override
    {
        QMenu menu(this);
        menu.addAction(tr("Copy"), this, &Rendered::copy)->setEnabled(m_anchor != m_position);
        menu.addAction(tr("Select All"), this, &Rendered::selectAll);
        menu.exec(e->globalPos());
    }

private:
    int contentHeight() const
    {
        if (m_doc)
            return int(std::ceil(m_doc->size().height()));
        return m_html.isEmpty() ? 0 : fontMetrics().height();
    }
    int lastPosition() const { return m_doc ? std::max(0, m_doc->characterCount() - 1) : 0; }
    int positionAt(QPointF at) const { return std::max(0, m_doc->documentLayout()->hitTest(at, Qt::FuzzyHit)); }
    QString linkAt(QPointF at) const { return m_doc->documentLayout()->anchorAt(at); }
    void copy() const
    {
        const QString text = selectedText();
        if (!text.isEmpty())
            QApplication::clipboard()->setText(text);
    }

    // One job at a time: one asked for while another runs is made when that
    // ends, with whatever is wanted by then.
    void request()
    {
        if (m_watcher.isRunning())
            return;
        const int w = std::max(width(), 1);
        const QString css = QStringLiteral("a { color: %1; }").arg(palette().color(QPalette::Link).name());
        if (m_immediate) {
            adopt(layOut(m_html, font(), css, w, thread()), m_text, m_style, w);
            return;
        }
        m_jobText = m_text;
        m_jobStyle = m_style;
        m_jobWidth = w;
        m_watcher.setFuture(QtConcurrent::run(layOut, m_html, font(), css, w, thread()));
    }

    void arrived()
    {
        if (m_watcher.future().resultCount() == 0)
            return;  // the empty future that lets go of the last result
        Document doc = m_watcher.result();
        m_watcher.setFuture(QFuture<Document>());
        // A layout of an earlier answer is dropped; one of this answer at
        // another width or style is shown until the next one comes.
        if (m_jobText == m_text)
            adopt(std::move(doc), m_jobText, m_jobStyle, m_jobWidth);
        if (!m_html.isEmpty() && (!hasLayout() || m_docStyle != m_style || m_docWidth != std::max(width(), 1)))
            request();
    }

    void adopt(Document doc, quint64 text, quint64 style, int width)
    {
        m_doc = std::move(doc);
        m_docText = text;
        m_docStyle = style;
        m_docWidth = width;
        updateGeometry();
        update();
        emit m_owner->rendered();
    }

    MarkdownAnswerView* m_owner;
    QString m_html;
    bool m_immediate = true;
    quint64 m_text = 0, m_style = 0;  // what is wanted
    Document m_doc;
    quint64 m_docText = 0, m_docStyle = 0;  // what is shown
    int m_docWidth = 0;
    QFutureWatcher<Document> m_watcher;
    quint64 m_jobText = 0, m_jobStyle = 0;
    int m_jobWidth = 0;
    int m_anchor = 0, m_position = 0;  // the selection, as document positions
    QString m_pressedLink;
};

MarkdownAnswerView::MarkdownAnswerView(QWidget* parent) : QWidget(parent)
{
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(4);
    m_rendered = new Rendered(this);
    m_rendered->setObjectName(QStringLiteral("answerRendered"));
    col->addWidget(m_rendered);
    m_head = new PlainTextViewer;
    m_head->setObjectName(QStringLiteral("answerHead"));
    m_head->setFittedToContent(true);
    m_head->hide();
    col->addWidget(m_head);
    m_longNote = new QWidget;
    auto* row = new QHBoxLayout(m_longNote);
    row->setContentsMargins(0, 0, 0, 0);
    auto* note = new QLabel(QStringLiteral("Too long to format: its start is shown as plain text."));
    note->setObjectName(QStringLiteral("answerLongNote"));
    note->setTextFormat(Qt::PlainText);
    row->addWidget(note);
    m_showAll = new QPushButton;
    m_showAll->setObjectName(QStringLiteral("showAllAnswer"));
    connect(m_showAll, &QPushButton::clicked, this, &MarkdownAnswerView::showAll);
    row->addWidget(m_showAll);
    row->addStretch(1);
    m_longNote->hide();
    col->addWidget(m_longNote);
}

MarkdownAnswerView::~MarkdownAnswerView() = default;

void MarkdownAnswerView::setAnswer(const QString& answer)
{
    if (answer == m_answer)
        return;
    m_answer = answer;
    const qsizetype bytes = PlainText::utf8Size(answer);
    m_plain = bytes > kFormattedBytes;
    if (m_plain) {
        m_rendered->setHtml(QString(), true);
        m_head->setText(answer.left(PlainText::charsInUtf8(answer, kShownPlainBytes)));
        m_showAll->setText(QStringLiteral("Show All (%1 KB)").arg((bytes + 1023) / 1024));
    } else {
        m_head->setText(QString());
        // Rendering is linear; 256 KiB takes a few tens of milliseconds.
        m_rendered->setHtml(answer.isEmpty() ? QString() : InlineMarkdown::toHtml(answer), bytes <= kImmediateBytes);
    }
    m_rendered->setVisible(!m_plain);
    m_head->setVisible(m_plain);
    m_longNote->setVisible(m_plain);
}

QString MarkdownAnswerView::html() const
{
    return m_rendered->hasLayout() ? m_rendered->html() : QString();
}

bool MarkdownAnswerView::isRendering() const
{
    return m_rendered->isBusy();
}

QString MarkdownAnswerView::selectedText() const
{
    return m_plain ? m_head->selectedText() : m_rendered->selectedText();
}

void MarkdownAnswerView::selectAll()
{
    if (m_plain)
        m_head->selectAll();
    else
        m_rendered->selectAll();
}

void MarkdownAnswerView::showAll()
{
    auto* viewer = new PlainTextViewer(this);
    viewer->setWindowFlag(Qt::Window);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->setObjectName(QStringLiteral("wholeAnswer"));
    viewer->setWindowTitle(QStringLiteral("AI Explanation"));
    viewer->setWrapping(true);
    viewer->setText(m_answer);
    viewer->resize(760, 520);
    viewer->show();
}

void MarkdownAnswerView::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::FontChange || e->type() == QEvent::PaletteChange)
        m_rendered->restyle();  // links take the palette's colour when laid out
}

MarkdownAnswerView* MarkdownAnswerView::showInPlaceOf(QLabel* label, const QString& answer)
{
    auto* view = label->property("answerView").value<MarkdownAnswerView*>();
    if (!view) {
        QWidget* parent = label->parentWidget();
        QBoxLayout* box = nullptr;
        int at = -1;
        // The layout holding the label, wherever it is nested.
        std::function<void(QLayout*)> find = [&](QLayout* l) {
            for (int i = 0; l && !box && i < l->count(); ++i) {
                if (l->itemAt(i)->widget() == label && qobject_cast<QBoxLayout*>(l)) {
                    box = static_cast<QBoxLayout*>(l);
                    at = i;
                } else {
                    find(l->itemAt(i)->layout());
                }
            }
        };
        find(parent ? parent->layout() : nullptr);
        if (!box) {  // nowhere to go: the label shows the start as plain text
            label->setTextFormat(Qt::PlainText);
            label->setText(answer.left(4096));
            return nullptr;
        }
        view = new MarkdownAnswerView(parent);
        view->setObjectName(label->objectName());
        view->setFont(label->font());
        box->insertWidget(at + 1, view);
        view->setVisible(!label->isHidden());
        label->setProperty("answerView", QVariant::fromValue(view));
        label->clear();
        label->hide();
    }
    view->setAnswer(answer);
    return view;
}

void MarkdownAnswerView::setLinkOpener(std::function<bool(const QUrl&)> opener)
{
    linkOpener() = opener ? std::move(opener) : [](const QUrl& u) { return QDesktopServices::openUrl(u); };
}
