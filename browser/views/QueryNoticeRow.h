#pragma once

#include <QWidget>

class QLabel;
class WindowModel;

// A line of its own under the toolbar saying that the shown list was cut
// short (the entry cap, the time-out, a store failing part-way); hidden
// while the list is whole.
class QueryNoticeRow : public QWidget {
    Q_OBJECT
public:
    explicit QueryNoticeRow(WindowModel* model, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void refresh();
    void updateIcon();

    WindowModel* m_model;
    QLabel* m_icon = nullptr;
    QLabel* m_label = nullptr;
};
