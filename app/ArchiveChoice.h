#pragma once

#include <QString>

#include <QStringList>

// The check of the open command and of a path given to the application: a
// location is a log archive when a row of the log formats' table recognises
// what it holds, or, when none does, when its name matches a row's (an
// unreadable bundle then opens and says why).
namespace ArchiveChoice {

bool isLogArchive(const QString& path);
// The open panel's name filters: the table's, then every file (content decides).
QStringList panelFilters();
// The location's last path component (trailing slashes ignored).
QString lastPathComponent(const QString& path);
// The informative text of the "Not a Log Archive" alert.
QString notAnArchiveText(const QString& path);

}  // namespace ArchiveChoice
