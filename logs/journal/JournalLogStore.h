#pragma once

#include "logs/LogStore.h"

// The systemd journal as a log store: the machine's journal (live store) or
// a folder of journal files (an archive).
namespace JournalLogStore {
StoreOpenResult openSystem();
StoreOpenResult openDirectory(const QString& path);
// Whether the folder holds journal files (in it or below it).
bool isJournalFolder(const QString& path);

// Level of a journal PRIORITY value (syslog 0–7) on the 0–5 scale; 0 when
// missing or unreadable.
int levelForPriority(const QByteArray& priority);
}  // namespace JournalLogStore
