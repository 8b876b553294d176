#pragma once

#include "ai/AnalysisItem.h"

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

// One finding of the analysis sheet: title, concern and, when the finding
// names an entry, a line with that entry and a "Jump to entry" button. Texts
// past what a label lays out quickly show their start; a longer concern opens
// whole in a viewer ("Show All").
class AnalysisItemRow : public QWidget {
    Q_OBJECT
public:
    static constexpr qsizetype kShownTitleChars = 200;
    static constexpr qsizetype kShownConcernChars = 2000;

    AnalysisItemRow(const AnalysisItem& item, std::function<void()> onTap, QWidget* parent = nullptr);

    const AnalysisItem& item() const { return m_item; }
    QPushButton* jumpButton() const { return m_jump; }
    // Opens the whole concern in a window of its own.
    void showAllConcern();

protected:
    void changeEvent(QEvent* e) override;

private:
    void refreshLevelColor();

    AnalysisItem m_item;
    std::function<void()> m_onTap;
    QPushButton* m_jump = nullptr;
    QLabel* m_level = nullptr;
};
