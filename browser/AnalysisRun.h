#pragma once

#include "ai/AnalysisItem.h"
#include "browser/EntryRows.h"

#include <QList>
#include <QObject>
#include <QUuid>

#include <optional>

class AISettings;

// The proactive analysis of the listed entries: one run at a time, its
// findings or its error, and the batch they were made of, so that asking
// about the same entries again shows them without a request. Main thread only.
class AnalysisRun : public QObject {
    Q_OBJECT
public:
    // `listed` is the window's filtered list, read when a run starts.
    AnalysisRun(AISettings* settings, const EntryRows& listed, QObject* parent = nullptr);

    bool isAnalyzing() const { return m_isAnalyzing; }
    bool canAnalyze() const { return !m_isAnalyzing && !m_rows.isEmpty(); }
    // The sheet was asked for, by a run or by the kept findings.
    bool showAnalysis() const { return m_showAnalysis; }
    const QList<AnalysisItem>& items() const { return m_items; }
    const std::optional<QString>& error() const { return m_error; }
    // Without an API key it asks for the settings instead. While the batch it
    // would send is the one the kept findings were made of (ids are fresh per
    // read), it shows those again and sends nothing.
    void start();

signals:
    // A run started or ended.
    void runningChanged();
    // start() showed the kept findings again, without a request.
    void keptShown();
    // start() found no API key.
    void apiKeyNeeded();

private:
    AISettings* m_settings;
    const EntryRows& m_rows;
    bool m_isAnalyzing = false;
    bool m_showAnalysis = false;
    QList<AnalysisItem> m_items;
    std::optional<QString> m_error;
    std::optional<QList<QUuid>> m_batch;  // the entries the kept findings were made of
};
