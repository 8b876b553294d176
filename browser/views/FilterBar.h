#pragma once

#include "browser/FilterPipeline.h"

#include <QList>
#include <QWidget>

#include <array>

class FieldEdit;
class FilterChip;
class QToolButton;
class SeverityChip;
class WindowModel;

// The severity chips, "Marked Only", then one filter field per visible optional column
// ("PID:" and a field, with a clear button while it holds text).
class FilterBar : public QWidget {
    Q_OBJECT
public:
    explicit FilterBar(WindowModel* model, QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* e) override;

private:
    void refresh();
    void refreshIcons();

    WindowModel* m_model;
    QList<SeverityChip*> m_chips;
    FilterChip* m_markedOnly = nullptr;
    struct ColumnFilter {
        QWidget* box = nullptr;
        FieldEdit* field = nullptr;
        QToolButton* clear = nullptr;
    };
    std::array<ColumnFilter, kColumnCount> m_columns;  // indexed by ColumnId
};
