#pragma once

#include <QString>

// Errors of reading a log archive, with their fixed user-facing texts. The
// archive is named by its last path component; the commands offered in the
// texts use its absolute path, so that pasting them fixes that archive.
class ArchiveError {
public:
    enum class Case { notReadable,
                      openFailed };

    static ArchiveError notReadable(const QString& path) { return ArchiveError(Case::notReadable, path, {}); }
    static ArchiveError openFailed(const QString& path, const QString& underlying)
    {
        return ArchiveError(Case::openFailed, path, underlying);
    }

    Case kind() const { return m_case; }
    const QString& name() const { return m_name; }
    const QString& path() const { return m_path; }  // absolute, without a trailing slash
    const QString& underlying() const { return m_underlying; }
    QString description() const;

    // The path as one shell word: bare when it is plain, else in single quotes.
    static QString shellQuoted(const QString& path);

private:
    ArchiveError(Case c, const QString& path, QString underlying);
    Case m_case;
    QString m_path;
    QString m_name;
    QString m_underlying;
};
