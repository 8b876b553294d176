#include "app/views/SymbolIcons.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QtMath>

namespace SymbolIcons {

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

void drawSymbol(QPainter& p, const QString& name, const QColor& c)
{
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

bool isKnown(const QString& name)
{
    static const QStringList known = {
        QStringLiteral("checkmark.circle"), QStringLiteral("checkmark.circle.fill"),
        QStringLiteral("xmark.circle.fill"), QStringLiteral("xmark"),
        QStringLiteral("exclamationmark.triangle"), QStringLiteral("exclamationmark.triangle.fill"),
        QStringLiteral("wand.and.stars"), QStringLiteral("sparkles"), QStringLiteral("archivebox"),
        QStringLiteral("arrow.down.circle"), QStringLiteral("arrow.right.circle"),
        QStringLiteral("tray.and.arrow.down"), QStringLiteral("ladybug"),
        QStringLiteral("arrow.clockwise"), QStringLiteral("gearshape"), QStringLiteral("info.circle")};
    return known.contains(name);
}

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

QIcon icon(const QString& name, const QColor& color, int size)
{
    QIcon ic;
    ic.addPixmap(pixmap(name, color, size, 1.0));
    ic.addPixmap(pixmap(name, color, size, 2.0));
    return ic;
}

QColor green() { return QColor(52, 199, 89); }
QColor orange() { return QColor(255, 149, 0); }
QColor red() { return QColor(255, 59, 48); }
QColor blue() { return QColor(10, 132, 255); }

QColor accent()
{
    return QGuiApplication::palette().color(QPalette::Highlight);
}

QColor secondary()
{
    QColor c = QGuiApplication::palette().color(QPalette::WindowText);
    c.setAlphaF(0.55);
    return c;
}

}  // namespace SymbolIcons
