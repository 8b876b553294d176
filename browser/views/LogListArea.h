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

// The timeline strip, the column header, the entry list with its row menu and "Jump to Bottom"
// (or, when the filters hide every entry, "No entries match the filters" and
// a button that clears them), and below it, while the pane is open, the
// resize bar and the inline detail pane (made at its first opening, then
// kept and updated). The pane never takes more than half of the height the
// list and it share, so the list keeps its rows at every window size.
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
    QWidget* noMatchPanel() const { return m_noMatch; }
    // The height the user gave the pane, whatever the cap lets it have.
    double detailPaneHeight() const { return m_paneHeight; }
    void setDetailPaneHeight(double height);  // clamped to 100–500

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void refreshList();
    void refreshSelection();
    void refreshHighlight();
    void revealSelected();  // scrolled to the list's centre
    void refreshJumpButton();
    void refreshLook();
    void refreshEmptyColumns();
    void resizeColumn(ColumnId column, int width);
    int paneHeightCap() const;
    void applyPaneHeight();
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
    QWidget* m_noMatch = nullptr;
    PaneResizeBar* m_resizeBar = nullptr;
    QVBoxLayout* m_paneSlot = nullptr;
    DetailPane* m_pane = nullptr;
    double m_paneHeight = 220;
};
