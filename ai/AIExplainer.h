#pragma once

// The AI client: one prompt (system prompt + one user message) in, one answer
// out, from the provider chosen in AISettings. Stateless; every call is one
// independent request, no streaming, no retry.
//
// All operations are called on the main thread and complete asynchronously:
// the completion runs later on the main thread (never inside the call), unless
// `context` is destroyed first, in which case it does not run at all.

#include "ai/AISettings.h"
#include "ai/AnalysisItem.h"
#include "ai/ExplainerError.h"
#include "logs/LogEntry.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <vector>

struct CrashReport;

namespace AIExplainer {

using TextCompletion = std::function<void(const AIResult<QString>&)>;
using AnalysisCompletion = std::function<void(const AIResult<AnalysisItemList>&)>;

// --- Provider client -------------------------------------------------------

// Fails with noAPIKey (nothing sent) when the settings have no key; otherwise
// reads provider and key once, now, and calls the provider.
void send(const AISettings& settings, const QString& systemPrompt, const QString& userMessage, int maxTokens,
          QObject* context, TextCompletion done);

// One HTTP exchange with the provider's endpoint, the key cleaned by
// AISettings::keyForUse; the answer comes back unchanged (not trimmed). The
// row is read during the call only.
void call(const AIProvider& provider, const QString& apiKey, const AIPrompt& prompt, QObject* context,
          TextCompletion done);

// Every request ends within this time from its start, however its bytes come;
// an answer body beyond maxResponseBytes fails as soon as it passes the cap.
inline constexpr int defaultRequestTimeoutMs = 60000;
inline constexpr qint64 maxResponseBytes = qint64(8) << 20;
// Tests shorten the time-out; everyone else keeps the default.
void setRequestTimeoutMs(int ms);
int requestTimeoutMs();

// --- Entry and crash explanation -----------------------------------------

// The prompts name the machine the entries came from: the Mac's, or Linux's
// for entries of the systemd journal.
extern const QString explainPrompt;
extern const QString linuxExplainPrompt;
extern const QString crashPrompt;
const QString& explainPromptFor(const LogEntry& entry);
inline constexpr int explanationMaxTokens = 1024;

// The raw answer (not parsed).
void explain(const LogEntry& entry, const AISettings& settings, QObject* context, TextCompletion done);
void explainCrash(const QString& crashText, const AISettings& settings, QObject* context, TextCompletion done);

// A Linux entry's message names its host, when known, after the severity.
QString entryMessage(const LogEntry& entry);
QString crashMessage(const CrashReport& report);

struct ProcessNamesAnswer {
    QString text;                  // what to show and cache
    QMap<QString, QString> names;  // raw identifier -> friendly name; may be empty
};
// Splits an entry explanation at its "PROCESS_NAMES:" block. Never fails.
ProcessNamesAnswer parseProcessNames(const QString& answer);
// What the explanation of `explained` may teach: the name of that entry's own
// process, when the block gives one; every other key is ignored, so that an
// answer cannot rename the other processes of the list.
QMap<QString, QString> namesToLearn(const ProcessNamesAnswer& answer, const LogEntry& explained);

// --- Proactive analysis -----------------------------------------------------

extern const QString analysisPrompt;
extern const QString linuxAnalysisPrompt;
const QString& analysisPromptFor(const LogEntryList& batch);
inline constexpr int analysisBatchSize = 100;
inline constexpr int analysisMaxTokens = 2048;
inline const QString analysisSummaryTitle = QStringLiteral("Analysis Summary");

// The analysisBatchSize most recent entries (by date) of a list, in the
// list's order: with the newest first, the first of the batch is the newest.
LogEntryList analysisBatch(const LogEntryList& entries);
// The same choice as row numbers, ascending, for lists held otherwise.
std::vector<qsizetype> analysisBatchRows(qsizetype count, const std::function<double(qsizetype)>& dateAt);
void analyze(const LogEntryList& entries, const AISettings& settings, QObject* context, AnalysisCompletion done);
QString batchMessage(const LogEntryList& batch);
AnalysisItemList parseAnalysis(const QString& answer, const LogEntryList& batch);

}  // namespace AIExplainer
