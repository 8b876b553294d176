#pragma once

#include <QDialog>

// The confirmation shown before a log collection: "Cancel" rejects,
// "Collect" accepts. Window-modal over the main window, like a sheet.
class CollectConfirmSheet : public QDialog {
    Q_OBJECT
public:
    explicit CollectConfirmSheet(QWidget* parent = nullptr);

    static QString message();
};
