#include "logs/LogStore.h"

#include "logs/LogFormats.h"
#include "logs/journal/JournalLogStore.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

bool LogStoreProvider::isReadable(const QString& path) const
{
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    const int mode = info.isDir() ? (R_OK | X_OK) : R_OK;
    return ::access(QFile::encodeName(path).constData(), mode) == 0;
}

std::optional<QString> LogStoreProvider::absentReason(const QString& path) const
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) == 0)
        return std::nullopt;
    if (errno != ENOENT && errno != ENOTDIR)
        return std::nullopt;  // there, but not reachable: the readability check says so
    return QString::fromLocal8Bit(std::strerror(errno));
}

namespace {
class PlatformProvider final : public LogStoreProvider {
public:
    StoreOpenResult openSystemStore() const override { return JournalLogStore::openSystem(); }
    StoreOpenResult openArchive(const QString& path) const override
    {
        if (const LogFormat* format = LogFormats::forOpening(path))
            return format->open(path);
        return StoreError{LogFormats::notRecognisedText(path)};
    }
};
}  // namespace

const LogStoreProvider& platformLogStoreProvider()
{
    static const PlatformProvider provider;
    return provider;
}
