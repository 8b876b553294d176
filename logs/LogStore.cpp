#include "logs/LogStore.h"

#include "logs/JournalLogStore.h"
#include "logs/NdjsonLogStore.h"

#include <QFile>
#include <QFileInfo>

#include <unistd.h>

bool LogStoreProvider::isReadable(const QString& path) const
{
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    const int mode = info.isDir() ? (R_OK | X_OK) : R_OK;
    return ::access(QFile::encodeName(path).constData(), mode) == 0;
}

namespace {
class PlatformProvider final : public LogStoreProvider {
public:
    StoreOpenResult openSystemStore() const override { return JournalLogStore::openSystem(); }
    StoreOpenResult openArchive(const QString& path) const override
    {
        if (isNdjsonSource(path))
            return openNdjsonStore(path);
        return JournalLogStore::openDirectory(path);
    }
};
}

const LogStoreProvider& platformLogStoreProvider()
{
    static const PlatformProvider provider;
    return provider;
}
