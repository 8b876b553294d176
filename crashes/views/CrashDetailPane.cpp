#include "crashes/views/CrashDetailPane.h"

#include "ai/ExplainController.h"
#include "base/Background.h"
#include "crashes/CrashLogFetcher.h"
#include "logs/VisibleText.h"
#include "ui/InlineMarkdownView.h"
#include "ui/PlainTextViewer.h"
#include "ui/TextStyles.h"
#include "ui/ViewStyle.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

using TextStyles::Style;

namespace {

QLabel* badge()
{
    auto* l = new QLabel;
    l->setTextFormat(Qt::PlainText);
    l->setObjectName(QStringLiteral("crashBadge"));
    l->setFont(TextStyles::font(Style::caption, true, QFont::Bold));
    l->setStyleSheet(QStringLiteral("QLabel { color: white; background-color: rgb(192, 57, 43);"
                                    " border-radius: 4px; padding: 3px 8px; }"));
    l->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return l;
}

QLabel* selectable(const QFont& font)
{
    auto* l = new QLabel;
    l->setTextFormat(Qt::PlainText);
    l->setFont(font);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    l->setCursor(Qt::IBeamCursor);
    return l;
}

// The trace line by line as names are shown: each frame's image and symbol
// are untrusted (a symbol may hold newlines), so lines and their length are
// bounded to what a label lays out at once.
QString shownTrace(const QString& trace)
{
    QStringList shown;
    const QStringView all(trace);
    for (qsizetype start = 0; start <= all.size() && shown.size() < CrashDetailPane::kMaxTraceLines;) {
        qsizetype end = all.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = all.size();
        const QString head = all.mid(start, std::min(end - start, CrashDetailPane::kMaxTraceLineChars + 1)).toString();
        shown << VisibleText::shownName(VisibleText::cutField(head, CrashDetailPane::kMaxTraceLineChars));
        start = end + 1;
    }
    return shown.join(QLatin1Char('\n'));
}

}  // namespace

CrashDetailPane::CrashDetailPane(AISettings* aiSettings, QWidget* parent)
    : QScrollArea(parent),
      m_explainer(new ExplainController(ExplainController::Subjects::crashReports, aiSettings, nullptr, this))
{
    setObjectName(QStringLiteral("crashDetailPane"));
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    setPaneHeight(280);
    build();
    connect(m_explainer, &ExplainController::changed, this, &CrashDetailPane::refreshExplanation);
    refresh();
}

CrashDetailPane::~CrashDetailPane() = default;

void CrashDetailPane::setPaneHeight(double height)
{
    m_height = qRound(height);
    setMinimumHeight(std::min(m_height, 80));
    setMaximumHeight(m_height);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    updateGeometry();
}

QSize CrashDetailPane::sizeHint() const
{
    return {QScrollArea::sizeHint().width(), m_height};
}

const std::optional<QString>& CrashDetailPane::explanation() const
{
    return m_explainer->explanation();
}

bool CrashDetailPane::isExplaining() const
{
    return m_explainer->isExplaining();
}

const std::optional<QString>& CrashDetailPane::explainError() const
{
    return m_explainer->error();
}

void CrashDetailPane::setCrash(const CrashReport& crash)
{
    if (!m_crash || m_crash->id != crash.id)
        m_rawFilled = false;
    m_crash = crash;
    m_explainer->setCrash(crash);  // the cached explanation of a new report, or none
    refresh();
}

// ---------------------------------------------------------------- layout

void CrashDetailPane::build()
{
    m_content = new QWidget;
    m_content->setObjectName(QStringLiteral("crashDetailContent"));
    m_content->setBackgroundRole(QPalette::Base);
    auto* column = new QVBoxLayout(m_content);
    column->setContentsMargins(14, 12, 14, 12);
    column->setSpacing(12);

    // Title line.
    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(8);
    m_appName = selectable(TextStyles::font(Style::title3, true, QFont::Bold));
    m_appName->setObjectName(QStringLiteral("crashAppName"));
    titleRow->addWidget(m_appName);
    m_appVersion = TextStyles::label(QString(), Style::caption, true);
    m_appVersion->setObjectName(QStringLiteral("crashAppVersion"));
    titleRow->addWidget(m_appVersion);
    m_badge = badge();
    titleRow->addWidget(m_badge);
    titleRow->addStretch(1);
    column->addLayout(titleRow);

    m_nothingParsed = TextStyles::label(nothingParsedText(), Style::body, true, true);
    m_nothingParsed->setObjectName(QStringLiteral("crashNothingParsed"));
    column->addWidget(m_nothingParsed);

    // Crash Info: one row per field, hidden while the field is empty.
    auto* info = new QGroupBox(QStringLiteral("Crash Info"));
    m_infoBox = info;
    info->setObjectName(QStringLiteral("crashInfo"));
    auto* grid = new QGridLayout(info);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(4);
    int row = 0;
    for (auto [r, name] : {std::pair{&m_reason, "Reason"}, {&m_exception, "Exception"}, {&m_thread, "Faulting Thread"}, {&m_os, "OS Version"}, {&m_device, "Device"}}) {
        r->label = TextStyles::label(QString::fromLatin1(name), Style::caption, true);
        r->label->setFont(TextStyles::font(Style::caption, true));
        r->label->setObjectName(QStringLiteral("crashInfoLabel"));
        r->label->setFixedWidth(120);
        r->label->setAlignment(Qt::AlignRight | Qt::AlignTop);
        r->value = selectable(TextStyles::font(Style::body, true));
        r->value->setObjectName(QStringLiteral("crashInfoValue"));
        r->value->setWordWrap(true);
        grid->addWidget(r->label, row, 0, Qt::AlignTop);
        grid->addWidget(r->value, row, 1);
        ++row;
    }
    grid->setColumnStretch(1, 1);
    column->addWidget(info);

    // Stack trace.
    m_traceBox = new QGroupBox(QStringLiteral("Faulting Thread Stack Trace"));
    m_traceBox->setObjectName(QStringLiteral("crashStackTrace"));
    auto* tl = new QVBoxLayout(m_traceBox);
    m_trace = selectable(TextStyles::font(Style::caption, true));
    m_trace->setObjectName(QStringLiteral("crashStackTraceText"));
    m_trace->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    tl->addWidget(m_trace);
    column->addWidget(m_traceBox);

    // AI explanation: the explanation with its cached line and note, or the error.
    column->addWidget(ViewStyle::divider());
    m_aiBox = new QGroupBox(QStringLiteral("AI Explanation"));
    m_aiBox->setObjectName(QStringLiteral("crashAIExplanation"));
    auto* al = new QVBoxLayout(m_aiBox);
    m_explained = new QWidget;
    auto* el = new QVBoxLayout(m_explained);
    el->setContentsMargins(0, 0, 0, 0);
    el->setSpacing(4);
    auto* cachedRow = new QHBoxLayout;
    cachedRow->setSpacing(4);
    auto* icon = new QLabel;
    icon->setPixmap(ViewStyle::pixmap(QStringLiteral("archivebox"), ViewStyle::secondary(), 11));
    cachedRow->addWidget(icon);
    auto* cached = TextStyles::label(QStringLiteral("cached"), Style::caption2, true);
    cached->setObjectName(QStringLiteral("crashCachedLabel"));
    cachedRow->addWidget(cached);
    cachedRow->addStretch(1);
    el->addLayout(cachedRow);
    m_explanationText = new QLabel;
    m_explanationText->setObjectName(QStringLiteral("crashExplanationText"));
    m_explanationText->setTextFormat(Qt::RichText);
    m_explanationText->setWordWrap(true);
    m_explanationText->setFont(TextStyles::font(Style::body));
    m_explanationText->setOpenExternalLinks(true);
    m_explanationText->setTextInteractionFlags(Qt::TextBrowserInteraction);
    el->addWidget(m_explanationText);
    auto* note = TextStyles::label(
        QStringLiteral("AI explanations may be inaccurate. Always verify critical findings independently."),
        Style::caption2, true, true);
    note->setObjectName(QStringLiteral("crashExplanationNote"));
    el->addWidget(note);
    al->addWidget(m_explained);
    m_errorText = selectable(TextStyles::font(Style::body));
    m_errorText->setObjectName(QStringLiteral("crashExplainError"));
    m_errorText->setWordWrap(true);
    TextStyles::setTextColor(m_errorText, ViewStyle::red());
    al->addWidget(m_errorText);
    column->addWidget(m_aiBox);

    auto* actions = new QHBoxLayout;
    actions->setSpacing(8);
    m_explainButton = new QPushButton(QStringLiteral("Explain this crash"));
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
    m_rawButton = new QPushButton;
    m_rawButton->setObjectName(QStringLiteral("crashRawButton"));
    connect(m_rawButton, &QPushButton::clicked, this, &CrashDetailPane::toggleRaw);
    actions->addWidget(m_rawButton);
    actions->addStretch(1);
    column->addLayout(actions);
    m_configureHint = TextStyles::label(QStringLiteral("Configure API key in Settings"), Style::caption, true);
    m_configureHint->setObjectName(QStringLiteral("crashConfigureHint"));
    column->addWidget(m_configureHint);

    m_rawBox = new QGroupBox(QStringLiteral("Raw Crash Report"));
    m_rawBox->setObjectName(QStringLiteral("crashRawBox"));
    auto* rl = new QVBoxLayout(m_rawBox);
    m_rawText = new PlainTextViewer;
    m_rawText->setObjectName(QStringLiteral("crashRawText"));
    m_rawText->setFont(TextStyles::font(Style::caption2, true));
    m_rawText->setFrameShape(QFrame::NoFrame);
    rl->addWidget(m_rawText);
    column->addWidget(m_rawBox);
    column->addStretch(1);
    setWidget(m_content);
}

// ---------------------------------------------------------------- state

void CrashDetailPane::refresh()
{
    m_content->setVisible(m_crash.has_value());
    if (!m_crash)
        return;
    // Every name is the report's own text: shown cut, on one line, with its
    // direction controls written out.
    const CrashReport& c = *m_crash;
    const bool unread = !c.unreadReason.isEmpty();
    m_appName->setText(VisibleText::shownName(unread ? c.fileName : c.appName));
    m_appVersion->setVisible(!c.appVersion.isEmpty());
    m_appVersion->setText(QStringLiteral("v") + VisibleText::shownName(c.appVersion));
    m_badge->setVisible(!unread);
    m_badge->setText(VisibleText::shownName(c.crashTypeLabel()));
    auto set = [](InfoRow& r, const QString& value) {
        r.label->setVisible(!value.isEmpty());
        r.value->setVisible(!value.isEmpty());
        r.value->setText(VisibleText::shownName(value));
    };
    set(m_reason, unread ? c.unreadReason : c.crashReason);
    set(m_exception, c.exceptionType);
    set(m_thread, c.faultingThread ? QString::number(*c.faultingThread) : QString());
    set(m_os, c.osVersion);
    set(m_device, c.deviceModel);
    m_nothingParsed->setVisible(c.nothingParsed);
    m_infoBox->setVisible(!c.nothingParsed);
    m_traceBox->setVisible(!c.stackTrace.isEmpty());
    m_trace->setText(shownTrace(c.stackTrace));
    m_rawButton->setVisible(!unread && !c.nothingParsed);  // the raw text is all there is: always shown
    refreshExplanation();
    refreshRaw();
}

void CrashDetailPane::refreshExplanation()
{
    const ExplainController& c = *m_explainer;
    // A report not read, or of which nothing was parsed, has nothing to explain.
    const bool unread = m_crash && (!m_crash->unreadReason.isEmpty() || m_crash->nothingParsed);
    const std::optional<QString> explanation = unread ? std::nullopt : c.explanation();
    const std::optional<QString> error = unread ? std::nullopt : c.error();
    m_aiBox->setVisible(explanation || error);
    m_explained->setVisible(explanation.has_value());
    MarkdownAnswerView::showInPlaceOf(m_explanationText, explanation.value_or(QString()));
    m_errorText->setVisible(!explanation && error);
    m_errorText->setText(error.value_or(QString()));

    // Until there is an explanation: the Explain button, or the spinner in
    // its place while the request runs.
    m_explainButton->setIcon(
        ViewStyle::icon(QStringLiteral("sparkles"), palette().color(QPalette::HighlightedText), 14));
    m_explainButton->setVisible(!unread && !explanation && !c.isExplaining());
    m_explainButton->setEnabled(c.hasAPIKey());
    m_explaining->setVisible(!unread && !explanation && c.isExplaining());
    m_configureHint->setVisible(!unread && !explanation && !c.isExplaining() && !c.hasAPIKey());
}

void CrashDetailPane::refreshRaw()
{
    m_rawButton->setText(m_showRawContent ? QStringLiteral("Hide Raw") : QStringLiteral("Show Raw"));
    const bool shown = m_crash && m_crash->unreadReason.isEmpty() && (m_showRawContent || m_crash->nothingParsed);
    m_rawBox->setVisible(shown);
    if (!shown || m_rawFilled)
        return;
    m_rawFilled = true;
    if (!m_crash->rawContent.isEmpty() || m_crash->filePath.isEmpty()) {
        setRawText(m_crash->rawContent);
        return;
    }
    // A scan keeps no report's text: read the file again, off this thread
    // (it may hold up to CrashLogFetcher::maxReportBytes).
    setRawText(QStringLiteral("Reading…"));
    Background::run(
        this,
        [path = m_crash->filePath] {
            QString reason;
            const std::optional<QString> text = CrashLogFetcher::readReportText(path, &reason);
            return text ? *text : QStringLiteral("Could not read the report again: ") + reason;
        },
        [this, id = m_crash->id](const QString& text) {
            if (m_crash && m_crash->id == id && m_rawFilled)
                setRawText(text);
        });
}

void CrashDetailPane::setRawText(const QString& text)
{
    m_rawText->setText(text);
    // As tall as the report up to a bound, then it scrolls on its own (the
    // viewer measures rows at the pitch it draws them).
    m_rawText->setFixedHeight(qMin(m_rawText->contentHeight(), kRawBoxMaxHeight));
}

void CrashDetailPane::toggleRaw()
{
    m_showRawContent = !m_showRawContent;
    refreshRaw();
}

QString CrashDetailPane::nothingParsedText()
{
    return QStringLiteral("Nothing could be read from this report; the raw report is below.");
}

void CrashDetailPane::explain()
{
    if (m_crash && (m_crash->nothingParsed || !m_crash->unreadReason.isEmpty()))
        return;
    m_explainer->explain();
}
