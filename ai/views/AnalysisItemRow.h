#pragma once

#include "ai/AnalysisItem.h"

#include <QWidget>

#include <functional>

class QPushButton;

// One finding of the analysis sheet: title, concern and, when the finding
// names an entry, a line with that entry and a "Jump to entry" button.
class AnalysisItemRow : public QWidget {
    Q_OBJECT
public:
    AnalysisItemRow(const AnalysisItem& item, std::function<void()> onTap, QWidget* parent = nullptr);

    const AnalysisItem& item() const { return m_item; }
    QPushButton* jumpButton() const { return m_jump; }

private:
    AnalysisItem m_item;
    std::function<void()> m_onTap;
    QPushButton* m_jump = nullptr;
};
