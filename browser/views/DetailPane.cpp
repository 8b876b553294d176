#include "browser/views/DetailPane.h"

#include "ai/AISettings.h"
#include "ai/ExplainController.h"
#include "browser/EntryText.h"
#include "browser/views/BrowserWidgets.h"
#include "logs/VisibleText.h"
#include "processnames/ProcessNameResolver.h"
#include "ui/FlowLayout.h"
#include "ui/InlineMarkdownView.h"
#include "ui/PlainText.h"
#include "ui/PlainTextViewer.h"
#include "ui/SeverityPalette.h"
#include "ui/TextStyles.h"
#include "ui/ViewStyle.h"
#include "ui/Widgets.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

using TextStyles::Style;

namespace {
std::function<bool(const QUrl&)>& urlOpener()
{
    static std::function<bool(const QUrl&)> opener = [](const QUrl& u) { return QDesktopServices::openUrl(u); };
    return opener;
}

QLabel* selectable(const QFont& font)
{
    auto* l = new QLabel;
    l->setTextFormat(Qt::PlainText);
    l->setFont(font);
    l->setWordWrap(true);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}
}  // namespace

void DetailPane::setUrlOpener(std::function<bool(const QUrl&)> opener)
{
    urlOpener() = opener ? std::move(opener) : [](const QUrl& u) { return QDesktopServices::openUrl(u); };
}

DetailPane::DetailPane(const LogEntry& entry, ProcessNameResolver* processNames, AISettings* aiSettings,
                       std::optional<double> height, std::function<void()> onPopOut, QWidget* parent)
    : QWidget(parent), m_entry(entry), m_processNames(processNames), m_onPopOut(std::move(onPopOut))
{
    setObjectName(QStringLiteral("DetailPane"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    if (aiSettings) {
        m_explainer = new ExplainController(ExplainController::Subjects::logEntries, aiSettings, processNames, this);
        m_explainer->setEntry(entry);
        connect(m_explainer, &ExplainController::changed, this, &DetailPane::refreshAISection);
    }
    if (processNames)
        connect(processNames, &ProcessNameResolver::learnedNamesChanged, this, &DetailPane::refresh);
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    m_scroll = new QScrollArea;
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setBackgroundRole(QPalette::Base);
    lay->addWidget(m_scroll);
    m_scroll->setWidget(buildContent());
    lay->insertWidget(0, m_topBar);
    lay->insertWidget(1, ViewStyle::divider());
    setPaneHeight(height);
    refresh();
}

DetailPane::~DetailPane() = default;

void DetailPane::setEntry(const LogEntry& entry)
{
    m_entry = entry;
    if (m_explainer)
        m_explainer->setEntry(entry);  // refreshes the AI section
    refresh();
}

void DetailPane::setListed(bool listed)
{
    m_notListed->setVisible(!listed);
}

void DetailPane::setPaneHeight(std::optional<double> height)
{
    m_height = height ? std::optional<int>(int(*height)) : std::nullopt;
    if (m_height) {
        setMinimumHeight(std::min(*m_height, 80));
        setMaximumHeight(*m_height);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    } else {
        setMinimumHeight(0);
        setMaximumHeight(QWIDGETSIZE_MAX);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    }
    updateGeometry();
}

QSize DetailPane::sizeHint() const
{
    QSize s = QWidget::sizeHint();
    if (m_height)
        s.setHeight(*m_height);
    return s;
}

void DetailPane::resetExplanation()
{
    if (m_explainer) {
        m_explainer->reset();
        m_explainer->setEntry(m_entry);
    }
}

void DetailPane::adoptExplanation(const DetailPane& other)
{
    if (m_explainer && other.m_explainer)
        m_explainer->adopt(*other.m_explainer);
}

bool DetailPane::isExplaining() const
{
    return m_explainer && m_explainer->isExplaining();
}

bool DetailPane::wasCached() const
{
    return m_explainer && m_explainer->wasCached();
}

void DetailPane::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    // Colours depend on the theme: once the new palette has reached every
    // child, draw them again.
    if (e->type() == QEvent::PaletteChange && !m_refreshQueued) {
        m_refreshQueued = true;
        QTimer::singleShot(0, this, [this] {
            m_refreshQueued = false;
            refresh();
        });
    }
}

QString DetailPane::processText(const LogEntry& e, const ProcessNameResolver* names)
{
    return EntryText::processText(e, names);
}

// ---------------------------------------------------------------- layout

QWidget* DetailPane::buildContent()
{
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("DetailContent"));
    content->setBackgroundRole(QPalette::Base);
    auto* v = new QVBoxLayout(content);
    v->setContentsMargins(12, 8, 12, 12);
    v->setSpacing(8);

    // Header, pinned above the scrolling part by the constructor.
    m_topBar = new QWidget;
    m_topBar->setObjectName(QStringLiteral("detailTopBar"));
    // The actions wrap below the date as one group when the pane is narrow,
    // rather than squeezing over each other.
    auto* header = new FlowLayout(m_topBar, 8, 4);
    header->setContentsMargins(12, 6, 12, 6);
    m_level = new QLabel;
    m_level->setTextFormat(Qt::PlainText);
    m_level->setObjectName(QStringLiteral("detailLevel"));
    m_level->setFont(TextStyles::font(Style::headline, false, QFont::Bold));
    header->addWidget(m_level);
    m_date = new QLabel;
    m_date->setTextFormat(Qt::PlainText);
    m_date->setObjectName(QStringLiteral("detailDate"));
    m_date->setFont(TextStyles::font(Style::body, true));
    m_date->setTextInteractionFlags(Qt::TextSelectableByMouse);
    header->addWidget(m_date);
    auto* actions = new QWidget;
    actions->setObjectName(QStringLiteral("detailActions"));
    auto* actionLayout = new QHBoxLayout(actions);
    actionLayout->setContentsMargins(0, 0, 0, 0);
    header->addWidget(actions, true);
    if (m_onPopOut) {
        m_popOut = new QToolButton;
        m_popOut->setObjectName(QStringLiteral("popOutButton"));
        m_popOut->setAutoRaise(true);
        m_popOut->setToolTip(QStringLiteral("Open in separate window"));
        m_popOut->setCursor(Qt::PointingHandCursor);
        connect(m_popOut, &QToolButton::clicked, this, [this] {
            if (m_onPopOut)
                m_onPopOut();
        });
        actionLayout->addWidget(m_popOut);
    }

    // Above the message, where it never crowds the actions.
    m_notListed = TextStyles::label(QStringLiteral("Not in the current list"), Style::caption, true);
    m_notListed->setObjectName(QStringLiteral("notListedLabel"));
    m_notListed->hide();
    v->addWidget(m_notListed);

    // Message.
    auto* msgBox = new QGroupBox(QStringLiteral("Message"));
    msgBox->setObjectName(QStringLiteral("messageBox"));
    auto* mv = new QVBoxLayout(msgBox);
    // Wrapped, selectable and as tall as its text, like a label, but laid out
    // in one pass and drawn only where it shows.
    m_message = new PlainTextViewer;
    m_message->setFittedToContent(true);
    m_message->setFont(TextStyles::font(Style::body, true));
    m_message->setObjectName(QStringLiteral("detailMessage"));
    mv->addWidget(m_message);
    m_showAll = new QPushButton;
    m_showAll->setObjectName(QStringLiteral("showAllMessage"));
    connect(m_showAll, &QPushButton::clicked, this, &DetailPane::showAllMessage);
    mv->addWidget(m_showAll, 0, Qt::AlignLeft);
    v->addWidget(msgBox);

    // Metadata.
    auto* metaBox = new QGroupBox(QStringLiteral("Metadata"));
    metaBox->setObjectName(QStringLiteral("metadataBox"));
    auto* grid = new QGridLayout(metaBox);
    grid->setColumnMinimumWidth(0, 100);
    grid->setColumnStretch(1, 1);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(4);
    int row = 0;
    for (const QString& label : EntryText::metadataLabels()) {
        MetaRow& r = m_meta.emplace_back();
        r.label = new QLabel(label);
        r.label->setTextFormat(Qt::PlainText);
        r.label->setFixedWidth(100);
        r.label->setAlignment(Qt::AlignRight | Qt::AlignTop);
        TextStyles::setSecondary(r.label);
        r.value = selectable(TextStyles::font(Style::body, true));
        r.value->setObjectName(QStringLiteral("meta_") + label);
        grid->addWidget(r.label, row, 0);
        grid->addWidget(r.value, row, 1);
        ++row;
    }
    v->addWidget(metaBox);

    if (m_explainer) {
        v->addWidget(ViewStyle::divider());
        v->addWidget(buildAISection());
        actionLayout->insertWidget(actionLayout->count() - (m_popOut ? 1 : 0), m_actionRow);
    }
    // After the AI actions, and there without them too.
    m_copyEntry = new QPushButton(QStringLiteral("Copy Entry"));
    m_copyEntry->setObjectName(QStringLiteral("copyEntryButton"));
    m_copyEntry->setToolTip(QStringLiteral("Copy the entry with its metadata"));
    connect(m_copyEntry, &QPushButton::clicked, this, &DetailPane::copyEntry);
    actionLayout->insertWidget(actionLayout->count() - (m_popOut ? 1 : 0), m_copyEntry);
    v->addStretch(1);
    return content;
}

QWidget* DetailPane::buildAISection()
{
    auto* w = new QWidget;
    w->setObjectName(QStringLiteral("aiSection"));
    m_aiSection = w;
    auto* v = new QVBoxLayout(w);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(8);

    m_explanationBox = new QGroupBox(QStringLiteral("AI Explanation"));
    m_explanationBox->setObjectName(QStringLiteral("explanationBox"));
    auto* bv = new QVBoxLayout(m_explanationBox);
    m_cachedMark = new QWidget;
    auto* mark = new QHBoxLayout(m_cachedMark);
    mark->setContentsMargins(0, 0, 0, 0);
    m_cachedIcon = new QLabel;
    auto* cached = TextStyles::label(QStringLiteral("cached"), Style::caption, true);
    cached->setObjectName(QStringLiteral("cachedMark"));
    mark->addWidget(m_cachedIcon);
    mark->addWidget(cached);
    mark->addStretch(1);
    bv->addWidget(m_cachedMark);
    // Formatted off the UI thread: an answer can be megabytes.
    m_explanationText = new MarkdownAnswerView;
    m_explanationText->setObjectName(QStringLiteral("explanationText"));
    bv->addWidget(m_explanationText);
    bv->addWidget(TextStyles::label(
        QStringLiteral("AI explanations may be inaccurate. Always verify critical findings independently."),
        Style::caption2, true, true));
    v->addWidget(m_explanationBox);

    m_errorBox = new QGroupBox(QStringLiteral("AI Explanation"));
    m_errorBox->setObjectName(QStringLiteral("explanationErrorBox"));
    auto* ev = new QVBoxLayout(m_errorBox);
    m_errorText = selectable(font());
    m_errorText->setObjectName(QStringLiteral("explanationError"));
    TextStyles::setTextColor(m_errorText, QColor(255, 59, 48));
    ev->addWidget(m_errorText);
    v->addWidget(m_errorBox);

    // Action row, placed in the pinned header.
    m_actionRow = new QWidget;
    m_actionRow->setObjectName(QStringLiteral("actionRow"));
    auto* row = new QHBoxLayout(m_actionRow);
    row->setContentsMargins(0, 0, 0, 0);
    m_explainButton = new QPushButton;
    m_explainButton->setObjectName(QStringLiteral("explainButton"));
    m_explainButton->setCursor(Qt::PointingHandCursor);
    auto* bl = new QHBoxLayout(m_explainButton);
    bl->setContentsMargins(10, 2, 10, 2);
    bl->setSpacing(5);
    m_explainBusy = new BusyIndicator(11);
    bl->addWidget(m_explainBusy);
    m_explainIcon = new QLabel;
    bl->addWidget(m_explainIcon);
    m_explainLabel = new QLabel;
    m_explainLabel->setTextFormat(Qt::PlainText);
    m_explainLabel->setObjectName(QStringLiteral("explainLabel"));
    bl->addWidget(m_explainLabel);
    connect(m_explainButton, &QPushButton::clicked, this, &DetailPane::explain);
    row->addWidget(m_explainButton);

    m_webButton = new QPushButton(QStringLiteral("Search Web"));
    m_webButton->setObjectName(QStringLiteral("searchWebButton"));
    connect(m_webButton, &QPushButton::clicked, this, &DetailPane::searchWeb);
    row->addWidget(m_webButton);
    m_supportButton = new QPushButton(QStringLiteral("Mac Support"));
    m_supportButton->setObjectName(QStringLiteral("macSupportButton"));
    connect(m_supportButton, &QPushButton::clicked, this, &DetailPane::openMacSupport);
    row->addWidget(m_supportButton);

    m_configureHint = TextStyles::label(QStringLiteral("Configure API key in Settings"), Style::caption, true);
    m_configureHint->setObjectName(QStringLiteral("configureHint"));
    v->addWidget(m_configureHint);
    return w;
}

// ---------------------------------------------------------------- state

void DetailPane::refresh()
{
    const bool dark = ViewStyle::isDark(this);
    m_level->setText(m_entry.levelLabel());
    TextStyles::setTextColor(m_level, SeverityPalette::colors(m_entry.level, dark).label);
    m_date->setText(EntryText::detailTimeString(m_entry.date));
    if (m_popOut)
        m_popOut->setIcon(
            ViewStyle::icon(QStringLiteral("arrow.up.right.square"), palette().color(QPalette::WindowText), 16, 2.0));
    // A huge message shows its start (its whole height is laid out), and the
    // whole in a view that scrolls.
    const qsizetype bytes = PlainText::utf8Size(m_entry.message);
    const bool huge = bytes > kShownMessageBytes;
    const QString shownMessage =
        huge ? m_entry.message.left(PlainText::charsInUtf8(m_entry.message, kShownMessageBytes)) : m_entry.message;
    if (shownMessage != m_message->text())  // a theme change keeps the selection
        m_message->setText(shownMessage);
    m_showAll->setVisible(huge);
    if (huge)
        m_showAll->setText(QStringLiteral("Show All (%1 KB)").arg((bytes + 1023) / 1024));

    const auto* names = static_cast<const ProcessNameResolver*>(m_processNames.data());
    // The rows "Copy Entry" copies, so that both say the same.
    const QList<EntryText::Field> fields = EntryText::metadataFields(m_entry, names);
    for (const MetaRow& r : m_meta) {
        const auto f = std::find_if(fields.cbegin(), fields.cend(),
                                    [&r](const EntryText::Field& f) { return f.label == r.label->text(); });
        const bool shown = f != fields.cend();
        r.label->setVisible(shown);
        r.value->setVisible(shown);
        r.value->setText(shown ? f->value : QString());
    }
    if (m_supportButton)  // Apple's support page does not serve a Linux machine
        m_supportButton->setVisible(!m_entry.fromLinux());
    refreshAISection();
}

void DetailPane::refreshAISection()
{
    if (!m_explainer)
        return;
    const ExplainController& c = *m_explainer;
    m_actionRow->setVisible(c.settings() != nullptr);
    m_aiSection->setVisible(c.settings() != nullptr);

    const std::optional<QString>& explanation = c.explanation();
    m_explanationBox->setVisible(explanation.has_value());
    m_cachedMark->setVisible(c.wasCached());
    m_cachedIcon->setPixmap(ViewStyle::pixmap(QStringLiteral("archivebox"), ViewStyle::secondary(this), 12, 2.0));
    m_explanationText->setAnswer(explanation.value_or(QString()));
    const std::optional<QString>& error = c.error();
    m_errorBox->setVisible(error.has_value());
    m_errorText->setText(error.value_or(QString()));

    const bool cached = c.isCached();
    const bool explaining = c.isExplaining();
    const QColor tint = cached ? ViewStyle::grey(0.55) : ViewStyle::accent(this);
    const QString label = explaining ? QStringLiteral("Explaining…")
                                     : (cached ? QStringLiteral("Investigated") : QStringLiteral("Explain this"));
    m_explainBusy->setVisible(explaining);
    m_explainIcon->setVisible(!explaining);
    m_explainIcon->setPixmap(
        ViewStyle::pixmap(cached ? QStringLiteral("archivebox") : QStringLiteral("sparkles"), Qt::white, 13, 2.0));
    m_explainLabel->setText(label);
    const bool enabled = c.canExplain();
    m_explainLabel->setStyleSheet(enabled ? QStringLiteral("color: white;")
                                          : QStringLiteral("color: rgba(255, 255, 255, 150);"));
    m_explainButton->setAccessibleName(label);
    m_explainButton->setProperty("label", label);
    const QFontMetrics fm(m_explainButton->font());
    m_explainButton->setMinimumWidth(fm.horizontalAdvance(label) + 48);
    m_explainButton->setMinimumHeight(fm.height() + 10);
    m_explainButton->setStyleSheet(QStringLiteral("QPushButton { background: %1; border: none; border-radius: 5px; }"
                                                  "QPushButton:disabled { background: %2; }")
                                       .arg(tint.name(), ViewStyle::withAlpha(tint, 0.45).name(QColor::HexArgb)));
    m_explainButton->setEnabled(enabled);

    const QColor fg = palette().color(QPalette::ButtonText);
    m_webButton->setIcon(ViewStyle::icon(QStringLiteral("magnifyingglass"), fg, 13, 2.0));
    m_supportButton->setIcon(ViewStyle::icon(QStringLiteral("apple.logo"), fg, 13, 2.0));
    m_configureHint->setVisible(!c.hasAPIKey());
}

// ---------------------------------------------------------------- actions

void DetailPane::explain()
{
    if (m_explainer)
        m_explainer->explain();
}

void DetailPane::searchWeb()
{
    const AISettings* settings = m_explainer ? m_explainer->settings() : nullptr;
    const QString engine = settings ? settings->searchEngineURL() : AISettings::defaultSearchEngineURL();
    const QUrl url = EntryText::searchWebURL(m_entry, engine);
    if (url.isValid())
        urlOpener()(url);
}

void DetailPane::showAllMessage()
{
    auto* viewer = new PlainTextViewer(this);
    viewer->setWindowFlag(Qt::Window);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->setObjectName(QStringLiteral("wholeMessage"));
    viewer->setWindowTitle(QStringLiteral("Message"));
    viewer->setFont(m_message->font());
    viewer->setWrapping(true);
    viewer->setText(m_entry.message);
    viewer->resize(760, 520);
    viewer->show();
}

void DetailPane::copyEntry()
{
    QGuiApplication::clipboard()->setText(
        EntryText::entryText(m_entry, static_cast<const ProcessNameResolver*>(m_processNames.data())));
}

void DetailPane::openMacSupport()
{
    urlOpener()(EntryText::macSupportURL());
}
