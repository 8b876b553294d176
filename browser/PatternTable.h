#pragma once

// The patterns of one entry list, computed once per list and kept with it
// as the search texts are: each entry's pattern is a number into a table of
// distinct pattern texts. A pass over the list then folds, hides or picks by
// pattern with integer compares.

#include "logs/LogEntry.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

class PatternTable {
public:
    // `previous`, the table of an earlier list (live tail appends to its
    // list), lends the patterns of messages both lists share, so a tail
    // tick masks only its new entries. It may be null.
    explicit PatternTable(const LogEntryList& entries, const PatternTable* previous = nullptr);

    std::vector<quint32> number;  // per entry, into texts
    QStringList texts;            // the distinct patterns

    std::optional<quint32> numberOf(const QString& pattern) const;

private:
    friend class PatternLender;
    // The number of a text, added when new; `copy` for a buffer reused after.
    quint32 intern(const QString& text, bool copy);

    // The numbers by their texts' hashes, open-addressed: the texts are
    // compared as bytes (QString's == goes through its ordering compare),
    // once per entry. A slot holds a hash and number + 1 (0: free).
    struct Slot {
        size_t hash = 0;
        quint32 number = 0;
    };
    std::optional<quint32> find(QStringView text, size_t hash) const;
    void grow();
    std::vector<Slot> m_slots = std::vector<Slot>(64);
    quint64 m_seed = QHashSeed::globalSeed();
    // The list, held (a shared copy): the messages and format strings stay
    // alive while the table does, so their addresses cannot be reused by
    // other texts, and a later table may know them by address.
    LogEntryList m_entries;
};

// One pattern of a list, as the Patterns view and `vellacord-cli patterns` show it.
struct PatternSummary {
    QString pattern;
    int count = 0;
    std::array<int, 6> levels{};  // entries by level 0–5 (0: outside 1–5)
    int processes = 0;            // distinct process names
    double first = 0;             // earliest date
    double last = 0;              // latest date
};

// Folds entries of a table's list into summaries, one add() per entry.
// The table and the process numbers are held by address: they must outlive
// the counter.
class PatternCounter {
public:
    // `process` numbers the entries' process names (TestedFields::process),
    // `processCount` their table's size.
    PatternCounter(const PatternTable& table, const std::vector<quint32>& process, quint32 processCount);

    // `entry` indexes the table's list.
    void add(size_t entry, int level, double date);
    // Most frequent first; ties in the order the patterns first appear in the list.
    QList<PatternSummary> summaries() const;

private:
    struct Tally {
        int count = 0;
        std::array<int, 6> levels{};
        int processes = 0;
        quint32 lastProcess = ~0u;  // skips the pair lookup for a run of one process
        double first = 0;
        double last = 0;
    };
    bool firstPair(quint32 pattern, quint32 process);

    const PatternTable* m_table;
    const std::vector<quint32>* m_process;
    quint32 m_processCount;
    std::vector<Tally> m_tallies;  // by pattern number
    // Pattern × process pairs seen: a bitmap when the product is small,
    // else an open-addressed set of (pattern << 32 | process) + 1, 0 free.
    bool m_bitmap;
    std::vector<quint64> m_pairs;
    size_t m_pairCount = 0;
};
