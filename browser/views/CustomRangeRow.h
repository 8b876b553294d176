#pragma once

#include <QWidget>

class WindowModel;

// "From:" and "To:" date-and-time fields bound to the custom range, and
// "Apply", which fetches it; shown while the toolbar's Custom is on.
class CustomRangeRow : public QWidget {
    Q_OBJECT
public:
    explicit CustomRangeRow(WindowModel* model, QWidget* parent = nullptr);

private:
    WindowModel* m_model;
};
