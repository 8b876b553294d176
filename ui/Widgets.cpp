#include "ui/Widgets.h"

#include "ui/ViewStyle.h"

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>

void setProminent(QPushButton* button)
{
    button->setProperty("prominent", true);
    button->setStyleSheet(QStringLiteral(
                              "QPushButton { background-color: palette(highlight); color: palette(highlighted-text);"
                              " border: 2px solid transparent; border-radius: 5px; padding: 2px 12px; }"
                              "QPushButton:disabled { background-color: palette(mid); color: palette(base); }") +
                          ViewStyle::focusRule(true));
}

void giveReadableWidth(QMessageBox* box)
{
    // The box sizes itself from its labels' minimum widths.
    for (const char* name : {"qt_msgbox_label", "qt_msgbox_informativelabel"})
        if (auto* label = box->findChild<QLabel*>(QLatin1String(name)))
            label->setMinimumWidth(360);
}

// ---- PillButton

PillButton::PillButton(const QString& text, const QString& symbol, QWidget* parent)
    : QAbstractButton(parent), m_symbol(symbol)
{
    setText(text);
    setCursor(Qt::PointingHandCursor);
    // Tab reaches it; a click leaves the focus where it was (the list keeps the arrow keys).
    setFocusPolicy(Qt::TabFocus);
}

void PillButton::setSelectedLook(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    update();
}

QSize PillButton::sizeHint() const
{
    const QFontMetrics fm(font());
    int w = fm.horizontalAdvance(text()) + 20;
    if (!m_symbol.isEmpty())
        w += 18;
    return QSize(w, fm.height() + 10);
}

void PillButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor accent = ViewStyle::accent(this);
    const QColor text = palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (m_selected) {
        p.setBrush(ViewStyle::withAlpha(accent, 0.20));
        p.setPen(QPen(ViewStyle::withAlpha(accent, 0.50), 1));
    } else {
        p.setBrush(isDown() ? ViewStyle::withAlpha(text, 0.08) : QColor(Qt::transparent));
        p.setPen(QPen(ViewStyle::withAlpha(palette().color(QPalette::WindowText), 0.30 * 0.55), 1));
    }
    p.drawRoundedRect(r, 6, 6);
    const QFontMetrics fm(font());
    int x = 10;
    if (!m_symbol.isEmpty()) {
        const int s = 14;
        p.drawPixmap(x, (height() - s) / 2, ViewStyle::pixmap(m_symbol, text, s, 2.0));
        x += s + 4;
    }
    p.setPen(text);
    p.drawText(QRect(x, 0, width() - x - 8, height()), Qt::AlignLeft | Qt::AlignVCenter, this->text());
    if (hasFocus())
        ViewStyle::drawFocusRing(&p, rect(), 6.5, this);
}

// ---- PaneResizeBar

PaneResizeBar::PaneResizeBar(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(5);
    setCursor(Qt::SizeVerCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

double PaneResizeBar::dragged(double height, double dy)
{
    return qBound(100.0, height - dy, 500.0);
}

void PaneResizeBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), ViewStyle::separator(this));
}

void PaneResizeBar::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    m_dragging = true;
    m_lastY = int(e->globalPosition().y());
}

void PaneResizeBar::mouseMoveEvent(QMouseEvent* e)
{
    if (!m_dragging)
        return;
    const int y = int(e->globalPosition().y());
    const int dy = y - m_lastY;
    m_lastY = y;
    if (dy != 0)
        emit dragMoved(dy);
}

void PaneResizeBar::mouseReleaseEvent(QMouseEvent*)
{
    m_dragging = false;
}

// ---- BusyIndicator

BusyIndicator::BusyIndicator(int size, QWidget* parent) : QWidget(parent), m_size(size)
{
    setFixedSize(size, size);
}

QSize BusyIndicator::sizeHint() const
{
    return QSize(m_size, m_size);
}

void BusyIndicator::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    p.setPen(QPen(ViewStyle::withAlpha(palette().color(QPalette::WindowText), 0.15), 2));
    p.drawEllipse(r);
    p.setPen(QPen(ViewStyle::secondary(this), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(r, -m_angle * 16, 100 * 16);
}

void BusyIndicator::timerEvent(QTimerEvent*)
{
    m_angle = (m_angle + 30) % 360;
    update();
}

void BusyIndicator::showEvent(QShowEvent*)
{
    if (!m_timer)
        m_timer = startTimer(80);
}

void BusyIndicator::hideEvent(QHideEvent*)
{
    if (m_timer)
        killTimer(m_timer);
    m_timer = 0;
}

// ---- FocusRing

FocusRing::FocusRing(QWidget* target, double radius) : QWidget(target), m_radius(radius)
{
    setObjectName(QStringLiteral("focusRing"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setVisible(target->hasFocus());
    setGeometry(target->rect());
    target->installEventFilter(this);
    // A scroll area's bars come up over it when they show.
    if (auto* area = qobject_cast<QAbstractScrollArea*>(target))
        for (QScrollBar* bar : {area->verticalScrollBar(), area->horizontalScrollBar()})
            if (QWidget* holder = bar->parentWidget(); holder && holder != target)
                holder->installEventFilter(this);
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != parent()) {
        if (event->type() == QEvent::Show || event->type() == QEvent::ZOrderChange)
            raise();
        return false;
    }
    auto* target = static_cast<QWidget*>(watched);
    switch (event->type()) {
    case QEvent::Resize:
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        setGeometry(target->rect());
        setVisible(target->hasFocus());
        raise();  // above the scroll bars, which the view raises as it lays them out
        break;
    default: break;
    }
    return false;
}

void FocusRing::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    ViewStyle::drawFocusRing(&p, rect(), m_radius, this);
}

// ---- RowKeys

RowKeys::RowKeys(QAbstractItemView* view, std::function<int()> currentRow, std::function<void(int)> select)
    : QObject(view), m_view(view), m_current(std::move(currentRow)), m_select(std::move(select))
{
    view->installEventFilter(this);
    if (!(view->focusPolicy() & Qt::TabFocus))
        view->setFocusPolicy(Qt::StrongFocus);
    new FocusRing(view);
}

int RowKeys::target(int key, int current, int count, int page)
{
    if (count <= 0)
        return -1;
    const int last = count - 1;
    // With nothing selected, the keys that go down start at the top and
    // those that go up at the bottom.
    switch (key) {
    case Qt::Key_Down: return current < 0 ? 0 : qMin(current + 1, last);
    case Qt::Key_Up: return current < 0 ? last : qMax(current - 1, 0);
    case Qt::Key_PageDown: return current < 0 ? 0 : qMin(current + qMax(page, 1), last);
    case Qt::Key_PageUp: return current < 0 ? 0 : qMax(current - qMax(page, 1), 0);
    case Qt::Key_Home: return 0;
    case Qt::Key_End: return last;
    default: return -1;
    }
}

bool RowKeys::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_view || event->type() != QEvent::KeyPress)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & ~(Qt::KeypadModifier))
        return false;
    QAbstractItemModel* model = m_view->model();
    if (!model)
        return false;
    const int rowHeight = qMax(1, m_view->sizeHintForRow(0));
    const int page = m_view->viewport()->height() / rowHeight - 1;
    const int row = target(key->key(), m_current(), model->rowCount(), page);
    if (row < 0)
        return false;
    m_select(row);
    m_view->scrollTo(model->index(row, 0));
    return true;
}
