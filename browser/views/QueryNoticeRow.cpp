#include "browser/views/QueryNoticeRow.h"

#include "browser/WindowModel.h"
#include "ui/TextStyles.h"
#include "ui/ViewStyle.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

using TextStyles::Style;

QueryNoticeRow::QueryNoticeRow(WindowModel* model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("queryNoticeRow"));
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(12, 4, 12, 4);
    h->setSpacing(6);
    m_icon = new QLabel;
    h->addWidget(m_icon, 0, Qt::AlignTop);
    // Wrapped, so that a narrow window shows the whole sentence on two lines.
    m_label = TextStyles::label(QString(), Style::callout, false, true);
    m_label->setObjectName(QStringLiteral("queryNotice"));
    h->addWidget(m_label, 1);
    updateIcon();
    connect(model, &WindowModel::contentChanged, this, &QueryNoticeRow::refresh);
    refresh();
}

void QueryNoticeRow::refresh()
{
    const std::optional<QString> notice = m_model->cutNotice();
    if (notice)
        m_label->setText(*notice);
    setVisible(notice.has_value());
}

void QueryNoticeRow::updateIcon()
{
    m_icon->setPixmap(ViewStyle::pixmap(QStringLiteral("info.circle"), ViewStyle::orange(), 12, 2.0));
}

void QueryNoticeRow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), ViewStyle::withAlpha(ViewStyle::orange(), 0.12));
}

void QueryNoticeRow::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::PaletteChange)
        updateIcon();
}
