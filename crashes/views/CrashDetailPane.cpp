#include "crashes/views/CrashDetailPane.h"

#include "ai/AIExplainer.h"
#include "ai/AISettings.h"
#include "ai/ExplanationCache.h"
#include "ui/InlineMarkdown.h"
#include "ui/TextStyles.h"
#include "ui/ViewStyle.h"

#include <QFrame>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

using TextStyles::Style;

namespace {

QLabel* badge(const QString& text)
{
    auto* l = new QLabel(text);
    l->setObjectName(QStringLiteral("crashBadge"));
    l->setFont(TextStyles::font(Style::caption, true, QFont::Bold));
    l->setStyleSheet(QStringLiteral("QLabel { color: white; background-color: rgb(192, 57, 43);"
                                    " border-radius: 4px; padding: 3px 8px; }"));
    l->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return l;
}

QLabel* selectable(const QString& text, const QFont& font)
{
    auto* l = new QLabel(text);
    l->setTextFormat(Qt::PlainText);
    l->setFont(font);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    l->setCursor(Qt::IBeamCursor);
    return l;
}

}  // namespace

CrashDetailPane::CrashDetailPane(AISettings* aiSettings, QWidget* parent)
    : QScrollArea(parent)
    , m_aiSettings(aiSettings)
{
    setObjectName(QStringLiteral("crashDetailPane"));
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    setPaneHeight(280);
    if (m_aiSettings)
        connect(m_aiSettings, &AISettings::apiKeyChanged, this, &CrashDetailPane::updateActions);
}

CrashDetailPane::~CrashDetailPane() = default;

void CrashDetailPane::setPaneHeight(double height)
{
    setFixedHeight(qRound(height));
}

void CrashDetailPane::setCrash(const CrashReport& crash)
{
    const bool changed = !m_crash || m_crash->id != crash.id;
    m_crash = crash;
    if (changed) {
        m_explanation = CrashExplanationCache::shared().load(crash);
        m_explainError.reset();
        m_isExplaining = false;
    }
    rebuild();
}

void CrashDetailPane::rebuild()
{
    const int scrollY = verticalScrollBar()->value();
    if (QWidget* old = takeWidget())
        old->deleteLater();
    m_aiBox = nullptr;
    m_explainButton = nullptr;
    m_explaining = nullptr;
    m_rawButton = nullptr;
    m_rawBox = nullptr;
    if (!m_crash)
        return;
    const CrashReport& c = *m_crash;

    m_content = new QWidget;
    m_content->setObjectName(QStringLiteral("crashDetailContent"));
    m_content->setBackgroundRole(QPalette::Base);
    m_column = new QVBoxLayout(m_content);
    m_column->setContentsMargins(14, 12, 14, 12);
    m_column->setSpacing(12);

    // Title line.
    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(8);
    auto* app = selectable(c.appName, TextStyles::font(Style::title3, true, QFont::Bold));
    app->setObjectName(QStringLiteral("crashAppName"));
    titleRow->addWidget(app);
    if (!c.appVersion.isEmpty()) {
        auto* v = TextStyles::label(QStringLiteral("v") + c.appVersion, Style::caption, true);
        v->setObjectName(QStringLiteral("crashAppVersion"));
        titleRow->addWidget(v);
    }
    titleRow->addWidget(badge(c.crashTypeLabel()));
    titleRow->addStretch(1);
    m_column->addLayout(titleRow);

    // Crash Info.
    auto* info = new QGroupBox(QStringLiteral("Crash Info"));
    info->setObjectName(QStringLiteral("crashInfo"));
    auto* grid = new QGridLayout(info);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(4);
    QList<std::pair<QString, QString>> rows;
    if (!c.crashReason.isEmpty())
        rows.append({QStringLiteral("Reason"), c.crashReason});
    if (!c.exceptionType.isEmpty())
        rows.append({QStringLiteral("Exception"), c.exceptionType});
    if (c.faultingThread)
        rows.append({QStringLiteral("Faulting Thread"), QString::number(*c.faultingThread)});
    if (!c.osVersion.isEmpty())
        rows.append({QStringLiteral("OS Version"), c.osVersion});
    if (!c.deviceModel.isEmpty())
        rows.append({QStringLiteral("Device"), c.deviceModel});
    for (int i = 0; i < rows.size(); ++i) {
        auto* label = TextStyles::label(rows[i].first, Style::caption, true);
        label->setFont(TextStyles::font(Style::caption, true));
        label->setObjectName(QStringLiteral("crashInfoLabel"));
        label->setFixedWidth(120);
        label->setAlignment(Qt::AlignRight | Qt::AlignTop);
        auto* value = selectable(rows[i].second, TextStyles::font(Style::body, true));
        value->setObjectName(QStringLiteral("crashInfoValue"));
        value->setWordWrap(true);
        grid->addWidget(label, i, 0, Qt::AlignTop);
        grid->addWidget(value, i, 1);
    }
    grid->setColumnStretch(1, 1);
    m_column->addWidget(info);

    // Stack trace.
    if (!c.stackTrace.isEmpty()) {
        auto* box = new QGroupBox(QStringLiteral("Faulting Thread Stack Trace"));
        box->setObjectName(QStringLiteral("crashStackTrace"));
        auto* l = new QVBoxLayout(box);
        auto* trace = selectable(c.stackTrace, TextStyles::font(Style::caption, true));
        trace->setObjectName(QStringLiteral("crashStackTraceText"));
        trace->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        l->addWidget(trace);
        m_column->addWidget(box);
    }

    // AI explanation and actions.
    m_column->addWidget(ViewStyle::divider());
    if (m_explanation) {
        m_aiBox = new QGroupBox(QStringLiteral("AI Explanation"));
        m_aiBox->setObjectName(QStringLiteral("crashAIExplanation"));
        auto* l = new QVBoxLayout(m_aiBox);
        l->setSpacing(4);
        auto* cachedRow = new QHBoxLayout;
        cachedRow->setSpacing(4);
        auto* icon = new QLabel;
        icon->setPixmap(ViewStyle::pixmap(QStringLiteral("archivebox"), ViewStyle::secondary(), 11));
        cachedRow->addWidget(icon);
        auto* cached = TextStyles::label(QStringLiteral("cached"), Style::caption2, true);
        cached->setObjectName(QStringLiteral("crashCachedLabel"));
        cachedRow->addWidget(cached);
        cachedRow->addStretch(1);
        l->addLayout(cachedRow);
        auto* text = new QLabel(InlineMarkdown::toHtml(*m_explanation));
        text->setObjectName(QStringLiteral("crashExplanationText"));
        text->setTextFormat(Qt::RichText);
        text->setWordWrap(true);
        text->setFont(TextStyles::font(Style::body));
        text->setOpenExternalLinks(true);
        text->setTextInteractionFlags(Qt::TextBrowserInteraction);
        l->addWidget(text);
        auto* note = TextStyles::label(
            QStringLiteral("AI explanations may be inaccurate. Always verify critical findings independently."),
            Style::caption2, true, true);
        note->setObjectName(QStringLiteral("crashExplanationNote"));
        l->addWidget(note);
        m_column->addWidget(m_aiBox);
    } else if (m_explainError) {
        m_aiBox = new QGroupBox(QStringLiteral("AI Explanation"));
        m_aiBox->setObjectName(QStringLiteral("crashAIExplanation"));
        auto* l = new QVBoxLayout(m_aiBox);
        auto* err = selectable(*m_explainError, TextStyles::font(Style::body));
        err->setObjectName(QStringLiteral("crashExplainError"));
        err->setWordWrap(true);
        TextStyles::setTextColor(err, ViewStyle::red());
        l->addWidget(err);
        m_column->addWidget(m_aiBox);
    }

    auto* actions = new QHBoxLayout;
    actions->setSpacing(8);
    if (!m_explanation) {
        m_explainButton = new QPushButton(
            ViewStyle::icon(QStringLiteral("sparkles"), palette().color(QPalette::HighlightedText), 14),
            QStringLiteral("Explain this crash"));
        m_explainButton->setObjectName(QStringLiteral("crashExplainButton"));
        m_explainButton->setProperty("prominent", true);
        m_explainButton->setStyleSheet(QStringLiteral(
            "QPushButton { background-color: palette(highlight); color: palette(highlighted-text);"
            " border: none; border-radius: 5px; padding: 3px 10px; }"
            "QPushButton:disabled { background-color: palette(mid); color: palette(base); }"));
        connect(m_explainButton, &QPushButton::clicked, this, &CrashDetailPane::explain);
        actions->addWidget(m_explainButton);

        m_explaining = new QWidget;
        m_explaining->setObjectName(QStringLiteral("crashExplaining"));
        auto* er = new QHBoxLayout(m_explaining);
        er->setContentsMargins(0, 0, 0, 0);
        er->setSpacing(4);
        auto* spin = new QProgressBar;
        spin->setRange(0, 0);
        spin->setTextVisible(false);
        spin->setFixedSize(40, 6);
        er->addWidget(spin);
        er->addWidget(TextStyles::label(QStringLiteral("Explaining…"), Style::caption, true));
        actions->addWidget(m_explaining);
    }
    m_rawButton = new QPushButton;
    m_rawButton->setObjectName(QStringLiteral("crashRawButton"));
    connect(m_rawButton, &QPushButton::clicked, this, &CrashDetailPane::toggleRaw);
    actions->addWidget(m_rawButton);
    actions->addStretch(1);
    m_column->addLayout(actions);

    if (m_showRawContent) {
        m_rawBox = new QGroupBox(QStringLiteral("Raw Crash Report"));
        m_rawBox->setObjectName(QStringLiteral("crashRawBox"));
        auto* l = new QVBoxLayout(m_rawBox);
        auto* raw = new QPlainTextEdit;
        raw->setObjectName(QStringLiteral("crashRawText"));
        raw->setReadOnly(true);
        raw->setLineWrapMode(QPlainTextEdit::NoWrap);
        raw->setFont(TextStyles::font(Style::caption2, true));
        raw->setPlainText(c.rawContent);
        raw->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        raw->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        raw->setFrameShape(QFrame::NoFrame);
        // The pane scrolls vertically; the box only sideways, so it is as
        // tall as its text.
        const QFontMetrics fm(raw->font());
        const int lines = raw->document()->blockCount();
        const int h = lines * fm.lineSpacing() + 2 * int(raw->document()->documentMargin())
                      + raw->horizontalScrollBar()->sizeHint().height() + 4;
        raw->setFixedHeight(qMin(h, 1 << 22));
        l->addWidget(raw);
        m_column->addWidget(m_rawBox);
    }
    m_column->addStretch(1);

    setWidget(m_content);
    updateActions();
    verticalScrollBar()->setValue(scrollY);
}

void CrashDetailPane::updateActions()
{
    if (m_explainButton) {
        m_explainButton->setVisible(!m_isExplaining);
        m_explainButton->setEnabled(m_aiSettings && m_aiSettings->hasAPIKey());
    }
    if (m_explaining)
        m_explaining->setVisible(m_isExplaining);
    if (m_rawButton)
        m_rawButton->setText(m_showRawContent ? QStringLiteral("Hide Raw") : QStringLiteral("Show Raw"));
}

void CrashDetailPane::toggleRaw()
{
    m_showRawContent = !m_showRawContent;
    rebuild();
}

void CrashDetailPane::explain()
{
    if (!m_crash || !m_aiSettings || m_isExplaining)
        return;
    m_isExplaining = true;
    m_explanation.reset();
    m_explainError.reset();
    rebuild();

    const CrashReport requested = *m_crash;
    const QString text = AIExplainer::crashMessage(requested);
    QPointer<CrashDetailPane> self(this);
    // The application is the context: the answer is cached under the report
    // it was asked for even when this pane is gone by then.
    AIExplainer::explainCrash(text, *m_aiSettings, QCoreApplication::instance(),
                              [self, requested](const AIResult<QString>& result) {
                                  if (result.ok())
                                      CrashExplanationCache::shared().store(requested, result.value());
                                  if (self)
                                      self->finishRequest(requested,
                                                          result.ok() ? std::optional<QString>(result.value())
                                                                      : std::nullopt,
                                                          result.ok() ? QString() : result.error().description());
                              });
}

void CrashDetailPane::finishRequest(const CrashReport& requested, const std::optional<QString>& answer,
                                    const QString& error)
{
    // An answer for a report no longer shown is cached (above) but never
    // presented as the shown report's explanation.
    if (!m_crash || m_crash->id != requested.id)
        return;
    m_isExplaining = false;
    if (answer)
        m_explanation = *answer;
    else
        m_explainError = error;
    rebuild();
}
