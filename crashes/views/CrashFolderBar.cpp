#include "crashes/views/CrashFolderBar.h"

#include "logs/VisibleText.h"
#include "ui/PlainText.h"
#include "ui/TextStyles.h"

#include <QDir>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

using TextStyles::Style;

CrashFolderBar::CrashFolderBar(QWidget* parent) : TintedBar(QStringLiteral("ladybug"), Tint::accent, parent)
{
    setObjectName(QStringLiteral("crashFolderBar"));
    QHBoxLayout* h = row();
    label()->setObjectName(QStringLiteral("crashFolderLabel"));
    // A long path is elided instead of widening the window.
    label()->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    h->setStretchFactor(label(), 1);
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
    setFolder(std::nullopt);
}

void CrashFolderBar::setFolder(const std::optional<QString>& folder)
{
    m_folder = folder;
    const QString shown = folder ? VisibleText::shownName(QDir::toNativeSeparators(*folder)) : QString();
    m_text = folder ? QStringLiteral("Viewing crash reports in: ") + shown : QString();
    icon()->setVisible(folder.has_value());
    label()->setVisible(folder.has_value());
    m_home->setVisible(!folder);
    m_close->setVisible(folder.has_value());
    label()->setToolTip(folder ? PlainText::toolTip(shown) : QString());
    elide();
    setTinted(folder.has_value());
}

void CrashFolderBar::elide()
{
    label()->setText(label()->fontMetrics().elidedText(m_text, Qt::ElideMiddle, qMax(0, label()->width())));
}

void CrashFolderBar::resizeEvent(QResizeEvent* e)
{
    TintedBar::resizeEvent(e);
    elide();
}

void CrashFolderBar::changeEvent(QEvent* e)
{
    TintedBar::changeEvent(e);
    if (e->type() == QEvent::FontChange)
        elide();
}
