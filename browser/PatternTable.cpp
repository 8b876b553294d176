#include "browser/PatternTable.h"

#include "browser/MessagePattern.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// What an entry's pattern is made from, by address: its format string, or
// its message's shared text. Readers give each entry of a unified log the
// template it was composed from, and a list copied for a tail tick shares
// its messages with the list it came from.
struct Key {
    const void* data = nullptr;
    qsizetype size = 0;  // -1: a template

    bool operator==(const Key& o) const { return data == o.data && size == o.size; }
};

Key keyOf(const LogEntry& e)
{
    if (e.messageTemplate)
        return {e.messageTemplate.get(), -1};
    return {e.message.constData(), e.message.size()};
}

// Open addressing from addresses to numbers, no nodes: a lookup per entry
// must cost less than masking it.
class AddressMap {
public:
    explicit AddressMap(size_t expected)
    {
        size_t capacity = 64;
        while (capacity < 2 * expected)
            capacity *= 2;
        m_slots.resize(capacity);
    }

    const quint32* find(Key k) const
    {
        for (size_t i = slotOf(k);; i = (i + 1) & (m_slots.size() - 1)) {
            const Slot& s = m_slots[i];
            if (!s.key.data)
                return nullptr;
            if (s.key == k)
                return &s.value;
        }
    }

    // The value of the key, inserted with `value` when absent; true when inserted.
    std::pair<quint32*, bool> insert(Key k, quint32 value)
    {
        if (2 * (m_count + 1) > m_slots.size())
            grow();
        for (size_t i = slotOf(k);; i = (i + 1) & (m_slots.size() - 1)) {
            Slot& s = m_slots[i];
            if (!s.key.data) {
                s = {k, value};
                ++m_count;
                return {&s.value, true};
            }
            if (s.key == k)
                return {&s.value, false};
        }
    }

private:
    struct Slot {
        Key key;
        quint32 value = 0;
    };

    size_t slotOf(Key k) const
    {
        const quint64 mixed = (quint64(quintptr(k.data)) ^ quint64(k.size) * 0x100000001b3ull) * 0x9E3779B97F4A7C15ull;
        return size_t(mixed >> 32) & (m_slots.size() - 1);
    }

    void grow()
    {
        std::vector<Slot> old(m_slots.size() * 2);
        old.swap(m_slots);
        m_count = 0;
        for (const Slot& s : old)
            if (s.key.data)
                insert(s.key, s.value);
    }

    std::vector<Slot> m_slots;
    size_t m_count = 0;
};

constexpr quint32 kNone = ~0u;

// A seeded hash of a text, 16 bytes a step, in plain integer instructions.
// Qt's hash runs AES vector code that leaves the vector registers' upper
// halves in use; the plain SSE moves of the masking that follows it then
// stall, and a pass of 50,000 entries took half as long again.
quint64 fold(quint64 a, quint64 b)
{
#if defined(__SIZEOF_INT128__)
    __extension__ using Wide = unsigned __int128;
    const Wide m = Wide(a) * b;
    return quint64(m) ^ quint64(m >> 64);
#else
    const quint64 m = (a ^ (a >> 31)) * 0x9E3779B97F4A7C15ull + b;
    return m ^ (m >> 29) ^ (b * 0xBF58476D1CE4E5B9ull);
#endif
}

size_t textHash(QStringView text, quint64 seed)
{
    const uchar* p = reinterpret_cast<const uchar*>(text.data());
    const size_t n = size_t(text.size()) * sizeof(QChar);
    const uchar* end = p + n;
    const auto load = [](const uchar* q) {
        quint64 v;
        std::memcpy(&v, q, 8);
        return v;
    };
    // Two lanes of 16 bytes a step, so that one multiply need not wait for the other.
    quint64 h = seed ^ (n * 0x9E3779B97F4A7C15ull), g = ~seed;
    for (; end - p > 32; p += 32) {
        h = fold(load(p) ^ h ^ 0xA0761D6478BD642Full, load(p + 8) ^ 0xE7037ED1A0B428DBull);
        g = fold(load(p + 16) ^ g ^ 0x8EBC6AF09C88C6E3ull, load(p + 24) ^ 0x589965CC75374CC3ull);
    }
    if (end - p > 16) {
        h = fold(load(p) ^ h ^ 0xA0761D6478BD642Full, load(p + 8) ^ 0xE7037ED1A0B428DBull);
        p += 16;
    }
    // The last 1 to 16 bytes: two loads that may overlap what came before.
    quint64 a = 0, b = 0;
    if (n >= 16) {
        a = load(end - 16);
        b = load(end - 8);
    } else if (n >= 8) {
        a = load(p);
        b = load(end - 8);
    } else {
        for (const uchar* q = p; q < end; ++q)
            a = a << 8 | *q;
    }
    h = fold(a ^ h ^ 0xA0761D6478BD642Full, b ^ g ^ 0xE7037ED1A0B428DBull);
    return size_t(fold(h, 0x8EBC6AF09C88C6E3ull ^ seed));
}

}  // namespace

// The patterns an earlier table knows, lent by address. A tail tick's list
// is the earlier one with entries appended (and the oldest maybe dropped),
// in the same order: a cursor walking the earlier list finds nearly every
// shared entry at its next position; a map of the earlier messages' addresses
// is built only when the cursor loses its place, and once the earlier list is
// used up the rest is new and masked.
class PatternLender {
public:
    PatternLender(const PatternTable* previous, PatternTable& table) : m_previous(previous), m_table(table)
    {
        if (previous)
            m_mapped.assign(size_t(previous->texts.size()), kNone);
    }

    std::optional<quint32> lend(const LogEntry& e)
    {
        if (!m_previous || m_cursor >= m_previous->m_entries.size())
            return std::nullopt;
        const Key k = keyOf(e);
        qsizetype at = m_cursor;
        if (!(keyOf(m_previous->m_entries[at]) == k)) {
            // Many entries share a template: the table's own map knows it by address.
            if (k.size < 0)
                return std::nullopt;
            const quint32* found = messages().find(k);
            if (!found)
                return std::nullopt;
            at = qsizetype(*found);
        }
        m_cursor = at + 1;
        return mapped(m_previous->number[size_t(at)]);
    }

private:
    const AddressMap& messages()
    {
        if (!m_messages) {
            const LogEntryList& old = m_previous->m_entries;
            m_messages.emplace(size_t(old.size()));
            for (qsizetype i = 0; i < old.size(); ++i)
                if (!old[i].messageTemplate)
                    m_messages->insert(keyOf(old[i]), quint32(i));
        }
        return *m_messages;
    }

    // The earlier table's number in this one.
    quint32 mapped(quint32 earlier)
    {
        quint32& n = m_mapped[earlier];
        if (n == kNone)
            n = m_table.intern(m_previous->texts[earlier], false);
        return n;
    }

    const PatternTable* m_previous;
    PatternTable& m_table;
    qsizetype m_cursor = 0;
    std::optional<AddressMap> m_messages;  // message address to index into the earlier list
    std::vector<quint32> m_mapped;         // earlier number to this table's
};

PatternTable::PatternTable(const LogEntryList& entries, const PatternTable* previous) : m_entries(entries)
{
    number.resize(size_t(entries.size()));
    PatternLender lender(previous, *this);
    AddressMap templates(64);
    QString buffer;  // reused: masking allocates only for a new pattern
    for (qsizetype i = 0; i < entries.size(); ++i) {
#if defined(__GNUC__)
        // Each entry and its message are a cache miss of their own: asked for ahead.
        if (i + 8 < entries.size())
            __builtin_prefetch(&entries[i + 8].message);
        if (i + 4 < entries.size())
            __builtin_prefetch(entries[i + 4].message.constData());
#endif
        const LogEntry& e = entries[i];
        quint32& n = number[size_t(i)];
        std::optional<quint32> lent;
        if (previous)
            lent = lender.lend(e);
        if (lent) {
            n = *lent;
        } else if (e.messageTemplate) {
            const auto [slot, added] = templates.insert(keyOf(e), 0);
            if (added)
                *slot = intern(MessagePattern::of(e), false);
            n = *slot;
        } else if (MessagePattern::maskInto(e.message, buffer)) {
            n = intern(buffer, true);
        } else {
            n = intern(e.message, false);
        }
    }
}

std::optional<quint32> PatternTable::find(QStringView text, size_t hash) const
{
    const size_t mask = m_slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& s = m_slots[i];
        if (!s.number)
            return std::nullopt;
        if (s.hash != hash)
            continue;
        const QString& t = texts[qsizetype(s.number - 1)];
        if (t.size() == text.size() &&
            (text.isEmpty() || std::memcmp(t.constData(), text.data(), size_t(text.size()) * sizeof(QChar)) == 0))
            return s.number - 1;
    }
}

void PatternTable::grow()
{
    std::vector<Slot> old(m_slots.size() * 2);
    old.swap(m_slots);
    const size_t mask = m_slots.size() - 1;
    for (const Slot& s : old) {
        if (!s.number)
            continue;
        size_t i = s.hash & mask;
        while (m_slots[i].number)
            i = (i + 1) & mask;
        m_slots[i] = s;
    }
}

quint32 PatternTable::intern(const QString& text, bool copy)
{
    const size_t hash = textHash(text, m_seed);
    if (const std::optional<quint32> n = find(text, hash))
        return *n;
    if (2 * (size_t(texts.size()) + 1) > m_slots.size())
        grow();
    const quint32 n = quint32(texts.size());
    texts.append(copy ? QString(text.constData(), text.size()) : text);
    const size_t mask = m_slots.size() - 1;
    size_t i = hash & mask;
    while (m_slots[i].number)
        i = (i + 1) & mask;
    m_slots[i] = {hash, n + 1};
    return n;
}

std::optional<quint32> PatternTable::numberOf(const QString& pattern) const
{
    return find(pattern, textHash(pattern, m_seed));
}

namespace {

// Up to 4 Mbit (512 KiB) of pattern × process bits; past that, the pairs seen.
constexpr quint64 kBitmapLimit = quint64(1) << 22;

size_t pairSlot(quint64 key, size_t capacity) { return size_t((key * 0x9E3779B97F4A7C15ull) >> 32) & (capacity - 1); }

// Adds a key (never 0) to an open-addressed set; true when it is new.
bool insertKey(std::vector<quint64>& keys, size_t& count, quint64 key)
{
    if (2 * (count + 1) > keys.size()) {
        std::vector<quint64> old(keys.size() * 2, 0);
        old.swap(keys);
        count = 0;
        for (quint64 k : old)
            if (k)
                insertKey(keys, count, k);
    }
    const size_t mask = keys.size() - 1;
    for (size_t i = pairSlot(key, keys.size());; i = (i + 1) & mask) {
        if (keys[i] == key)
            return false;
        if (!keys[i]) {
            keys[i] = key;
            ++count;
            return true;
        }
    }
}

}  // namespace

PatternCounter::PatternCounter(const PatternTable& table, const std::vector<quint32>& process, quint32 processCount)
    : m_table(&table), m_process(&process), m_processCount(processCount), m_tallies(size_t(table.texts.size())),
      m_bitmap(quint64(table.texts.size()) * processCount <= kBitmapLimit)
{
    if (m_bitmap)
        m_pairs.assign(size_t((quint64(table.texts.size()) * processCount + 63) / 64), 0);
    else
        m_pairs.assign(1024, 0);
}

bool PatternCounter::firstPair(quint32 pattern, quint32 process)
{
    if (m_bitmap && process < m_processCount) {
        const quint64 bit = quint64(pattern) * m_processCount + process;
        quint64& word = m_pairs[size_t(bit / 64)];
        const quint64 mask = quint64(1) << (bit % 64);
        const bool first = !(word & mask);
        word |= mask;
        return first;
    }
    if (m_bitmap) {
        // A process number outside its table (a caller's slip): one more process.
        return true;
    }
    return insertKey(m_pairs, m_pairCount, (quint64(pattern) << 32 | process) + 1);
}

void PatternCounter::add(size_t entry, int level, double date)
{
    const quint32 pattern = m_table->number[entry];
    Tally& t = m_tallies[pattern];
    if (t.count++ == 0) {
        t.first = t.last = date;
    } else {
        // fmin and fmax pass over a NaN date
        t.first = std::fmin(t.first, date);
        t.last = std::fmax(t.last, date);
    }
    ++t.levels[level >= 1 && level <= 5 ? size_t(level) : 0];
    const quint32 process = (*m_process)[entry];
    if (t.lastProcess != process) {
        t.lastProcess = process;
        if (firstPair(pattern, process))
            ++t.processes;
    }
}

QList<PatternSummary> PatternCounter::summaries() const
{
    // A counting sort: most frequent first, ties in the order the patterns
    // first appear in the list. A list of unique messages has as many
    // patterns as entries, so a comparison sort would cost more than the pass.
    int most = 0;
    for (const Tally& t : m_tallies)
        most = std::max(most, t.count);
    std::vector<quint32> start(size_t(most) + 2, 0);  // start[most - count]: where that count's run begins
    for (const Tally& t : m_tallies)
        if (t.count > 0)
            ++start[size_t(most - t.count) + 1];
    for (size_t i = 1; i < start.size(); ++i)
        start[i] += start[i - 1];
    std::vector<quint32> order(start.back());
    for (size_t p = 0; p < m_tallies.size(); ++p)
        if (const int c = m_tallies[p].count; c > 0)
            order[start[size_t(most - c)]++] = quint32(p);
    QList<PatternSummary> out;
    out.reserve(qsizetype(order.size()));
    for (const quint32 p : order) {
        const Tally& t = m_tallies[p];
        out.append({m_table->texts[qsizetype(p)], t.count, t.levels, t.processes, t.first, t.last});
    }
    return out;
}
