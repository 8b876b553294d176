#include "browser/views/ArchiveBanner.h"

#include "browser/WindowModel.h"
#include "logs/LogFetcher.h"
#include "ui/TextStyles.h"
#include "ui/ViewStyle.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

using TextStyles::Style;

ArchiveBanner::ArchiveBanner(WindowModel* model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("archiveBanner"));
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(12, 5, 12, 5);
    m_icon = new QLabel;
    h->addWidget(m_icon);
    m_label = TextStyles::label(QString(), Style::callout);
    m_label->setObjectName(QStringLiteral("archiveLabel"));
    m_label->setTextFormat(Qt::PlainText);
    h->addWidget(m_label);
    h->addStretch(1);
    auto* close = new QPushButton(QStringLiteral("Close Archive"));
    close->setObjectName(QStringLiteral("closeArchiveButton"));
    close->setFont(TextStyles::font(Style::caption));
    connect(close, &QPushButton::clicked, this, [this] { m_model->logFetcher()->closeArchive(); });
    h->addWidget(close);
    m_icon->setPixmap(ViewStyle::pixmap(QStringLiteral("archivebox.fill"), ViewStyle::accent(this), 12, 2.0));
    connect(model, &WindowModel::toolbarChanged, this, &ArchiveBanner::refresh);
    refresh();
}

void ArchiveBanner::refresh()
{
    const std::optional<QString> name = m_model->archiveName();
    setVisible(name.has_value());
    if (name)
        m_label->setText(QStringLiteral("Viewing archive: ") + *name);
}

void ArchiveBanner::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), ViewStyle::withAlpha(ViewStyle::accent(this), 0.12));
}

void ArchiveBanner::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::PaletteChange)
        m_icon->setPixmap(ViewStyle::pixmap(QStringLiteral("archivebox.fill"), ViewStyle::accent(this), 12, 2.0));
}
