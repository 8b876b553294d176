#pragma once

#include "browser/views/LogRowDelegate.h"
#include "logs/LogEntry.h"

#include <QWidget>

class DetailPane;
class LogHeader;
class LogListModel;
class PaneResizeBar;
class QAbstractItemView;
class QPushButton;
class QVBoxLayout;
class TimelineStrip;
class WindowModel;

// The timeline strip, the column header, the entry list with its row menu and "Jump to Bottom",
// and below it, while an entry is selected, the resize bar and the inline
// detail pane (made at the first selection, then kept and updated).
class LogListArea : public QWidget {
    Q_OBJECT
public:
    explicit LogListArea(WindowModel* model, QWidget* parent = nullptr);

    QAbstractItemView* listView() const { return m_list; }
    LogListModel* listModel() const { return m_listModel; }
    LogHeader* header() const { return m_header; }
    TimelineStrip* timeline() const { return m_timeline; }
    // The inline pane while it is open, else null.
    DetailPane* detailPane() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* e) override;

private:
    void refreshList();
    void refreshSelection();
    void refreshHighlight();
    void refreshJumpButton();
    void refreshLook();
    void placeJumpButton();
    void scrollToLast();
    void showRowMenu(const QPoint& pos);

    WindowModel* m_model;
    RowContext m_rows;
    TimelineStrip* m_timeline = nullptr;
    LogHeader* m_header = nullptr;
    QAbstractItemView* m_list = nullptr;
    LogListModel* m_listModel = nullptr;
    QPushButton* m_jumpButton = nullptr;
    PaneResizeBar* m_resizeBar = nullptr;
    QVBoxLayout* m_paneSlot = nullptr;
    DetailPane* m_pane = nullptr;
};
