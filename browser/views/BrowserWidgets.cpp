#include "browser/views/BrowserWidgets.h"

#include "browser/views/LogRowDelegate.h"
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
    LogEntry e;
    e.level = Severity::logLevel(level);
    const bool dark = palette.color(QPalette::Window).lightness() < 128;
    return ViewStyle::chipColors(dark ? e.levelColor() : e.badgeBackground(), active, palette);
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

void LogHeader::setColumns(const QList<OptionalColumn>& visible)
{
    m_columns = visible;
    update();
}

void LogHeader::setSort(const QString& column, bool ascending)
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

QStringList LogHeader::labels() const
{
    QStringList l{QStringLiteral("Time"), QStringLiteral("Severity"), QStringLiteral("Process")};
    for (OptionalColumn c : m_columns)
        l << RowLayout::columnLabel(c);
    l << QStringLiteral("Message");
    return l;
}

QString LogHeader::shownText(const QString& label) const
{
    if (label != m_sortColumn)
        return label;
    return label + (m_ascending ? QStringLiteral(" \u2191") : QStringLiteral(" \u2193"));
}

QRect LogHeader::cellRect(const QString& label) const
{
    const RowLayout::Cells c = RowLayout::cells(rect(), m_columns, m_widths);
    QRect cell;
    if (label == QLatin1String("Time"))
        cell = c.time;
    else if (label == QLatin1String("Severity"))
        cell = c.severity;
    else if (label == QLatin1String("Process"))
        cell = c.process;
    else if (label == QLatin1String("Message"))
        cell = c.message;
    else
        for (int i = 0; i < m_columns.size(); ++i)
            if (RowLayout::columnLabel(m_columns[i]) == label)
                cell = c.columns[i];
    return cell;
}

QRect LogHeader::labelRect(const QString& label) const
{
    const QRect cell = cellRect(label);
    if (cell.isNull())
        return {};
    // Only the label itself is clickable, not the empty rest of its cell.
    const int w = qMin(cell.width(), QFontMetrics(font()).horizontalAdvance(shownText(label)) + 4);
    return QRect(cell.left(), cell.top(), w, cell.height());
}

QString LogHeader::labelAt(const QPoint& pos) const
{
    for (const QString& l : labels())
        if (labelRect(l).contains(pos))
            return l;
    return {};
}

QString LogHeader::edgeAt(const QPoint& pos) const
{
    // The gap after a cell, and a few pixels either side of it.
    for (const QString& l : labels()) {
        const std::optional<OptionalColumn> c = Column::fromRawValue(l);
        if (m_widths.of(l) < 0 || (c && m_widths.empty[size_t(*c)]))  // an empty column keeps the floor
            continue;
        const int edge = cellRect(l).right() + 1 + RowLayout::spacing / 2;
        if (qAbs(pos.x() - edge) <= RowLayout::spacing / 2 + 2)
            return l;
    }
    return {};
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
    for (const QString& l : labels()) {
        // A label wider than its (narrowed) cell is elided, not drawn over the next one.
        const QRect r = labelRect(l);
        p.drawText(r.adjusted(0, 0, 4, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   fm.elidedText(shownText(l), Qt::ElideRight, r.width()));
    }
    p.setPen(ViewStyle::separator(this));
    p.drawLine(0, height() - 1, width(), height() - 1);
}

void LogHeader::mouseMoveEvent(QMouseEvent* e)
{
    const QPoint pos = e->position().toPoint();
    if (!m_dragLabel.isEmpty()) {
        const int w = qBound(RowLayout::minimumColumnWidth, m_dragFromWidth + pos.x() - m_dragFromX,
                             RowLayout::maximumColumnWidth);
        if (w != m_widths.of(m_dragLabel))
            emit columnResized(m_dragLabel, w);
        return;
    }
    if (!edgeAt(pos).isEmpty())
        setCursor(Qt::SplitHCursor);
    else if (labelAt(pos).isEmpty())
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
    const QString edge = edgeAt(e->position().toPoint());
    if (!edge.isEmpty()) {
        m_dragLabel = edge;
        m_dragFromX = e->position().toPoint().x();
        m_dragFromWidth = cellRect(edge).width();
        return;
    }
    const QString l = labelAt(e->position().toPoint());
    if (!l.isEmpty())
        emit labelClicked(l);
}

void LogHeader::mouseReleaseEvent(QMouseEvent*)
{
    m_dragLabel.clear();
}

void LogHeader::leaveEvent(QEvent*)
{
    unsetCursor();
}
