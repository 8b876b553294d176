#include "browser/views/SearchRow.h"

#include "browser/WindowModel.h"
#include "browser/views/BrowserWidgets.h"
#include "logs/LogFetcher.h"
#include "logs/VisibleText.h"
#include "processnames/ProcessNameResolver.h"
#include "ui/ViewStyle.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

#include <functional>

namespace {
QComboBox* dropdown(const QString& name, int minimumWidth)
{
    auto* combo = new QComboBox;
    combo->setObjectName(name);
    combo->setMinimumWidth(minimumWidth);
    // A width of its own, not the longest option's: the row does not move
    // when the options change, and a narrow window takes from the dropdowns
    // before the search field. The open list is as wide as its options.
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(0);
    combo->setMaximumWidth(260);
    combo->setMaxVisibleItems(25);
    return combo;
}

std::optional<QString> selection(const QComboBox* combo, int index)
{
    const QVariant v = combo->itemData(index);
    return v.isValid() ? std::optional<QString>(v.toString()) : std::nullopt;
}

// "All …", a divider, then the options; the selection made current.
void fill(QComboBox* combo, const QString& all, const QStringList& options, const std::optional<QString>& selected,
          const std::function<QString(const QString&)>& text)
{
    const QSignalBlocker block(combo);
    combo->clear();
    int widest = 0;
    combo->addItem(all);
    combo->insertSeparator(1);
    int current = 0;
    for (const QString& o : options) {
        // Names come from the log: one line, nothing that reorders the text.
        const QString shown = VisibleText::shownName(text(o));
        combo->addItem(shown, o);
        widest = qMax(widest, combo->fontMetrics().horizontalAdvance(shown));
        if (selected == o)
            current = combo->count() - 1;
    }
    combo->setCurrentIndex(current);
    combo->view()->setMinimumWidth(qMax(widest, combo->fontMetrics().horizontalAdvance(all)) + 40);
}
}  // namespace

SearchRow::SearchRow(WindowModel* model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("searchRow"));
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(12, 4, 12, 4);
    h->setSpacing(6);
    m_icon = new QLabel;
    h->addWidget(m_icon);
    m_search = new FieldEdit;
    m_search->setObjectName(QStringLiteral("searchField"));
    m_search->setPlaceholderText(QStringLiteral("Search messages and processes…"));
    m_search->setFrame(false);
    m_search->setMinimumWidth(200);
    h->addWidget(m_search, 3);
    m_clear = new QToolButton;
    m_clear->setObjectName(QStringLiteral("searchClear"));
    m_clear->setAutoRaise(true);
    m_clear->setCursor(Qt::PointingHandCursor);
    m_clear->setIconSize(QSize(14, 14));
    m_clear->setFocusPolicy(Qt::NoFocus);
    // Kept in the row while hidden, so that typing moves nothing beside it.
    QSizePolicy keep = m_clear->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    m_clear->setSizePolicy(keep);
    m_clear->hide();
    h->addWidget(m_clear);
    connect(m_search, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_clear->setVisible(!text.isEmpty());
        m_model->pipeline().setSearchText(text);
    });
    connect(m_clear, &QToolButton::clicked, m_search, &QLineEdit::clear);
    auto* line = new QFrame;
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedWidth(1);
    h->addWidget(line);

    // Wider than their minimum while there is room, up to a cap.
    m_process = dropdown(QStringLiteral("processCombo"), 140);
    h->addWidget(m_process, 1);
    m_subsystem = dropdown(QStringLiteral("subsystemCombo"), 150);
    h->addWidget(m_subsystem, 1);
    m_type = new QComboBox;
    m_type->setObjectName(QStringLiteral("typeCombo"));
    m_type->setMinimumWidth(100);
    for (SourceType t : Source::all())
        m_type->addItem(Source::label(t), Source::name(t));
    h->addWidget(m_type);
    connect(m_process, &QComboBox::activated, this,
            [this](int i) { m_model->pipeline().setSelectedProcess(selection(m_process, i)); });
    connect(m_subsystem, &QComboBox::activated, this,
            [this](int i) { m_model->pipeline().setSelectedSubsystem(selection(m_subsystem, i)); });
    connect(m_type, &QComboBox::activated, this,
            [this](int i) { m_model->pipeline().setSourceFilter(m_type->itemData(i).toString()); });

    connect(model, &WindowModel::listChanged, this, [this] { refresh(); });
    connect(model, &WindowModel::displayNamesChanged, this, [this] { refresh(true); });
    refreshIcons();
    refresh(true);
}

QLineEdit* SearchRow::searchField() const
{
    return m_search;
}

void SearchRow::refresh(bool namesChanged)
{
    const FilterPipeline& pipeline = m_model->pipeline();
    // Filled again only when the options or the selection differ, so that
    // live tail does not reset a dropdown the user is looking at.
    if (namesChanged || m_processOptions != m_model->processOptions() ||
        m_processSelection != pipeline.selectedProcess()) {
        m_processOptions = m_model->processOptions();
        m_processSelection = pipeline.selectedProcess();
        const ProcessNameResolver* names = m_model->processNames();
        // One store fills the list: its first entry tells whose names apply.
        const LogEntryList& listed = m_model->logFetcher()->entries();
        const LogOrigin origin = listed.isEmpty() ? LogOrigin::mac : listed.first().origin;
        fill(m_process, QStringLiteral("All Processes"), m_processOptions, m_processSelection,
             [names, origin](const QString& raw) { return names->displayName(raw, origin); });
    }
    if (namesChanged || m_subsystemOptions != m_model->subsystemOptions() ||
        m_subsystemSelection != pipeline.selectedSubsystem()) {
        m_subsystemOptions = m_model->subsystemOptions();
        m_subsystemSelection = pipeline.selectedSubsystem();
        fill(m_subsystem, QStringLiteral("All Subsystems"), m_subsystemOptions, m_subsystemSelection,
             [](const QString& s) { return s; });
    }
    const QSignalBlocker block(m_type);
    const SourceType t = Source::fromName(pipeline.sourceFilter()).value_or(SourceType::all);
    m_type->setCurrentIndex(int(Source::all().indexOf(t)));
    if (m_search->text() != pipeline.searchText())
        m_search->setText(pipeline.searchText());
}

void SearchRow::refreshIcons()
{
    m_icon->setPixmap(ViewStyle::pixmap(QStringLiteral("magnifyingglass"), ViewStyle::secondary(this), 14, 2.0));
    m_clear->setIcon(ViewStyle::icon(QStringLiteral("xmark.circle.fill"), ViewStyle::secondary(this), 14, 2.0));
}

void SearchRow::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::PaletteChange)
        refreshIcons();
}
