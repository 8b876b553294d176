#include "browser/TestedFields.h"

#include "browser/DistinctTexts.h"

#include <array>

namespace {

// Numbers the distinct texts of one field. Readers share one string per
// distinct value, so a repeat is mostly known by its address without
// hashing its text.
class Numbering {
public:
    Numbering(QHash<QString, quint32>& numbers, QStringList& names) : m_numbers(numbers), m_names(names) {}

    quint32 of(const QString& text)
    {
        Seen& seen = m_seen[DistinctTexts::addressSlot(text.constData())];
        if (seen.data == text.constData() && seen.size == text.size())
            return seen.number;
        auto it = m_numbers.constFind(text);
        if (it == m_numbers.constEnd()) {
            it = m_numbers.insert(text, quint32(m_names.size()));
            m_names.append(text);
        }
        seen = {text.constData(), text.size(), *it};
        return *it;
    }

private:
    struct Seen {
        const QChar* data = nullptr;
        qsizetype size = -1;
        quint32 number = 0;
    };
    std::array<Seen, 256> m_seen{};
    QHash<QString, quint32>& m_numbers;
    QStringList& m_names;
};

}  // namespace

TestedFields::TestedFields(const LogEntryList& entries)
{
    const size_t n = size_t(entries.size());
    level.reserve(n);
    date.reserve(n);
    process.reserve(n);
    subsystem.reserve(n);
    Numbering processes(m_processNumbers, processNames), subsystems(m_subsystemNumbers, subsystemNames);
    for (const LogEntry& e : entries) {
        level.push_back(e.level >= 1 && e.level <= 5 ? quint8(e.level) : 0);
        date.push_back(e.date);
        process.push_back(processes.of(e.process));
        subsystem.push_back(subsystems.of(e.subsystem));
    }
}

std::optional<quint32> TestedFields::find(const QHash<QString, quint32>& numbers, const QString& text)
{
    const auto it = numbers.constFind(text);
    return it == numbers.constEnd() ? std::nullopt : std::optional<quint32>(*it);
}
