#include "browser/views/FetchErrorPanel.h"

#include "ui/ViewStyle.h"
#include "ui/Widgets.h"

#include <QEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

FetchErrorPanel::FetchErrorPanel(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("errorPanel"));
    auto* v = new QVBoxLayout(this);
    v->addStretch(1);
    m_icon = new QLabel;
    m_icon->setAlignment(Qt::AlignCenter);
    v->addWidget(m_icon);
    m_text = new QLabel;
    m_text->setObjectName(QStringLiteral("errorText"));
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignCenter);
    // Fixed width, and the height of every wrapped line set with the text:
    // an aligned layout item gets only its size hint, which for a wrapping
    // label is one line.
    m_text->setFixedWidth(400);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    v->addWidget(m_text, 0, Qt::AlignHCenter);
    m_settingsButton = new QPushButton(QStringLiteral("Open System Settings"));
    m_settingsButton->setObjectName(QStringLiteral("fullDiskAccessButton"));
    m_settingsButton->setDefault(true);
    setProminent(m_settingsButton);
    connect(m_settingsButton, &QPushButton::clicked, this, &FetchErrorPanel::openFullDiskAccessHelp);
    v->addWidget(m_settingsButton, 0, Qt::AlignHCenter);
    v->addStretch(1);
}

void FetchErrorPanel::setError(const QString& message, bool needsFullDiskAccess)
{
    m_fullDiskAccess = needsFullDiskAccess;
    m_text->setText(message);
    m_text->setFixedHeight(m_text->heightForWidth(m_text->width()));
    m_settingsButton->setVisible(needsFullDiskAccess);
    refreshIcon();
}

void FetchErrorPanel::refreshIcon()
{
    m_icon->setPixmap(m_fullDiskAccess
                          ? ViewStyle::pixmap(QStringLiteral("lock.shield"), ViewStyle::secondary(this), 32, 2.0)
                          : ViewStyle::pixmap(QStringLiteral("exclamationmark.triangle"), ViewStyle::orange(), 32, 2.0));
}

void FetchErrorPanel::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::PaletteChange)
        refreshIcon();
}

void FetchErrorPanel::openFullDiskAccessHelp()
{
    // There is no Full Disk Access list on Linux: what stands for it is the
    // group that may read the whole system journal.
    QMessageBox box(this);
    box.setWindowTitle(QStringLiteral("Full Disk Access"));
    box.setIcon(QMessageBox::Information);
    box.setText(QStringLiteral("Reading the whole system journal needs membership in the \"systemd-journal\" group "
                               "(or \"adm\")."));
    box.setInformativeText(QStringLiteral("Add your account to it, then log out and back in:\n\n"
                                          "sudo usermod -aG systemd-journal $USER"));
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    giveReadableWidth(&box);
    box.exec();
}
