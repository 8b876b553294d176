#include "ui/ViewStyle.h"

#include <QFrame>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QWidget>

#include <algorithm>
#include <cmath>

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

QColor over(const QColor& top, const QColor& below)
{
    const float a = top.alphaF();
    auto mix = [a](float t, float b) { return t * a + b * (1.0f - a); };
    return QColor::fromRgbF(mix(top.redF(), below.redF()), mix(top.greenF(), below.greenF()),
                            mix(top.blueF(), below.blueF()));
}

namespace {
double luminance(const QColor& c)
{
    auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}
}  // namespace

double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

ChipColors chipColors(const QColor& tone, bool on, const QPalette& palette)
{
    const QColor window = palette.color(QPalette::Window);
    const QColor ink = palette.color(QPalette::WindowText);
    const bool dark = window.lightness() < 128;
    if (!on) {
        // Clear, its label dimmed, yet still readable (the secondary tone is not).
        return {window, over(withAlpha(ink, 0.22), window), over(withAlpha(ink, 0.72), window)};
    }
    QColor fill = tone;
    fill.setAlphaF(1.0f);
    // On a dark window a dim tone (Debug's grey) would pass for an empty chip:
    // it is lifted until it stands 3:1 off the window, as a control's edge must.
    for (int i = 0; dark && i < 40 && contrastRatio(fill, window) < 3.0; ++i)
        fill = fill.lighter(108);
    const QColor black(Qt::black), white(Qt::white);
    const QColor text = contrastRatio(black, fill) >= contrastRatio(white, fill) ? black : white;
    // A pale fill (Notice's yellow) keeps an edge on a light window.
    return {fill, dark ? fill : fill.darker(125), text};
}

void drawFocusRing(QPainter* p, const QRectF& r, double radius, const QWidget* w)
{
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    p->setBrush(Qt::NoBrush);
    p->setPen(QPen(accent(w), 2));
    p->drawRoundedRect(r.adjusted(1, 1, -1, -1), qMax(0.0, radius - 1), qMax(0.0, radius - 1));
    p->restore();
}

QString focusRule(bool filled)
{
    return QStringLiteral("QPushButton:focus { border: 2px solid palette(%1); }")
        .arg(filled ? QStringLiteral("window-text") : QStringLiteral("highlight"));
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
