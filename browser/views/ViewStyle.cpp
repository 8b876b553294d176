#include "browser/views/ViewStyle.h"

#include "app/views/SymbolIcons.h"

#include <QFrame>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QWidget>

namespace ViewStyle {

bool isDark(const QWidget* w)
{
    const QPalette pal = w ? w->palette() : QPalette();
    return pal.color(QPalette::Window).lightness() < 128;
}

QColor grey(double w) { return QColor::fromRgbF(float(w), float(w), float(w)); }
QColor charcoal() { return QColor(68, 68, 68); }

QColor withAlpha(QColor c, double alpha)
{
    c.setAlphaF(float(alpha));
    return c;
}

QColor accent(const QWidget* w) { return w->palette().color(QPalette::Highlight); }

QColor secondary(const QWidget* w) { return withAlpha(w->palette().color(QPalette::WindowText), 0.55); }

QColor separator(const QWidget* w) { return withAlpha(w->palette().color(QPalette::WindowText), 0.18); }

namespace {

bool drawOwn(QPainter& p, const QString& name, const QColor& c)
{
    // 24-unit design grid, like the shared drawings.
    const QPen line(c, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setBrush(Qt::NoBrush);
    if (name == QLatin1String("magnifyingglass")) {
        p.setPen(line);
        p.drawEllipse(QPointF(10, 10), 6.5, 6.5);
        p.setPen(QPen(c, 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(14.8, 14.8), QPointF(20.5, 20.5));
    } else if (name == QLatin1String("lock.shield")) {
        QPainterPath shield;
        shield.moveTo(12, 2);
        shield.lineTo(20.5, 5.5);
        shield.cubicTo(20.5, 14, 17, 19.5, 12, 22);
        shield.cubicTo(7, 19.5, 3.5, 14, 3.5, 5.5);
        shield.closeSubpath();
        p.setPen(QPen(c, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(shield);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawRoundedRect(QRectF(8.5, 11, 7, 5.5), 1, 1);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(c, 1.6));
        p.drawArc(QRectF(9.5, 7.5, 5, 6), 0, 180 * 16);
    } else if (name == QLatin1String("archivebox.fill")) {
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawRoundedRect(QRectF(2.5, 4, 19, 5), 1.2, 1.2);
        p.drawRoundedRect(QRectF(4, 10, 16, 10.5), 1.2, 1.2);
        p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9.5, 13.5), QPointF(14.5, 13.5));
    } else if (name == QLatin1String("arrow.up.right.square") || name == QLatin1String("arrow.down.left.square")) {
        p.setPen(QPen(c, 1.7));
        p.drawRoundedRect(QRectF(3, 3, 18, 18), 4, 4);
        p.setPen(line);
        QPainterPath arrow;
        if (name == QLatin1String("arrow.up.right.square")) {
            p.drawLine(QPointF(8.5, 15.5), QPointF(15.5, 8.5));
            arrow.moveTo(10, 8.5);
            arrow.lineTo(15.5, 8.5);
            arrow.lineTo(15.5, 14);
        } else {
            p.drawLine(QPointF(15.5, 8.5), QPointF(8.5, 15.5));
            arrow.moveTo(8.5, 10);
            arrow.lineTo(8.5, 15.5);
            arrow.lineTo(14, 15.5);
        }
        p.drawPath(arrow);
    } else if (name == QLatin1String("apple.logo")) {
        QPainterPath apple;
        apple.moveTo(12, 8);
        apple.cubicTo(9, 6, 4, 7, 4.5, 13);
        apple.cubicTo(5, 18, 8, 21.5, 10, 21);
        apple.cubicTo(11, 20.7, 13, 20.7, 14, 21);
        apple.cubicTo(16, 21.5, 19, 18, 19.5, 13);
        apple.cubicTo(20, 7, 15, 6, 12, 8);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawPath(apple);
        QPainterPath leaf;
        leaf.moveTo(12.2, 6.5);
        leaf.cubicTo(12, 4, 14, 2.5, 16, 2.5);
        leaf.cubicTo(16, 5, 14, 6.5, 12.2, 6.5);
        p.drawPath(leaf);
    } else if (name == QLatin1String("arrow.down.to.line")) {
        p.setPen(line);
        p.drawLine(QPointF(12, 3), QPointF(12, 16));
        QPainterPath head;
        head.moveTo(7, 11);
        head.lineTo(12, 16);
        head.lineTo(17, 11);
        p.drawPath(head);
        p.drawLine(QPointF(5, 20.5), QPointF(19, 20.5));
    } else {
        return false;
    }
    return true;
}

}  // namespace

QPixmap pixmap(const QString& name, const QColor& color, int size)
{
    const qreal dpr = 2.0;
    QPixmap pm(QSize(size, size) * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 24.0, size / 24.0);
    if (!drawOwn(p, name, color)) {
        p.end();
        return SymbolIcons::pixmap(name, color, size, dpr);
    }
    return pm;
}

QIcon icon(const QString& name, const QColor& color, int size)
{
    QIcon ic;
    ic.addPixmap(pixmap(name, color, size));
    return ic;
}

QFrame* divider()
{
    auto* f = new QFrame;
    f->setObjectName(QStringLiteral("divider"));
    f->setFrameShape(QFrame::HLine);
    f->setFrameShadow(QFrame::Plain);
    f->setFixedHeight(1);
    f->setForegroundRole(QPalette::Mid);
    return f;
}

}  // namespace ViewStyle
