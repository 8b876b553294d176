#include "ai/views/AnalysisItemRow.h"

#include "ai/AIExplainer.h"
#include "logs/VisibleText.h"
#include "ui/PlainText.h"
#include "ui/PlainTextViewer.h"
#include "ui/SeverityPalette.h"
#include "ui/TextStyles.h"
#include "ui/ViewStyle.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using TextStyles::Style;

namespace {
// The level's tone, darkened on a light sheet (lightened on a dark one) just
// enough to be read: the bright tones of the dark list are pale on white.
QColor readableTone(const QColor& tone, const QPalette& palette)
{
    const QColor window = palette.color(QPalette::Window), base = palette.color(QPalette::Base);
    const QColor toward = window.lightnessF() > 0.5 ? QColor(Qt::black) : QColor(Qt::white);
    QColor c = tone;
    for (int step = 1; step <= 20; ++step) {
        if (std::min(ViewStyle::contrastRatio(c, window), ViewStyle::contrastRatio(c, base)) >= 4.5)
            return c;
        c = ViewStyle::over(ViewStyle::withAlpha(toward, step / 20.0), tone);
    }
    return c;
}
}  // namespace

AnalysisItemRow::AnalysisItemRow(const AnalysisItem& item, std::function<void()> onTap, QWidget* parent)
    : QWidget(parent), m_item(item), m_onTap(std::move(onTap))
{
    setObjectName(QStringLiteral("analysisItemRow"));
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(4);

    auto* top = new QHBoxLayout;
    top->setSpacing(6);
    auto* icon = new QLabel;
    icon->setObjectName(QStringLiteral("analysisItemSymbol"));
    // The summary stands in for findings the answer did not give; it often
    // says all is well, so it carries no warning.
    const bool summary = !item.entry && item.title == AIExplainer::analysisSummaryTitle;
    const QString symbol = summary ? QStringLiteral("info.circle") : QStringLiteral("exclamationmark.triangle.fill");
    icon->setProperty("symbol", symbol);
    icon->setPixmap(ViewStyle::pixmap(symbol, summary ? ViewStyle::secondary() : ViewStyle::orange(), 12));
    icon->setFixedSize(14, 16);
    top->addWidget(icon, 0, Qt::AlignTop);
    const bool longTitle = item.title.size() > kShownTitleChars;
    auto* title = TextStyles::label(
        longTitle ? VisibleText::cutField(item.title, kShownTitleChars) + QChar(0x2026) : item.title, Style::body, false,
        true);
    title->setFont(TextStyles::font(Style::body, false, QFont::Bold));
    title->setObjectName(QStringLiteral("analysisItemTitle"));
    title->setTextInteractionFlags(Qt::TextSelectableByMouse);
    top->addWidget(title, 1, Qt::AlignTop);
    if (item.entry) {
        m_jump = new QPushButton(QStringLiteral("Jump to entry"));
        m_jump->setObjectName(QStringLiteral("analysisJumpButton"));
        m_jump->setFlat(true);
        m_jump->setCursor(Qt::PointingHandCursor);
        m_jump->setFont(TextStyles::font(Style::caption));
        m_jump->setIcon(ViewStyle::icon(QStringLiteral("arrow.right.circle"), ViewStyle::accent(), 12));
        m_jump->setLayoutDirection(Qt::RightToLeft);  // text, then the symbol
        m_jump->setStyleSheet(QStringLiteral("QPushButton { color: palette(highlight); border: none;"
                                             " padding: 0 2px; background: transparent; }"));
        connect(m_jump, &QPushButton::clicked, this, [this] {
            if (m_onTap)
                m_onTap();
        });
        top->addWidget(m_jump, 0, Qt::AlignTop);
    }
    col->addLayout(top);

    // A label lays its text out at every width it is asked: only a start.
    const bool longConcern = item.concern.size() > kShownConcernChars;
    auto* concern = TextStyles::label(longConcern ? VisibleText::cutField(item.concern, kShownConcernChars) + QChar(0x2026)
                                                  : item.concern,
                                      Style::callout, true, true);
    concern->setObjectName(QStringLiteral("analysisItemConcern"));
    concern->setTextInteractionFlags(Qt::TextSelectableByMouse);
    concern->setContentsMargins(20, 0, 0, 0);
    col->addWidget(concern);
    if (longConcern) {
        auto* all = new QPushButton(
            QStringLiteral("Show All (%1 KB)").arg((PlainText::utf8Size(item.concern) + 1023) / 1024));
        all->setObjectName(QStringLiteral("analysisShowAll"));
        connect(all, &QPushButton::clicked, this, &AnalysisItemRow::showAllConcern);
        auto* line = new QHBoxLayout;
        line->setContentsMargins(20, 0, 0, 0);
        line->addWidget(all);
        line->addStretch(1);
        col->addLayout(line);
    }

    if (item.entry) {
        const LogEntry& e = *item.entry;
        auto* line = new QHBoxLayout;
        line->setContentsMargins(20, 0, 0, 0);
        line->setSpacing(8);
        m_level = new QLabel(e.levelLabel());
        m_level->setObjectName(QStringLiteral("analysisEntryLevel"));
        m_level->setFont(TextStyles::font(Style::caption, true, QFont::DemiBold));
        line->addWidget(m_level);
        refreshLevelColor();
        auto* process = TextStyles::label(VisibleText::shownName(e.process), Style::caption, true);
        process->setFont(TextStyles::font(Style::caption, true));
        process->setObjectName(QStringLiteral("analysisEntryProcess"));
        line->addWidget(process);
        // The message on one line: every kind of line break is flattened and the rest is
        // elided by the label's width (of a huge message, only a start that
        // fills it is measured).
        QString msg = e.message.left(1000);
        for (QChar& c : msg)
            if (c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f' || c == QChar(0x85) ||
                c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
                c = u' ';
        auto* message = new QLabel;
        message->setObjectName(QStringLiteral("analysisEntryMessage"));
        message->setFont(TextStyles::font(Style::caption, true));
        TextStyles::setSecondary(message);
        message->setTextFormat(Qt::PlainText);
        message->setMinimumWidth(40);
        message->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        message->setText(QFontMetrics(message->font()).elidedText(msg, Qt::ElideRight, 360));
        message->setToolTip(PlainText::toolTip(e.message.left(2000)));
        line->addWidget(message, 1);
        col->addLayout(line);
    }
}

void AnalysisItemRow::refreshLevelColor()
{
    if (m_level && m_item.entry)
        TextStyles::setTextColor(m_level,
                                 readableTone(SeverityPalette::colors(m_item.entry->level, true).tone, palette()));
}

void AnalysisItemRow::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::PaletteChange)  // a theme switch, or the sheet it was put in
        refreshLevelColor();
}

void AnalysisItemRow::showAllConcern()
{
    auto* viewer = new PlainTextViewer(this);
    viewer->setWindowFlag(Qt::Window);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->setObjectName(QStringLiteral("wholeConcern"));
    viewer->setWindowTitle(VisibleText::shownName(m_item.title.left(200)));
    viewer->setWrapping(true);
    viewer->setText(m_item.concern);
    viewer->resize(760, 520);
    viewer->show();
}
