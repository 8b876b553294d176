#include "ui/TintedBar.h"

#include "ui/TextStyles.h"
#include "ui/ViewStyle.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

TintedBar::TintedBar(const QString& symbol, Tint tint, QWidget* parent)
    : QWidget(parent), m_symbol(symbol), m_tint(tint)
{
    m_row = new QHBoxLayout(this);
    m_row->setContentsMargins(12, 5, 12, 5);
    m_icon = new QLabel;
    m_row->addWidget(m_icon);
    m_label = TextStyles::label(QString(), TextStyles::Style::callout);
    m_row->addWidget(m_label);
    updateIcon();
}

void TintedBar::setTinted(bool tinted)
{
    m_tinted = tinted;
    update();
}

QColor TintedBar::color() const
{
    return m_tint == Tint::orange ? ViewStyle::orange() : ViewStyle::accent(this);
}

void TintedBar::updateIcon()
{
    m_icon->setPixmap(ViewStyle::pixmap(m_symbol, color(), 12, 2.0));
}

void TintedBar::paintEvent(QPaintEvent*)
{
    if (!m_tinted)
        return;
    QPainter p(this);
    p.fillRect(rect(), ViewStyle::withAlpha(color(), 0.12));
}

void TintedBar::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::PaletteChange)
        updateIcon();
}
