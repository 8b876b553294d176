#include "browser/EntryExport.h"

#include "browser/EntryText.h"
#include "browser/LocalTime.h"
#include "logs/VisibleText.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace EntryExport {

const QList<FileType>& fileTypes()
{
    static const QList<FileType> types{
        {Format::text, QStringLiteral("Text rows (*.txt)"), QStringLiteral("txt")},
        {Format::csv, QStringLiteral("CSV (*.csv)"), QStringLiteral("csv")},
        {Format::jsonLines, QStringLiteral("JSON lines (*.jsonl)"), QStringLiteral("jsonl")},
    };
    return types;
}

const FileType& fileType(Format format)
{
    for (const FileType& t : fileTypes())
        if (t.format == format)
            return t;
    return fileTypes().first();
}

std::optional<Format> formatOfName(const QString& path)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("txt") || ext == QLatin1String("log"))
        return Format::text;
    if (ext == QLatin1String("csv"))
        return Format::csv;
    if (ext == QLatin1String("jsonl") || ext == QLatin1String("ndjson") || ext == QLatin1String("json"))
        return Format::jsonLines;
    return std::nullopt;
}

Target target(const QString& path, Format chosen)
{
    if (const std::optional<Format> typed = formatOfName(path))
        return {path, *typed};
    if (QFileInfo(path).suffix().isEmpty())
        return {path + u'.' + fileType(chosen).suffix, chosen};
    return {path, chosen};
}

QString escapedControls(const QString& s)
{
    const auto plain = [](char16_t u) {
        return u >= 0x20 && u != 0x7f && (u < 0x80 || u > 0x9f) && !VisibleText::isBidiControl(u);
    };
    // Most texts have nothing to escape: share them instead of rebuilding.
    if (std::all_of(s.cbegin(), s.cend(), [&](QChar c) { return plain(c.unicode()); }))
        return s;
    QString out;
    out.reserve(s.size());
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if (plain(u)) {
            out += c;
            continue;
        }
        switch (u) {
        case u'\n': out += QLatin1String("\\n"); break;
        case u'\r': out += QLatin1String("\\r"); break;
        case u'\t': out += QLatin1String("\\t"); break;
        default:
            // C1 controls too: some terminals act on them in UTF-8. Bidirectional
            // controls would reorder the rest of the line as shown.
            out += (u < 0x80 ? QStringLiteral("\\x%1") : QStringLiteral("\\u%1"))
                       .arg(int(u), u < 0x80 ? 2 : 4, 16, QLatin1Char('0'));
        }
    }
    return out;
}

QString isoTime(double date)
{
    const std::optional<qint64> ms = LocalTime::epochMs(date);
    if (!ms)
        return QString();
    const QDateTime utc = QDateTime::fromMSecsSinceEpoch(*ms, Qt::UTC);
    // Qt's ISO form covers years 1 to 9999 only; beyond, the same fields with a
    // longer or signed year.
    const QString iso = utc.toString(Qt::ISODateWithMs);
    return iso.isEmpty() ? utc.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz'Z'")) : iso;
}

QString textRow(const LogEntry& entry, const QList<OptionalColumn>& columns)
{
    // One buffer per row: a listing builds 50,000 of them.
    QString row;
    row.reserve(32 + entry.process.size() + entry.message.size() + 24 * columns.size());
    row += EntryText::timeString(entry.date);
    row += u'\t';
    row += entry.levelLabel();
    row += u'\t';
    row += escapedControls(entry.process);
    for (OptionalColumn c : columns) {
        row += u'\t';
        row += escapedControls(Column::filterValue(c, entry));
    }
    row += u'\t';
    row += escapedControls(entry.message);
    return row;
}

QStringList columnTitles(const QList<OptionalColumn>& columns)
{
    QStringList titles{QStringLiteral("Time"), QStringLiteral("Severity"), QStringLiteral("Process")};
    for (OptionalColumn c : columns)
        titles << Column::rawValue(c);
    titles << QStringLiteral("Message");
    return titles;
}

QStringList csvCells(const LogEntry& entry, const QList<OptionalColumn>& columns)
{
    QStringList cells{isoTime(entry.date), entry.levelLabel(), entry.process};
    for (OptionalColumn c : columns)
        cells << Column::filterValue(c, entry);
    cells << entry.message;
    return cells;
}

QByteArray csvRecord(const QStringList& cells)
{
    QByteArray out;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0)
            out += ',';
        QString cell = cells[i];
        // A leading tab or carriage return is skipped by some spreadsheets before they look for a formula.
        if (!cell.isEmpty() && QStringView(u"=+-@\t\r").contains(cell[0]))
            cell.prepend(u'\'');
        QByteArray bytes = cell.toUtf8();
        if (bytes.contains('"') || bytes.contains(',') || bytes.contains('\n') || bytes.contains('\r')) {
            bytes.replace("\"", "\"\"");
            out += '"' + bytes + '"';
        } else {
            out += bytes;
        }
    }
    return out + "\r\n";
}

QByteArray entryJson(const LogEntry& e)
{
    QJsonObject o;
    o.insert(QStringLiteral("id"), e.id.toString(QUuid::WithoutBraces));
    o.insert(QStringLiteral("date"), isoTime(e.date));
    o.insert(QStringLiteral("level"), e.level);
    o.insert(QStringLiteral("levelLabel"), e.levelLabel());
    o.insert(QStringLiteral("process"), e.process);
    o.insert(QStringLiteral("message"), e.message);
    o.insert(QStringLiteral("subsystem"), e.subsystem);
    o.insert(QStringLiteral("category"), e.category);
    if (e.threadKnown)  // a journal entry without a TID has no thread, not thread 0
        o.insert(QStringLiteral("threadIdentifier"), qint64(e.threadIdentifier));
    o.insert(QStringLiteral("processIdentifier"), e.processIdentifier);
    o.insert(QStringLiteral("sender"), e.sender);
    o.insert(QStringLiteral("activityIdentifier"), qint64(e.activityIdentifier));
    o.insert(QStringLiteral("host"), e.host);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray document(Format format, const LogEntryList& entries, const QList<OptionalColumn>& columns)
{
    QByteArray out;
    switch (format) {
    case Format::text:
        for (const LogEntry& e : entries)
            out += textRow(e, columns).toUtf8() + '\n';
        break;
    case Format::csv:
        out += csvRecord(columnTitles(columns));
        for (const LogEntry& e : entries)
            out += csvRecord(csvCells(e, columns));
        break;
    case Format::jsonLines:
        for (const LogEntry& e : entries)
            out += entryJson(e) + '\n';
        break;
    }
    return out;
}

namespace {

QString systemText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Why what is at `st` is not replaced by a file of entries: only a regular file is.
std::optional<QString> notReplaceable(const struct stat& st)
{
    const auto refuse = [](const char* what) { return QStringLiteral("it is %1; choose another name").arg(QLatin1String(what)); };
    if (S_ISREG(st.st_mode))
        return std::nullopt;
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("it is a folder");
    // Written through, a link would replace a file in another folder.
    if (S_ISLNK(st.st_mode))
        return refuse("a symbolic link");
    if (S_ISFIFO(st.st_mode))
        return refuse("a FIFO (named pipe)");
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return refuse("a device");
    if (S_ISSOCK(st.st_mode))
        return refuse("a socket");
    return refuse("not a regular file");
}

bool writeAll(int fd, const QByteArray& data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        done += n;
    }
    return true;
}

}  // namespace

std::optional<QString> writeAtomically(const QString& path, const QByteArray& data)
{
    // By hand rather than with QSaveFile: it writes through links, and its
    // failures on a full disk read "Unknown error".
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    const bool replacing = ::lstat(name.constData(), &st) == 0;
    if (!replacing && errno != ENOENT)
        return systemText(errno);
    if (replacing) {
        if (const std::optional<QString> refused = notReplaceable(st))
            return refused;
    }
    // Beside the target, so that the rename stays on its file system; it
    // replaces whatever is at the path then, never what a link points to.
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temporary = folder + "/.Vellacord-export-" + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0 && errno != EEXIST)
            return systemText(errno);
    }
    if (fd < 0)
        return systemText(EEXIST);
    // A replaced file keeps its permissions; a new one gets the umask's.
    bool ok = (!replacing || ::fchmod(fd, st.st_mode & 07777) == 0) && writeAll(fd, data) && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temporary.constData(), name.constData()) != 0) {
        ok = false;
        error = errno;
    }
    if (ok)
        return std::nullopt;
    ::unlink(temporary.constData());
    return systemText(error);
}

}  // namespace EntryExport
