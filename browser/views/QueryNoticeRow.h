#pragma once

#include "ui/TintedBar.h"

class WindowModel;

// A line of its own under the toolbar saying that the shown list was cut
// short (the entry cap, the time-out, a store failing part-way); hidden
// while the list is whole.
class QueryNoticeRow : public TintedBar {
    Q_OBJECT
public:
    explicit QueryNoticeRow(WindowModel* model, QWidget* parent = nullptr);

private:
    void refresh();

    WindowModel* m_model;
};
