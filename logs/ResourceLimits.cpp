#include "logs/ResourceLimits.h"

#include <QDir>

#include <algorithm>

#include <sys/resource.h>

namespace ResourceLimits {

long raiseOpenFileLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return -1;
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    return limit.rlim_cur == RLIM_INFINITY ? -1 : long(limit.rlim_cur);
}

long openFileLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return -1;
    return long(limit.rlim_cur);
}

long openFilesLeft()
{
    const long limit = openFileLimit();
    if (limit < 0)
        return -1;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    if (!fds.exists())
        return -1;
    // The listing itself holds a descriptor open while it counts.
    const long open = long(fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size()) - 1;
    return std::max(0L, limit - open);
}

}  // namespace ResourceLimits
