#include "browser/FilterPipeline.h"

#include "base/Platform.h"

#include <QDateTime>
#include <QSettings>

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
}

}  // namespace Pipeline

// ---------------------------------------------------------------- observable inputs

FilterPipeline::FilterPipeline(QObject* parent)
    : QObject(parent), m_state(Pipeline::initialState(double(QDateTime::currentMSecsSinceEpoch()) / 1000.0))
{
    Pipeline::loadPersisted(m_state, Platform::settings());
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
           m_state.selectedProcess || m_state.selectedSubsystem || m_state.sourceFilter != fresh.sourceFilter;
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
    QSettings& store = Platform::settings();
    store.setValue(QStringLiteral("sourceFilter"), fresh.sourceFilter);
    for (ColumnId c : Columns::optional()) {
        m_state.filterText[size_t(c)].clear();
        store.setValue(Columns::filterKey(c), QString());
    }
    emit changed();  // one pass for all of them
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
    m_state.selectedQuickRange = earlier.selectedQuickRange;
    m_state.wholeArchive = earlier.wholeArchive;
    m_state.showCustomRange = earlier.showCustomRange;
    m_state.customStart = earlier.customStart;
    m_state.customEnd = earlier.customEnd;
    emit rangeChanged();
}
