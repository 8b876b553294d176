#include "browser/views/LogRowDelegate.h"

#include "browser/EntryText.h"
#include "browser/Marks.h"
#include "browser/views/LogListModel.h"
#include "logs/VisibleText.h"
#include "ui/PlainText.h"
#include "ui/SeverityPalette.h"
#include "ui/TextStyles.h"
#include "ui/ViewStyle.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QTextLayout>

#include <QToolTip>
#include <algorithm>
#include <cmath>

using ViewStyle::grey;

LogRowDelegate::LogRowDelegate(const LogListModel* model, const RowContext* context, QObject* parent)
    : QStyledItemDelegate(parent), m_model(model), m_ctx(context)
{
}

QFont LogRowDelegate::rowFont()
{
    return TextStyles::font(TextStyles::Style::caption, true);
}

QFont LogRowDelegate::badgeFont()
{
    return TextStyles::font(TextStyles::Style::caption, true, QFont::Bold);
}

int LogRowDelegate::rowHeight()
{
    return QFontMetrics(rowFont()).height() + 10;
}

QSize LogRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    return QSize(600, rowHeight());
}

QColor LogRowDelegate::rowBackground(const LogEntry&, bool dark, bool selected, bool highlighted, const QColor& accent)
{
    if (highlighted)
        return ViewStyle::withAlpha(accent, 0.60);
    if (selected)
        return ViewStyle::withAlpha(accent, dark ? 0.25 : 0.15);
    return dark ? QColor(Qt::transparent) : QColor(Qt::white);
}

namespace {
// The part of a text that fits on one line: line breaks become spaces and
// very long texts are cut before measuring, which keeps painting cheap.
QString oneLine(const QString& s)
{
    QString t = s.left(600);
    for (QChar& c : t)
        if (c == u'\n' || c == u'\r' || c == u'\t' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    // A bidirectional override would make the cell show another name.
    return VisibleText::showingBidiControls(t);
}

// Shaped once: most cells fit, and measuring before drawing would shape
// each text twice on every repaint of the list. Returns false for a cut text
// that fits: it was cut too short to say whether the whole one does.
bool drawLine(QPainter* p, const QRect& r, const QString& text, const QFontMetrics& fm, bool cut)
{
    QTextLayout layout(text, p->font(), p->device());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    if (!line.isValid())
        return true;
    if (line.naturalTextWidth() > r.width()) {
        p->drawText(r, Qt::AlignLeft | Qt::AlignVCenter, fm.elidedText(text, Qt::ElideRight, r.width()));
        return true;
    }
    if (cut)
        return false;
    line.draw(p, QPointF(r.left(), r.top() + (r.height() - line.height()) / 2));
    return true;
}

// Shaping costs by the character: a long text is first cut to a little more
// than the cell shows at the font's average width (narrower characters, such
// as combining marks, may make the cut fit, and then the whole is laid out).
void drawCell(QPainter* p, const QRect& r, const QString& text, const QFontMetrics& fm)
{
    const qsizetype room = qsizetype(std::max(0, r.width())) * 5 / 4 / std::max(1, fm.averageCharWidth()) + 8;
    if (text.size() <= room || !drawLine(p, r, text.left(room), fm, true))
        drawLine(p, r, text, fm, false);
}
}  // namespace

const QStaticText& LogRowDelegate::ShapedTexts::get(const QString& text, const QFont& f)
{
    // Bounded: a column of unique values (thread IDs) only cycles the cache.
    if (f != font || texts.size() >= 1024) {
        texts.clear();
        font = f;
    }
    auto it = texts.find(text);
    if (it == texts.end()) {
        QStaticText shaped(oneLine(text));
        shaped.setTextFormat(Qt::PlainText);  // never guessed as rich text
        shaped.setTextOption(QTextOption(Qt::AlignLeft | Qt::AlignVCenter));
        shaped.prepare(QTransform(), font);
        it = texts.insert(text, shaped);
    }
    return *it;
}

void LogRowDelegate::drawRepeated(QPainter* p, const QRect& r, const QString& text, const QFontMetrics& fm,
                                  ShapedTexts& cache) const
{
    const QStaticText& shaped = cache.get(text, p->font());
    const QSizeF size = shaped.size();
    if (size.width() > r.width()) {
        drawCell(p, r, shaped.text(), fm);  // the cut line: a name may be megabytes
        return;
    }
    p->drawStaticText(QPointF(r.left(), r.top() + (r.height() - size.height()) / 2), shaped);
}

void LogRowDelegate::paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (!index.isValid() || index.row() >= m_model->rowCount())
        return;
    const LogEntry& e = m_model->entryAt(index.row());
    const bool dark = m_ctx->dark;
    const QRect r = option.rect;
    const bool highlighted = m_ctx->highlightedID && *m_ctx->highlightedID == e.id;
    const bool selected = m_ctx->selectedID && *m_ctx->selectedID == e.id;
    const QColor accent = option.palette.color(QPalette::Highlight);
    const SeverityPalette::Colors& level = SeverityPalette::colors(e.level, dark);

    p->save();
    p->fillRect(r, rowBackground(e, dark, selected, highlighted, accent));
    if (!dark) {
        // The severity tint sits on the row content, inset from the row so
        // that the selection behind it frames the row; the selection is laid
        // over the tint too, or an opaque tint would all but hide it.
        const QRect content = r.adjusted(4, 1, -4, -1);
        p->fillRect(content, level.rowTint);
        if (selected || highlighted)
            p->fillRect(content, rowBackground(e, dark, selected, highlighted, accent));
    }

    const QFont font = rowFont();
    const QFontMetrics fm(font);
    p->setFont(font);
    const RowLayout::Cells cells = RowLayout::cells(r, m_ctx->visibleColumns, m_ctx->widths);

    p->setPen(dark ? grey(0.6) : QColor(Qt::black));
    drawCell(p, cells.time, EntryText::timeString(e.date), fm);

    // Severity badge.
    const QFont bf = badgeFont();
    const QFontMetrics bfm(bf);
    p->setFont(bf);
    const QString label = e.levelLabel();
    if (dark) {
        p->setPen(level.label);
        drawRepeated(p, cells.severity, label, bfm, m_badgeTexts);
    } else {
        // Sized from the fractional advance: a whole-pixel width would elide the label it was measured from.
        const qreal room = cells.severity.width() - 12;
        const qreal advance = QFontMetricsF(bf).horizontalAdvance(label);
        const qreal tw = std::min(std::ceil(advance), room);
        const int th = bfm.height();
        QRectF pill(cells.severity.left(), cells.severity.center().y() - th / 2.0 - 2, tw + 12, th + 4);
        p->setRenderHint(QPainter::Antialiasing, true);
        p->setPen(Qt::NoPen);
        p->setBrush(level.tone);
        p->drawRoundedRect(pill, 4, 4);
        p->setPen(level.badgeText);
        p->drawText(pill, Qt::AlignCenter, advance <= room ? label : bfm.elidedText(label, Qt::ElideRight, int(room)));
    }
    p->setFont(font);

    const QColor secondaryText = dark ? grey(0.6) : ViewStyle::charcoal();
    p->setPen(secondaryText);
    const QString shown = m_ctx->displayName ? m_ctx->displayName(e) : e.process;
    drawRepeated(p, cells.process, shown, fm, m_rowTexts);
    for (int i = 0; i < cells.columns.size(); ++i)
        drawRepeated(p, cells.columns[i], Columns::text(m_ctx->visibleColumns[i], e), fm, m_rowTexts);

    p->setPen(level.message);
    drawCell(p, cells.message, oneLine(e.message), fm);

    // A mark: a solid accent bar in the gutter left of the time, over any
    // tint and selection (which are the accent at a quarter at most), clear
    // of the list's focus ring.
    if (m_ctx->marks && m_ctx->marks->isMarked(e))
        p->fillRect(QRect(r.left() + 2, r.top() + 1, 4, r.height() - 2), accent);
    p->restore();
}

QString LogRowDelegate::tooltipAt(const QRect& rect, const QPoint& pos, const LogEntry& e) const
{
    const RowLayout::Cells cells = RowLayout::cells(rect, m_ctx->visibleColumns, m_ctx->widths);
    if (cells.process.contains(pos))
        return VisibleText::shownName(e.process);
    for (int i = 0; i < cells.columns.size(); ++i) {
        if (!cells.columns[i].contains(pos))
            continue;
        const ColumnId column = m_ctx->visibleColumns[i];
        const QString text = VisibleText::shownName(Columns::text(column, e));
        if (column != ColumnId::pid)
            return text;
        // A PID names its process too: the name the list shows, translated by
        // the table of the entry's origin, else raw.
        const QString friendly = m_ctx->displayName ? m_ctx->displayName(e) : e.process;
        return friendly.isEmpty() ? text : text + QStringLiteral(" — ") + VisibleText::shownName(friendly);
    }
    return {};
}

bool LogRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                               const QModelIndex& index)
{
    if (event->type() != QEvent::ToolTip || !index.isValid() || index.row() >= m_model->rowCount())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    return PlainText::answerToolTip(event, tooltipAt(option.rect, event->pos(), m_model->entryAt(index.row())), view);
}
