#include "browser/views/TimelineStrip.h"

#include "browser/FetchRange.h"
#include "browser/WindowModel.h"
#include "ui/PlainText.h"
#include "ui/SeverityPalette.h"
#include "ui/TextStyles.h"
#include "ui/ViewStyle.h"

#include <QDateTime>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace {
constexpr double kSide = 8;  // inner margin left and right
constexpr double kTop = 4;
constexpr double kLabels = 14;    // band under the bars for the end times
constexpr double kDragStart = 4;  // pixels before a press becomes a drag

// A frame one pixel wide just inside `r`, as fills (see the base line).
void fillFrame(QPainter& p, const QRectF& r, const QColor& c)
{
    p.fillRect(QRectF(r.left(), r.top(), r.width(), 1), c);
    p.fillRect(QRectF(r.left(), r.bottom() - 1, r.width(), 1), c);
    p.fillRect(QRectF(r.left(), r.top(), 1, r.height()), c);
    p.fillRect(QRectF(r.right() - 1, r.top(), 1, r.height()), c);
}

QString timeText(double seconds)
{
    return QDateTime::fromMSecsSinceEpoch(qint64(std::floor(seconds * 1000)))
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}
}  // namespace

TimelineStrip::TimelineStrip(WindowModel* model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("timeline"));
    setAccessibleName(QStringLiteral("Timeline"));
    setFixedHeight(stripHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
    setFont(TextStyles::font(TextStyles::Style::caption));
    connect(model, &WindowModel::listChanged, this, &TimelineStrip::refresh);
    refresh();
}

QSize TimelineStrip::sizeHint() const
{
    return QSize(400, stripHeight);
}

QColor TimelineStrip::barColor(SeverityLevel s, bool dark)
{
    return SeverityPalette::colors(Severity::logLevel(s), dark).tone;
}

TimelineStrip::DragMarks TimelineStrip::dragMarks(bool dark)
{
    // Near black and near white: the bars are red, orange, yellow, grey and
    // blue, and the accent (blue) would vanish over the Info bars. Whatever
    // lies under the frame, one of the two differs from it by over 4:1.
    const QColor ink = ViewStyle::grey(dark ? 0.96 : 0.08);
    const QColor paper = ViewStyle::grey(dark ? 0.08 : 0.98);
    return {ViewStyle::withAlpha(ink, dark ? 0.18 : 0.14), ink, paper};
}

void TimelineStrip::refresh()
{
    const int n = int(m_model->timeline().size());
    setVisible(n > 0);
    if (m_hover >= n)
        m_hover = -1;
    update();
}

QRectF TimelineStrip::plotRect() const
{
    return QRectF(kSide, kTop, std::max(1.0, width() - 2 * kSide), std::max(1.0, height() - kTop - kLabels));
}

double TimelineStrip::fractionAt(double x) const
{
    const QRectF r = plotRect();
    return std::clamp((x - r.left()) / r.width(), 0.0, 1.0);
}

int TimelineStrip::bucketAt(double x) const
{
    const int n = int(m_model->timeline().size());
    const QRectF r = plotRect();
    if (!n || x < r.left() || x >= r.right())
        return -1;
    return std::clamp(int((x - r.left()) / r.width() * n), 0, n - 1);
}

void TimelineStrip::paintEvent(QPaintEvent*)
{
    const QList<TimelineBucket>& buckets = m_model->timeline();
    if (buckets.isEmpty())
        return;
    QPainter p(this);
    const bool dark = ViewStyle::isDark(this);
    const QRectF r = plotRect();
    const int n = int(buckets.size());
    int peak = 1;
    for (const TimelineBucket& b : buckets)
        peak = std::max(peak, b.total());
    QColor colors[5];
    for (SeverityLevel s : Severity::all())
        colors[int(s)] = barColor(s, dark);

    const double slot = r.width() / n;
    const double gap = slot >= 3 ? 1 : 0;
    if (m_hover >= 0 && !m_dragging)
        p.fillRect(QRectF(r.left() + slot * m_hover, r.top(), slot, r.height()),
                   ViewStyle::withAlpha(ViewStyle::secondary(this), 0.15));
    for (int i = 0; i < n; ++i) {
        const TimelineBucket& b = buckets[i];
        const int total = b.total();
        if (!total)
            continue;
        const double x = r.left() + slot * i;
        // At least a pixel for a bucket with entries, so that none looks empty.
        const double h = std::max(1.0, r.height() * total / peak);
        double y = r.bottom();
        for (SeverityLevel s : Severity::all()) {  // the most severe at the bottom
            if (const int c = b.count(s)) {
                const double part = h * c / total;
                p.fillRect(QRectF(x, y - part, slot - gap, part), colors[int(s)]);
                y -= part;
            }
        }
    }
    // The base line as a fill: the raster engine hands a stroked line to
    // its thread pool, which costs more than the line on every repaint.
    p.fillRect(QRectF(r.left(), r.bottom(), r.width(), 1), ViewStyle::separator(this));
    paintMarkTicks(p, r);

    p.setPen(ViewStyle::secondary(this));
    const QRectF labels(r.left(), r.bottom() + 1, r.width(), kLabels - 1);
    p.drawText(labels, Qt::AlignLeft | Qt::AlignVCenter, timeText(buckets.front().start));
    p.drawText(labels, Qt::AlignRight | Qt::AlignVCenter, timeText(buckets.back().end));

    if (m_dragging) {
        const DragMarks marks = dragMarks(dark);
        const double a = std::clamp(std::min(m_pressX, m_dragX), r.left(), r.right());
        const double b = std::clamp(std::max(m_pressX, m_dragX), r.left(), r.right());
        const QRectF sel(a, r.top(), std::max(2.0, b - a), r.height());
        p.fillRect(sel, marks.fill);
        fillFrame(p, sel, marks.edge);
        if (sel.width() > 2)
            fillFrame(p, sel.adjusted(1, 1, -1, -1), marks.halo);
    }
}

void TimelineStrip::paintMarkTicks(QPainter& p, const QRectF& r) const
{
    // A thin line across the bars and a notch above them, at each marked
    // entry's time; a notch per pixel is enough for marks close together.
    const QList<TimelineBucket>& buckets = m_model->timeline();
    const double start = buckets.front().start;
    const double span = buckets.back().end - start;
    if (!(span > 0))
        return;
    const QColor accent = ViewStyle::accent(this);
    double last = -1;
    for (double date : m_model->markDates()) {
        if (date < start || date > start + span)
            continue;
        const double x = std::floor(r.left() + (date - start) / span * (r.width() - 2));
        if (x == last)
            continue;
        last = x;
        p.fillRect(QRectF(x, r.top(), 2, r.height()), ViewStyle::withAlpha(accent, 0.45));
        p.fillRect(QRectF(x - 1, 0, 4, kTop + 3), accent);
    }
}

bool TimelineStrip::event(QEvent* e)
{
    if (e->type() == QEvent::ToolTip) {
        showBucketTip(static_cast<QHelpEvent*>(e)->pos());
        return true;
    }
    return QWidget::event(e);
}

void TimelineStrip::showBucketTip(const QPoint& pos)
{
    const int i = bucketAt(pos.x());
    if (i < 0 || m_dragging) {
        QToolTip::hideText();
        return;
    }
    PlainText::showToolTip(mapToGlobal(pos), Timeline::describe(m_model->timeline().at(i)), this);
}

void TimelineStrip::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(e);
    m_pressX = e->position().x();
    m_dragging = false;
}

void TimelineStrip::mouseMoveEvent(QMouseEvent* e)
{
    const double x = e->position().x();
    if (m_pressX >= 0 && (e->buttons() & Qt::LeftButton)) {
        if (!m_dragging && std::abs(x - m_pressX) >= kDragStart) {
            m_dragging = true;
            QToolTip::hideText();
        }
        if (m_dragging) {
            m_dragX = x;
            update();
            return;
        }
    }
    const int hover = bucketAt(x);
    if (hover != m_hover) {
        m_hover = hover;
        update();
        if (QToolTip::isVisible())
            showBucketTip(e->position().toPoint());
    }
}

void TimelineStrip::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(e);
    const bool dragged = m_dragging;
    const double from = m_pressX;
    const double to = e->position().x();
    m_pressX = m_dragX = -1;
    m_dragging = false;
    update();
    if (dragged) {
        const QList<TimelineBucket>& buckets = m_model->timeline();
        m_model->range()->applyTimelineSpan(Timeline::timeAt(buckets, fractionAt(from)),
                                            Timeline::timeAt(buckets, fractionAt(to)));
    }
}

void TimelineStrip::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        m_model->range()->restoreRangeBeforeDrag();
}

void TimelineStrip::leaveEvent(QEvent* e)
{
    QWidget::leaveEvent(e);
    m_hover = -1;
    update();
}

void TimelineStrip::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::PaletteChange)
        update();
}
