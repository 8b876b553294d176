#pragma once

#include <QString>

// Errors of reading a log archive, with their fixed user-facing texts.
class ArchiveError {
public:
    enum class Case { notReadable, openFailed };

    static ArchiveError notReadable(const QString& name) { return ArchiveError(Case::notReadable, name, {}); }
    static ArchiveError openFailed(const QString& name, const QString& underlying)
    {
        return ArchiveError(Case::openFailed, name, underlying);
    }

    Case kind() const { return m_case; }
    const QString& name() const { return m_name; }
    const QString& underlying() const { return m_underlying; }
    QString description() const;

private:
    ArchiveError(Case c, QString name, QString underlying)
        : m_case(c), m_name(std::move(name)), m_underlying(std::move(underlying)) {}
    Case m_case;
    QString m_name;
    QString m_underlying;
};
