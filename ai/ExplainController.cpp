#include "ai/ExplainController.h"

#include "ai/AIExplainer.h"
#include "ai/AISettings.h"
#include "ai/ExplanationCache.h"
#include "processnames/ProcessNameResolver.h"

#include <QCoreApplication>

ExplainController::ExplainController(Subjects subjects, AISettings* settings, ProcessNameResolver* names,
                                     QObject* parent)
    : QObject(parent), m_subjects(subjects), m_settings(settings), m_names(names)
{
    if (settings)
        connect(settings, &AISettings::apiKeyChanged, this, &ExplainController::changed);
}

AISettings* ExplainController::settings() const
{
    return static_cast<AISettings*>(m_settings.data());
}

ProcessNameResolver* ExplainController::processNames() const
{
    return static_cast<ProcessNameResolver*>(m_names.data());
}

void ExplainController::setEntry(const LogEntry& entry)
{
    Q_ASSERT(m_subjects == Subjects::logEntries);
    // The result stays with the entry it belongs to; a running request keeps
    // running (and keeps reporting) whichever entry is shown.
    m_entry = entry;
    m_shown = entry.id;
    // An explanation made before, here or elsewhere, is there without a click.
    m_fromCache.reset();
    if (!resultIsShown()) {
        const ExplanationCache& cache = ExplanationCache::shared();
        if (std::optional<QString> cached = cache.explanationForKey(ExplanationCache::cacheKey(entry)))
            m_fromCache = Result{entry.id, std::move(cached), std::nullopt, true};
    }
    emit changed();
}

void ExplainController::setCrash(const CrashReport& report)
{
    Q_ASSERT(m_subjects == Subjects::crashReports);
    const bool other = !m_shown || *m_shown != report.id;
    m_crash = report;
    m_shown = report.id;
    if (other) {
        const std::optional<QString> cached = CrashExplanationCache::shared().load(report);
        m_result = Result{report.id, cached, std::nullopt, cached.has_value()};
        // A request for the previous report goes on detached: it caches its
        // answer and shows it only if that report is shown again by then.
        m_running.reset();
        m_waiters.reset();
    }
    emit changed();
}

const ExplainController::Result* ExplainController::shownResult() const
{
    if (resultIsShown() && (m_result.explanation || m_result.error))
        return &m_result;
    if (m_fromCache && m_shown && m_fromCache->subject == *m_shown)
        return &*m_fromCache;
    return nullptr;
}

ExplainController::State ExplainController::state() const
{
    if (m_running && (m_subjects == Subjects::logEntries || *m_running == m_shown))
        return State::explaining;
    if (const Result* r = shownResult())
        return r->explanation ? State::explained : State::failed;
    return State::idle;
}

const std::optional<QString>& ExplainController::explanation() const
{
    static const std::optional<QString> none;
    return state() == State::explained ? shownResult()->explanation : none;
}

const std::optional<QString>& ExplainController::error() const
{
    static const std::optional<QString> none;
    return state() == State::failed ? shownResult()->error : none;
}

bool ExplainController::wasCached() const
{
    return state() == State::explained && shownResult()->wasCached;
}

bool ExplainController::isCached() const
{
    return m_subjects == Subjects::logEntries && m_entry && ExplanationCache::shared().isCached(*m_entry);
}

bool ExplainController::hasAPIKey() const
{
    return settings() && settings()->hasAPIKey();
}

bool ExplainController::canExplain() const
{
    if (!settings() || !m_shown || isExplaining())
        return false;
    if (m_subjects == Subjects::crashReports)
        return hasAPIKey();
    return hasAPIKey() || isCached();
}

void ExplainController::explain()
{
    if (!canExplain())
        return;
    m_result = Result{*m_shown, std::nullopt, std::nullopt, false};
    const Waiters waiters = std::make_shared<QList<Waiter>>(QList<Waiter>{{this, m_session}});
    const auto report = [waiters](const QUuid& subject, const std::optional<QString>& text, const QString& error) {
        const QList<Waiter> now = *waiters;  // a report may make another controller join
        for (const Waiter& w : now)
            if (w.controller)
                w.controller->finish(w.session, subject, text, error);
    };
    if (m_subjects == Subjects::logEntries)
        explainEntry(waiters, report);
    else
        explainCrash(waiters, report);
}

void ExplainController::explainEntry(const Waiters& waiters, const Report& report)
{
    ExplanationCache& cache = ExplanationCache::shared();
    const QString key = cache.cacheKey(*m_entry);
    if (const std::optional<QString> hit = cache.explanationForKey(key)) {
        m_result.explanation = *hit;
        m_result.wasCached = true;
        emit changed();
        return;
    }
    m_running = m_shown;
    m_waiters = waiters;
    emit changed();
    QPointer<QObject> names = m_names;
    const LogEntry explained = *m_entry;
    // The application is the request's context: the answer is cached (and the
    // names learned) even when the pane that asked is gone by then.
    AIExplainer::explain(explained, *settings(), QCoreApplication::instance(),
                         [report, names, key, explained](const AIResult<QString>& r) {
                             std::optional<QString> text;
                             if (r.ok()) {
                                 const AIExplainer::ProcessNamesAnswer answer = AIExplainer::parseProcessNames(r.value());
                                 ExplanationCache::shared().store(key, answer.text);
                                 const QMap<QString, QString> learned = AIExplainer::namesToLearn(answer, explained);
                                 if (!learned.isEmpty() && names)
                                     static_cast<ProcessNameResolver*>(names.data())->learn(learned);
                                 text = answer.text;
                             }
                             report(explained.id, text, r.ok() ? QString() : r.error().description());
                         });
}

void ExplainController::explainCrash(const Waiters& waiters, const Report& report)
{
    m_running = m_shown;
    m_waiters = waiters;
    emit changed();
    const CrashReport requested = *m_crash;
    AIExplainer::explainCrash(AIExplainer::crashMessage(requested), *settings(), QCoreApplication::instance(),
                              [report, requested](const AIResult<QString>& r) {
                                  if (r.ok())
                                      CrashExplanationCache::shared().store(requested, r.value());
                                  report(requested.id, r.ok() ? std::optional<QString>(r.value()) : std::nullopt,
                                         r.ok() ? QString() : r.error().description());
                              });
}

void ExplainController::adopt(const ExplainController& other)
{
    Q_ASSERT(m_subjects == other.m_subjects);
    if (&other == this || !m_shown || other.m_shown != m_shown)
        return;
    m_result = other.m_result;
    m_fromCache = other.m_fromCache;
    m_running = other.m_running;
    m_waiters = other.m_waiters;
    if (m_running && m_waiters)
        m_waiters->append({this, m_session});
    emit changed();
}

void ExplainController::reset()
{
    ++m_session;
    m_shown.reset();
    m_entry.reset();
    m_crash.reset();
    m_result = Result{};
    m_fromCache.reset();
    m_running.reset();
    m_waiters.reset();
    emit changed();
}

void ExplainController::finish(quint64 session, const QUuid& subject, const std::optional<QString>& text,
                               const QString& error)
{
    if (session != m_session)
        return;
    if (m_running == subject) {
        m_running.reset();
        m_waiters.reset();
    }
    // Entries: the result is the last explained entry's. Crash reports: it is
    // kept only when its report is the one shown.
    if (m_result.subject == subject) {
        m_result.explanation = text;
        m_result.error = text ? std::nullopt : std::optional<QString>(error);
        m_result.wasCached = false;
    }
    emit changed();
}
