#include "browser/HideRules.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr struct {
    HideRule::Kind kind;
    const char* name;
    const char* chip;
} kKinds[] = {
    {HideRule::Kind::process, "process", "Process "},
    {HideRule::Kind::subsystem, "subsystem", "Subsystem "},
    {HideRule::Kind::pattern, "pattern", "Like "},
};

// A stored file is untrusted: a rule list past this is cut, not read whole.
constexpr qsizetype kMaxStoredRules = 500;

}  // namespace

namespace HideRules {

QString kindName(HideRule::Kind kind)
{
    for (const auto& k : kKinds)
        if (k.kind == kind)
            return QLatin1String(k.name);
    return {};
}

std::optional<HideRule::Kind> kindFromName(const QString& name)
{
    for (const auto& k : kKinds)
        if (name == QLatin1String(k.name))
            return k.kind;
    return std::nullopt;
}

QString chipText(const HideRule& rule)
{
    for (const auto& k : kKinds)
        if (k.kind == rule.kind)
            return QLatin1String(k.chip) + QLatin1Char('"') + rule.value + QLatin1Char('"');
    return rule.value;
}

QString encode(const QList<HideRule>& rules)
{
    QJsonArray list;
    for (const HideRule& r : rules)
        list.append(QJsonObject{{QStringLiteral("kind"), kindName(r.kind)}, {QStringLiteral("value"), r.value}});
    return QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Compact));
}

QList<HideRule> decode(const QString& stored)
{
    QList<HideRule> rules;
    const QJsonArray list = QJsonDocument::fromJson(stored.toUtf8()).array();
    for (const QJsonValue& v : list) {
        const QJsonObject o = v.toObject();
        const auto kind = kindFromName(o.value(QStringLiteral("kind")).toString());
        const QJsonValue value = o.value(QStringLiteral("value"));
        if (!kind || !value.isString() || value.toString().isEmpty())
            continue;
        const HideRule rule{*kind, value.toString()};
        if (!rules.contains(rule))
            rules.append(rule);
        if (rules.size() == kMaxStoredRules)
            break;
    }
    return rules;
}

}  // namespace HideRules
