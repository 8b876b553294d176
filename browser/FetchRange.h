#pragma once

#include "browser/FilterPipeline.h"

#include <QObject>
#include <QPointer>

#include <optional>

class LogFetcher;
class PendingArchive;
class RecentArchives;

// What the window reads and when: the time range commands, the first read
// when the window is shown, and the archives handed to it (the pending one,
// a finished collection). The range inputs live in the pipeline; this sends
// what they mean to the fetcher. Main thread only.
class FetchRange : public QObject {
    Q_OBJECT
public:
    // The two shared objects may be null (a window on its own).
    FetchRange(LogFetcher* fetcher, FilterPipeline& pipeline, PendingArchive* pending, RecentArchives* recentArchives,
               QObject* parent = nullptr);

    const FilterPipeline& pipeline() const { return m_pipeline; }

    // On an archive the quick ranges count back from its last entry, and
    // wait until its dates are known; "All" is the whole archive.
    bool rangesAvailable() const;
    void selectQuickRange(QuickTimeRange range);
    void selectWholeArchive();
    // The refresh command: the current range again, or the whole archive.
    void refresh();
    void toggleCustomRange();
    void setCustomRange(double start, double end);
    void applyCustomRange();
    // A span dragged on the timeline becomes the custom range, applied. The
    // range active before the first of such drags is kept until the user
    // picks a range otherwise (or the archive changes), and restored by
    // restoreRangeBeforeDrag; false when there is none.
    void applyTimelineSpan(double from, double to);
    bool restoreRangeBeforeDrag();

    // The window was shown: the first time it opens the pending archive, or
    // else, when nothing is loaded yet, fetches the last hour.
    void windowShown();
    // A finished collection: recorded among the recent archives and opened.
    void openCollectedArchive(const QString& path);

signals:
    // The pending or a collected archive is about to open: the list is what
    // the window is to show.
    void archiveOpening();

private:
    void takePendingArchive();
    void fetchCustomRange();
    static double now();

    LogFetcher* m_fetcher;
    FilterPipeline& m_pipeline;
    QPointer<PendingArchive> m_pending;
    QPointer<RecentArchives> m_recentArchives;
    bool m_firstShown = false;

    struct RangeBeforeDrag {
        FilterState inputs;
        FetchInterval fetched;
        bool archive = false;
    };
    std::optional<RangeBeforeDrag> m_rangeBeforeDrag;
};
