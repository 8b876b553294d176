#include "app/views/APIKeyHelpView.h"

#include "ai/Providers.h"
#include "ui/TextStyles.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

using TextStyles::Style;

namespace {

QWidget* block(const QString& title, const QStringList& lines, bool numbered)
{
    auto* frame = new QFrame;
    frame->setObjectName(QStringLiteral("apiKeyBlock"));
    frame->setFrameShape(QFrame::StyledPanel);
    auto* col = new QVBoxLayout(frame);
    col->setContentsMargins(14, 12, 14, 12);
    col->setSpacing(8);
    auto* head = TextStyles::label(title, Style::headline);
    head->setObjectName(QStringLiteral("apiKeyBlockTitle"));
    col->addWidget(head);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(6);
    for (int i = 0; i < lines.size(); ++i) {
        auto* mark = new QLabel(numbered ? QString::number(i + 1) : QStringLiteral("•"));
        mark->setAlignment(Qt::AlignCenter);
        if (numbered) {
            mark->setFixedSize(20, 20);
            mark->setFont(TextStyles::font(Style::caption, false, QFont::Bold));
            mark->setStyleSheet(QStringLiteral("QLabel { color: white; background: palette(highlight);"
                                               " border-radius: 10px; }"));
        }
        auto* text = new QLabel(lines.at(i));
        text->setObjectName(QStringLiteral("apiKeyStep"));
        text->setWordWrap(true);
        text->setTextFormat(Qt::RichText);
        text->setOpenExternalLinks(true);
        text->setFont(TextStyles::font(Style::body));
        grid->addWidget(mark, i, 0, Qt::AlignTop);
        grid->addWidget(text, i, 1);
    }
    grid->setColumnStretch(1, 1);
    col->addLayout(grid);
    return frame;
}

QString link(const QString& url, const QString& text)
{
    return QStringLiteral("<a href=\"%1\">%2</a>").arg(url, text);
}

}  // namespace

APIKeyHelpView::APIKeyHelpView(QWidget* parent)
    : QWidget(parent)
{
    setFixedWidth(560);
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(24, 20, 24, 20);
    col->setSpacing(16);

    auto* title = TextStyles::label(QStringLiteral("Setting Up Your AI API Key"), Style::title);
    title->setFont(TextStyles::font(Style::title, false, QFont::Bold));
    title->setObjectName(QStringLiteral("apiKeyTitle"));
    col->addWidget(title);

    auto* intro = TextStyles::label(
        QStringLiteral("The AI Log Explainer and Proactive Analysis features require an API key from one of the "
                       "supported providers. Your key is stored locally on this computer and is never shared with "
                       "anyone except the provider you choose."),
        Style::body, true, true);
    intro->setObjectName(QStringLiteral("apiKeyIntro"));
    col->addWidget(intro);

    for (const AIProvider& p : AIProviders::all())
        col->addWidget(block(p.keyHelpTitle,
                             {QStringLiteral("Visit ") + link(p.keyConsoleURL, QUrl(p.keyConsoleURL).host()) + QStringLiteral(" and create a free account."),
                              QStringLiteral("Navigate to API Keys and create a new key."),
                              QStringLiteral("Copy the key and paste it into Vellacord Settings.")},
                             true));
    col->addWidget(block(QStringLiteral("Privacy and Security"),
                         {QStringLiteral("Your API key is stored locally, in Vellacord's settings file, which only your account "
                                         "can read."),
                          QStringLiteral("It is never sent anywhere except directly to the provider's servers "
                                         "when you use the AI features."),
                          QStringLiteral("You can revoke your key at any time from the provider's dashboard.")},
                         false));

    auto* row = new QHBoxLayout;
    row->addStretch(1);
    auto* done = new QPushButton(QStringLiteral("Done"));
    done->setObjectName(QStringLiteral("apiKeyDone"));
    done->setDefault(true);
    connect(done, &QPushButton::clicked, this, [this] { window()->close(); });
    row->addWidget(done);
    col->addLayout(row);
}
