#include "ui/ViewStyle.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QtMath>

namespace ViewStyle {

namespace {

// All drawings use a 24-unit design grid, scaled to the requested size.
void drawCheck(QPainter& p, const QColor& c, qreal w)
{
    QPen pen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    QPainterPath path;
    path.moveTo(7.2, 12.4);
    path.lineTo(10.6, 15.8);
    path.lineTo(16.8, 8.6);
    p.drawPath(path);
}

void drawCross(QPainter& p, const QColor& c, qreal w, qreal inset)
{
    p.setPen(QPen(c, w, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(inset, inset), QPointF(24 - inset, 24 - inset));
    p.drawLine(QPointF(24 - inset, inset), QPointF(inset, 24 - inset));
}

QPainterPath trianglePath()
{
    QPainterPath t;
    t.moveTo(12, 2.5);
    t.lineTo(22.5, 21);
    t.lineTo(1.5, 21);
    t.closeSubpath();
    return t;
}

void drawExclamation(QPainter& p, const QColor& c, qreal top, qreal bottom, qreal dot)
{
    p.setPen(QPen(c, 2.3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(12, top), QPointF(12, bottom));
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(12, dot), 1.35, 1.35);
}

void drawSparkle(QPainter& p, QPointF c, qreal r)
{
    QPainterPath s;
    s.moveTo(c.x(), c.y() - r);
    s.quadTo(c.x(), c.y(), c.x() + r, c.y());
    s.quadTo(c.x(), c.y(), c.x(), c.y() + r);
    s.quadTo(c.x(), c.y(), c.x() - r, c.y());
    s.quadTo(c.x(), c.y(), c.x(), c.y() - r);
    p.drawPath(s);
}

void drawArrowDown(QPainter& p, const QColor& c, qreal w, qreal top, qreal bottom, qreal spread)
{
    p.setPen(QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(12, top), QPointF(12, bottom));
    QPainterPath head;
    head.moveTo(12 - spread, bottom - spread);
    head.lineTo(12, bottom);
    head.lineTo(12 + spread, bottom - spread);
    p.drawPath(head);
}

// The log browser's drawings (magnifyingglass, lock.shield, archivebox.fill,
// arrow.up.right.square, arrow.down.left.square, apple.logo, arrow.down.to.line).
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

void drawSymbol(QPainter& p, const QString& name, const QColor& c)
{
    if (drawOwn(p, name, c))
        return;
    const QColor knockout(Qt::white);
    p.setBrush(Qt::NoBrush);
    if (name == QLatin1String("checkmark.circle")) {
        p.setPen(QPen(c, 1.8));
        p.drawEllipse(QPointF(12, 12), 10, 10);
        drawCheck(p, c, 2.0);
    } else if (name == QLatin1String("checkmark.circle.fill")) {
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawEllipse(QPointF(12, 12), 10.5, 10.5);
        drawCheck(p, knockout, 2.3);
    } else if (name == QLatin1String("xmark.circle.fill")) {
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawEllipse(QPointF(12, 12), 10.5, 10.5);
        drawCross(p, knockout, 2.2, 8.2);
    } else if (name == QLatin1String("xmark")) {
        drawCross(p, c, 2.2, 5.5);
    } else if (name == QLatin1String("exclamationmark.triangle")) {
        p.setPen(QPen(c, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(trianglePath());
        drawExclamation(p, c, 9, 14.2, 17.6);
    } else if (name == QLatin1String("exclamationmark.triangle.fill")) {
        p.setPen(QPen(c, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(c);
        p.drawPath(trianglePath());
        drawExclamation(p, knockout, 9, 14.2, 17.6);
    } else if (name == QLatin1String("wand.and.stars")) {
        p.setPen(QPen(c, 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 20), QPointF(15, 9));
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        drawSparkle(p, QPointF(18, 5.5), 4.2);
        drawSparkle(p, QPointF(20.5, 14), 2.6);
        drawSparkle(p, QPointF(9, 4.5), 2.6);
    } else if (name == QLatin1String("sparkles")) {
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        drawSparkle(p, QPointF(10, 13), 8);
        drawSparkle(p, QPointF(18.5, 5.5), 3.8);
        drawSparkle(p, QPointF(19, 18.5), 2.8);
    } else if (name == QLatin1String("archivebox")) {
        p.setPen(QPen(c, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawRoundedRect(QRectF(2.5, 4, 19, 5), 1.2, 1.2);
        p.drawRoundedRect(QRectF(4, 9, 16, 11.5), 1.2, 1.2);
        p.drawLine(QPointF(9.5, 13), QPointF(14.5, 13));
    } else if (name == QLatin1String("arrow.down.circle")) {
        p.setPen(QPen(c, 1.8));
        p.drawEllipse(QPointF(12, 12), 10, 10);
        drawArrowDown(p, c, 2.0, 6.5, 17, 4);
    } else if (name == QLatin1String("arrow.right.circle")) {
        p.setPen(QPen(c, 1.8));
        p.drawEllipse(QPointF(12, 12), 10, 10);
        p.setPen(QPen(c, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawLine(QPointF(6.5, 12), QPointF(17, 12));
        QPainterPath head;
        head.moveTo(13, 8);
        head.lineTo(17, 12);
        head.lineTo(13, 16);
        p.drawPath(head);
    } else if (name == QLatin1String("tray.and.arrow.down")) {
        p.setPen(QPen(c, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPainterPath tray;
        tray.moveTo(2.5, 14);
        tray.lineTo(2.5, 21);
        tray.lineTo(21.5, 21);
        tray.lineTo(21.5, 14);
        tray.moveTo(2.5, 16);
        tray.lineTo(8, 16);
        tray.lineTo(9, 18);
        tray.lineTo(15, 18);
        tray.lineTo(16, 16);
        tray.lineTo(21.5, 16);
        p.drawPath(tray);
        drawArrowDown(p, c, 2.0, 2.5, 13, 3.8);
    } else if (name == QLatin1String("ladybug")) {
        p.setPen(QPen(c, 1.7));
        p.drawEllipse(QRectF(5, 7, 14, 15));
        p.drawLine(QPointF(12, 7), QPointF(12, 22));
        p.drawArc(QRectF(8, 3, 8, 7), 0, 180 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawEllipse(QPointF(8.8, 13), 1.4, 1.4);
        p.drawEllipse(QPointF(15.2, 13), 1.4, 1.4);
        p.drawEllipse(QPointF(9.2, 18), 1.2, 1.2);
        p.drawEllipse(QPointF(14.8, 18), 1.2, 1.2);
    } else if (name == QLatin1String("arrow.clockwise")) {
        p.setPen(QPen(c, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawArc(QRectF(4, 4, 16, 16), 100 * 16, 290 * 16);
        QPainterPath head;
        head.moveTo(9.5, 1.5);
        head.lineTo(13, 4.3);
        head.lineTo(9.5, 7.5);
        p.drawPath(head);
    } else if (name == QLatin1String("gearshape")) {
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        QPainterPath gear;
        for (int i = 0; i < 8; ++i) {
            const qreal a = i * M_PI / 4;
            QTransform t;
            t.translate(12, 12);
            t.rotateRadians(a);
            QPainterPath tooth;
            tooth.addRoundedRect(QRectF(-2.2, -11, 4.4, 5), 1, 1);
            gear = gear.united(t.map(tooth));
        }
        QPainterPath body;
        body.addEllipse(QPointF(12, 12), 8, 8);
        gear = gear.united(body);
        QPainterPath hole;
        hole.addEllipse(QPointF(12, 12), 3.3, 3.3);
        p.drawPath(gear.subtracted(hole));
    } else if (name == QLatin1String("info.circle")) {
        p.setPen(QPen(c, 1.8));
        p.drawEllipse(QPointF(12, 12), 10, 10);
        p.setPen(QPen(c, 2.3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(12, 11), QPointF(12, 17));
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawEllipse(QPointF(12, 7.5), 1.35, 1.35);
    } else {
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawEllipse(QPointF(12, 12), 6, 6);
    }
}

}  // namespace

QPixmap pixmap(const QString& name, const QColor& color, int size, qreal devicePixelRatio)
{
    qreal dpr = devicePixelRatio;
    if (dpr <= 0)
        dpr = qApp ? qApp->devicePixelRatio() : 1.0;
    const int px = qMax(1, qRound(size * dpr));
    QPixmap pm(px, px);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(px / 24.0, px / 24.0);
    drawSymbol(p, name, color);
    p.end();
    pm.setDevicePixelRatio(dpr);
    return pm;
}

QIcon icon(const QString& name, const QColor& color, int size, qreal devicePixelRatio)
{
    QIcon ic;
    if (devicePixelRatio > 0) {
        ic.addPixmap(pixmap(name, color, size, devicePixelRatio));
        return ic;
    }
    ic.addPixmap(pixmap(name, color, size, 1.0));
    ic.addPixmap(pixmap(name, color, size, 2.0));
    return ic;
}

}  // namespace ViewStyle
