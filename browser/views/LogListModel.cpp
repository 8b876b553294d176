#include "browser/views/LogListModel.h"

#include "browser/EntryText.h"

LogListModel::LogListModel(QObject* parent) : QAbstractListModel(parent) {}

void LogListModel::setEntries(const EntryRows& entries)
{
    beginResetModel();
    m_entries = entries;
    endResetModel();
}

int LogListModel::rowOf(const QUuid& id) const
{
    for (int i = 0; i < m_entries.size(); ++i)
        if (m_entries.at(i).id == id)
            return i;
    return -1;
}

int LogListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant LogListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_entries.size())
        return {};
    const LogEntry& e = m_entries.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return EntryText::rowText(e);
    case EntryIdRole:
        return e.id;
    default:
        return {};
    }
}
