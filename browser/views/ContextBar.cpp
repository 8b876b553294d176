#include "browser/views/ContextBar.h"

#include "browser/WindowModel.h"
#include "ui/TextStyles.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

ContextBar::ContextBar(WindowModel* model, QWidget* parent)
    : TintedBar(QStringLiteral("info.circle"), Tint::accent, parent), m_model(model)
{
    setObjectName(QStringLiteral("contextBar"));
    row()->setContentsMargins(12, 4, 12, 4);
    row()->setSpacing(6);
    label()->setObjectName(QStringLiteral("contextText"));
    label()->setText(QStringLiteral("Showing the entry in context: every filter is lifted."));
    // Wrapped, so that the button keeps its place in a narrow window.
    label()->setWordWrap(true);
    row()->setStretchFactor(label(), 1);
    m_back = new QPushButton(QStringLiteral("Back to Filters"));
    m_back->setObjectName(QStringLiteral("backToFiltersButton"));
    m_back->setFont(TextStyles::font(TextStyles::Style::caption));
    connect(m_back, &QPushButton::clicked, this, [this] { m_model->backToFilters(); });
    row()->addWidget(m_back);
    connect(&model->pipeline(), &FilterPipeline::contextChanged, this, &ContextBar::refresh);
    refresh();
}

void ContextBar::refresh()
{
    setVisible(m_model->pipeline().inContext());
}
