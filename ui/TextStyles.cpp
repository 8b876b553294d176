#include "ui/TextStyles.h"

#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>

namespace TextStyles {

namespace {
qreal ratio(Style s)
{
    switch (s) {
    case Style::largeTitle: return 26.0 / 13.0;
    case Style::title: return 22.0 / 13.0;
    case Style::title3: return 15.0 / 13.0;
    case Style::headline: return 1.0;
    case Style::body: return 1.0;
    case Style::callout: return 12.0 / 13.0;
    case Style::subheadline: return 11.0 / 13.0;
    case Style::caption: return 10.5 / 13.0;
    case Style::caption2: return 9.5 / 13.0;
    }
    return 1.0;
}
}  // namespace

QFont font(Style style, bool monospaced, QFont::Weight weight)
{
    QFont base = QApplication::font();
    QFont f = monospaced ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : base;
    qreal pt = base.pointSizeF() > 0 ? base.pointSizeF() : 10.0;
    f.setPointSizeF(qMax<qreal>(6.5, pt * ratio(style)));
    QFont::Weight w = weight;
    if (style == Style::headline && w == QFont::Normal)
        w = QFont::DemiBold;
    f.setWeight(w);
    return f;
}

void setTextColor(QWidget* w, const QColor& color)
{
    QPalette p = w->palette();
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(role, color);
    w->setPalette(p);
}

namespace {
QColor secondaryColor()
{
    QColor c = QApplication::palette().color(QPalette::WindowText);
    c.setAlphaF(0.58);
    return c;
}

// Secondary text is derived from the application palette; when the theme
// changes the palette, the derived colour is computed again so that dimmed
// text never keeps the old scheme's foreground. A widget inside a window
// hears of it as its own palette change (the application's goes only to
// widgets without a palette of their own).
class SecondaryKeeper : public QObject {
public:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::ApplicationPaletteChange || e->type() == QEvent::PaletteChange) {
            auto* w = qobject_cast<QWidget*>(o);
            const QColor c = secondaryColor();
            if (w && w->palette().color(QPalette::WindowText) != c)  // setting it comes back here
                setTextColor(w, c);
        }
        return false;
    }
};

SecondaryKeeper* keeper()
{
    static auto* k = new SecondaryKeeper;
    return k;
}
}  // namespace

void setSecondary(QWidget* w)
{
    setTextColor(w, secondaryColor());
    w->removeEventFilter(keeper());
    w->installEventFilter(keeper());
}

void apply(QWidget* w, Style style, bool monospaced, QFont::Weight weight, bool secondary)
{
    w->setFont(font(style, monospaced, weight));
    if (secondary)
        setSecondary(w);
}

QLabel* label(const QString& text, Style style, bool secondary, bool wrap, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    apply(l, style, false, QFont::Normal, secondary);
    l->setWordWrap(wrap);
    return l;
}

QWidget* centredWrapped(QLabel* label, int width)
{
    auto* holder = new QWidget;
    holder->setProperty("centredHolder", true);
    auto* row = new QHBoxLayout(holder);
    row->setContentsMargins(0, 0, 0, 0);
    row->addStretch(1);
    label->setWordWrap(true);
    label->setFixedWidth(width);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    row->addWidget(label);
    row->addStretch(1);
    return holder;
}

}  // namespace TextStyles
