#pragma once

#include "ui/TintedBar.h"

class QPushButton;
class WindowModel;

// Says that the list shows the selected entry among all its neighbours, every
// filter lifted for the moment, and offers "Back to Filters"; shown while
// the pipeline is in context.
class ContextBar : public TintedBar {
    Q_OBJECT
public:
    explicit ContextBar(WindowModel* model, QWidget* parent = nullptr);

    QPushButton* backButton() const { return m_back; }

private:
    void refresh();

    WindowModel* m_model;
    QPushButton* m_back;
};
