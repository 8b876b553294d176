#include "app/views/UpdateBanner.h"

#include "logs/VisibleText.h"
#include "ui/PlainText.h"
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

QString UpdateBanner::runningText(const QString& runningVersion)
{
    return QStringLiteral("You have %1.").arg(runningVersion);
}

QString UpdateBanner::shownNotes(const QString& notes)
{
    constexpr qsizetype kMaxBytes = 2048;
    const qsizetype kept = PlainText::charsInUtf8(notes, kMaxBytes);
    QStringList lines = notes.left(kept).split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = VisibleText::shownName(line);
    QString shown = lines.join(QLatin1Char('\n')).trimmed();
    if (kept < notes.size())
        shown += QStringLiteral("…");
    return shown;
}

bool UpdateBanner::isWebAddress(const QString& url)
{
    const QUrl u(url, QUrl::StrictMode);
    const QString scheme = u.scheme().toLower();
    return u.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !u.host().isEmpty();
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
    m_running = TextStyles::label(QString(), Style::caption);
    m_running->setObjectName(QStringLiteral("updateBannerRunning"));
    m_running->setTextFormat(Qt::PlainText);
    row->addWidget(m_running);
    // The notes' first line, elided by the layout; the whole (cut) in the tooltip.
    m_notes = TextStyles::label(QString(), Style::caption);
    m_notes->setObjectName(QStringLiteral("updateBannerNotes"));
    m_notes->setTextFormat(Qt::PlainText);
    m_notes->setMinimumWidth(0);
    m_notes->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    row->addWidget(m_notes, 1);
    m_download = new QPushButton(QStringLiteral("Download"));
    m_download->setObjectName(QStringLiteral("updateDownload"));
    m_download->setFont(TextStyles::font(Style::caption));
    connect(m_download, &QPushButton::clicked, this, &UpdateBanner::download);
    row->addWidget(m_download);
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

void UpdateBanner::setDetails(const QString& runningVersion, const QString& releaseNotes)
{
    m_runningVersion = runningVersion;
    m_releaseNotes = releaseNotes;
    refresh();
}

void UpdateBanner::refresh()
{
    // The checker takes only short plain versions; shown through VisibleText
    // all the same, as every text from elsewhere.
    m_text->setText(bannerText(VisibleText::shownName(m_latestVersion)));
    m_running->setText(m_runningVersion.isEmpty() ? QString() : runningText(VisibleText::shownName(m_runningVersion)));
    m_running->setVisible(!m_runningVersion.isEmpty());
    const QString notes = shownNotes(m_releaseNotes);
    m_notes->setText(notes.section(QLatin1Char('\n'), 0, 0));
    m_notes->setToolTip(PlainText::toolTip(notes));
    m_notes->setVisible(!notes.isEmpty());
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
