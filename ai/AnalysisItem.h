#pragma once

#include "logs/LogEntry.h"

#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

// One finding of the proactive analysis; identity by `id`.
struct AnalysisItem {
    QUuid id;
    QString title;                  // never empty
    QString concern;                // never empty; the whole answer for a summary item
    std::optional<LogEntry> entry;  // the batch entry it refers to, when the index was valid
};

using AnalysisItemList = QList<AnalysisItem>;
