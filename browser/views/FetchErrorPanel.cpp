#include "browser/views/FetchErrorPanel.h"

#include "logs/LogFetcher.h"
#include "ui/ViewStyle.h"
#include "ui/Widgets.h"

#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
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
    // The command is in the text too; the button saves selecting it exactly.
    m_copyButton = new QPushButton(QStringLiteral("Copy Command"));
    m_copyButton->setObjectName(QStringLiteral("journalGroupButton"));
    m_copyButton->setDefault(true);
    setProminent(m_copyButton);
    connect(m_copyButton, &QPushButton::clicked, this, &FetchErrorPanel::copyCommand);
    v->addWidget(m_copyButton, 0, Qt::AlignHCenter);
    v->addStretch(1);
}

void FetchErrorPanel::setError(const QString& message, const FetchOutcome& outcome)
{
    // A refused live-tail poll keeps its list: no advice about access then.
    m_access = outcome.liveTail ? JournalAccess{} : outcome.liveAccess;
    m_text->setText(message);
    m_text->setFixedHeight(m_text->heightForWidth(m_text->width()));
    m_copyButton->setVisible(m_access.limit == JournalAccess::Limit::notInGroup);
    m_copyButton->setText(QStringLiteral("Copy Command"));
    refreshIcon();
}

void FetchErrorPanel::refreshIcon()
{
    m_icon->setPixmap(m_access.limit == JournalAccess::Limit::notInGroup
                          ? ViewStyle::pixmap(QStringLiteral("lock.shield"), ViewStyle::secondary(this), 32, 2.0)
                          : ViewStyle::pixmap(QStringLiteral("exclamationmark.triangle"), ViewStyle::orange(), 32, 2.0));
}

void FetchErrorPanel::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::PaletteChange)
        refreshIcon();
}

void FetchErrorPanel::copyCommand()
{
    QGuiApplication::clipboard()->setText(m_access.groupCommand());
    m_copyButton->setText(QStringLiteral("Copied"));
}
