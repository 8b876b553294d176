#include "ui/PlainTextViewer.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kTab = 4;

// Display width of one character at display column `col`.
int widthAt(QChar c, int col)
{
    return c == QLatin1Char('\t') ? kTab - col % kTab : 1;
}

// What a character looks like in a row: controls as their visible symbols,
// so that nothing in the text moves or hides other text.
QChar shown(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x20)
        return QChar(char16_t(0x2400 + u));
    if (u == 0x7f)
        return QChar(char16_t(0x2421));
    if (u == 0x2028 || u == 0x2029)
        return QChar(char16_t(0x21b5));
    return c;
}

// Start offsets of the display rows into `rows`, in one pass: a row ends at a
// line break or after `cols` characters, with wrapping after its last space
// when it has one, and never inside a surrogate pair. Returns the longest row.
qsizetype breakRows(const QString& text, qsizetype cols, bool wrap, std::vector<qsizetype>* rows)
{
    rows->clear();
    rows->push_back(0);
    qsizetype longest = 0;
    const QChar* s = text.constData();
    const qsizetype n = text.size();
    qsizetype start = 0, lastSpace = -1;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = s[i];
        if (c == QLatin1Char('\n')) {
            longest = std::max(longest, i - start);
            start = i + 1;
            lastSpace = -1;
            rows->push_back(start);
            continue;
        }
        if (i - start == cols) {
            qsizetype b = (wrap && lastSpace > start) ? lastSpace + 1 : i;
            if (s[b].isLowSurrogate() && b - 1 > start)
                --b;
            longest = std::max(longest, b - start);
            start = b;
            lastSpace = -1;
            rows->push_back(start);
        }
        if (c == QLatin1Char(' '))
            lastSpace = i;
    }
    return std::max(longest, n - start);
}

}  // namespace

PlainTextViewer::PlainTextViewer(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void PlainTextViewer::setText(const QString& text)
{
    m_text = text;
    m_anchor = m_cursor = 0;
    m_hfwWidth = -1;
    relayout();
    if (m_fit)
        updateGeometry();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
}

void PlainTextViewer::setWrapping(bool wrap)
{
    if (m_wrap == wrap)
        return;
    m_wrap = wrap;
    setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    relayout();
}

double PlainTextViewer::charWidth() const
{
    return std::max(1.0, QFontMetricsF(font()).horizontalAdvance(QLatin1Char('M')));
}

int PlainTextViewer::rowHeight() const
{
    return QFontMetrics(font()).lineSpacing();
}

int PlainTextViewer::visibleRows() const
{
    return std::max(1, (viewport()->height() - 2 * m_margin) / rowHeight());
}

int PlainTextViewer::contentHeight() const
{
    int h = rowCount() * rowHeight() + 2 * m_margin + 2 * frameWidth();
    if (!m_wrap && m_longestRow * charWidth() + 2 * m_margin > viewport()->width())
        h += horizontalScrollBar()->sizeHint().height();
    return h;
}

qsizetype PlainTextViewer::columnsFor(int viewportWidth) const
{
    return m_wrap ? std::max<qsizetype>(8, qsizetype((viewportWidth - 2 * m_margin) / charWidth())) : kMaxRow;
}

void PlainTextViewer::relayout()
{
    const qsizetype topOffset = m_rows.empty() ? 0 : rowStart(std::min(verticalScrollBar()->value(), rowCount() - 1));
    const int before = rowCount();
    m_wrapColumns = int(columnsFor(viewport()->width()));
    m_longestRow = breakRows(m_text, m_wrapColumns, m_wrap, &m_rows);
    updateScrollBars();
    verticalScrollBar()->setValue(rowAt(topOffset));
    viewport()->update();
    if (m_fit && rowCount() != before)
        updateGeometry();
}

int PlainTextViewer::heightForWidth(int width) const
{
    if (!m_fit)
        return QAbstractScrollArea::heightForWidth(width);
    if (width != m_hfwWidth) {
        std::vector<qsizetype> rows;
        breakRows(m_text, columnsFor(width - 2 * frameWidth()), m_wrap, &rows);
        m_hfwWidth = width;
        m_hfwHeight = int(rows.size()) * rowHeight() + 2 * m_margin + 2 * frameWidth();
    }
    return m_hfwHeight;
}

QSize PlainTextViewer::sizeHint() const
{
    if (!m_fit)
        return QAbstractScrollArea::sizeHint();
    const int w = std::max(width(), 100);
    return {w, heightForWidth(w)};
}

QSize PlainTextViewer::minimumSizeHint() const
{
    return m_fit ? QSize(50, rowHeight() + 2 * m_margin) : QAbstractScrollArea::minimumSizeHint();
}

void PlainTextViewer::setFittedToContent(bool fit)
{
    m_fit = fit;
    m_margin = fit ? 0 : 4;
    setFrameShape(fit ? QFrame::NoFrame : QFrame::StyledPanel);
    setVerticalScrollBarPolicy(fit ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    const auto policy = fit ? QSizePolicy::Preferred : QSizePolicy::Expanding;
    setSizePolicy(policy, policy);
    m_hfwWidth = -1;
    if (fit && !m_wrap)
        setWrapping(true);
    else
        relayout();
    updateGeometry();
}

void PlainTextViewer::updateScrollBars()
{
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, std::max(0, rowCount() - visibleRows()));
    v->setPageStep(visibleRows());
    v->setSingleStep(1);
    QScrollBar* h = horizontalScrollBar();
    const int width = int(std::ceil(m_longestRow * charWidth())) + 2 * m_margin;
    h->setRange(0, m_wrap ? 0 : std::max(0, width - viewport()->width()));
    h->setPageStep(viewport()->width());
    h->setSingleStep(int(charWidth() * 4));
}

qsizetype PlainTextViewer::rowEnd(int row) const
{
    qsizetype end = row + 1 < rowCount() ? rowStart(row + 1) : m_text.size();
    if (end > rowStart(row) && m_text.at(end - 1) == QLatin1Char('\n')) {
        --end;
        if (end > rowStart(row) && m_text.at(end - 1) == QLatin1Char('\r'))
            --end;
    }
    return end;
}

QString PlainTextViewer::rowText(int row) const
{
    if (row < 0 || row >= rowCount())
        return {};
    return m_text.mid(rowStart(row), rowEnd(row) - rowStart(row));
}

QString PlainTextViewer::shownRow(int row) const
{
    const QString text = rowText(row);  // a view of the temporary would dangle in the loop
    QString line;
    int col = 0;
    for (QChar c : text) {
        const int w = widthAt(c, col);
        if (c == QLatin1Char('\t'))
            line.append(QString(w, QLatin1Char(' ')));
        else
            line.append(shown(c));
        col += w;
    }
    return line;
}

int PlainTextViewer::columnOf(int row, qsizetype offset) const
{
    int col = 0;
    for (qsizetype i = rowStart(row); i < offset; ++i)
        col += widthAt(m_text.at(i), col);
    return col;
}

int PlainTextViewer::rowAt(qsizetype offset) const
{
    const auto it = std::upper_bound(m_rows.begin(), m_rows.end(), offset);
    return int(std::max<std::ptrdiff_t>(0, (it - m_rows.begin()) - 1));
}

int PlainTextViewer::firstVisibleRow() const
{
    return verticalScrollBar()->value();
}

int PlainTextViewer::lastVisibleRow() const
{
    return std::min(rowCount(), firstVisibleRow() + visibleRows()) - 1;
}

void PlainTextViewer::scrollToEnd()
{
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

// ---------------------------------------------------------------- selection

QString PlainTextViewer::selectedText() const
{
    const qsizetype a = std::min(m_anchor, m_cursor), b = std::max(m_anchor, m_cursor);
    return m_text.mid(a, b - a);
}

void PlainTextViewer::selectAll()
{
    m_anchor = 0;
    m_cursor = m_text.size();
    viewport()->update();
}

void PlainTextViewer::copy() const
{
    const QString s = selectedText();
    if (!s.isEmpty())
        QApplication::clipboard()->setText(s);
}

qsizetype PlainTextViewer::offsetAt(const QPoint& pos) const
{
    const int row = std::clamp(firstVisibleRow() + (pos.y() - m_margin) / rowHeight(), 0, rowCount() - 1);
    const double x = pos.x() + horizontalScrollBar()->value() - m_margin;
    const qsizetype start = rowStart(row), end = rowEnd(row);
    int col = 0;
    for (qsizetype i = start; i < end; ++i) {
        const int w = widthAt(m_text.at(i), col);
        if (x < (col + w / 2.0) * charWidth())
            return i;
        col += w;
    }
    return end;
}

// ---------------------------------------------------------------- events

bool PlainTextViewer::event(QEvent* e)
{
    // Copy and Select All act on this text, not through a window's shortcut.
    if (e->type() == QEvent::ShortcutOverride) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->matches(QKeySequence::Copy) || k->matches(QKeySequence::SelectAll)) {
            e->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(e);
}

void PlainTextViewer::paintEvent(QPaintEvent* e)
{
    QPainter p(viewport());
    p.setFont(font());
    p.setLayoutDirection(Qt::LeftToRight);
    const QPalette& pal = palette();
    p.fillRect(viewport()->rect(), pal.color(QPalette::Base));
    const double cw = charWidth();
    const int rh = rowHeight();
    const int ascent = QFontMetrics(font()).ascent();
    const int hx = horizontalScrollBar()->value();
    const qsizetype selA = std::min(m_anchor, m_cursor), selB = std::max(m_anchor, m_cursor);
    // Only the rows in the exposed part: fitted, the whole text is "in view".
    const int top = firstVisibleRow();
    const int first = top + std::max(0, (e->rect().top() - m_margin) / rh);
    const int last = std::min({rowCount() - 1, top + visibleRows(), top + (e->rect().bottom() - m_margin) / rh});
    for (int row = first; row <= last; ++row) {
        const int y = m_margin + (row - top) * rh;
        const qsizetype start = rowStart(row), end = rowEnd(row);
        const QString line = shownRow(row);
        p.setPen(pal.color(QPalette::Text));
        p.drawText(QPointF(m_margin - hx, y + ascent), line);
        if (selA < end && selB > start) {
            const double from = columnOf(row, std::max(selA, start));
            const double to = columnOf(row, std::min(selB, end)) + (selB > end ? 0.5 : 0);
            const QRectF sel(m_margin - hx + from * cw, y, (to - from) * cw, rh);
            p.fillRect(sel, pal.color(QPalette::Highlight));
            p.save();
            p.setClipRect(sel);
            p.setPen(pal.color(QPalette::HighlightedText));
            p.drawText(QPointF(m_margin - hx, y + ascent), line);
            p.restore();
        }
    }
}

void PlainTextViewer::resizeEvent(QResizeEvent* e)
{
    QAbstractScrollArea::resizeEvent(e);
    if (m_wrap && m_wrapColumns != std::max(8, int((viewport()->width() - 2 * m_margin) / charWidth())))
        relayout();
    else
        updateScrollBars();
}

void PlainTextViewer::changeEvent(QEvent* e)
{
    QAbstractScrollArea::changeEvent(e);
    if (e->type() == QEvent::FontChange) {
        m_hfwWidth = -1;
        relayout();
        if (m_fit)
            updateGeometry();
    }
}

void PlainTextViewer::keyPressEvent(QKeyEvent* e)
{
    if (e->matches(QKeySequence::Copy)) {
        copy();
    } else if (e->matches(QKeySequence::SelectAll)) {
        selectAll();
    } else if (m_fit) {
        e->ignore();  // the scrolling parent moves
        return;
    } else if (e->key() == Qt::Key_Home || e->matches(QKeySequence::MoveToStartOfDocument)) {
        verticalScrollBar()->setValue(0);
    } else if (e->key() == Qt::Key_End || e->matches(QKeySequence::MoveToEndOfDocument)) {
        scrollToEnd();
    } else {
        QAbstractScrollArea::keyPressEvent(e);
        return;
    }
    e->accept();
}

void PlainTextViewer::wheelEvent(QWheelEvent* e)
{
    if (m_fit)
        e->ignore();
    else
        QAbstractScrollArea::wheelEvent(e);
}

void PlainTextViewer::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    const QPoint pos = e->position().toPoint();
    m_selectedWhole = m_sinceDoubleClick.isValid() &&
                      m_sinceDoubleClick.elapsed() < QApplication::doubleClickInterval() &&
                      (pos - m_doubleClickPos).manhattanLength() <= QApplication::startDragDistance();
    m_sinceDoubleClick.invalidate();
    const qsizetype at = offsetAt(pos);
    if (m_selectedWhole) {
        // The line as the text has it, not the display row; without its break.
        const qsizetype from = at > 0 ? m_text.lastIndexOf(u'\n', at - 1) + 1 : 0;
        qsizetype to = m_text.indexOf(u'\n', at);
        if (to < 0)
            to = m_text.size();
        if (to > from && m_text.at(to - 1) == u'\r')
            --to;
        m_anchor = from;
        m_cursor = to;
    } else {
        m_cursor = at;
        if (!(e->modifiers() & Qt::ShiftModifier))
            m_anchor = m_cursor;
    }
    viewport()->update();
}

void PlainTextViewer::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    m_sinceDoubleClick.start();
    m_doubleClickPos = e->position().toPoint();
    // The word at either side of the nearest boundary; elsewhere the character.
    const auto inWord = [](QChar c) { return c.isLetterOrNumber() || c.isMark() || c == u'_'; };
    const qsizetype at = offsetAt(m_doubleClickPos), n = m_text.size();
    qsizetype from = at, to = at;
    while (from > 0 && inWord(m_text.at(from - 1)))
        --from;
    while (to < n && inWord(m_text.at(to)))
        ++to;
    if (from == to && to < n && m_text.at(to) != u'\n')
        to += m_text.at(to).isHighSurrogate() && to + 1 < n ? 2 : 1;
    m_anchor = from;
    m_cursor = to;
    m_selectedWhole = true;
    viewport()->update();
}

void PlainTextViewer::mouseMoveEvent(QMouseEvent* e)
{
    if (!(e->buttons() & Qt::LeftButton) || m_selectedWhole)
        return;
    m_cursor = offsetAt(e->position().toPoint());
    viewport()->update();
}

void PlainTextViewer::contextMenuEvent(QContextMenuEvent* e)
{
    QMenu menu(this);
    QAction* copyAction = menu.addAction(QStringLiteral("Copy"), this, &PlainTextViewer::copy);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(m_anchor != m_cursor);
    menu.addAction(QStringLiteral("Select All"), this, &PlainTextViewer::selectAll)->setShortcut(QKeySequence::SelectAll);
    menu.exec(e->globalPos());
}
