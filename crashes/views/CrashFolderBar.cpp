#include "crashes/views/CrashFolderBar.h"

#include "ui/PlainText.h"
#include "ui/TextStyles.h"
#include "ui/ViewStyle.h"

#include <QDir>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

using TextStyles::Style;

CrashFolderBar::CrashFolderBar(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("crashFolderBar"));
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(12, 5, 12, 5);
    m_icon = new QLabel;
    h->addWidget(m_icon);
    m_label = TextStyles::label(QString(), Style::callout);
    m_label->setObjectName(QStringLiteral("crashFolderLabel"));
    m_label->setTextFormat(Qt::PlainText);
    // A long path is elided instead of widening the window.
    m_label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    h->addWidget(m_label, 1);
    m_home = TextStyles::label(QStringLiteral("~/Library/Logs/DiagnosticReports"), Style::caption, true);
    m_home->setObjectName(QStringLiteral("crashHomeLabel"));
    m_home->setTextFormat(Qt::PlainText);
    h->addWidget(m_home, 1);
    auto* open = new QPushButton(QStringLiteral("Open Folder…"));
    open->setObjectName(QStringLiteral("openCrashFolderButton"));
    open->setFont(TextStyles::font(Style::caption));
    connect(open, &QPushButton::clicked, this, &CrashFolderBar::openRequested);
    h->addWidget(open);
    m_close = new QPushButton(QStringLiteral("Close Folder"));
    m_close->setObjectName(QStringLiteral("closeCrashFolderButton"));
    m_close->setFont(TextStyles::font(Style::caption));
    connect(m_close, &QPushButton::clicked, this, &CrashFolderBar::closeRequested);
    h->addWidget(m_close);
    paintIcon();
    setFolder(std::nullopt);
}

void CrashFolderBar::setFolder(const std::optional<QString>& folder)
{
    m_folder = folder;
    m_text = folder ? QStringLiteral("Viewing crash reports in: ") + QDir::toNativeSeparators(*folder) : QString();
    m_icon->setVisible(folder.has_value());
    m_label->setVisible(folder.has_value());
    m_home->setVisible(!folder);
    m_close->setVisible(folder.has_value());
    m_label->setToolTip(folder ? PlainText::toolTip(QDir::toNativeSeparators(*folder)) : QString());
    elide();
    update();
}

void CrashFolderBar::elide()
{
    m_label->setText(m_label->fontMetrics().elidedText(m_text, Qt::ElideMiddle, qMax(0, m_label->width())));
}

void CrashFolderBar::paintIcon()
{
    m_icon->setPixmap(ViewStyle::pixmap(QStringLiteral("ladybug"), ViewStyle::accent(this), 12, 2.0));
}

void CrashFolderBar::paintEvent(QPaintEvent*)
{
    if (!m_folder)
        return;
    QPainter p(this);
    p.fillRect(rect(), ViewStyle::withAlpha(ViewStyle::accent(this), 0.12));
}

void CrashFolderBar::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    elide();
}

void CrashFolderBar::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::PaletteChange)
        paintIcon();
    if (e->type() == QEvent::FontChange)
        elide();
}
