#include "browser/views/TransientNotice.h"

#include "ui/PlainText.h"
#include "ui/TextStyles.h"
#include "ui/ViewStyle.h"

#include <QEvent>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

#include <algorithm>

namespace {
constexpr int kEdge = 12;  // from the window's sides and bottom
}

TransientNotice::TransientNotice(QWidget* host) : QWidget(host)
{
    setObjectName(QStringLiteral("transientNotice"));
    setAttribute(Qt::WA_TranslucentBackground);  // the rounded corners show the window
    setCursor(Qt::PointingHandCursor);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 7, 14, 7);
    row->setSpacing(7);
    m_icon = new QLabel;
    row->addWidget(m_icon);
    m_label = TextStyles::label(QString(), TextStyles::Style::callout);
    m_label->setObjectName(QStringLiteral("transientNoticeText"));
    row->addWidget(m_label, 1);
    auto* shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(QColor(0, 0, 0, 84));
    shadow->setBlurRadius(12);
    shadow->setOffset(0, 2);
    setGraphicsEffect(shadow);
    m_timer.setSingleShot(true);
    m_timer.setInterval(kShownMs);
    connect(&m_timer, &QTimer::timeout, this, &TransientNotice::dismiss);
    host->installEventFilter(this);
    refreshLook();
    hide();
}

void TransientNotice::showMessage(const QString& text)
{
    m_text = text;
    setToolTip(PlainText::toolTip(text));
    place();
    show();
    raise();
    m_timer.start();
}

void TransientNotice::dismiss()
{
    m_timer.stop();
    hide();
}

void TransientNotice::place()
{
    const QWidget* host = parentWidget();
    const QMargins m = layout()->contentsMargins();
    const int room = std::max(80, host->width() - 2 * kEdge);
    const int chrome = m.left() + m.right() + m_icon->sizeHint().width() + layout()->spacing();
    // A path has no spaces to wrap at: one line, cut in the middle.
    m_label->setText(m_label->fontMetrics().elidedText(m_text, Qt::ElideMiddle, room - chrome));
    adjustSize();
    resize(std::min(width(), room), height());
    move((host->width() - width()) / 2, host->height() - height() - kEdge);
}

bool TransientNotice::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize && isVisible())
        place();
    return false;
}

void TransientNotice::paintEvent(QPaintEvent*)
{
    // Opaque: the list's rows must not show through the words.
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(ViewStyle::separator(this));
    p.setBrush(ViewStyle::over(ViewStyle::withAlpha(ViewStyle::accent(this), 0.12), palette().color(QPalette::Window)));
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
}

void TransientNotice::mousePressEvent(QMouseEvent*)
{
    dismiss();
}

void TransientNotice::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::PaletteChange)
        refreshLook();
}

void TransientNotice::refreshLook()
{
    m_icon->setPixmap(ViewStyle::pixmap(QStringLiteral("checkmark.circle.fill"), ViewStyle::accent(this), 14, 2.0));
    update();
}
