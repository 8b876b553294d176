#include "processnames/ProcessNameResolver.h"

#include "base/AtomicFile.h"
#include "base/Platform.h"
#include "base/SafeRead.h"
#include "logs/VisibleText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>

// Another writer holds the lock only while it rewrites a small file.
static constexpr int lockWaitMs = 5000;

static void initShippedResource()
{
    // The resource lives in a static library: register it explicitly.
    static const bool done = [] {
        Q_INIT_RESOURCE(processnames);
        return true;
    }();
    Q_UNUSED(done);
}

QString ProcessNameResolver::shippedResourcePath()
{
    initShippedResource();
    return QStringLiteral(":/processnames/ProcessNames.json");
}

ProcessNameResolver::ProcessNameResolver(QObject* parent) : QObject(parent)
{
    init(Platform::appSupportDir(), shippedResourcePath());
}

ProcessNameResolver::ProcessNameResolver(const QString& folder, const QString& resourcePath, QObject* parent)
    : QObject(parent)
{
    init(folder, resourcePath);
}

void ProcessNameResolver::init(const QString& folder, const QString& resourcePath)
{
    if (folder.isEmpty())
        return;  // no application-support folder: both tables stay empty, nothing is written
    m_bundledFile = folder + QStringLiteral("/ProcessNames.json");
    m_learnedFile = folder + QStringLiteral("/learned_processes.json");
    prepareFiles(folder, resourcePath);
    m_bundledNames = readTable(m_bundledFile).value_or(QMap<QString, QString>());
    m_learnedNames = readTable(m_learnedFile, true).value_or(QMap<QString, QString>());
}

void ProcessNameResolver::prepareFiles(const QString& folder, const QString& resourcePath)
{
    if (!QFileInfo::exists(folder))
        QDir().mkpath(folder);  // a failure shows up below as unreadable files
    if (QFileInfo::exists(m_bundledFile))
        return;
    if (!resourcePath.isEmpty() && QFileInfo::exists(resourcePath)) {
        if (QFile::copy(resourcePath, m_bundledFile)) {
            // Copies out of the resource system are read-only; the copy is the
            // user's file from now on.
            QFile::setPermissions(m_bundledFile, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                                     QFile::ReadOther);
        }
        return;
    }
    QFile f(m_bundledFile);
    if (f.open(QIODevice::WriteOnly))
        f.write("{}");
}

bool ProcessNameResolver::isAcceptableName(const QString& name)
{
    if (name.size() > maxLearnedNameChars)
        return false;
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        // C0, DEL and C1 controls, the Unicode line and paragraph separators.
        if (u < 0x20 || (u >= 0x7f && u <= 0x9f) || u == 0x2028 || u == 0x2029 || VisibleText::isBidiControl(u))
            return false;
    }
    return true;
}

std::optional<QMap<QString, QString>> ProcessNameResolver::readTable(const QString& path, bool learned)
{
    const SafeRead::Result file = SafeRead::readStateFile(path, lcProcessNames());
    if (file.outcome == SafeRead::Result::Outcome::failed)
        return std::nullopt;
    if (file.outcome != SafeRead::Result::Outcome::read)
        return QMap<QString, QString>();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.data, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return QMap<QString, QString>();
    QMap<QString, QString> table;
    const QJsonObject obj = doc.object();
    for (auto it = obj.begin(); it != obj.end(); ++it) {
        if (!it.value().isString())
            return QMap<QString, QString>();  // one bad value spoils the whole table
        // A name learned by an earlier version may break today's rule.
        if (learned && !isAcceptableName(it.value().toString()))
            continue;
        table.insert(it.key(), it.value().toString());
    }
    return table;
}

QString ProcessNameResolver::displayName(const QString& raw, LogOrigin origin) const
{
    auto it = m_learnedNames.constFind(raw);
    if (it != m_learnedNames.constEnd())
        return *it;
    if (origin != LogOrigin::mac)
        return raw;
    it = m_bundledNames.constFind(raw);
    if (it != m_bundledNames.constEnd())
        return *it;
    return raw;
}

bool ProcessNameResolver::hasTranslation(const QString& raw, LogOrigin origin) const
{
    return m_learnedNames.contains(raw) || (origin == LogOrigin::mac && m_bundledNames.contains(raw));
}

void ProcessNameResolver::learn(const QMap<QString, QString>& names)
{
    bool added = false;
    for (auto it = names.cbegin(); it != names.cend(); ++it) {
        if (m_learnedNames.contains(it.key()) || m_bundledNames.contains(it.key()) || !isAcceptableName(it.value()))
            continue;
        m_learnedNames.insert(it.key(), it.value());
        m_unsaved.insert(it.key(), it.value());
        added = true;
        qCInfo(lcProcessNames, "Learned process name: %s → %s", qUtf8Printable(it.key()), qUtf8Printable(it.value()));
    }
    if (!added)
        return;
    saveLearned();
    emit learnedNamesChanged();
}

void ProcessNameResolver::saveLearned()
{
    if (m_learnedFile.isEmpty())
        return;
    // Other windows and processes write the same file: under the lock, what
    // is there now plus what this resolver learned since its last write. A
    // name already there keeps its translation; names gone from the file were
    // reset elsewhere and stay gone.
    QLockFile lock(m_learnedFile + QStringLiteral(".lock"));
    if (!lock.tryLock(lockWaitMs))
        return;
    std::optional<QMap<QString, QString>> merged = readTable(m_learnedFile, true);
    if (!merged)
        return;  // not overwritten while it cannot be read
    for (auto it = m_unsaved.cbegin(); it != m_unsaved.cend(); ++it)
        if (!merged->contains(it.key()))
            merged->insert(it.key(), it.value());
    QJsonObject obj;
    for (auto it = merged->cbegin(); it != merged->cend(); ++it)
        obj.insert(it.key(), it.value());
    if (AtomicFile::write(m_learnedFile, Platform::prettyJson(QJsonDocument(obj)),
                          AtomicFile::LinkPolicy::followToRegularFile))
        return;
    m_unsaved.clear();
    m_learnedNames = std::move(*merged);
}

void ProcessNameResolver::resetLearned()
{
    // Names learned before the reset must not come back with a later write.
    m_unsaved.clear();
    if (!m_learnedFile.isEmpty()) {
        QLockFile lock(m_learnedFile + QStringLiteral(".lock"));
        lock.tryLock(lockWaitMs);  // the file goes either way; the lock only keeps a writer from restoring it
        QFile::remove(m_learnedFile);
    }
    if (m_learnedNames.isEmpty())
        return;
    m_learnedNames.clear();
    emit learnedNamesChanged();
}
