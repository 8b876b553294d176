#include "browser/views/FloatingDetailView.h"

#include "browser/DetailWindowState.h"
#include "browser/views/DetailPane.h"
#include "ui/TextStyles.h"
#include "ui/ViewStyle.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
QPointer<FloatingDetailView>& shared()
{
    static QPointer<FloatingDetailView> window;
    return window;
}
}  // namespace

FloatingDetailView::FloatingDetailView(DetailWindowState* state, QWidget* parent)
    : QWidget(parent, Qt::Window), m_state(state)
{
    setObjectName(QLatin1String(windowID));
    setWindowTitle(QStringLiteral("Log Entry Detail"));
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(500, 400);
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    connect(state, &DetailWindowState::entryChanged, this, &FloatingDetailView::showEntry);
    connect(state, &DetailWindowState::servicesChanged, this, [this] {
        // New services mean a new pop-out: the pane starts afresh.
        if (m_body) {
            m_body->deleteLater();
            m_body = nullptr;
            m_pane = nullptr;
        }
        showEntry();
    });
    showEntry();
}

FloatingDetailView::~FloatingDetailView()
{
    if (m_state)
        m_state->setOpen(false);
}

FloatingDetailView* FloatingDetailView::instance()
{
    return shared().data();
}

FloatingDetailView* FloatingDetailView::open(DetailWindowState* state)
{
    QPointer<FloatingDetailView>& w = shared();
    if (!w || w->m_state != state) {
        delete w.data();
        w = new FloatingDetailView(state);
        w->setAttribute(Qt::WA_DeleteOnClose);
    }
    if (w->isMinimized())
        w->showNormal();
    else
        w->show();
    w->raise();
    w->activateWindow();
    return w;
}

void FloatingDetailView::showEntry()
{
    if (!m_state)
        return;
    const auto& entry = m_state->entry();
    if (entry && m_pane) {
        m_pane->setEntry(*entry);
        return;
    }
    if (m_body) {
        m_body->deleteLater();
        m_body = nullptr;
        m_pane = nullptr;
    }
    m_body = new QWidget;
    auto* v = new QVBoxLayout(m_body);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    if (entry) {
        auto* top = new QHBoxLayout;
        top->setContentsMargins(0, 4, 12, 4);
        top->addStretch(1);
        auto* back = new QToolButton;
        back->setObjectName(QStringLiteral("popBackButton"));
        back->setAutoRaise(true);
        back->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        back->setText(QStringLiteral("Pop Back In"));
        m_back = back;
        refreshIcon();
        back->setCursor(Qt::PointingHandCursor);
        connect(back, &QToolButton::clicked, this, &FloatingDetailView::popBackIn);
        top->addWidget(back);
        v->addLayout(top);
        auto* line = new QFrame;
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Plain);
        v->addWidget(line);
        m_pane = new DetailPane(*entry, m_state->processNames(), m_state->aiSettings(), std::nullopt, {});
        v->addWidget(m_pane, 1);
    } else {
        auto* empty = TextStyles::label(QStringLiteral("No entry selected"), TextStyles::Style::body, true);
        empty->setObjectName(QStringLiteral("noEntryLabel"));
        empty->setAlignment(Qt::AlignCenter);
        v->addWidget(empty, 1);
    }
    m_layout->addWidget(m_body);
}

void FloatingDetailView::refreshIcon()
{
    if (m_back)
        m_back->setIcon(
            ViewStyle::icon(QStringLiteral("arrow.down.left.square"), palette().color(QPalette::WindowText), 16, 2.0));
}

void FloatingDetailView::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::PaletteChange)
        refreshIcon();  // a theme switch
}

void FloatingDetailView::popBackIn()
{
    if (m_state)
        m_state->setWantsPopBack(true);
    close();
}

void FloatingDetailView::closeEvent(QCloseEvent* e)
{
    if (m_state)
        m_state->setOpen(false);
    QWidget::closeEvent(e);
}
