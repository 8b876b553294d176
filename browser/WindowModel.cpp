#include "browser/WindowModel.h"

#include "ai/AIExplainer.h"
#include "ai/AISettings.h"
#include "browser/DetailWindowState.h"
#include "browser/EntryText.h"
#include "browser/PendingArchive.h"
#include "logs/LogFetcher.h"
#include "logs/RecentArchives.h"
#include "processnames/ProcessNameResolver.h"

#include <QDateTime>
#include <QTimer>

#include <utility>

WindowModel::WindowModel(DetailWindowState* detailState, RecentArchives* recentArchives, PendingArchive* pending,
                         QObject* parent)
    : QObject(parent), m_detailState(detailState), m_recentArchives(recentArchives), m_pending(pending)
{
    m_processNames = new ProcessNameResolver(this);
    m_aiSettings = new AISettings(this);
    m_fetcher = new LogFetcher(this);

    connect(m_fetcher, &LogFetcher::entriesChanged, this, &WindowModel::evaluate);
    connect(m_fetcher, &LogFetcher::isLiveTailingChanged, this, [this] {
        evaluate();
        emit toolbarChanged();
        emit followChanged();
    });
    connect(m_fetcher, &LogFetcher::isLoadingChanged, this, [this] {
        followSelection();  // a read that ended empty drops the held selection
        emit toolbarChanged();
        emit contentChanged();
    });
    connect(m_fetcher, &LogFetcher::errorMessageChanged, this, &WindowModel::contentChanged);
    connect(m_fetcher, &LogFetcher::outcomeChanged, this, &WindowModel::contentChanged);
    connect(m_fetcher, &LogFetcher::archiveURLChanged, this, [this] {
        m_rangeBeforeDrag.reset();  // it named a range of the other source
        // An archive opens whole ("All"); the live log comes back to its last hour.
        if (m_fetcher->isViewingArchive())
            m_pipeline.selectWholeArchive();
        else
            m_pipeline.selectQuickRange(QuickTimeRange::last1h, now());
        emit toolbarChanged();
    });
    connect(m_fetcher, &LogFetcher::archiveSpanChanged, this, &WindowModel::contentChanged);  // the cut notice
    connect(m_fetcher, &LogFetcher::archiveSpanChanged, this, [this] {
        // The custom range of an archive starts as all of it.
        if (const std::optional<DateRange>& span = m_fetcher->archiveSpan())
            m_pipeline.setCustomRange(span->start, span->end);
        emit toolbarChanged();
    });
    connect(m_processNames, &ProcessNameResolver::learnedNamesChanged, this, &WindowModel::displayNamesChanged);
    connect(m_aiSettings, &AISettings::apiKeyChanged, this, &WindowModel::toolbarChanged);
    connect(&m_pipeline, &FilterPipeline::changed, this, &WindowModel::evaluate);
    connect(&m_pipeline, &FilterPipeline::rangeChanged, this, &WindowModel::toolbarChanged);

    if (m_detailState) {
        connect(m_detailState, &DetailWindowState::wantsPopBackChanged, this, [this] {
            if (!m_detailState->wantsPopBack())
                return;
            // Asked while the floating window is still open: the pane opens all the same.
            m_selectedEntry = m_detailState->entry();
            m_paneOpen = m_selectedEntry.has_value();
            followSelection();
            emit selectionChanged();
            m_detailState->setWantsPopBack(false);
        });
    }
    if (m_pending)
        connect(m_pending, &PendingArchive::changed, this, &WindowModel::takePendingArchive);
    evaluate();
}

WindowModel::~WindowModel() = default;

double WindowModel::now()
{
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

// ---------------------------------------------------------------- derived

void WindowModel::evaluate()
{
    const bool tailing = m_fetcher->isLiveTailing();
    const qsizetype before = m_filtered.size();
    // One pass yields the list, both dropdowns' options and the timeline.
    Pipeline::Evaluation result = m_pipeline.evaluate(m_fetcher->entries(), tailing);
    m_filtered = std::move(result.filtered);
    m_processOptions = std::move(result.processes);
    m_subsystemOptions = std::move(result.subsystems);
    m_columns = m_pipeline.visibleColumns();
    m_timeline = std::move(result.timeline);
    emit listChanged();
    followSelection();
    emit contentChanged();
    if (tailing && m_autoScrollEnabled && m_filtered.size() > before)
        emit followEndRequested();
}

std::optional<LogEntry> WindowModel::inFetched(const LogEntry& entry) const
{
    // Ids are fresh per read: after a new one only the key finds the record.
    std::optional<QString> key;
    const LogEntry* byKey = nullptr;
    for (const LogEntry& e : m_fetcher->entries()) {
        if (e.id == entry.id)
            return e;
        const bool sameDate = e.date == entry.date || (qIsNaN(e.date) && qIsNaN(entry.date));
        if (byKey || !sameDate)
            continue;
        if (!key)
            key = LogFetcher::tailKey(entry);
        if (LogFetcher::tailKey(e) == *key)
            byKey = &e;
    }
    return byKey ? std::optional<LogEntry>(*byKey) : std::nullopt;
}

void WindowModel::followSelection()
{
    // While a read is under way the list is empty: nothing to follow yet.
    if (m_fetcher->isLoading() && m_fetcher->entries().isEmpty())
        return;
    bool changed = false;
    if (m_selectedEntry) {
        const std::optional<LogEntry> same = inFetched(*m_selectedEntry);
        changed = !same || same->id != m_selectedEntry->id;
        m_selectedEntry = same;
    }
    // The floating window this window filled follows the same way.
    if (floatingOpen() && m_detailState->entry() && m_detailState->processNames() == m_processNames)
        m_detailState->setEntry(inFetched(*m_detailState->entry()));
    bool listed = false;
    if (m_selectedEntry)
        for (const LogEntry& e : m_filtered)
            if (e.id == m_selectedEntry->id) {
                listed = true;
                break;
            }
    changed = changed || listed != m_selectionListed;
    m_selectionListed = listed;
    if (changed)
        emit selectionChanged();
}

QString WindowModel::statusText() const
{
    return QString::number(m_filtered.size()) + QStringLiteral(" of ") + QString::number(m_fetcher->entries().size()) +
           QStringLiteral(" entries");
}

WindowModel::Content WindowModel::content() const
{
    const bool noEntries = m_fetcher->entries().isEmpty();
    if (m_fetcher->errorMessage() && noEntries)
        return Content::error;
    if (noEntries && !m_fetcher->isLoading())
        return Content::empty;
    return Content::list;
}

std::optional<QString> WindowModel::cutNotice() const
{
    const LogEntryList& entries = m_fetcher->entries();
    std::optional<DateRange> listed;
    if (!entries.isEmpty())
        listed = DateRange{entries.first().date, entries.last().date};
    return LogFetcher::cutText(m_fetcher->outcome(), entries.size(), listed,
                               m_fetcher->isViewingArchive() ? m_fetcher->archiveSpan() : std::nullopt);
}

std::optional<QString> WindowModel::skipNotice() const
{
    return LogFetcher::skipText(m_fetcher->outcome().skipped);
}

bool WindowModel::lacksFiles() const { return m_fetcher->outcome().skipped.notRead > 0; }

std::optional<QString> WindowModel::archiveName() const
{
    const auto& url = m_fetcher->archiveURL();
    if (!url)
        return std::nullopt;
    QString name = *url;
    while (name.endsWith(u'/') && name.size() > 1)
        name.chop(1);
    return name.mid(name.lastIndexOf(u'/') + 1);
}

// ---------------------------------------------------------------- filters and range

void WindowModel::toggleSeverity(SeverityLevel level)
{
    QSet<SeverityLevel> set = m_pipeline.activeFilters();
    if (!set.remove(level))
        set.insert(level);
    m_pipeline.setActiveFilters(set);
}

void WindowModel::filterToPID(const LogEntry& entry)
{
    m_pipeline.setShown(OptionalColumn::pid, true);
    m_pipeline.setFilterText(OptionalColumn::pid, QString::number(entry.processIdentifier));
}

bool WindowModel::rangesAvailable() const
{
    return !m_fetcher->isViewingArchive() || m_fetcher->archiveSpan().has_value();
}

void WindowModel::selectQuickRange(QuickTimeRange range)
{
    // On an archive a quick range counts back from its last entry, not from now.
    if (!rangesAvailable())
        return;
    m_rangeBeforeDrag.reset();
    const double end = m_fetcher->isViewingArchive() ? m_fetcher->archiveSpan()->end : now();
    const FetchInterval i = m_pipeline.selectQuickRange(range, end);
    m_fetcher->fetch(i.start, i.end);
}

void WindowModel::selectWholeArchive()
{
    if (!m_fetcher->isViewingArchive())
        return;
    m_rangeBeforeDrag.reset();
    m_pipeline.selectWholeArchive();
    m_fetcher->reloadArchive();
}

void WindowModel::refresh()
{
    // An archive's refresh reloads all of it, which "All" then says.
    if (m_fetcher->isViewingArchive())
        m_pipeline.selectWholeArchive();
    m_fetcher->refresh();
}

void WindowModel::toggleCustomRange()
{
    m_rangeBeforeDrag.reset();
    m_pipeline.toggleCustomRange();
}

void WindowModel::setCustomRange(double start, double end)
{
    m_pipeline.setCustomRange(start, end);
}

void WindowModel::applyCustomRange()
{
    m_rangeBeforeDrag.reset();
    fetchCustomRange();
}

void WindowModel::fetchCustomRange()
{
    const FetchInterval i = m_pipeline.customInterval();
    m_fetcher->fetch(i.start, i.end);
}

void WindowModel::applyTimelineSpan(double from, double to)
{
    if (to < from)
        std::swap(from, to);
    if (!(to > from) || !m_fetcher->lastFetchStart())
        return;
    if (!m_rangeBeforeDrag)
        m_rangeBeforeDrag = RangeBeforeDrag{m_pipeline.state(),
                                            {*m_fetcher->lastFetchStart(), m_fetcher->lastFetchEnd().value_or(now())},
                                            m_fetcher->isViewingArchive()};
    if (!m_pipeline.showCustomRange())
        m_pipeline.toggleCustomRange();
    m_pipeline.setCustomRange(from, to);
    fetchCustomRange();
}

bool WindowModel::restoreRangeBeforeDrag()
{
    if (!m_rangeBeforeDrag)
        return false;
    const RangeBeforeDrag saved = *std::exchange(m_rangeBeforeDrag, std::nullopt);
    m_pipeline.restoreRange(saved.inputs);
    // A live quick range is relative to now; anything else (the whole
    // archive, an applied custom range) is fetched as it was.
    const std::optional<QuickTimeRange>& quick = saved.inputs.selectedQuickRange;
    if (quick && !saved.inputs.showCustomRange && !saved.archive) {
        const double t = now();
        m_fetcher->fetch(t + QuickRange::offset(*quick), t);
    } else {
        m_fetcher->fetch(saved.fetched.start, saved.fetched.end);
    }
    return true;
}

// ---------------------------------------------------------------- selection

void WindowModel::setSelectedEntry(const std::optional<LogEntry>& entry)
{
    m_selectedEntry = entry;
    m_paneOpen = entry.has_value();
    m_selectionListed = false;
    followSelection();
    emit selectionChanged();
}

void WindowModel::clickEntry(const LogEntry& entry)
{
    if (floatingOpen())
        selectEntry(entry);
    else if (isPaneOpen() && m_selectedEntry->id == entry.id)
        setSelectedEntry(std::nullopt);
    else
        setSelectedEntry(entry);
}

void WindowModel::selectEntry(const LogEntry& entry)
{
    // From no selection the pane opens; otherwise Escape's choice holds.
    const bool open = !m_selectedEntry || m_paneOpen;
    m_selectedEntry = entry;
    m_paneOpen = open && !floatingOpen();
    if (floatingOpen())
        m_detailState->setEntry(entry);
    followSelection();
    emit selectionChanged();
}

void WindowModel::openPane()
{
    if (!m_selectedEntry || m_paneOpen || floatingOpen())
        return;
    m_paneOpen = true;
    emit selectionChanged();
}

bool WindowModel::closePane()
{
    if (!isPaneOpen())
        return false;
    m_paneOpen = false;
    emit selectionChanged();
    return true;
}

std::optional<QString> WindowModel::selectedRowText() const
{
    if (!m_selectedEntry)
        return std::nullopt;
    return EntryText::rowText(*m_selectedEntry);
}

void WindowModel::setDetailPaneHeight(double height)
{
    const double h = qBound(100.0, height, 500.0);
    if (h == m_detailPaneHeight)
        return;
    m_detailPaneHeight = h;
    emit detailPaneHeightChanged();
}

void WindowModel::dragDetailPane(double dy)
{
    // Dragging the bar up makes the pane below it taller.
    setDetailPaneHeight(m_detailPaneHeight - dy);
}

void WindowModel::selectFromAnalysis(const LogEntry& entry)
{
    // The sheet may have been opened over the Crashes tab: the highlight
    // must be seen, so the list comes first.
    setShowCrashes(false);
    setSelectedEntry(entry);
    m_highlightedEntryID = entry.id;
    emit highlightChanged();
    const quint64 generation = ++m_highlightGeneration;
    const QUuid id = entry.id;
    QTimer::singleShot(m_highlightMs, this, [this, generation, id] {
        if (generation == m_highlightGeneration && m_highlightedEntryID == id) {
            m_highlightedEntryID.reset();
            emit highlightChanged();
        }
    });
}

// ---------------------------------------------------------------- live tail

void WindowModel::toggleLiveTail()
{
    if (m_fetcher->isLiveTailing()) {
        m_fetcher->stopLiveTail();
        return;
    }
    m_autoScrollEnabled = true;
    emit followChanged();
    m_fetcher->startLiveTail();
}

void WindowModel::userScrolled()
{
    if (!m_fetcher->isLiveTailing() || !m_autoScrollEnabled)
        return;
    m_autoScrollEnabled = false;
    emit followChanged();
}

void WindowModel::jumpToBottom()
{
    m_autoScrollEnabled = true;
    emit followChanged();
    emit followEndRequested();
}

bool WindowModel::showsJumpToBottom() const
{
    return m_fetcher->isLiveTailing() && !m_autoScrollEnabled;
}

// ---------------------------------------------------------------- tabs, collection, settings

void WindowModel::setShowCrashes(bool crashes)
{
    if (m_showCrashes == crashes)
        return;
    m_showCrashes = crashes;
    emit showCrashesChanged();
    emit toolbarChanged();
}

void WindowModel::setCollecting(bool collecting)
{
    if (m_isCollecting == collecting)
        return;
    m_isCollecting = collecting;
    emit toolbarChanged();
}

void WindowModel::openCollectedArchive(const QString& path)
{
    if (m_recentArchives)
        m_recentArchives->add(path);
    setShowCrashes(false);
    m_fetcher->openArchive(path);
}

void WindowModel::setShowSettings(bool show)
{
    if (m_showSettings == show)
        return;
    m_showSettings = show;
    emit showSettingsChanged();
}

void WindowModel::takePendingArchive()
{
    if (!m_pending || !m_pending->url())
        return;
    const QString path = *m_pending->url();
    setShowCrashes(false);
    m_fetcher->openArchive(path);
    m_pending->clear();
}

void WindowModel::windowShown()
{
    if (m_firstShown)
        return;
    m_firstShown = true;
    // An archive waiting for this window is what it shows: no live query first.
    takePendingArchive();
    if (m_fetcher->lastFetchStart())
        return;
    const FetchInterval i = Pipeline::initialInterval(now());
    m_fetcher->fetch(i.start, i.end);
}

// ---------------------------------------------------------------- pop-out

void WindowModel::popOut()
{
    if (!m_selectedEntry || !m_detailState)
        return;
    m_detailState->setEntry(*m_selectedEntry);
    m_detailState->setServices(m_processNames, m_aiSettings);
    m_detailState->setOpen(true);
    // While the inline pane is still open, so that the floating one can take over its explanation.
    emit floatingWindowRequested();
    m_paneOpen = false;
    emit selectionChanged();
}

// ---------------------------------------------------------------- analysis

void WindowModel::setShowAnalysis(bool show)
{
    if (m_showAnalysis == show)
        return;
    m_showAnalysis = show;
    emit analysisChanged();
}

void WindowModel::startAnalysis()
{
    if (!m_aiSettings->hasAPIKey()) {
        setShowSettings(true);
        return;
    }
    if (!canAnalyze())
        return;
    // The analysis reads the most recent batch only: copy no more than that.
    LogEntryList recent;
    QList<QUuid> ids;
    const auto dateAt = [this](qsizetype i) { return m_filtered.at(i).date; };
    for (qsizetype i : AIExplainer::analysisBatchRows(m_filtered.size(), dateAt)) {
        recent.append(m_filtered.at(i));
        ids.append(recent.last().id);
    }
    // The same batch would be asked about again: the findings already made are the answer.
    if (m_analysisBatch == ids) {
        m_showAnalysis = true;
        emit analysisChanged();
        emit keptAnalysisShown();
        return;
    }
    m_analysisItems.clear();
    m_analysisError.reset();
    m_analysisBatch.reset();
    m_isAnalyzing = true;
    m_showAnalysis = true;
    emit analysisChanged();
    emit toolbarChanged();
    AIExplainer::analyze(recent, *m_aiSettings, this, [this, ids](const AIResult<AnalysisItemList>& r) {
        if (r.ok()) {
            m_analysisItems = r.value();
            m_analysisBatch = ids;
        } else {
            m_analysisError = r.error().description();
        }
        m_isAnalyzing = false;
        emit analysisChanged();
        emit toolbarChanged();
    });
}
