#pragma once

#include <QWidget>

class QLabel;
class WindowModel;

// "Viewing archive: " and the archive's name with "Close Archive", shown
// while the window's fetcher has an archive open.
class ArchiveBanner : public QWidget {
    Q_OBJECT
public:
    explicit ArchiveBanner(WindowModel* model, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void refresh();

    WindowModel* m_model;
    QLabel* m_icon = nullptr;
    QLabel* m_label = nullptr;
};
