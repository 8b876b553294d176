#pragma once

// A Mac's unified log as written to a .logarchive bundle (or found in a
// Mac's diagnostics folder), read off the Mac: the tracev3 files of
// Persist/, Special/, Signpost/, HighVolume/ and the bundle's top, merged in
// time order; their clocks from timesync/; their format strings and image
// names from the uuidtext folders and dsc/.

#include "logs/LogStore.h"

#include <QString>
#include <QStringList>

// Whether the folder holds tracev3 files where a bundle keeps them.
bool isUnifiedLogSource(const QString& path);

// Fails when the folder holds no tracev3 file.
StoreOpenResult openUnifiedStore(const QString& path);

namespace Unified {

struct BundleLayout {
    QStringList tracev3Files;
    QStringList timesyncFiles;
    QStringList stringsRoots;  // folders holding the uuidtext folders and dsc/
};

// The files of the bundle at `path`. A folder named "diagnostics" takes its
// strings from the sibling "uuidtext" folder too, as a Mac keeps them.
BundleLayout layoutOf(const QString& path);

}  // namespace Unified
