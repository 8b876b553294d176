#include "ui/AppIdentity.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace AppIdentity {

QString versionString()
{
    const QString v = QCoreApplication::applicationVersion();
    if (!v.isEmpty())
        return v;
#ifdef VELLACORD_VERSION
    return QStringLiteral(VELLACORD_VERSION);
#else
    return {};
#endif
}

QString buildString()
{
    const QVariant b = qApp ? qApp->property("buildString") : QVariant();
    if (b.typeId() == QMetaType::QString)
        return b.toString();
#ifdef VELLACORD_BUILD
    return QStringLiteral(VELLACORD_BUILD);
#else
    return {};
#endif
}

namespace {
QPixmap emblem(int px)
{
    QPixmap pm(px, px);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(px / 64.0, px / 64.0);
    QLinearGradient g(0, 0, 0, 64);
    g.setColorAt(0, QColor(48, 66, 96));
    g.setColorAt(1, QColor(22, 28, 44));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 14, 14);
    // Log lines in severity colours.
    const QColor lines[] = {QColor(255, 69, 58), QColor(255, 159, 10), QColor(120, 200, 255),
                            QColor(160, 170, 190)};
    for (int i = 0; i < 4; ++i) {
        p.setBrush(lines[i]);
        p.drawRoundedRect(QRectF(12, 14 + i * 9, i % 2 ? 22 : 30, 4), 2, 2);
    }
    // Magnifier.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(235, 240, 250), 4.5, Qt::SolidLine, Qt::RoundCap));
    p.drawEllipse(QPointF(40, 36), 10, 10);
    p.drawLine(QPointF(47.5, 43.5), QPointF(54, 50));
    return pm;
}
}  // namespace

QIcon drawnIcon()
{
    QIcon ic;
    for (int s : {16, 22, 32, 64, 128, 256})
        ic.addPixmap(emblem(s));
    return ic;
}

QIcon icon()
{
    const QIcon w = QGuiApplication::windowIcon();
    if (!w.isNull() && !w.availableSizes().isEmpty())
        return w;
    return drawnIcon();
}

}  // namespace AppIdentity
