#pragma once

#include "crashes/views/CrashRow.h"

#include <QList>
#include <QWidget>

class QPushButton;

// The crash table's column titles, each a button that sorts by its column
// (again: the other way); the sorted one carries an arrow as the log list's
// header does.
class CrashTableHeader : public QWidget {
    Q_OBJECT
public:
    explicit CrashTableHeader(QWidget* parent = nullptr);

    void setSort(CrashListModel::SortKey key, bool descending);

signals:
    void sortRequested(CrashListModel::SortKey key);

private:
    QList<QPushButton*> m_titles;  // in SortKey order
};
