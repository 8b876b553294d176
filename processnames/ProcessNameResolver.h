#pragma once

// Translates raw process identifiers (as found in LogEntry::process) into
// friendly names, from a shipped table and from names learned out of AI
// answers. Main thread only; file reads happen once, at construction.

#include "logs/LogEntry.h"

#include <QMap>
#include <QObject>
#include <QString>

#include <optional>

class ProcessNameResolver : public QObject {
    Q_OBJECT
    Q_PROPERTY(QMap<QString, QString> learnedNames READ learnedNames NOTIFY learnedNamesChanged)

public:
    // Uses Platform::appSupportDir(): copies the shipped table there on first
    // use, then reads both tables.
    explicit ProcessNameResolver(QObject* parent = nullptr);

    // Same, with an explicit folder and shipped resource path; used by tests.
    // An empty resourcePath means "no shipped resource".
    ProcessNameResolver(const QString& folder, const QString& resourcePath, QObject* parent = nullptr);

    // Learned name, else shipped name, else raw itself. Exact, case-sensitive.
    // The shipped table names the Mac's processes: it is not applied to
    // entries from elsewhere (a Linux "kernel" is no "macOS Kernel").
    QString displayName(const QString& raw, LogOrigin origin = LogOrigin::mac) const;
    // True when a table that applies to the origin has raw.
    bool hasTranslation(const QString& raw, LogOrigin origin = LogOrigin::mac) const;

    // Adds pairs whose raw identifier neither table has and whose name is
    // acceptable; saves when any was added, merged with what other resolvers
    // wrote meanwhile.
    void learn(const QMap<QString, QString>& names);

    // A learned name is shown in place of the raw one in the list: at most
    // maxLearnedNameChars, on one line, without control or bidirectional
    // characters that could hide or reorder it. Others are not learned at all.
    static constexpr qsizetype maxLearnedNameChars = 64;
    static bool isAcceptableName(const QString& name);

    // Empties the learned table in memory and deletes learned_processes.json
    // (the Help menu's "Reset Learned Process Names").
    void resetLearned();

    const QMap<QString, QString>& bundledNames() const { return m_bundledNames; }
    const QMap<QString, QString>& learnedNames() const { return m_learnedNames; }

    // Path of the shipped resource inside the application.
    static QString shippedResourcePath();

signals:
    void learnedNamesChanged();

private:
    void init(const QString& folder, const QString& resourcePath);
    void prepareFiles(const QString& folder, const QString& resourcePath);
    void saveLearned();
    // Empty when missing, not a regular file or malformed; nothing when
    // unreadable. `learned`: names that are not acceptable are left out.
    static std::optional<QMap<QString, QString>> readTable(const QString& path, bool learned = false);

    QMap<QString, QString> m_bundledNames;
    QMap<QString, QString> m_learnedNames;
    QMap<QString, QString> m_unsaved;  // learned here since the last successful write
    QString m_bundledFile;
    QString m_learnedFile;
};
