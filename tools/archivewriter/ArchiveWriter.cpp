#include "tools/archivewriter/ArchiveWriter.h"

#include "tools/archivewriter/Encoding.h"
#include "tools/archivewriter/StringsFiles.h"
#include "tools/archivewriter/Tracev3Writer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <limits>

namespace ArchiveWriter {

namespace {

using namespace detail;

const char kInfoPlist[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0">
<dict>
	<key>OSArchiveVersion</key>
	<integer>4</integer>
</dict>
</plist>
)";

QString makeParent(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        fail(QStringLiteral("cannot create %1").arg(folder));
    return path;
}

void writeWhole(const QString& path, const QByteArray& bytes)
{
    QFile file(makeParent(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size() || !file.flush())
        fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
}

// A file's place in the bundle: relative, and inside it.
QString bundlePath(const QDir& root, const QString& relative)
{
    const QString clean = QDir::cleanPath(relative);
    if (clean.isEmpty() || clean == QLatin1String(".") || QDir::isAbsolutePath(clean) || clean == QLatin1String("..") ||
        clean.startsWith(QLatin1String("../")))
        fail(QStringLiteral("the file path %1 is not inside the bundle").arg(relative));
    return root.absoluteFilePath(clean);
}

}  // namespace

Report writeBundle(const Bundle& bundle, const QString& directory)
{
    Report report;
    try {
        if (!QDir().mkpath(directory))
            fail(QStringLiteral("cannot create %1").arg(directory));
        const QDir root(directory);
        for (const Image& image : bundle.images) {
            const QString hex = uuidHex(image.uuid);
            writeWhole(root.absoluteFilePath(hex.left(2) + QLatin1Char('/') + hex.mid(2)), uuidtextFile(image));
        }
        for (const SharedCache& cache : bundle.sharedCaches)
            writeWhole(root.absoluteFilePath(QStringLiteral("dsc/") + uuidHex(cache.uuid)), sharedCacheFile(cache));
        if (!bundle.timesync.empty())
            writeWhole(root.absoluteFilePath(QStringLiteral("timesync/0000000000000000.timesync")),
                       timesyncFile(bundle.timesync));
        for (const File& file : bundle.files) {
            const QString path = makeParent(bundlePath(root, file.path));
            try {
                report.files.push_back({path, writeTracev3(bundle, file, path)});
            } catch (Failure& f) {
                f.message = file.path + QStringLiteral(", ") + f.message;
                throw;
            }
        }
        writeWhole(root.absoluteFilePath(QStringLiteral("Info.plist")), QByteArray(kInfoPlist));
    } catch (const Failure& f) {
        report.error = f.message;
    }
    return report;
}

quint64 continuousTimeAt(const File& file, double wallSeconds)
{
    if (file.timebaseNumer == 0 || file.timebaseDenom == 0)
        return 0;
    // Seconds first, then micros: a double of the whole boot time would lose them.
    const long double since = (static_cast<long double>(wallSeconds) - file.bootWallSeconds) - file.bootWallMicros / 1e6L;
    const long double units = std::round(since * 1e9L * file.timebaseDenom / file.timebaseNumer);
    if (!(units > 0))
        return 0;
    if (units >= static_cast<long double>(std::numeric_limits<quint64>::max()))
        return std::numeric_limits<quint64>::max();
    return quint64(units);
}

}  // namespace ArchiveWriter
