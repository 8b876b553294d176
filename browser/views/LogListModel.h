#pragma once

#include "browser/EntryRows.h"

#include <QAbstractListModel>

// The rows of the main list: the pipeline's filtered entries, replaced as a
// whole on every re-evaluation (a model reset, no per-row bookkeeping). The
// rows are shared with the pipeline's result, so a reset copies nothing.
class LogListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Roles { EntryIdRole = Qt::UserRole + 1 };

    explicit LogListModel(QObject* parent = nullptr);

    void setEntries(const EntryRows& entries);
    const EntryRows& entries() const { return m_entries; }
    const LogEntry& entryAt(int row) const { return m_entries.at(row); }
    // Row of the entry with that id, or -1.
    int rowOf(const QUuid& id) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    EntryRows m_entries;
};
