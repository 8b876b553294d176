#include "browser/FetchRange.h"

#include "browser/PendingArchive.h"
#include "logs/LogFetcher.h"
#include "logs/RecentArchives.h"

#include <QDateTime>

#include <utility>

FetchRange::FetchRange(LogFetcher* fetcher, FilterPipeline& pipeline, PendingArchive* pending,
                       RecentArchives* recentArchives, QObject* parent)
    : QObject(parent), m_fetcher(fetcher), m_pipeline(pipeline), m_pending(pending), m_recentArchives(recentArchives)
{
    connect(m_fetcher, &LogFetcher::archivePathChanged, this, [this] {
        m_rangeBeforeDrag.reset();  // it named a range of the other source
        // An archive opens whole ("All"); the live log comes back to its last hour.
        if (m_fetcher->isViewingArchive())
            m_pipeline.selectWholeArchive();
        else
            m_pipeline.selectQuickRange(QuickTimeRange::last1h, now());
    });
    connect(m_fetcher, &LogFetcher::archiveSpanChanged, this, [this] {
        // The custom range of an archive starts as all of it.
        if (const std::optional<DateRange>& span = m_fetcher->archiveSpan())
            m_pipeline.setCustomRange(span->start, span->end);
    });
    if (m_pending)
        connect(m_pending, &PendingArchive::changed, this, &FetchRange::takePendingArchive);
}

double FetchRange::now()
{
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

bool FetchRange::rangesAvailable() const
{
    return !m_fetcher->isViewingArchive() || m_fetcher->archiveSpan().has_value();
}

void FetchRange::selectQuickRange(QuickTimeRange range)
{
    // On an archive a quick range counts back from its last entry, not from now.
    if (!rangesAvailable())
        return;
    m_rangeBeforeDrag.reset();
    const double end = m_fetcher->isViewingArchive() ? m_fetcher->archiveSpan()->end : now();
    const FetchInterval i = m_pipeline.selectQuickRange(range, end);
    m_fetcher->fetch(i.start, i.end);
}

void FetchRange::selectWholeArchive()
{
    if (!m_fetcher->isViewingArchive())
        return;
    m_rangeBeforeDrag.reset();
    m_pipeline.selectWholeArchive();
    m_fetcher->reloadArchive();
}

void FetchRange::refresh()
{
    // An archive's refresh reloads all of it, which "All" then says.
    if (m_fetcher->isViewingArchive())
        m_pipeline.selectWholeArchive();
    m_fetcher->refresh();
}

void FetchRange::toggleCustomRange()
{
    m_rangeBeforeDrag.reset();
    m_pipeline.toggleCustomRange();
}

void FetchRange::setCustomRange(double start, double end)
{
    m_pipeline.setCustomRange(start, end);
}

void FetchRange::applyCustomRange()
{
    m_rangeBeforeDrag.reset();
    fetchCustomRange();
}

void FetchRange::fetchCustomRange()
{
    const FetchInterval i = m_pipeline.customInterval();
    m_fetcher->fetch(i.start, i.end);
}

void FetchRange::applyTimelineSpan(double from, double to)
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

bool FetchRange::restoreRangeBeforeDrag()
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

void FetchRange::openCollectedArchive(const QString& path)
{
    if (m_recentArchives)
        m_recentArchives->add(path);
    emit archiveOpening();
    m_fetcher->openArchive(path);
}

void FetchRange::takePendingArchive()
{
    if (!m_pending || !m_pending->path())
        return;
    const QString path = *m_pending->path();
    emit archiveOpening();
    m_fetcher->openArchive(path);
    m_pending->clear();
}

void FetchRange::windowShown()
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
