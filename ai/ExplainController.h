#pragma once

// The explain state machine of a detail pane: idle -> explaining ->
// explained (from the cache or from a request) or failed, for the subject the
// pane shows. One controller serves one kind of subject:
//
// - log entries: the result belongs to the entry last explained and is
//   reported only while that entry is shown; a running request reports
//   "explaining" whichever entry is shown; an entry shown otherwise reports
//   its cached explanation, if any, at once; a click looks in the cache
//   first; the answer is split at its process-name block, the text cached
//   and the name of the entry's own process learned (no other);
// - crash reports: every change of report starts afresh from the cache; the
//   answer is cached as it came.
//
// Either way a request that ends while another subject is shown still caches
// its result (and learns its names) without showing it. Main thread only.

#include "crashes/CrashReport.h"
#include "logs/LogEntry.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

class AISettings;
class ProcessNameResolver;

class ExplainController : public QObject {
    Q_OBJECT
public:
    enum class Subjects { logEntries,
                          crashReports };
    enum class State { idle,
                       explaining,
                       explained,
                       failed };

    // Either service may be null (the settings: no explanations at all) or be
    // destroyed later; the controller then behaves as if it were null.
    ExplainController(Subjects subjects, AISettings* settings, ProcessNameResolver* names = nullptr,
                      QObject* parent = nullptr);

    Subjects subjects() const { return m_subjects; }
    AISettings* settings() const;
    ProcessNameResolver* processNames() const;

    // The subject shown (of the controller's kind).
    void setEntry(const LogEntry& entry);
    void setCrash(const CrashReport& report);

    // For the subject shown.
    State state() const;
    bool isExplaining() const { return state() == State::explaining; }
    const std::optional<QString>& explanation() const;  // when explained
    const std::optional<QString>& error() const;        // when failed
    bool wasCached() const;                             // the explanation came from the cache
    // The entry cache holds an explanation of the shown entry (log entries only).
    bool isCached() const;
    bool hasAPIKey() const;
    // The rule of the Explain button: for entries also when cached without a key.
    bool canExplain() const;

    // Starts (or answers from the cache) an explanation of the shown subject;
    // does nothing when canExplain() is false.
    void explain();
    // Back to the state of a new pane: nothing shown, no result, not
    // explaining. A running request goes on detached (it still caches).
    void reset();
    // Takes over what `other` reports for the subject both show (result,
    // cache mark, a running request, whose answer then reaches this one
    // too); nothing when they show different subjects.
    void adopt(const ExplainController& other);

signals:
    // Any of the above may have changed.
    void changed();

private:
    struct Result {
        std::optional<QUuid> subject;
        std::optional<QString> explanation;
        std::optional<QString> error;
        bool wasCached = false;
    };
    bool resultIsShown() const { return m_result.subject && m_shown && *m_result.subject == *m_shown; }
    // What the shown subject reports when no request runs: its result, else its cached explanation.
    const Result* shownResult() const;
    // The controllers a running request reports to, each with the session it asked in.
    struct Waiter {
        QPointer<ExplainController> controller;
        quint64 session;
    };
    using Waiters = std::shared_ptr<QList<Waiter>>;
    void finish(quint64 session, const QUuid& subject, const std::optional<QString>& text, const QString& error);
    // Hands an answer (or the error) to every controller waiting for it.
    using Report = std::function<void(const QUuid& subject, const std::optional<QString>& text, const QString& error)>;
    void explainEntry(const Waiters& waiters, const Report& report);
    void explainCrash(const Waiters& waiters, const Report& report);

    Subjects m_subjects;
    QPointer<QObject> m_settings;  // an AISettings
    QPointer<QObject> m_names;     // a ProcessNameResolver
    std::optional<QUuid> m_shown;
    std::optional<LogEntry> m_entry;
    std::optional<CrashReport> m_crash;
    Result m_result;
    std::optional<Result> m_fromCache;  // entries: the shown one's cached explanation
    std::optional<QUuid> m_running;     // the request that reports "explaining"
    Waiters m_waiters;                  // of that request
    quint64 m_session = 0;              // requests of an earlier session report nothing
};
