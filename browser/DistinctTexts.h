#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

// The distinct texts of one pass, held by reference (they must outlive it). Nearly
// every entry repeats a value already seen, so a lookup must cost less than
// a QSet insert: open addressing over Qt's seeded hash (seeded against
// archives made to collide), no nodes.
class DistinctTexts {
public:
    void add(const QString& text)
    {
        // Readers share one string per distinct name: a repeat is known by
        // its data without reading the text (a cache miss per entry).
        Seen& seen = m_seen[addressSlot(text.constData())];
        if (seen.data == text.constData() && seen.size == text.size())
            return;
        seen = {text.constData(), text.size()};
        if (2 * (m_count + 1) > m_slots.size())
            grow();
        const size_t h = qHash(QStringView(text), m_seed);
        for (size_t i = h & (m_slots.size() - 1);; i = (i + 1) & (m_slots.size() - 1)) {
            Slot& slot = m_slots[i];
            if (!slot.text) {
                slot = {h, &text};
                ++m_count;
                break;
            }
            if (slot.hash == h && same(*slot.text, text))
                break;
        }
    }

    // Code-point order, case-sensitive; the selection is kept listed.
    QStringList sorted(const std::optional<QString>& selection) const
    {
        QStringList list;
        list.reserve(qsizetype(m_count) + 1);
        for (const Slot& slot : m_slots)
            if (slot.text)
                list.append(*slot.text);
        return options(std::move(list), selection);
    }

    // Distinct texts as a dropdown lists them: the selection kept listed,
    // code-point order, case-sensitive.
    static QStringList options(QStringList list, const std::optional<QString>& selection)
    {
        if (selection && !list.contains(*selection))
            list.append(*selection);
        std::sort(list.begin(), list.end());
        return list;
    }

    // A slot for a text's data address, mixed: allocations of one size are
    // evenly spaced and would crowd into a few slots. Top 8 bits: 256 slots.
    static size_t addressSlot(const QChar* data)
    {
        return size_t((quint64(quintptr(data)) * 0x9E3779B97F4A7C15ull) >> 56);
    }

private:
    // Equality as bytes (QString's == goes through its ordering compare).
    static bool same(const QString& a, const QString& b)
    {
        return a.size() == b.size() &&
               (a.constData() == b.constData() ||
                std::memcmp(a.constData(), b.constData(), size_t(a.size()) * sizeof(QChar)) == 0);
    }

    struct Slot {
        size_t hash = 0;
        const QString* text = nullptr;
    };

    void grow()
    {
        std::vector<Slot> old(std::max<size_t>(64, m_slots.size() * 2));
        old.swap(m_slots);
        for (const Slot& slot : old) {
            if (!slot.text)
                continue;
            size_t i = slot.hash & (m_slots.size() - 1);
            while (m_slots[i].text)
                i = (i + 1) & (m_slots.size() - 1);
            m_slots[i] = slot;
        }
    }

    struct Seen {
        const QChar* data = nullptr;
        qsizetype size = -1;
    };

    std::array<Seen, 256> m_seen{};  // by addressSlot
    std::vector<Slot> m_slots;
    size_t m_count = 0;
    size_t m_seed = QHashSeed::globalSeed();
};
