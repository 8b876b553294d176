#pragma once

#include <QString>

// The check of the open command: a chosen location is a log archive exactly
// when its extension, in lower case, is "logarchive", or "ndjson" or "jsonl"
// (an export of `log show --style ndjson` from a Mac).
namespace ArchiveChoice {

bool isLogArchive(const QString& path);
// The location's last path component (trailing slashes ignored).
QString lastPathComponent(const QString& path);
// The informative text of the "Not a Log Archive" alert.
QString notAnArchiveText(const QString& path);

}  // namespace ArchiveChoice
