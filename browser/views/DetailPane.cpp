#include "browser/views/DetailPane.h"

#include "ai/AIExplainer.h"
#include "ai/AISettings.h"
#include "ai/ExplanationCache.h"
#include "browser/EntryText.h"
#include "browser/views/BrowserWidgets.h"
#include "processnames/ProcessNameResolver.h"
#include "ui/InlineMarkdown.h"
#include "ui/TextStyles.h"
#include "ui/ViewStyle.h"
#include "ui/Widgets.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

using TextStyles::Style;

namespace {
std::function<bool(const QUrl&)>& urlOpener()
{
    static std::function<bool(const QUrl&)> opener = [](const QUrl& u) { return QDesktopServices::openUrl(u); };
    return opener;
}

QLabel* selectable(const QString& text, const QFont& font)
{
    auto* l = new QLabel;
    l->setTextFormat(Qt::PlainText);
    l->setText(text);
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
    : QWidget(parent), m_entry(entry), m_processNames(processNames), m_aiSettings(aiSettings),
      m_onPopOut(std::move(onPopOut))
{
    setObjectName(QStringLiteral("DetailPane"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    m_scroll = new QScrollArea;
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setBackgroundRole(QPalette::Base);
    lay->addWidget(m_scroll);
    setPaneHeight(height);
    if (aiSettings) {
        connect(aiSettings, &AISettings::apiKeyChanged, this, &DetailPane::rebuild);
    }
    if (processNames)
        connect(processNames, &ProcessNameResolver::learnedNamesChanged, this, &DetailPane::rebuild);
    rebuild();
}

void DetailPane::setEntry(const LogEntry& entry)
{
    m_entry = entry;
    rebuild();
}

void DetailPane::setPaneHeight(std::optional<double> height)
{
    if (height) {
        setFixedHeight(int(*height));
    } else {
        setMinimumHeight(0);
        setMaximumHeight(QWIDGETSIZE_MAX);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    }
}

void DetailPane::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    // Colours depend on the theme: draw again when the palette changes.
    if (e->type() == QEvent::PaletteChange && !m_rebuildQueued) {
        m_rebuildQueued = true;
        QTimer::singleShot(0, this, [this] {
            m_rebuildQueued = false;
            rebuild();
        });
    }
}

QString DetailPane::processText(const LogEntry& e, const ProcessNameResolver* names)
{
    if (names && names->hasTranslation(e.process))
        return names->displayName(e.process) + QStringLiteral(" (") + e.process + u')';
    return e.process;
}

bool DetailPane::entryIsCached() const
{
    return ExplanationCache::shared().isCached(m_entry);
}

void DetailPane::rebuild()
{
    // The old content may be the sender of the click being handled: let it go
    // once control is back in the event loop.
    QWidget* old = m_scroll->takeWidget();
    if (old) {
        old->hide();
        old->deleteLater();
    }
    m_scroll->setWidget(buildContent());
}

QWidget* DetailPane::buildContent()
{
    const bool dark = ViewStyle::isDark(this);
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("DetailContent"));
    content->setBackgroundRole(QPalette::Base);
    auto* v = new QVBoxLayout(content);
    v->setContentsMargins(12, 8, 12, 12);
    v->setSpacing(8);

    // Header.
    auto* header = new QHBoxLayout;
    auto* level = new QLabel(m_entry.levelLabel());
    level->setObjectName(QStringLiteral("detailLevel"));
    level->setFont(TextStyles::font(Style::headline, false, QFont::Bold));
    TextStyles::setTextColor(level, dark ? m_entry.levelColor() : ViewStyle::grey(0.13));
    header->addWidget(level);
    auto* date = new QLabel(EntryText::detailTimeString(m_entry.date));
    date->setObjectName(QStringLiteral("detailDate"));
    date->setFont(TextStyles::font(Style::body, true));
    date->setTextInteractionFlags(Qt::TextSelectableByMouse);
    header->addWidget(date);
    header->addStretch(1);
    if (m_onPopOut) {
        auto* pop = new QToolButton;
        pop->setObjectName(QStringLiteral("popOutButton"));
        pop->setAutoRaise(true);
        pop->setIcon(
            ViewStyle::icon(QStringLiteral("arrow.up.right.square"), palette().color(QPalette::WindowText), 16, 2.0));
        pop->setToolTip(QStringLiteral("Open in separate window"));
        pop->setCursor(Qt::PointingHandCursor);
        connect(pop, &QToolButton::clicked, this, [this] {
            if (m_onPopOut)
                m_onPopOut();
        });
        header->addWidget(pop);
    }
    v->addLayout(header);
    v->addWidget(ViewStyle::divider());

    // Message.
    auto* msgBox = new QGroupBox(QStringLiteral("Message"));
    msgBox->setObjectName(QStringLiteral("messageBox"));
    auto* mv = new QVBoxLayout(msgBox);
    auto* msg = selectable(m_entry.message, TextStyles::font(Style::body, true));
    msg->setObjectName(QStringLiteral("detailMessage"));
    mv->addWidget(msg);
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
    auto addRow = [&](const QString& label, const QString& value) {
        auto* l = new QLabel(label);
        l->setFixedWidth(100);
        l->setAlignment(Qt::AlignRight | Qt::AlignTop);
        TextStyles::setSecondary(l);
        auto* val = selectable(value, TextStyles::font(Style::body, true));
        val->setObjectName(QStringLiteral("meta_") + label);
        grid->addWidget(l, row, 0);
        grid->addWidget(val, row, 1);
        ++row;
    };
    const auto* names = static_cast<const ProcessNameResolver*>(m_processNames.data());
    addRow(QStringLiteral("Process"), processText(m_entry, names));
    addRow(QStringLiteral("PID"), QString::number(m_entry.processIdentifier));
    addRow(QStringLiteral("Thread"), QString::number(m_entry.threadIdentifier));
    addRow(QStringLiteral("Sender"), m_entry.sender);
    if (!m_entry.subsystem.isEmpty())
        addRow(QStringLiteral("Subsystem"), m_entry.subsystem);
    if (!m_entry.category.isEmpty())
        addRow(QStringLiteral("Category"), m_entry.category);
    if (m_entry.activityIdentifier != 0)
        addRow(QStringLiteral("Activity ID"), QString::number(m_entry.activityIdentifier));
    v->addWidget(metaBox);

    if (m_aiSettings) {
        v->addWidget(ViewStyle::divider());
        v->addWidget(buildAISection());
    }
    v->addStretch(1);
    return content;
}

QWidget* DetailPane::buildAISection()
{
    auto* settings = static_cast<AISettings*>(m_aiSettings.data());
    auto* w = new QWidget;
    auto* v = new QVBoxLayout(w);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(8);
    const bool mine = m_lastExplainedEntryID && *m_lastExplainedEntryID == m_entry.id;

    if (m_explanation && mine) {
        auto* box = new QGroupBox(QStringLiteral("AI Explanation"));
        box->setObjectName(QStringLiteral("explanationBox"));
        auto* bv = new QVBoxLayout(box);
        if (m_wasCached) {
            auto* mark = new QHBoxLayout;
            auto* icon = new QLabel;
            icon->setPixmap(ViewStyle::pixmap(QStringLiteral("archivebox"), ViewStyle::secondary(this), 12, 2.0));
            auto* text = TextStyles::label(QStringLiteral("cached"), Style::caption, true);
            text->setObjectName(QStringLiteral("cachedMark"));
            mark->addWidget(icon);
            mark->addWidget(text);
            mark->addStretch(1);
            bv->addLayout(mark);
        }
        auto* text = new QLabel;
        text->setObjectName(QStringLiteral("explanationText"));
        text->setTextFormat(Qt::RichText);
        text->setText(InlineMarkdown::toHtml(*m_explanation));
        text->setWordWrap(true);
        text->setTextInteractionFlags(Qt::TextBrowserInteraction);
        text->setOpenExternalLinks(true);
        bv->addWidget(text);
        auto* note = TextStyles::label(
            QStringLiteral("AI explanations may be inaccurate. Always verify critical findings independently."),
            Style::caption2, true, true);
        bv->addWidget(note);
        v->addWidget(box);
    }
    if (m_explainError && mine) {
        auto* box = new QGroupBox(QStringLiteral("AI Explanation"));
        box->setObjectName(QStringLiteral("explanationErrorBox"));
        auto* bv = new QVBoxLayout(box);
        auto* err = selectable(*m_explainError, font());
        err->setObjectName(QStringLiteral("explanationError"));
        TextStyles::setTextColor(err, QColor(255, 59, 48));
        bv->addWidget(err);
        v->addWidget(box);
    }

    // Action row.
    const bool cached = entryIsCached();
    const bool hasKey = settings && settings->hasAPIKey();
    auto* row = new QHBoxLayout;
    auto* explainBtn = new QPushButton;
    explainBtn->setObjectName(QStringLiteral("explainButton"));
    explainBtn->setCursor(Qt::PointingHandCursor);
    const QColor tint = cached ? ViewStyle::grey(0.55) : ViewStyle::accent(this);
    auto* bl = new QHBoxLayout(explainBtn);
    bl->setContentsMargins(10, 2, 10, 2);
    bl->setSpacing(5);
    QString label;
    if (m_isExplaining) {
        auto* busy = new BusyIndicator(11);
        bl->addWidget(busy);
        label = QStringLiteral("Explaining…");
    } else {
        auto* icon = new QLabel;
        icon->setPixmap(ViewStyle::pixmap(cached ? QStringLiteral("archivebox") : QStringLiteral("sparkles"),
                                          Qt::white, 13, 2.0));
        bl->addWidget(icon);
        label = cached ? QStringLiteral("Investigated") : QStringLiteral("Explain this");
    }
    auto* bt = new QLabel(label);
    bt->setObjectName(QStringLiteral("explainLabel"));
    const bool enabled = !m_isExplaining && (hasKey || cached);
    bt->setStyleSheet(enabled ? QStringLiteral("color: white;") : QStringLiteral("color: rgba(255, 255, 255, 150);"));
    bl->addWidget(bt);
    explainBtn->setAccessibleName(label);
    explainBtn->setProperty("label", label);
    const QFontMetrics fm(explainBtn->font());
    explainBtn->setMinimumWidth(fm.horizontalAdvance(label) + 48);
    explainBtn->setMinimumHeight(fm.height() + 10);
    explainBtn->setStyleSheet(QStringLiteral("QPushButton { background: %1; border: none; border-radius: 5px; }"
                                             "QPushButton:disabled { background: %2; }")
                                  .arg(tint.name(), ViewStyle::withAlpha(tint, 0.45).name(QColor::HexArgb)));
    explainBtn->setEnabled(enabled);
    connect(explainBtn, &QPushButton::clicked, this, &DetailPane::explain);
    row->addWidget(explainBtn);

    const QColor fg = palette().color(QPalette::ButtonText);
    auto* web = new QPushButton(ViewStyle::icon(QStringLiteral("magnifyingglass"), fg, 13, 2.0),
                                QStringLiteral("Search Web"));
    web->setObjectName(QStringLiteral("searchWebButton"));
    connect(web, &QPushButton::clicked, this, &DetailPane::searchWeb);
    row->addWidget(web);
    auto* support = new QPushButton(ViewStyle::icon(QStringLiteral("apple.logo"), fg, 13, 2.0),
                                    QStringLiteral("Mac Support"));
    support->setObjectName(QStringLiteral("macSupportButton"));
    connect(support, &QPushButton::clicked, this, &DetailPane::openMacSupport);
    row->addWidget(support);
    row->addStretch(1);
    v->addLayout(row);

    if (!hasKey) {
        auto* hint = TextStyles::label(QStringLiteral("Configure API key in Settings"), Style::caption, true);
        hint->setObjectName(QStringLiteral("configureHint"));
        v->addWidget(hint);
    }
    return w;
}

void DetailPane::explain()
{
    auto* settings = static_cast<AISettings*>(m_aiSettings.data());
    if (!settings || m_isExplaining)
        return;
    m_explanation.reset();
    m_explainError.reset();
    m_lastExplainedEntryID = m_entry.id;
    m_wasCached = false;

    ExplanationCache& cache = ExplanationCache::shared();
    const QString key = cache.cacheKey(m_entry);
    if (const std::optional<QString> hit = cache.explanationForKey(key)) {
        m_explanation = *hit;
        m_wasCached = true;
        rebuild();
        return;
    }

    m_isExplaining = true;
    rebuild();
    // The request outlives the pane if need be: the answer is cached and the
    // names learned even when the pane has gone (the settings object, owned
    // by the window, bounds it).
    QPointer<DetailPane> self(this);
    QPointer<QObject> names = m_processNames;
    AIExplainer::explain(m_entry, *settings, settings, [self, names, key](const AIResult<QString>& r) {
        if (r.ok()) {
            const AIExplainer::ProcessNamesAnswer answer = AIExplainer::parseProcessNames(r.value());
            ExplanationCache::shared().store(key, answer.text);
            if (!answer.names.isEmpty() && names)
                static_cast<ProcessNameResolver*>(names.data())->learn(answer.names);
            if (self)
                self->m_explanation = answer.text;
        } else if (self) {
            self->m_explainError = r.error().description();
        }
        if (self) {
            self->m_isExplaining = false;
            self->rebuild();
        }
    });
}

void DetailPane::searchWeb()
{
    auto* settings = static_cast<AISettings*>(m_aiSettings.data());
    const QString engine = settings ? settings->searchEngineURL() : AISettings::defaultSearchEngineURL();
    const QUrl url = EntryText::searchWebURL(m_entry, engine);
    if (url.isValid())
        urlOpener()(url);
}

void DetailPane::openMacSupport()
{
    urlOpener()(EntryText::macSupportURL());
}
