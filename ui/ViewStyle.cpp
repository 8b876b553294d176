#include "ui/ViewStyle.h"

#include <QFrame>
#include <QGuiApplication>
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

QColor green() { return QColor(52, 199, 89); }
QColor orange() { return QColor(255, 149, 0); }
QColor red() { return QColor(255, 59, 48); }
QColor blue() { return QColor(10, 132, 255); }

QColor accent() { return QGuiApplication::palette().color(QPalette::Highlight); }

QColor secondary() { return withAlpha(QGuiApplication::palette().color(QPalette::WindowText), 0.55); }

QPalette lightPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(236, 236, 236));
    p.setColor(QPalette::WindowText, QColor(28, 28, 30));
    p.setColor(QPalette::Base, QColor(255, 255, 255));
    p.setColor(QPalette::AlternateBase, QColor(245, 245, 245));
    p.setColor(QPalette::Text, QColor(28, 28, 30));
    p.setColor(QPalette::Button, QColor(250, 250, 250));
    p.setColor(QPalette::ButtonText, QColor(28, 28, 30));
    p.setColor(QPalette::Highlight, QColor(10, 122, 255));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, QColor(255, 255, 240));
    p.setColor(QPalette::ToolTipText, Qt::black);
    p.setColor(QPalette::PlaceholderText, QColor(0, 0, 0, 110));
    p.setColor(QPalette::Link, QColor(10, 122, 255));
    p.setColor(QPalette::Mid, QColor(200, 200, 200));
    p.setColor(QPalette::Dark, QColor(160, 160, 160));
    p.setColor(QPalette::Light, Qt::white);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(0, 0, 0, 90));
    return p;
}

QPalette darkPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(40, 40, 42));
    p.setColor(QPalette::WindowText, QColor(235, 235, 240));
    p.setColor(QPalette::Base, QColor(30, 30, 32));
    p.setColor(QPalette::AlternateBase, QColor(44, 44, 46));
    p.setColor(QPalette::Text, QColor(235, 235, 240));
    p.setColor(QPalette::Button, QColor(58, 58, 60));
    p.setColor(QPalette::ButtonText, QColor(235, 235, 240));
    p.setColor(QPalette::Highlight, QColor(10, 132, 255));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, QColor(58, 58, 60));
    p.setColor(QPalette::ToolTipText, QColor(235, 235, 240));
    p.setColor(QPalette::PlaceholderText, QColor(255, 255, 255, 100));
    p.setColor(QPalette::Link, QColor(64, 156, 255));
    p.setColor(QPalette::Mid, QColor(70, 70, 72));
    p.setColor(QPalette::Dark, QColor(20, 20, 22));
    p.setColor(QPalette::Light, QColor(80, 80, 82));
    p.setColor(QPalette::Shadow, Qt::black);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(255, 255, 255, 90));
    p.setColor(QPalette::Disabled, QPalette::Button, QColor(48, 48, 50));
    return p;
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
