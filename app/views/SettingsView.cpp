#include "app/views/SettingsView.h"

#include "ai/AISettings.h"
#include "ui/TextStyles.h"
#include "ui/ViewStyle.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

using TextStyles::Style;

namespace {
QVBoxLayout* group()
{
    auto* g = new QVBoxLayout;
    g->setSpacing(4);
    g->setContentsMargins(0, 0, 0, 0);
    return g;
}
}  // namespace

QString SettingsView::placeholderFor(const QString& providerName)
{
    return QStringLiteral("Paste your ") + providerName + QStringLiteral(" API key");
}

SettingsView::SettingsView(AISettings* aiSettings, QWidget* parent)
    : QFrame(parent, Qt::Popup), m_settings(aiSettings)
{
    setObjectName(QStringLiteral("settingsView"));
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);
    setFixedWidth(380);

    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(20, 20, 20, 20);
    col->setSpacing(16);

    auto* title = TextStyles::label(QStringLiteral("AI Log Explainer Settings"), Style::headline);
    title->setObjectName(QStringLiteral("settingsTitle"));
    col->addWidget(title);

    // Provider segments.
    auto* providerRow = new QHBoxLayout;
    providerRow->setSpacing(8);
    auto* providerLabel = TextStyles::label(QStringLiteral("Provider"), Style::body);
    providerRow->addWidget(providerLabel);
    auto* segRow = new QHBoxLayout;
    segRow->setSpacing(0);
    m_segments = new QButtonGroup(this);
    m_segments->setExclusive(true);
    const auto& providers = AIProviders::all();
    const int count = int(providers.size());
    const int segWidth = 250 / count;
    for (int i = 0; i < count; ++i) {
        auto* b = new QPushButton(providers[size_t(i)].name);
        b->setObjectName(QStringLiteral("providerSegment"));
        b->setCheckable(true);
        b->setFixedWidth(segWidth);
        b->setFocusPolicy(Qt::TabFocus);
        const bool first = i == 0, last = i == count - 1;
        b->setStyleSheet(QStringLiteral(
                             "QPushButton { border: 1px solid palette(mid); padding: 3px 0; background: palette(button);"
                             " border-top-left-radius: %1px; border-bottom-left-radius: %1px;"
                             " border-top-right-radius: %2px; border-bottom-right-radius: %2px; %3 }"
                             "QPushButton:checked { background: palette(highlight); color: palette(highlighted-text); }"
                             "QPushButton:focus { border: 2px solid palette(highlight); padding: 2px 0; }"
                             "QPushButton:checked:focus { border-color: palette(window-text); }")
                             .arg(first ? 5 : 0)
                             .arg(last ? 5 : 0)
                             .arg(first ? QString() : QStringLiteral("border-left: none;")));
        m_segments->addButton(b, i);
        segRow->addWidget(b);
    }
    providerRow->addLayout(segRow);
    providerRow->addStretch(1);
    col->addLayout(providerRow);
    connect(m_segments, &QButtonGroup::idClicked, this, [this](int id) {
        if (m_settings && id >= 0 && size_t(id) < AIProviders::all().size())
            m_settings->setProvider(AIProviders::all()[size_t(id)]);
    });

    // API key.
    auto* keyGroup = group();
    keyGroup->addWidget(TextStyles::label(QStringLiteral("API Key"), Style::caption, true));
    m_key = new QLineEdit;
    m_key->setObjectName(QStringLiteral("apiKeyField"));
    m_key->setEchoMode(QLineEdit::Password);
    m_key->setClearButtonEnabled(false);
    keyGroup->addWidget(m_key);
    col->addLayout(keyGroup);
    connect(m_key, &QLineEdit::textEdited, this, [this](const QString& t) {
        if (m_settings)
            m_settings->setAPIKey(t);
    });

    col->addWidget(ViewStyle::divider());

    // Search engine address.
    auto* urlGroup = group();
    urlGroup->addWidget(TextStyles::label(QStringLiteral("Search Engine URL"), Style::caption, true));
    m_url = new QLineEdit;
    m_url->setObjectName(QStringLiteral("searchURLField"));
    m_url->setPlaceholderText(AISettings::defaultSearchEngineURL());
    urlGroup->addWidget(m_url);
    auto* note = TextStyles::label(QStringLiteral("Query terms are appended to this URL"), Style::caption2, true);
    note->setObjectName(QStringLiteral("searchURLNote"));
    urlGroup->addWidget(note);
    col->addLayout(urlGroup);
    connect(m_url, &QLineEdit::textEdited, this, [this](const QString& t) {
        if (m_settings)
            m_settings->setSearchEngineURL(t);
    });

    // Status and Done.
    auto* statusRow = new QHBoxLayout;
    statusRow->setSpacing(6);
    m_statusIcon = new QLabel;
    m_statusIcon->setObjectName(QStringLiteral("settingsStatusIcon"));
    statusRow->addWidget(m_statusIcon);
    m_status = TextStyles::label(QString(), Style::caption, true);
    m_status->setObjectName(QStringLiteral("settingsStatus"));
    statusRow->addWidget(m_status);
    statusRow->addStretch(1);
    m_done = new QPushButton(QStringLiteral("Done"));
    m_done->setObjectName(QStringLiteral("settingsDone"));
    m_done->setDefault(true);
    m_done->setStyleSheet(QStringLiteral(
                              "QPushButton { background-color: palette(highlight); color: palette(highlighted-text);"
                              " border: 2px solid transparent; border-radius: 5px; padding: 1px 12px; }") +
                          ViewStyle::focusRule(true));
    // Closes the popup it sits in: itself, or the window that hosts it.
    connect(m_done, &QPushButton::clicked, this, [this] { window()->close(); });
    statusRow->addWidget(m_done);
    col->addLayout(statusRow);

    if (m_settings) {
        connect(m_settings, &AISettings::apiKeyChanged, this, [this] {
            if (m_key->text() != m_settings->apiKey())
                m_key->setText(m_settings->apiKey());
            updateStatus();
        });
        connect(m_settings, &AISettings::providerChanged, this, &SettingsView::updateProvider);
        connect(m_settings, &AISettings::searchEngineURLChanged, this, [this] {
            if (m_url->text() != m_settings->searchEngineURL())
                m_url->setText(m_settings->searchEngineURL());
        });
    }
    reload();
}

void SettingsView::showEvent(QShowEvent* e)
{
    QFrame::showEvent(e);
    // Opened to be typed in: the key first.
    m_key->setFocus(Qt::PopupFocusReason);
}

QPushButton* SettingsView::segment(int i) const
{
    return qobject_cast<QPushButton*>(m_segments->button(i));
}

void SettingsView::reload()
{
    if (!m_settings)
        return;
    m_key->setText(m_settings->apiKey());
    m_url->setText(m_settings->searchEngineURL());
    updateProvider();
    updateStatus();
}

void SettingsView::updateProvider()
{
    if (!m_settings)
        return;
    const auto& providers = AIProviders::all();
    const auto at = std::find_if(providers.begin(), providers.end(),
                                 [this](const AIProvider& p) { return &p == &m_settings->provider(); });
    if (QAbstractButton* b = m_segments->button(int(at - providers.begin())))
        b->setChecked(true);
    m_key->setPlaceholderText(placeholderFor(m_settings->provider().name));
}

void SettingsView::updateStatus()
{
    const bool ok = m_settings && m_settings->hasAPIKey();
    m_statusIcon->setPixmap(ok ? ViewStyle::pixmap(QStringLiteral("checkmark.circle.fill"), ViewStyle::green(), 14)
                               : ViewStyle::pixmap(QStringLiteral("exclamationmark.triangle.fill"),
                                                   ViewStyle::orange(), 14));
    m_status->setText(ok ? QStringLiteral("API key set") : QStringLiteral("API key required"));
}
