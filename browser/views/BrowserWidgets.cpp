#include "browser/views/BrowserWidgets.h"

#include "browser/views/LogRowDelegate.h"
#include "ui/SeverityPalette.h"
#include "ui/TextStyles.h"
#include "ui/ViewStyle.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

// ---- FieldEdit

bool FieldEdit::event(QEvent* e)
{
    if (e->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(e);
        // A line edit claims Copy even with nothing selected.
        if (key->matches(QKeySequence::Copy) && !hasSelectedText()) {
            e->ignore();
            return true;
        }
        // Escape is the window's (it clears the selection) unless there is text to clear.
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier && !text().isEmpty()) {
            e->accept();
            return true;
        }
    }
    return QLineEdit::event(e);
}

void FieldEdit::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier && !text().isEmpty()) {
        clear();
        return;
    }
    QLineEdit::keyPressEvent(e);
}

// ---- SeverityChip

SeverityChip::SeverityChip(SeverityLevel level, QWidget* parent) : QAbstractButton(parent), m_level(level)
{
    setCheckable(true);
    setText(Severity::label(level));
    setCursor(Qt::PointingHandCursor);
    setFont(TextStyles::font(TextStyles::Style::caption, false, QFont::Medium));
    setObjectName(QStringLiteral("chip_") + Severity::label(level));
    // Tab reaches it; a click leaves the focus where it was (the list keeps the arrow keys).
    setFocusPolicy(Qt::TabFocus);
}

QSize SeverityChip::sizeHint() const
{
    const QFontMetrics fm(font());
    // 3 pixels each side hold the focus ring apart from the capsule.
    return QSize(fm.horizontalAdvance(text()) + 26, fm.height() + 14);
}

ViewStyle::ChipColors SeverityChip::colors(SeverityLevel level, bool active, const QPalette& palette)
{
    const bool dark = palette.color(QPalette::Window).lightness() < 128;
    return ViewStyle::chipColors(SeverityPalette::colors(Severity::logLevel(level), dark).tone, active, palette);
}

void SeverityChip::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const ViewStyle::ChipColors c = colors(m_level, isChecked(), palette());
    const QRectF r = QRectF(rect()).adjusted(3.5, 3.5, -3.5, -3.5);
    const qreal radius = r.height() / 2;
    p.setBrush(isChecked() ? QBrush(c.fill) : QBrush(Qt::NoBrush));
    p.setPen(QPen(c.outline, 1));
    p.drawRoundedRect(r, radius, radius);
    p.setPen(c.text);
    p.drawText(rect(), Qt::AlignCenter, text());
    if (hasFocus())
        ViewStyle::drawFocusRing(&p, rect(), height() / 2.0, this);
}

// ---- LogHeader

LogHeader::LogHeader(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setFont(TextStyles::font(TextStyles::Style::caption, false, QFont::DemiBold));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void LogHeader::setColumns(const QList<ColumnId>& visible)
{
    m_columns = visible;
    update();
}

void LogHeader::setSort(ColumnId column, bool ascending)
{
    if (column == m_sortColumn && ascending == m_ascending)
        return;  // set again after every keystroke: no repaint for nothing
    m_sortColumn = column;
    m_ascending = ascending;
    update();
}

void LogHeader::setWidths(const RowLayout::Widths& widths)
{
    m_widths = widths;
    update();
}

QList<ColumnId> LogHeader::columns() const
{
    QList<ColumnId> ids;
    for (const ColumnSpec& c : Columns::all())
        if (!c.optional || m_columns.contains(c.id))
            ids << c.id;
    return ids;
}

QStringList LogHeader::labels() const
{
    QStringList l;
    for (ColumnId c : columns())
        l << Columns::title(c);
    return l;
}

QString LogHeader::shownText(ColumnId c) const
{
    const QString title = Columns::title(c);
    if (c != m_sortColumn)
        return title;
    return title + (m_ascending ? QStringLiteral(" \u2191") : QStringLiteral(" \u2193"));
}

QRect LogHeader::cellRect(ColumnId c) const
{
    return RowLayout::cellOf(RowLayout::cells(rect(), m_columns, m_widths), c, m_columns);
}

QRect LogHeader::labelRect(ColumnId c) const
{
    const QRect cell = cellRect(c);
    if (cell.isNull())
        return {};
    // Only the label itself is clickable, not the empty rest of its cell.
    const int w = qMin(cell.width(), QFontMetrics(font()).horizontalAdvance(shownText(c)) + 4);
    return QRect(cell.left(), cell.top(), w, cell.height());
}

std::optional<ColumnId> LogHeader::labelAt(const QPoint& pos) const
{
    for (ColumnId c : columns())
        if (labelRect(c).contains(pos))
            return c;
    return std::nullopt;
}

std::optional<ColumnId> LogHeader::edgeAt(const QPoint& pos) const
{
    // The gap after a cell, and a few pixels either side of it.
    for (ColumnId c : columns()) {
        if (m_widths.of(c) < 0 || m_widths.empty[size_t(c)])  // an empty column keeps the floor
            continue;
        const int edge = cellRect(c).right() + 1 + RowLayout::spacing / 2;
        if (qAbs(pos.x() - edge) <= RowLayout::spacing / 2 + 2)
            return c;
    }
    return std::nullopt;
}

QSize LogHeader::sizeHint() const
{
    return QSize(600, QFontMetrics(font()).height() + 8);
}

void LogHeader::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), ViewStyle::withAlpha(palette().color(QPalette::WindowText), 0.04));
    p.setPen(ViewStyle::secondary(this));
    const QFontMetrics fm(font());
    for (ColumnId c : columns()) {
        // A label wider than its (narrowed) cell is elided, not drawn over the next one.
        const QRect r = labelRect(c);
        p.drawText(r.adjusted(0, 0, 4, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   fm.elidedText(shownText(c), Qt::ElideRight, r.width()));
    }
    p.setPen(ViewStyle::separator(this));
    p.drawLine(0, height() - 1, width(), height() - 1);
}

void LogHeader::mouseMoveEvent(QMouseEvent* e)
{
    const QPoint pos = e->position().toPoint();
    if (m_dragged) {
        const int w = qBound(RowLayout::minimumColumnWidth, m_dragFromWidth + pos.x() - m_dragFromX,
                             RowLayout::maximumColumnWidth);
        if (w != m_widths.of(*m_dragged))
            emit columnResized(*m_dragged, w);
        return;
    }
    if (edgeAt(pos))
        setCursor(Qt::SplitHCursor);
    else if (!labelAt(pos))
        unsetCursor();
    else
        setCursor(Qt::PointingHandCursor);
}

void LogHeader::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    // An edge is grabbed before the label it may touch. The drag starts from
    // the width shown, which a narrow window may have cut.
    if (const std::optional<ColumnId> edge = edgeAt(e->position().toPoint())) {
        m_dragged = edge;
        m_dragFromX = e->position().toPoint().x();
        m_dragFromWidth = cellRect(*edge).width();
        return;
    }
    if (const std::optional<ColumnId> c = labelAt(e->position().toPoint()))
        emit labelClicked(*c);
}

void LogHeader::mouseReleaseEvent(QMouseEvent*)
{
    m_dragged.reset();
}

void LogHeader::leaveEvent(QEvent*)
{
    unsetCursor();
}
