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

constexpr int kMargin = 4;
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
    relayout();
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
    return std::max(1, (viewport()->height() - 2 * kMargin) / rowHeight());
}

int PlainTextViewer::contentHeight() const
{
    int h = rowCount() * rowHeight() + 2 * kMargin + 2 * frameWidth();
    if (!m_wrap && m_longestRow * charWidth() + 2 * kMargin > viewport()->width())
        h += horizontalScrollBar()->sizeHint().height();
    return h;
}

// One pass over the text; with wrapping, each row breaks after its last
// space when it has one. Rows never split a surrogate pair.
void PlainTextViewer::relayout()
{
    const qsizetype topOffset = m_rows.empty() ? 0 : rowStart(std::min(verticalScrollBar()->value(), rowCount() - 1));
    const qsizetype cols =
        m_wrap ? std::max<qsizetype>(8, qsizetype((viewport()->width() - 2 * kMargin) / charWidth())) : kMaxRow;
    m_wrapColumns = int(cols);
    m_rows.clear();
    m_rows.push_back(0);
    m_longestRow = 0;
    const QChar* s = m_text.constData();
    const qsizetype n = m_text.size();
    qsizetype start = 0, lastSpace = -1;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = s[i];
        if (c == QLatin1Char('\n')) {
            m_longestRow = std::max(m_longestRow, i - start);
            start = i + 1;
            lastSpace = -1;
            m_rows.push_back(start);
            continue;
        }
        if (i - start == cols) {
            qsizetype b = (m_wrap && lastSpace > start) ? lastSpace + 1 : i;
            if (s[b].isLowSurrogate() && b - 1 > start)
                --b;
            m_longestRow = std::max(m_longestRow, b - start);
            start = b;
            lastSpace = -1;
            m_rows.push_back(start);
        }
        if (c == QLatin1Char(' '))
            lastSpace = i;
    }
    m_longestRow = std::max(m_longestRow, n - start);
    updateScrollBars();
    verticalScrollBar()->setValue(rowAt(topOffset));
    viewport()->update();
}

void PlainTextViewer::updateScrollBars()
{
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, std::max(0, rowCount() - visibleRows()));
    v->setPageStep(visibleRows());
    v->setSingleStep(1);
    QScrollBar* h = horizontalScrollBar();
    const int width = int(std::ceil(m_longestRow * charWidth())) + 2 * kMargin;
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
    QString line;
    int col = 0;
    for (QChar c : QStringView(rowText(row))) {
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
    const int row = std::clamp(firstVisibleRow() + (pos.y() - kMargin) / rowHeight(), 0, rowCount() - 1);
    const double x = pos.x() + horizontalScrollBar()->value() - kMargin;
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

void PlainTextViewer::paintEvent(QPaintEvent*)
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
    const int first = firstVisibleRow();
    const int last = std::min(rowCount() - 1, first + visibleRows());  // a partly shown row too
    for (int row = first; row <= last; ++row) {
        const int y = kMargin + (row - first) * rh;
        const qsizetype start = rowStart(row), end = rowEnd(row);
        if (selA < end && selB > start) {
            const double from = columnOf(row, std::max(selA, start));
            const double to = columnOf(row, std::min(selB, end)) + (selB > end ? 0.5 : 0);
            p.fillRect(QRectF(kMargin - hx + from * cw, y, (to - from) * cw, rh), pal.color(QPalette::Highlight));
        }
        p.setPen(pal.color(QPalette::Text));
        p.drawText(QPointF(kMargin - hx, y + ascent), shownRow(row));
    }
}

void PlainTextViewer::resizeEvent(QResizeEvent* e)
{
    QAbstractScrollArea::resizeEvent(e);
    if (m_wrap && m_wrapColumns != std::max(8, int((viewport()->width() - 2 * kMargin) / charWidth())))
        relayout();
    else
        updateScrollBars();
}

void PlainTextViewer::changeEvent(QEvent* e)
{
    QAbstractScrollArea::changeEvent(e);
    if (e->type() == QEvent::FontChange)
        relayout();
}

void PlainTextViewer::keyPressEvent(QKeyEvent* e)
{
    if (e->matches(QKeySequence::Copy)) {
        copy();
    } else if (e->matches(QKeySequence::SelectAll)) {
        selectAll();
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

void PlainTextViewer::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    m_cursor = offsetAt(e->position().toPoint());
    if (!(e->modifiers() & Qt::ShiftModifier))
        m_anchor = m_cursor;
    viewport()->update();
}

void PlainTextViewer::mouseMoveEvent(QMouseEvent* e)
{
    if (!(e->buttons() & Qt::LeftButton))
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
