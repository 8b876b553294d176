#pragma once

// Rules that hide noise from the list: every entry of a process, of a
// subsystem, or whose message has a pattern. A rule is one more filter of
// the pipeline; the list, the dropdowns, the timeline, Analyze and export
// all see the list without the entries it hides.

#include <QList>
#include <QString>

#include <optional>

struct HideRule {
    enum class Kind : quint8 { process,
                               subsystem,
                               pattern };
    Kind kind = Kind::process;
    QString value;  // the exact process or subsystem name, or the pattern

    bool operator==(const HideRule&) const = default;
};

namespace HideRules {

// The chip's text, without its count: "Process X", "Subsystem Y", "Like "pattern"".
QString chipText(const HideRule& rule);

// The settings key's value ("hiddenRules"): a JSON array of {"kind","value"}
// objects. Reading skips what it does not understand, never fails.
QString encode(const QList<HideRule>& rules);
QList<HideRule> decode(const QString& stored);

std::optional<HideRule::Kind> kindFromName(const QString& name);
QString kindName(HideRule::Kind kind);  // "process", "subsystem", "pattern"

}  // namespace HideRules
