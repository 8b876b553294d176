#include "ai/views/AnalysisView.h"

#include "ai/views/AnalysisItemRow.h"
#include "ui/TextStyles.h"
#include "ui/ViewStyle.h"
#include "ui/Widgets.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

using TextStyles::Style;

namespace {

QWidget* centred(std::initializer_list<QWidget*> widgets, int spacing)
{
    auto* w = new QWidget;
    auto* col = new QVBoxLayout(w);
    col->setSpacing(spacing);
    col->addStretch(1);
    for (QWidget* c : widgets)
        col->addWidget(c, 0, c->property("centredHolder").toBool() ? Qt::Alignment() : Qt::AlignHCenter);
    col->addStretch(1);
    return w;
}

QLabel* symbol(const char* name, const QColor& color, int size)
{
    auto* l = new QLabel;
    l->setPixmap(ViewStyle::pixmap(QString::fromLatin1(name), color, size));
    return l;
}

}  // namespace

AnalysisView::AnalysisView(QWidget* parent)
    : QDialog(parent, Qt::Sheet | Qt::Dialog)
{
    setObjectName(QStringLiteral("analysisView"));
    setWindowTitle(QStringLiteral("Proactive Log Analysis"));
    setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);

    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(0);

    // Header.
    auto* header = new QHBoxLayout;
    header->setContentsMargins(16, 16, 16, 16);
    header->setSpacing(8);
    header->addWidget(symbol("wand.and.stars", ViewStyle::accent(), 16));
    auto* title = TextStyles::label(QStringLiteral("Proactive Log Analysis"), Style::headline);
    title->setObjectName(QStringLiteral("analysisTitle"));
    header->addWidget(title);
    header->addStretch(1);
    auto* close = new QToolButton;
    close->setObjectName(QStringLiteral("analysisClose"));
    close->setAutoRaise(true);
    close->setIcon(ViewStyle::icon(QStringLiteral("xmark.circle.fill"), ViewStyle::secondary(), 16));
    close->setIconSize(QSize(16, 16));
    close->setToolTip(QStringLiteral("Close"));
    connect(close, &QToolButton::clicked, this, &QDialog::accept);
    header->addWidget(close);
    col->addLayout(header);
    col->addWidget(ViewStyle::divider());

    // Body.
    m_stack = new QStackedWidget;
    auto* spinner = new QProgressBar;
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    spinner->setFixedSize(160, 8);
    auto* analyzing = TextStyles::label(QStringLiteral("Analyzing logs…"), Style::subheadline, true);
    analyzing->setObjectName(QStringLiteral("analysisLoadingText"));
    auto* scanning = TextStyles::label(QStringLiteral("Scanning for patterns and notable events"), Style::caption,
                                       true);
    m_stack->addWidget(centred({spinner, analyzing, scanning}, 12));

    m_errorText = TextStyles::label(QString(), Style::body, true, true);
    m_errorText->setObjectName(QStringLiteral("analysisErrorText"));
    m_errorText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_stack->addWidget(centred({symbol("exclamationmark.triangle", ViewStyle::orange(), 24),
                                TextStyles::centredWrapped(m_errorText, 300)},
                               8));

    auto* scroll = new QScrollArea;
    scroll->setObjectName(QStringLiteral("analysisScroll"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_itemsHolder = new QWidget;
    m_itemsColumn = new QVBoxLayout(m_itemsHolder);
    m_itemsColumn->setContentsMargins(16, 16, 16, 16);
    m_itemsColumn->setSpacing(16);
    scroll->setWidget(m_itemsHolder);
    m_stack->addWidget(scroll);

    auto* none = TextStyles::label(QStringLiteral("No notable issues found"), Style::body, true);
    none->setObjectName(QStringLiteral("analysisEmptyText"));
    m_stack->addWidget(centred({symbol("checkmark.circle", ViewStyle::green(), 24), none}, 8));
    col->addWidget(m_stack, 1);

    col->addWidget(ViewStyle::divider());

    // Footer.
    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(12, 12, 12, 12);
    auto* note = TextStyles::label(
        QStringLiteral("AI analysis may be inaccurate. Always verify findings independently."), Style::caption2, true);
    note->setObjectName(QStringLiteral("analysisNote"));
    footer->addWidget(note);
    footer->addStretch(1);
    auto* done = new QPushButton(QStringLiteral("Done"));
    done->setObjectName(QStringLiteral("analysisDone"));
    done->setDefault(true);
    setProminent(done);
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
    footer->addWidget(done);
    col->addLayout(footer);

    refresh();
}

AnalysisView::Body AnalysisView::body() const
{
    if (m_isLoading)
        return Body::loading;
    if (m_error)
        return Body::error;
    if (!m_items.isEmpty())
        return Body::items;
    return Body::empty;
}

void AnalysisView::setItems(const QList<AnalysisItem>& items)
{
    m_items = items;
    while (QLayoutItem* it = m_itemsColumn->takeAt(0)) {
        if (QWidget* w = it->widget())
            w->deleteLater();
        delete it;
    }
    // The prompt asks for five: thousands of rows would take seconds to lay out.
    for (const AnalysisItem& item : m_items.mid(0, kShownItems))
        m_itemsColumn->addWidget(new AnalysisItemRow(item, [this, item] { tapped(item); }));
    if (m_items.size() > kShownItems) {
        auto* more = TextStyles::label(QStringLiteral("The first %1 of %2 findings are shown.")
                                           .arg(kShownItems)
                                           .arg(m_items.size()),
                                       Style::caption, true);
        more->setObjectName(QStringLiteral("analysisMoreNote"));
        m_itemsColumn->addWidget(more);
    }
    m_itemsColumn->addStretch(1);
    refresh();
}

void AnalysisView::setLoading(bool loading)
{
    m_isLoading = loading;
    refresh();
}

void AnalysisView::setError(const std::optional<QString>& error)
{
    m_error = error;
    refresh();
}

void AnalysisView::refresh()
{
    const Body b = body();
    m_stack->setCurrentIndex(int(b));
    if (b == Body::error)
        m_errorText->setText(*m_error);
    const int shown = b == Body::items ? int(m_items.size()) : 0;
    setFixedSize(sheetWidth, heightFor(shown));
}

void AnalysisView::tapped(const AnalysisItem& item)
{
    if (!item.entry)
        return;
    if (m_onSelectEntry)
        m_onSelectEntry(*item.entry);
    accept();
}
