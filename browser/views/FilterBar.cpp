#include "browser/views/FilterBar.h"

#include "browser/WindowModel.h"
#include "browser/views/BrowserWidgets.h"
#include "browser/views/HideChipsRow.h"
#include "browser/views/RowLayout.h"
#include "ui/FlowLayout.h"
#include "ui/TextStyles.h"
#include "ui/ViewStyle.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

using TextStyles::Style;

FilterBar::FilterBar(WindowModel* model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("filterBar"));
    // The chips, then the column filters, wrapping onto more rows when the
    // window is too narrow for all of them.
    auto* flow = new FlowLayout(this, 10, 4);
    flow->setContentsMargins(12, 6, 12, 6);
    auto* chips = new QWidget;
    chips->setObjectName(QStringLiteral("severityChips"));
    auto* h = new QHBoxLayout(chips);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(6);
    for (SeverityLevel s : Severity::all()) {
        auto* chip = new SeverityChip(s);
        connect(chip, &QAbstractButton::clicked, this, [this, s] { m_model->toggleSeverity(s); });
        h->addWidget(chip);
        m_chips << chip;
    }
    flow->addWidget(chips);
    m_markedOnly = new FilterChip(FilterChip::Kind::toggle);
    m_markedOnly->setObjectName(QStringLiteral("markedOnlyChip"));
    m_markedOnly->setTexts(QStringLiteral("Marked Only"));
    connect(m_markedOnly, &QAbstractButton::clicked, this,
            [this](bool on) { m_model->pipeline().setMarkedOnly(on); });
    flow->addWidget(m_markedOnly);
    // One field per column, in column order, shown while its column is.
    for (ColumnId c : Columns::optional()) {
        ColumnFilter& f = m_columns[size_t(c)];
        const QString label = Columns::title(c);
        f.box = new QWidget;
        f.box->setObjectName(QStringLiteral("columnFilter_") + label);
        auto* bh = new QHBoxLayout(f.box);
        bh->setContentsMargins(0, 0, 0, 0);
        bh->setSpacing(3);
        bh->addWidget(TextStyles::label(label + u':', Style::caption, true));
        f.field = new FieldEdit;
        f.field->setObjectName(QStringLiteral("filter_") + label);
        f.field->setFixedWidth(100);
        f.field->setFont(TextStyles::font(Style::caption));
        bh->addWidget(f.field);
        f.clear = new QToolButton;
        f.clear->setAutoRaise(true);
        f.clear->setCursor(Qt::PointingHandCursor);
        f.clear->setIconSize(QSize(14, 14));
        f.clear->setFocusPolicy(Qt::NoFocus);
        // Its room is kept while hidden: the first letter typed must not widen
        // the box and send the next ones to another row.
        QSizePolicy keep = f.clear->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        f.clear->setSizePolicy(keep);
        bh->addWidget(f.clear);
        connect(f.field, &QLineEdit::textChanged, this, [this, c](const QString& t) {
            m_columns[size_t(c)].clear->setVisible(!t.isEmpty());
            m_model->pipeline().setFilterText(c, t);
        });
        connect(f.clear, &QToolButton::clicked, f.field, &QLineEdit::clear);
        flow->addWidget(f.box);
    }
    connect(model, &WindowModel::listChanged, this, &FilterBar::refresh);
    refreshIcons();
}

void FilterBar::refresh()
{
    const FilterPipeline& pipeline = m_model->pipeline();
    for (SeverityChip* chip : m_chips)
        chip->setChecked(pipeline.activeFilters().contains(chip->level()));
    m_markedOnly->setChecked(pipeline.markedOnly());
    for (ColumnId c : Columns::optional()) {
        ColumnFilter& f = m_columns[size_t(c)];
        // The text may have been set elsewhere (Filter to PID, a column turned off).
        if (f.field->text() != pipeline.filterText(c))
            f.field->setText(pipeline.filterText(c));
        f.clear->setVisible(!f.field->text().isEmpty());
        f.box->setVisible(pipeline.isShown(c));
    }
}

void FilterBar::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::PaletteChange)
        refreshIcons();
}

void FilterBar::refreshIcons()
{
    const QIcon clear = ViewStyle::icon(QStringLiteral("xmark.circle.fill"), ViewStyle::secondary(this), 14, 2.0);
    for (ColumnId c : Columns::optional())
        m_columns[size_t(c)].clear->setIcon(clear);
    refresh();
}
