#pragma once

#include <QWidget>

class FetchRange;

// "From:" and "To:" date-and-time fields bound to the custom range, and
// "Apply", which fetches it; shown while the toolbar's Custom is on.
class CustomRangeRow : public QWidget {
    Q_OBJECT
public:
    explicit CustomRangeRow(FetchRange* range, QWidget* parent = nullptr);

private:
    FetchRange* m_range;
};
