#include "app/views/UpdateBanner.h"

#include "logs/VisibleText.h"
#include "ui/TextStyles.h"
#include "ui/ViewStyle.h"

#include <QDesktopServices>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QUrl>

using TextStyles::Style;

QString UpdateBanner::bannerText(const QString& latestVersion)
{
    return QStringLiteral("Vellacord ") + latestVersion + QStringLiteral(" is available");
}

bool UpdateBanner::isWebAddress(const QString& url)
{
    const QUrl u(url, QUrl::StrictMode);
    const QString scheme = u.scheme().toLower();
    return u.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
           && !u.host().isEmpty();
}

UpdateBanner::UpdateBanner(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("updateBanner"));
    setAutoFillBackground(true);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 5, 8, 5);
    row->setSpacing(8);
    auto* icon = new QLabel;
    icon->setPixmap(ViewStyle::pixmap(QStringLiteral("arrow.down.circle"), ViewStyle::blue(), 12));
    row->addWidget(icon);
    m_text = TextStyles::label(QString(), Style::callout);
    m_text->setObjectName(QStringLiteral("updateBannerText"));
    // The version comes from the network: never markup.
    m_text->setTextFormat(Qt::PlainText);
    row->addWidget(m_text);
    m_download = new QPushButton(QStringLiteral("Download"));
    m_download->setObjectName(QStringLiteral("updateDownload"));
    m_download->setFont(TextStyles::font(Style::caption));
    connect(m_download, &QPushButton::clicked, this, &UpdateBanner::download);
    row->addWidget(m_download);
    row->addStretch(1);
    m_close = new QToolButton;
    m_close->setObjectName(QStringLiteral("updateDismiss"));
    m_close->setAutoRaise(true);
    m_close->setToolTip(QStringLiteral("Close"));
    connect(m_close, &QToolButton::clicked, this, &UpdateBanner::dismiss);
    row->addWidget(m_close);

    QPalette p = palette();
    QColor tint = ViewStyle::blue();
    tint.setAlphaF(0.12);
    p.setColor(QPalette::Window, tint);
    setPalette(p);

    refreshIcons();
    refresh();
}

void UpdateBanner::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::PaletteChange)
        refreshIcons();
}

void UpdateBanner::refreshIcons()
{
    // Drawn in the current scheme's secondary colour, again after a theme switch.
    m_close->setIcon(ViewStyle::icon(QStringLiteral("xmark"), ViewStyle::secondary(this), 10));
}

void UpdateBanner::setUpdate(bool updateAvailable, const QString& latestVersion, const QString& downloadURL)
{
    m_updateAvailable = updateAvailable;
    m_latestVersion = latestVersion;
    m_downloadURL = downloadURL;
    refresh();
}

void UpdateBanner::refresh()
{
    // The checker takes only short plain versions; shown through VisibleText
    // all the same, as every text from elsewhere.
    m_text->setText(bannerText(VisibleText::shownName(m_latestVersion)));
    // A button that would do nothing is not offered: the banner then only tells.
    m_download->setVisible(opensDownload());
    setVisible(wantsToShow());
}

void UpdateBanner::download()
{
    // The address comes from the network: only web addresses are opened,
    // never file:, custom schemes or anything that does not parse.
    if (!opensDownload())
        return;
    QDesktopServices::openUrl(QUrl(m_downloadURL, QUrl::StrictMode));
}

bool UpdateBanner::opensDownload() const
{
    return isWebAddress(m_downloadURL) && (!m_isSafe || m_isSafe(m_downloadURL));
}

void UpdateBanner::dismiss()
{
    m_dismissed = true;
    refresh();
}
