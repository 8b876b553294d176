#include "logs/journal/JournalAccess.h"

#include "logs/ArchiveError.h"

#include <QDirIterator>
#include <QFileInfo>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace {

// A folder that exists but cannot be listed is taken to hold a journal: the
// user then lacks rights, which is not "no journal".
bool holdsJournal(const QString& root)
{
    const QFileInfo info(root);
    if (!info.isDir())
        return false;
    if (!info.isReadable() || !info.isExecutable())
        return true;
    QDirIterator it(root, {QStringLiteral("*.journal"), QStringLiteral("*.journal~")}, QDir::Files,
                    QDirIterator::Subdirectories);
    return it.hasNext();
}

bool inReaderGroup()
{
    const int n = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(size_t(n > 0 ? n : 0) + 1);
    const int got = n > 0 ? ::getgroups(n, groups.data()) : 0;
    groups.resize(size_t(got > 0 ? got : 0));
    groups.push_back(::getegid());
    // The reentrant forms: this runs on the thread pool.
    std::vector<char> buf(16384);
    for (const char* name : {"systemd-journal", "adm", "wheel"}) {
        group g{};
        group* found = nullptr;
        if (::getgrnam_r(name, &g, buf.data(), buf.size(), &found) != 0 || !found)
            continue;
        for (const gid_t id : groups)
            if (id == found->gr_gid)
                return true;
    }
    return false;
}

QString loginName()
{
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_name && *found->pw_name)
        return QString::fromLocal8Bit(found->pw_name);
    return QString::fromLocal8Bit(qgetenv("USER"));
}

}  // namespace

JournalAccess JournalAccess::ofThisProcess()
{
    JournalAccess a;
    a.user = loginName();
    if (!holdsJournal(QStringLiteral("/run/log/journal")) && !holdsJournal(QStringLiteral("/var/log/journal")))
        a.limit = Limit::noJournal;
    else if (::geteuid() != 0 && !inReaderGroup())
        a.limit = Limit::notInGroup;
    return a;
}

QString JournalAccess::groupCommand() const
{
    return QStringLiteral("sudo usermod -aG systemd-journal ") + (user.isEmpty() ? QStringLiteral("\"$USER\"") : ArchiveError::shellQuoted(user));
}
