#include "browser/FilterPipeline.h"

#include "base/Platform.h"
#include "browser/HideRules.h"

#include <QDateTime>
#include <QSettings>

#include <utility>

// ---------------------------------------------------------------- state

namespace Pipeline {

FilterState initialState(double creationTime)
{
    FilterState s;
    s.customStart = creationTime - 3600;
    s.customEnd = creationTime;
    return s;
}

void toggleSort(FilterState& s, ColumnId column)
{
    if (column != s.sortColumn) {
        s.sortColumn = column;
        s.sortAscending = true;
    } else {
        s.sortAscending = !s.sortAscending;
    }
}

void setShown(FilterState& s, ColumnId c, bool on)
{
    const bool was = s.shown[size_t(c)];
    s.shown[size_t(c)] = on;
    if (was && !on)
        s.filterText[size_t(c)].clear();
}

void persistColumn(const FilterState& s, ColumnId c, QSettings& store)
{
    store.setValue(Columns::showKey(c), s.isShown(c));
    store.setValue(Columns::filterKey(c), s.filter(c));
}

FetchInterval initialInterval(double now) { return {now - 3600, now}; }

FetchInterval selectQuickRange(FilterState& s, QuickTimeRange r, double end)
{
    s.selectedQuickRange = r;
    s.wholeArchive = false;
    s.showCustomRange = false;
    return {end + QuickRange::offset(r), end};
}

void selectWholeArchive(FilterState& s)
{
    s.wholeArchive = true;
    s.selectedQuickRange.reset();
    s.showCustomRange = false;
}

void toggleCustomRange(FilterState& s)
{
    s.showCustomRange = !s.showCustomRange;
    s.selectedQuickRange.reset();
    s.wholeArchive = false;
}

FetchInterval customInterval(const FilterState& s) { return {s.customStart, s.customEnd}; }

FilterState lifted(const FilterState& s)
{
    FilterState out = s;
    out.activeFilters = QSet<SeverityLevel>(Severity::all().begin(), Severity::all().end());
    out.searchText.clear();
    out.selectedProcess.reset();
    out.selectedSubsystem.reset();
    out.sourceFilter = QStringLiteral("all");
    for (QString& text : out.filterText)
        text.clear();
    out.hidden.clear();
    out.pattern.reset();
    out.markedOnly = false;
    out.excluded.clear();
    out.sortColumn = ColumnId::time;
    out.sortAscending = true;
    return out;
}

void loadPersisted(FilterState& s, QSettings& store)
{
    const QVariant sortColumn = store.value(QStringLiteral("sortColumn"));
    if (sortColumn.isValid())
        s.sortColumn = Columns::byTitle(sortColumn.toString()).value_or(ColumnId::time);
    const QVariant ascending = store.value(QStringLiteral("sortAscending"));
    if (ascending.isValid())
        s.sortAscending = ascending.toBool();
    const QVariant source = store.value(QStringLiteral("sourceFilter"));
    if (source.isValid())
        s.sourceFilter = source.toString();
    for (ColumnId c : Columns::optional()) {
        s.shown[size_t(c)] = store.value(Columns::showKey(c), false).toBool();
        s.filterText[size_t(c)] = store.value(Columns::filterKey(c), QString()).toString();
    }
    s.hidden = HideRules::decode(store.value(QStringLiteral("hiddenRules")).toString());
}

}  // namespace Pipeline

// ---------------------------------------------------------------- observable inputs

namespace {

void copyRange(FilterState& to, const FilterState& from)
{
    to.selectedQuickRange = from.selectedQuickRange;
    to.wholeArchive = from.wholeArchive;
    to.showCustomRange = from.showCustomRange;
    to.customStart = from.customStart;
    to.customEnd = from.customEnd;
}

}  // namespace

FilterPipeline::FilterPipeline(QObject* parent)
    : QObject(parent), m_state(Pipeline::initialState(double(QDateTime::currentMSecsSinceEpoch()) / 1000.0))
{
    QSettings& store = Platform::settings();
    Pipeline::loadPersisted(m_state, store);
    m_patternsShown = store.value(QStringLiteral("showPatterns"), false).toBool();
}

void FilterPipeline::setActiveFilters(const QSet<SeverityLevel>& filters)
{
    if (m_state.activeFilters == filters)
        return;
    m_state.activeFilters = filters;
    emit changed();
}

void FilterPipeline::setSearchText(const QString& text)
{
    if (m_state.searchText == text)
        return;
    m_state.searchText = text;
    emit changed();
}

void FilterPipeline::setSelectedProcess(const std::optional<QString>& process)
{
    if (m_state.selectedProcess == process)
        return;
    m_state.selectedProcess = process;
    emit changed();
}

void FilterPipeline::setSelectedSubsystem(const std::optional<QString>& subsystem)
{
    if (m_state.selectedSubsystem == subsystem)
        return;
    m_state.selectedSubsystem = subsystem;
    emit changed();
}

void FilterPipeline::setSourceFilter(const QString& raw)
{
    if (m_state.sourceFilter == raw)
        return;
    m_state.sourceFilter = raw;
    Platform::settings().setValue(QStringLiteral("sourceFilter"), raw);
    emit changed();
}

void FilterPipeline::toggleSort(ColumnId column)
{
    Pipeline::toggleSort(m_state, column);
    QSettings& store = Platform::settings();
    store.setValue(QStringLiteral("sortColumn"), Columns::title(m_state.sortColumn));
    store.setValue(QStringLiteral("sortAscending"), m_state.sortAscending);
    emit changed();
}

void FilterPipeline::setShown(ColumnId c, bool on)
{
    if (m_state.isShown(c) == on)
        return;
    Pipeline::setShown(m_state, c, on);
    Pipeline::persistColumn(m_state, c, Platform::settings());
    emit changed();
}

void FilterPipeline::setFilterText(ColumnId c, const QString& text)
{
    if (m_state.filter(c) == text)
        return;
    m_state.filterText[size_t(c)] = text;
    Platform::settings().setValue(Columns::filterKey(c), text);
    emit changed();
}

bool FilterPipeline::hasFilters() const
{
    const FilterState fresh;
    for (ColumnId c : Columns::optional())
        if (!m_state.filter(c).isEmpty())
            return true;
    return m_state.activeFilters != fresh.activeFilters || !m_state.searchText.isEmpty() ||
           m_state.selectedProcess || m_state.selectedSubsystem || m_state.sourceFilter != fresh.sourceFilter ||
           !m_state.hidden.isEmpty() || m_state.pattern || m_state.markedOnly;
}

void FilterPipeline::clearFilters()
{
    if (!hasFilters())
        return;
    const FilterState fresh;
    m_state.activeFilters = fresh.activeFilters;
    m_state.searchText.clear();
    m_state.selectedProcess.reset();
    m_state.selectedSubsystem.reset();
    m_state.sourceFilter = fresh.sourceFilter;
    for (ColumnId c : Columns::optional())
        m_state.filterText[size_t(c)].clear();
    m_state.hidden.clear();
    m_state.pattern.reset();
    m_state.markedOnly = false;
    persistFilters();
    emit changed();  // one pass for all of them
}

void FilterPipeline::persistFilters() const
{
    QSettings& store = Platform::settings();
    store.setValue(QStringLiteral("sourceFilter"), m_state.sourceFilter);
    store.setValue(QStringLiteral("sortColumn"), Columns::title(m_state.sortColumn));
    store.setValue(QStringLiteral("sortAscending"), m_state.sortAscending);
    for (ColumnId c : Columns::optional())
        store.setValue(Columns::filterKey(c), m_state.filter(c));
    store.setValue(QStringLiteral("hiddenRules"), HideRules::encode(m_state.hidden));
}

void FilterPipeline::addHideRule(const HideRule& rule)
{
    if (rule.value.isEmpty() || m_state.hidden.contains(rule))
        return;
    m_state.hidden.append(rule);
    Platform::settings().setValue(QStringLiteral("hiddenRules"), HideRules::encode(m_state.hidden));
    emit changed();
}

void FilterPipeline::removeHideRule(qsizetype index)
{
    if (index < 0 || index >= m_state.hidden.size())
        return;
    m_state.hidden.removeAt(index);
    Platform::settings().setValue(QStringLiteral("hiddenRules"), HideRules::encode(m_state.hidden));
    emit changed();
}

void FilterPipeline::clearHideRules()
{
    if (m_state.hidden.isEmpty())
        return;
    m_state.hidden.clear();
    Platform::settings().setValue(QStringLiteral("hiddenRules"), HideRules::encode(m_state.hidden));
    emit changed();
}

void FilterPipeline::setPatternFilter(const std::optional<QString>& pattern)
{
    if (m_state.pattern == pattern)
        return;
    m_state.pattern = pattern;
    emit changed();
}

void FilterPipeline::setMarkedOnly(bool on)
{
    if (m_state.markedOnly == on)
        return;
    m_state.markedOnly = on;
    emit changed();
}

void FilterPipeline::setPatternsShown(bool on)
{
    if (m_patternsShown == on)
        return;
    m_patternsShown = on;
    Platform::settings().setValue(QStringLiteral("showPatterns"), on);
    emit changed();
}

void FilterPipeline::showInContext()
{
    if (!m_beforeContext)
        m_beforeContext = m_state;
    m_state = Pipeline::lifted(m_state);
    emit contextChanged();
    emit changed();
}

void FilterPipeline::backToFilters()
{
    if (!m_beforeContext)
        return;
    FilterState before = *std::exchange(m_beforeContext, std::nullopt);
    // The columns and the range are not filters: they stay as they are now.
    before.shown = m_state.shown;
    for (ColumnId c : Columns::optional())
        if (!before.isShown(c))
            before.filterText[size_t(c)].clear();
    copyRange(before, m_state);
    m_state = std::move(before);
    persistFilters();  // undoes what changes meanwhile stored
    emit contextChanged();
    emit changed();
}

void FilterPipeline::setCustomRange(double start, double end)
{
    if (m_state.customStart == start && m_state.customEnd == end)
        return;
    m_state.customStart = start;
    m_state.customEnd = end;
    emit rangeChanged();
}

FetchInterval FilterPipeline::selectQuickRange(QuickTimeRange r, double end)
{
    const FetchInterval interval = Pipeline::selectQuickRange(m_state, r, end);
    emit rangeChanged();
    return interval;
}

void FilterPipeline::selectWholeArchive()
{
    Pipeline::selectWholeArchive(m_state);
    emit rangeChanged();
}

void FilterPipeline::toggleCustomRange()
{
    Pipeline::toggleCustomRange(m_state);
    emit rangeChanged();
}

void FilterPipeline::restoreRange(const FilterState& earlier)
{
    copyRange(m_state, earlier);
    emit rangeChanged();
}
