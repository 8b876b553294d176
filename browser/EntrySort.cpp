#include "browser/EntrySort.h"

#include <QCollator>
#include <QHash>
#include <QLocale>

#include <algorithm>
#include <utility>

namespace {

// The collation of the user's locale, ignoring case. Qt's collator treats
// the C/POSIX locale as plain code-point order, case included, so a machine
// without a configured locale gets the root collation (as en_US) instead.
QCollator makeCollator()
{
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    collator.setIgnorePunctuation(false);
    return collator;
}

// Rows with equal keys stay in time order, in the direction of the sort:
// a stable ascending sort by key then date, reversed for descending.
template <typename Key>
void sortKeyed(std::vector<std::pair<Key, const LogEntry*>>& keyed, bool ascending)
{
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        if (a.first < b.first || b.first < a.first)
            return a.first < b.first;
        return a.second->date < b.second->date;
    });
    if (!ascending)
        std::reverse(keyed.begin(), keyed.end());
}

// Keys are copied next to the pointers so that comparisons stay in one array.
template <typename KeyOf>
void sortByKey(std::vector<const LogEntry*>& v, bool ascending, KeyOf keyOf)
{
    using Key = decltype(keyOf(v.front()));
    std::vector<std::pair<Key, const LogEntry*>> keyed(v.size());
    for (size_t i = 0; i < v.size(); ++i)
        keyed[i] = {keyOf(v[i]), v[i]};
    sortKeyed(keyed, ascending);
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = keyed[i].second;
}

// Text columns: each distinct value gets one collation sort key, the
// distinct values are ranked once, and the entries are sorted by rank.
void sortByText(std::vector<const LogEntry*>& v, QString LogEntry::*field, bool ascending)
{
    QHash<QString, int> ids;
    std::vector<const QString*> distinct;
    std::vector<int> idOf(v.size());
    ids.reserve(qsizetype(std::min<size_t>(v.size(), 4096)));
    for (size_t i = 0; i < v.size(); ++i) {
        const QString& text = v[i]->*field;
        auto it = ids.constFind(text);
        if (it == ids.constEnd()) {
            it = ids.insert(text, int(distinct.size()));
            distinct.push_back(&text);
        }
        idOf[i] = *it;
    }

    const QCollator collator = makeCollator();
    std::vector<QCollatorSortKey> keys;
    keys.reserve(distinct.size());
    for (const QString* text : distinct)
        keys.push_back(collator.sortKey(*text));
    std::vector<int> order(distinct.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return keys[size_t(a)].compare(keys[size_t(b)]) < 0; });
    // Equal keys (values differing only in case) share a rank.
    std::vector<int> rank(distinct.size());
    int r = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && keys[size_t(order[i - 1])].compare(keys[size_t(order[i])]) != 0)
            ++r;
        rank[size_t(order[i])] = r;
    }

    std::vector<std::pair<int, const LogEntry*>> ranked(v.size());
    for (size_t i = 0; i < v.size(); ++i)
        ranked[i] = {rank[size_t(idOf[i])], v[i]};
    sortKeyed(ranked, ascending);
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = ranked[i].second;
}

}  // namespace

namespace EntrySort {

void sortPointers(std::vector<const LogEntry*>& v, ColumnId column, bool ascending)
{
    using Sort = ColumnSpec::Sort;
    const ColumnSpec& spec = Columns::spec(column);
    switch (spec.sort) {
    case Sort::date: sortByKey(v, ascending, [](const LogEntry* e) { return e->date; }); break;
    case Sort::level:
        sortByKey(v, ascending, [](const LogEntry* e) { return (e->level >= 1 && e->level <= 5) ? e->level : 0; });
        break;
    case Sort::processId: sortByKey(v, ascending, [](const LogEntry* e) { return e->processIdentifier; }); break;
    case Sort::threadId: sortByKey(v, ascending, [](const LogEntry* e) { return e->threadIdentifier; }); break;
    case Sort::text: sortByText(v, spec.field, ascending); break;
    }
}

}  // namespace EntrySort
