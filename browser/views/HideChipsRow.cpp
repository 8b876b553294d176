#include "browser/views/HideChipsRow.h"

#include "browser/HideRules.h"
#include "browser/WindowModel.h"
#include "logs/VisibleText.h"
#include "ui/FlowLayout.h"
#include "ui/PlainText.h"
#include "ui/TextStyles.h"
#include "ui/ViewStyle.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include <algorithm>

namespace {
constexpr int kInset = 3;       // room for the focus ring around the capsule
constexpr int kPadding = 10;    // inside the capsule, left and right of the text
constexpr int kCloseSize = 10;  // the ✕
constexpr int kCloseGap = 5;    // between the text and the ✕
}  // namespace

// ---- FilterChip

FilterChip::FilterChip(Kind kind, QWidget* parent) : QAbstractButton(parent), m_kind(kind)
{
    setCheckable(kind == Kind::toggle);
    setFont(TextStyles::font(TextStyles::Style::caption, false, QFont::Medium));
    // Tab reaches it; a click leaves the focus where it was, as on the severity chips.
    setFocusPolicy(Qt::TabFocus);
    if (kind == Kind::toggle)
        setCursor(Qt::PointingHandCursor);
}

void FilterChip::setTexts(const QString& main, const QString& suffix)
{
    const QString shownMain = VisibleText::shownName(main);
    const QString shownSuffix = VisibleText::shownName(suffix);
    if (shownMain == m_main && shownSuffix == m_suffix)
        return;  // set again after every pass: no relayout for nothing
    m_main = shownMain;
    m_suffix = shownSuffix;
    setText(fullText());
    if (m_kind == Kind::removable) {
        setToolTip(PlainText::toolTip(fullText()));
        setAccessibleName(QStringLiteral("Remove ") + fullText());
    }
    updateGeometry();
    update();
}

QSize FilterChip::sizeHint() const
{
    const QFontMetrics fm(font());
    int w = std::min(fm.horizontalAdvance(m_main), maxTextWidth) + fm.horizontalAdvance(m_suffix);
    w += 2 * (kInset + kPadding);
    if (m_kind == Kind::removable)
        w += kCloseGap + kCloseSize;
    return QSize(w, fm.height() + 14);
}

QRect FilterChip::closeRect() const
{
    if (m_kind != Kind::removable)
        return {};
    return QRect(width() - kInset - kPadding - kCloseSize, (height() - kCloseSize) / 2, kCloseSize, kCloseSize);
}

bool FilterChip::hitButton(const QPoint& pos) const
{
    // Only the ✕ removes: a click on a chip's text to read it must not drop the filter.
    if (m_kind == Kind::removable)
        return closeRect().adjusted(-5, -5, kPadding, 5).contains(pos);
    return QAbstractButton::hitButton(pos);
}

void FilterChip::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    ViewStyle::ChipColors c;
    if (m_kind == Kind::toggle) {
        c = ViewStyle::chipColors(ViewStyle::accent(this), isChecked(), pal);
    } else {
        // A filter that is on, but no toggle: a light tint of the accent, the text in full ink.
        const QColor window = pal.color(QPalette::Window);
        const QColor accent = ViewStyle::accent(this);
        c = {ViewStyle::over(ViewStyle::withAlpha(accent, ViewStyle::isDark(this) ? 0.24 : 0.12), window),
             ViewStyle::over(ViewStyle::withAlpha(accent, 0.55), window), pal.color(QPalette::WindowText)};
    }
    const QRectF r = QRectF(rect()).adjusted(kInset + 0.5, kInset + 0.5, -kInset - 0.5, -kInset - 0.5);
    const qreal radius = r.height() / 2;
    p.setBrush(m_kind == Kind::removable || isChecked() ? QBrush(c.fill) : QBrush(Qt::NoBrush));
    p.setPen(QPen(c.outline, 1));
    p.drawRoundedRect(r, radius, radius);

    const QFontMetrics fm(font());
    QRect textRect = rect().adjusted(kInset + kPadding, 0, -kInset - kPadding, 0);
    if (m_kind == Kind::removable) {
        const QRect close = closeRect();
        textRect.setRight(close.left() - kCloseGap);
        p.drawPixmap(close, ViewStyle::pixmap(QStringLiteral("xmark"), ViewStyle::withAlpha(c.text, 0.75), kCloseSize));
    }
    const int room = std::max(0, textRect.width() - fm.horizontalAdvance(m_suffix));
    p.setPen(c.text);
    p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, fm.elidedText(m_main, Qt::ElideRight, room) + m_suffix);
    if (hasFocus())
        ViewStyle::drawFocusRing(&p, rect(), height() / 2.0, this);
}

// ---- HideChipsRow

HideChipsRow::HideChipsRow(WindowModel* model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("hideChipsRow"));
    m_flow = new FlowLayout(this, 6, 2);
    m_flow->setContentsMargins(12, 0, 12, 6);
    m_pattern = new FilterChip(FilterChip::Kind::removable);
    m_pattern->setObjectName(QStringLiteral("patternChip"));
    connect(m_pattern, &QAbstractButton::clicked, this,
            [this] { m_model->pipeline().setPatternFilter(std::nullopt); });
    m_hiding = TextStyles::label(QStringLiteral("Hiding:"), TextStyles::Style::caption, true);
    m_hiding->setObjectName(QStringLiteral("hidingLabel"));
    m_showAll = new QPushButton(QStringLiteral("Show All"));
    m_showAll->setObjectName(QStringLiteral("showAllButton"));
    m_showAll->setFont(TextStyles::font(TextStyles::Style::caption));
    connect(m_showAll, &QPushButton::clicked, this, [this] { m_model->pipeline().clearHideRules(); });
    relayOut();
    connect(model, &WindowModel::listChanged, this, &HideChipsRow::refresh);
    refresh();
}

void HideChipsRow::relayOut()
{
    while (QLayoutItem* item = m_flow->takeAt(0))
        delete item;
    m_flow->addWidget(m_pattern);
    m_flow->addWidget(m_hiding);
    for (FilterChip* chip : m_rules)
        m_flow->addWidget(chip);
    m_flow->addWidget(m_showAll);
}

void HideChipsRow::refresh()
{
    const FilterPipeline& pipeline = m_model->pipeline();
    const QList<HideRule>& rules = pipeline.hiddenRules();
    if (rules.size() != m_rules.size()) {
        // Made anew, so that each ✕ holds its rule's index; the chip clicked
        // may be the one emitting, hence later.
        for (FilterChip* chip : std::as_const(m_rules)) {
            chip->hide();
            chip->deleteLater();
        }
        m_rules.clear();
        for (qsizetype i = 0; i < rules.size(); ++i) {
            auto* chip = new FilterChip(FilterChip::Kind::removable, this);
            chip->setObjectName(QStringLiteral("hideChip"));
            connect(chip, &QAbstractButton::clicked, this, [this, i] { m_model->pipeline().removeHideRule(i); });
            m_rules << chip;
        }
        relayOut();
    }
    const QList<qsizetype>& counts = m_model->hiddenCounts();
    for (qsizetype i = 0; i < rules.size(); ++i)
        m_rules[i]->setTexts(HideRules::chipText(rules[i]),
                             QStringLiteral(" (") + QString::number(counts.value(i)) + QLatin1Char(')'));
    const std::optional<QString>& pattern = pipeline.patternFilter();
    if (pattern)
        m_pattern->setTexts(QStringLiteral("Pattern: ") + *pattern);
    m_pattern->setVisible(pattern.has_value());
    m_hiding->setVisible(!rules.isEmpty());
    m_showAll->setVisible(!rules.isEmpty());
    for (FilterChip* chip : std::as_const(m_rules))
        chip->show();
    setVisible(pattern || !rules.isEmpty());
}
