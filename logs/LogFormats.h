#pragma once

// The one table of the saved-log formats the application reads. Each row
// recognises a path by what it holds, whatever its name, and opens it as a
// store. The stores, the open command, the command line, the open panel and
// the help texts all follow this table; a new format is one row (and the
// folder of its store).

#include "logs/LogStore.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

struct LogFormat {
    QString name;             // for people: "Mac unified log bundle"
    QString description;      // one line of help: what is opened, by what it is recognised
    QString files;            // what it looks for, for messages: "tracev3 files"
    QStringList nameFilters;  // names the open panel suggests ("*.logarchive"); content decides
    std::function<bool(const QString& path)> recognises;
    std::function<StoreOpenResult(const QString& path)> open;
};

namespace LogFormats {

// The rows, in the order they are tried.
const std::vector<LogFormat>& all();
// The first row that recognises the path; none when no row does.
const LogFormat* of(const QString& path);
// Whether the name matches a row's name filters (any letter case).
bool matchesName(const QString& path);
// The row to open the path with: the one that recognises it, or else, for a
// file whose name one row's filters match, that row (its store says what is
// wrong with the file). None otherwise.
const LogFormat* forOpening(const QString& path);
// Why no row opens the path.
QString notRecognisedText(const QString& path);
// A row tried before the others, for the life of the process (tests); call
// it before any read starts.
void addFirst(LogFormat format);

// The formats' names and descriptions, one per line, for help texts.
QString helpText();

}  // namespace LogFormats
