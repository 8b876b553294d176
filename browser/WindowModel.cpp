#include "browser/WindowModel.h"

#include "ai/AISettings.h"
#include "browser/AnalysisRun.h"
#include "browser/DetailWindowState.h"
#include "browser/EntrySelection.h"
#include "browser/FetchRange.h"
#include "browser/Marks.h"
#include "browser/MessagePattern.h"
#include "browser/TailFollow.h"
#include "logs/LogFetcher.h"
#include "processnames/ProcessNameResolver.h"

#include <utility>

WindowModel::WindowModel(DetailWindowState* detailState, RecentArchives* recentArchives, PendingArchive* pending,
                         QObject* parent)
    : QObject(parent), m_detailState(detailState)
{
    m_processNames = new ProcessNameResolver(this);
    m_aiSettings = new AISettings(this);
    m_fetcher = new LogFetcher(this);
    m_range = new FetchRange(m_fetcher, m_pipeline, pending, recentArchives, this);
    m_selection = new EntrySelection(m_fetcher, m_filtered, detailState, m_processNames, m_aiSettings, this);
    m_tail = new TailFollow(m_fetcher, this);
    m_analysis = new AnalysisRun(m_aiSettings, m_filtered, this);
    m_marks = new Marks(this);

    connect(m_fetcher, &LogFetcher::entriesChanged, this, &WindowModel::evaluate);
    connect(m_fetcher, &LogFetcher::isLiveTailingChanged, this, &WindowModel::evaluate);  // unsorted while tailing
    connect(m_fetcher, &LogFetcher::isLoadingChanged, this, [this] {
        m_selection->follow();  // a read that ended empty drops the held selection
        emit contentChanged();
    });
    connect(m_fetcher, &LogFetcher::errorMessageChanged, this, &WindowModel::contentChanged);
    connect(m_fetcher, &LogFetcher::outcomeChanged, this, &WindowModel::contentChanged);
    connect(m_fetcher, &LogFetcher::archiveSpanChanged, this, &WindowModel::contentChanged);  // the cut notice
    connect(m_processNames, &ProcessNameResolver::learnedNamesChanged, this, &WindowModel::displayNamesChanged);
    connect(&m_pipeline, &FilterPipeline::changed, this, &WindowModel::evaluate);
    // Marks are kept per archive and for the live log.
    connect(m_fetcher, &LogFetcher::archivePathChanged, this,
            [this] { m_marks->setScope(m_fetcher->archivePath().value_or(QString())); });
    connect(m_marks, &Marks::changed, this, &WindowModel::evaluate);
    evaluate();
}

WindowModel::~WindowModel() = default;

DetailWindowState* WindowModel::detailWindowState() const
{
    return m_detailState;
}

void WindowModel::evaluate()
{
    const bool tailing = m_fetcher->isLiveTailing();
    const qsizetype before = m_filtered.size();
    // One pass yields the list, both dropdowns' options and the timeline.
    Pipeline::Extras extras;
    extras.marks = m_marks->keys();
    extras.marksGeneration = m_marks->generation();
    Pipeline::Evaluation result = m_pipeline.evaluate(m_fetcher->entries(), tailing, extras);
    m_filtered = std::move(result.filtered);
    m_processOptions = std::move(result.processes);
    m_subsystemOptions = std::move(result.subsystems);
    m_columns = m_pipeline.visibleColumns();
    m_timeline = std::move(result.timeline);
    m_hiddenCounts = std::move(result.hiddenCounts);
    m_patterns = std::move(result.patterns);
    m_markDates = std::move(result.markDates);
    emit listChanged();
    m_selection->follow();
    emit contentChanged();
    if (tailing && m_filtered.size() > before)
        m_tail->rowsAdded();
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
    const auto& url = m_fetcher->archivePath();
    if (!url)
        return std::nullopt;
    QString name = *url;
    while (name.endsWith(u'/') && name.size() > 1)
        name.chop(1);
    return name.mid(name.lastIndexOf(u'/') + 1);
}

void WindowModel::toggleSeverity(SeverityLevel level)
{
    QSet<SeverityLevel> set = m_pipeline.activeFilters();
    if (!set.remove(level))
        set.insert(level);
    m_pipeline.setActiveFilters(set);
}

void WindowModel::filterToPID(const LogEntry& entry)
{
    m_pipeline.setShown(ColumnId::pid, true);
    m_pipeline.setFilterText(ColumnId::pid, QString::number(entry.processIdentifier));
}

void WindowModel::hideProcess(const LogEntry& entry)
{
    m_pipeline.addHideRule({HideRule::Kind::process, entry.process});
}

void WindowModel::hideSubsystem(const LogEntry& entry)
{
    m_pipeline.addHideRule({HideRule::Kind::subsystem, entry.subsystem});
}

void WindowModel::hideLikeThis(const LogEntry& entry)
{
    m_pipeline.addHideRule({HideRule::Kind::pattern, MessagePattern::of(entry)});
}

void WindowModel::showInContext(const LogEntry& entry)
{
    m_pipeline.showInContext();
    m_selection->reveal(entry);
}

void WindowModel::backToFilters()
{
    if (!m_pipeline.inContext())
        return;
    m_pipeline.backToFilters();
    const std::optional<LogEntry>& selected = m_selection->entry();
    if (selected && m_selection->isListed())
        m_selection->reveal(*selected);
    else
        m_selection->setEntry(std::nullopt);
}

void WindowModel::toggleMark(const LogEntry& entry)
{
    m_marks->toggle(entry);
}

bool WindowModel::goToMark(bool forward)
{
    const qsizetype n = m_filtered.size();
    if (m_marks->isEmpty() || n == 0)
        return false;
    // Start just past the selected row, or before the first (after the last).
    qsizetype from = forward ? -1 : n;
    if (const auto& selected = m_selection->entry())
        for (qsizetype i = 0; i < n; ++i)
            if (m_filtered.at(i).id == selected->id) {
                from = i;
                break;
            }
    const qsizetype step = forward ? 1 : -1;
    for (qsizetype k = 1; k <= n; ++k) {
        const qsizetype i = ((from + step * k) % n + n) % n;
        if (m_marks->isMarked(m_filtered.at(i))) {
            m_selection->reveal(m_filtered.at(i));
            return true;
        }
    }
    return false;
}
