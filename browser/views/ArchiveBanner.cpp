#include "browser/views/ArchiveBanner.h"

#include "browser/WindowModel.h"
#include "logs/LogFetcher.h"
#include "ui/TextStyles.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

ArchiveBanner::ArchiveBanner(WindowModel* model, QWidget* parent)
    : TintedBar(QStringLiteral("archivebox.fill"), Tint::accent, parent), m_model(model)
{
    setObjectName(QStringLiteral("archiveBanner"));
    label()->setObjectName(QStringLiteral("archiveLabel"));
    row()->addStretch(1);
    auto* close = new QPushButton(QStringLiteral("Close Archive"));
    close->setObjectName(QStringLiteral("closeArchiveButton"));
    close->setFont(TextStyles::font(TextStyles::Style::caption));
    connect(close, &QPushButton::clicked, this, [this] { m_model->logFetcher()->closeArchive(); });
    row()->addWidget(close);
    connect(model->logFetcher(), &LogFetcher::archivePathChanged, this, &ArchiveBanner::refresh);
    refresh();
}

void ArchiveBanner::refresh()
{
    const std::optional<QString> name = m_model->archiveName();
    setVisible(name.has_value());
    if (name)
        label()->setText(QStringLiteral("Viewing archive: ") + *name);
}
