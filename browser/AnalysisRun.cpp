#include "browser/AnalysisRun.h"

#include "ai/AIExplainer.h"
#include "ai/AISettings.h"

AnalysisRun::AnalysisRun(AISettings* settings, const EntryRows& listed, QObject* parent)
    : QObject(parent), m_settings(settings), m_rows(listed)
{
}

void AnalysisRun::start()
{
    if (!m_settings->hasAPIKey()) {
        emit apiKeyNeeded();
        return;
    }
    if (!canAnalyze())
        return;
    // The analysis reads the most recent batch only: copy no more than that.
    LogEntryList recent;
    QList<QUuid> ids;
    const auto dateAt = [this](qsizetype i) { return m_rows.at(i).date; };
    for (qsizetype i : AIExplainer::analysisBatchRows(m_rows.size(), dateAt)) {
        recent.append(m_rows.at(i));
        ids.append(recent.last().id);
    }
    // The same batch would be asked about again: the findings already made are the answer.
    if (m_batch == ids) {
        m_showAnalysis = true;
        emit keptShown();
        return;
    }
    m_items.clear();
    m_error.reset();
    m_batch.reset();
    m_isAnalyzing = true;
    m_showAnalysis = true;
    emit runningChanged();
    AIExplainer::analyze(recent, *m_settings, this, [this, ids](const AIResult<AnalysisItemList>& r) {
        if (r.ok()) {
            m_items = r.value();
            m_batch = ids;
        } else {
            m_error = r.error().description();
        }
        m_isAnalyzing = false;
        emit runningChanged();
    });
}
