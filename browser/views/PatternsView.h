#pragma once

#include "browser/views/PatternsModel.h"

#include <QWidget>

#include <optional>

class QLabel;
class QSplitter;
class QStackedWidget;
class QTableView;
class WindowModel;

// The panel beside the entry list while the Patterns toggle is on: a title
// line with the number of patterns, then the patterns of the filtered list
// ("No patterns" when there are none). A click on a row filters the list to
// its pattern, a click on the picked row drops that filter; "Hide" and the
// row menu make a hide rule. Return or Space picks the current row, Delete
// hides it, the menu key opens its menu.
class PatternsView : public QWidget {
    Q_OBJECT
public:
    explicit PatternsView(WindowModel* model, QWidget* parent = nullptr);

    PatternsModel* patternsModel() const { return m_rows; }
    QTableView* table() const { return m_table; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* e) override;

private:
    void refresh();
    void refreshVisibility();
    void fitBeside(QSplitter* split);
    void fitPatternColumn();
    void togglePick(const QString& pattern);
    void hidePattern(const QString& pattern);
    void showMenu(int row, const QPoint& globalPos);

    WindowModel* m_model;
    PatternsModel* m_rows = nullptr;
    QTableView* m_table = nullptr;
    QLabel* m_count = nullptr;
    QStackedWidget* m_stack = nullptr;
    QLabel* m_empty = nullptr;
    int m_hoveredRow = -1;
    QPoint m_pressPos;
    int m_width = 0;  // the width the user gave the panel beside the list
};
