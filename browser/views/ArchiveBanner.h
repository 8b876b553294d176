#pragma once

#include "ui/TintedBar.h"

class WindowModel;

// "Viewing archive: " and the archive's name with "Close Archive", shown
// while the window's fetcher has an archive open.
class ArchiveBanner : public TintedBar {
    Q_OBJECT
public:
    explicit ArchiveBanner(WindowModel* model, QWidget* parent = nullptr);

private:
    void refresh();

    WindowModel* m_model;
};
