#include "crashes/CrashParser.h"

#include "base/TextTrim.h"
#include "crashes/CrashedThread.h"
#include "logs/VisibleText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

#include <algorithm>
#include <string_view>

namespace {

constexpr int kMaxPlainLines = 30;
constexpr int kMaxFrames = 30;

// First key whose value is a non-empty string; other types count as missing.
QString lookupString(const QJsonObject& o, std::initializer_list<const char*> keys)
{
    for (const char* k : keys) {
        const QJsonValue v = o.value(QLatin1String(k));
        if (v.isString()) {
            QString s = v.toString();
            if (!s.isEmpty())
                return s;
        }
    }
    return {};
}

// A JSON number with a whole value that fits in 64 bits (Qt keeps integers
// written without a fraction exactly).
std::optional<qint64> jsonInteger(const QJsonValue& v)
{
    if (!v.isDouble())
        return std::nullopt;
    const qint64 a = v.toInteger(0);
    const qint64 b = v.toInteger(1);
    if (a != b)  // toInteger fell back to its default: not a whole number
        return std::nullopt;
    return a;
}

bool isArrayOfObjects(const QJsonValue& v)
{
    if (!v.isArray())
        return false;
    const QJsonArray a = v.toArray();
    return std::all_of(a.begin(), a.end(), [](const QJsonValue& e) { return e.isObject(); });
}

// Pads to `width` characters (code points); longer text is never cut.
QString padRight(const QString& s, int width)
{
    qsizetype chars = 0;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (!(s[i].isLowSurrogate() && i > 0 && s[i - 1].isHighSurrogate()))
            ++chars;
    }
    if (chars >= width)
        return s;
    return s + QString(width - chars, QLatin1Char(' '));
}

bool readDigits(QStringView s, qsizetype pos, int count, int* value)
{
    if (pos + count > s.size())
        return false;
    int v = 0;
    for (int i = 0; i < count; ++i) {
        const char16_t c = s[pos + i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        v = v * 10 + (c - u'0');
    }
    *value = v;
    return true;
}

bool charAt(QStringView s, qsizetype pos, char16_t c) { return pos < s.size() && s[pos].unicode() == c; }

QString stringMember(const QJsonValue& object, const char* key)
{
    const QJsonValue v = object.toObject().value(QLatin1String(key));
    return v.isString() ? v.toString() : QString();
}

// The header line's object, when the report has one that is JSON.
QJsonObject headerObject(std::string_view header)
{
    if (header.empty())
        return {};
    return QJsonDocument::fromJson(QByteArray::fromRawData(header.data(), qsizetype(header.size()))).object();
}

// "macOS 26.5 (25F71)" from {"train": "macOS 26.5", "build": "25F71"}.
QString osVersionFromObject(const QJsonValue& v)
{
    const QString train = stringMember(v, "train");
    if (train.isEmpty())
        return {};
    const QString build = stringMember(v, "build");
    return build.isEmpty() ? train : train + QStringLiteral(" (") + build + QLatin1Char(')');
}

// Either date form a report uses; absent when the value is neither.
std::optional<QDateTime> reportDate(const QJsonValue& v)
{
    if (!v.isString())
        return std::nullopt;
    if (auto d = CrashParser::parseInternetDateTime(v.toString()))
        return d;
    return CrashParser::parseSpacedDateTime(v.toString());
}

// Image of a frame that names none itself: the used image it points at.
QString usedImageName(const QJsonValue& images, const QJsonValue& index)
{
    const std::optional<qint64> i = jsonInteger(index);
    if (!i || !images.isArray() || *i < 0 || *i >= images.toArray().size())
        return {};
    const QJsonValue image = images.toArray().at(qsizetype(*i));
    QString name = stringMember(image, "name");
    if (name.isEmpty()) {
        const QString path = stringMember(image, "path");
        name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    }
    return name;
}

// Every name and reason is kept only as long as it can be shown: a report
// may hold megabytes in one of them, and the list keeps every report's.
void cutFields(CrashReport& r)
{
    for (QString* field : {&r.appName, &r.appVersion, &r.crashReason, &r.exceptionType, &r.osVersion, &r.deviceModel})
        *field = VisibleText::cutField(*field);
}

// Whether not one field of the crash was read; `named` when the report named its process.
bool nothingParsed(const CrashReport& r, bool named)
{
    const bool noTrace = r.stackTrace.isEmpty() || r.stackTrace == CrashParser::noStackTraceText();
    return !named && noTrace && !r.faultingThread && r.appVersion.isEmpty() && r.crashReason.isEmpty() && r.exceptionType.isEmpty() && r.osVersion.isEmpty() && r.deviceModel.isEmpty();
}

// The exception's type, and the crash reason: the exception's signal and
// subtype, else the termination's reason.
void readException(const QJsonObject& json, CrashReport& r)
{
    QString reason;
    const QJsonValue exception = json.value(QLatin1String("exception"));
    if (exception.isObject()) {
        const QJsonObject ex = exception.toObject();
        const QJsonValue type = ex.value(QLatin1String("type"));
        const QJsonValue signal = ex.value(QLatin1String("signal"));
        const QJsonValue subtype = ex.value(QLatin1String("subtype"));
        r.exceptionType = type.isString() ? type.toString() : QString();
        const QString sig = signal.isString() ? signal.toString() : QString();
        if (subtype.isString())
            reason = sig.isEmpty() ? subtype.toString() : sig + QStringLiteral(" \u2014 ") + subtype.toString();
        else
            reason = sig;
    }
    const QJsonValue termination = json.value(QLatin1String("termination"));
    if (termination.isObject() && reason.isEmpty()) {
        const QJsonValue tr = termination.toObject().value(QLatin1String("reason"));
        if (tr.isString() && !tr.toString().isEmpty())
            reason = tr.toString();
    }
    r.crashReason = reason;
}

// The body's timestamp, its capture time, the header's timestamp, each in
// either form; none when none of them reads (the file's time stands in).
std::optional<QDateTime> structuredDate(const QJsonObject& json, const QJsonObject& head)
{
    for (const QJsonValue& stamp : {json.value(QLatin1String("timestamp")), json.value(QLatin1String("captureTime")),
                                    head.value(QLatin1String("timestamp"))}) {
        if (auto d = reportDate(stamp))
            return d;
    }
    return std::nullopt;
}

// One header line of a plain report into r; true when it named the process.
bool readPlainLine(const QString& line, CrashReport& r)
{
    static const QString kProcess = QStringLiteral("Process:");
    static const QString kExceptionType = QStringLiteral("Exception Type:");
    static const QString kExceptionCodes = QStringLiteral("Exception Codes:");
    static const QString kTermination = QStringLiteral("Termination Reason:");
    static const QString kDate = QStringLiteral("Date/Time:");
    static const QString kVersion = QStringLiteral("Version:");
    static const QString kOsVersion = QStringLiteral("OS Version:");
    static const QString kModel = QStringLiteral("Hardware Model:");
    auto valueAfter = [&line](const QString& label) { return trimmedHorizontal(QStringView(line).mid(label.size())); };

    if (line.startsWith(kExceptionType))
        r.exceptionType = trimmedHorizontal(QString(line).remove(kExceptionType));
    if (line.startsWith(kExceptionCodes) || line.startsWith(kTermination)) {
        // Everything after the first colon, so colons inside the value survive.
        r.crashReason = trimmedHorizontal(QStringView(line).mid(line.indexOf(QLatin1Char(':')) + 1));
    }
    if (line.startsWith(kDate)) {
        if (auto d = CrashParser::parseSpacedDateTime(valueAfter(kDate)))
            r.date = *d;
    }
    if (line.startsWith(kVersion))
        r.appVersion = valueAfter(kVersion);
    if (line.startsWith(kOsVersion))
        r.osVersion = valueAfter(kOsVersion);
    if (line.startsWith(kModel))
        r.deviceModel = valueAfter(kModel);
    if (!line.startsWith(kProcess))
        return false;
    QString rest = trimmedHorizontal(QString(line).remove(kProcess));
    const qsizetype bracket = rest.indexOf(QLatin1Char('['));
    if (bracket >= 0)
        rest = trimmedHorizontal(QStringView(rest).left(bracket));
    r.appName = rest;
    return true;
}

}  // namespace

namespace CrashParser {

QString noStackTraceText() { return QStringLiteral("No structured stack trace available."); }

std::optional<CrashReport> parseStructuredReport(const QString& text, const QByteArray& bytes,
                                                 const QString& fileName, const QString& filePath,
                                                 const QDateTime& fallbackDate, bool isRetired)
{
    // A header line naming "bug_type" is followed by the body; otherwise the
    // whole file must be the JSON document.
    const std::string_view all(bytes.constData(), size_t(bytes.size()));
    std::string_view document = all;
    std::string_view header;
    const size_t lf = all.find('\n');
    if (lf != std::string_view::npos && all.substr(0, lf).find("\"bug_type\"") != std::string_view::npos) {
        header = all.substr(0, lf);
        document = all.substr(lf + 1);
    }
    if (document.size() >= 3 && document.substr(0, 3) == "\xEF\xBB\xBF")  // a byte-order mark is not JSON
        document.remove_prefix(3);

    QJsonParseError error;
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray::fromRawData(document.data(), qsizetype(document.size())), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject json = doc.object();
    const QJsonObject head = headerObject(header);

    CrashReport r;
    r.id = QUuid::createUuid();
    r.fileName = fileName;
    r.filePath = filePath;
    r.appName = lookupString(json, {"procName", "name", "app_name"});
    const bool named = !r.appName.isEmpty();
    if (r.appName.isEmpty())
        r.appName = fileName;
    r.appVersion = lookupString(json, {"CFBundleShortVersionString", "app_version", "bundleVersion"});
    if (r.appVersion.isEmpty())
        r.appVersion = stringMember(json.value(QLatin1String("bundleInfo")), "CFBundleShortVersionString");
    if (r.appVersion.isEmpty())
        r.appVersion = lookupString(head, {"app_version"});
    r.osVersion = lookupString(json, {"osVersion", "os_version"});
    if (r.osVersion.isEmpty())
        r.osVersion = osVersionFromObject(json.value(QLatin1String("osVersion")));
    if (r.osVersion.isEmpty())
        r.osVersion = lookupString(head, {"os_version"});
    r.deviceModel = lookupString(json, {"modelCode", "hardware_model"});

    readException(json, r);
    r.faultingThread = jsonInteger(json.value(QLatin1String("faultingThread")));
    r.stackTrace = stackTraceText(json, r.faultingThread);
    r.date = structuredDate(json, head).value_or(fallbackDate);

    cutFields(r);
    r.nothingParsed = nothingParsed(r, named);
    r.rawContent = text;
    r.isRetired = isRetired;
    return r;
}

QString stackTraceText(const QJsonObject& body, std::optional<qint64> faultingThread)
{
    const qint64 index = faultingThread.value_or(0);
    const QJsonValue threadsValue = body.value(QLatin1String("threads"));
    if (!isArrayOfObjects(threadsValue))
        return noStackTraceText();
    const QJsonArray threads = threadsValue.toArray();
    if (index < 0 || index >= threads.size())
        return noStackTraceText();
    const QJsonValue framesValue = threads.at(qsizetype(index)).toObject().value(QLatin1String("frames"));
    if (!isArrayOfObjects(framesValue))
        return noStackTraceText();
    const QJsonArray frames = framesValue.toArray();
    const QJsonValue usedImages = body.value(QLatin1String("usedImages"));

    QStringList lines;
    lines.reserve(1 + std::min<qsizetype>(kMaxFrames, frames.size()));
    lines.append(QStringLiteral("Thread %1 (Faulting Thread):").arg(index));
    const qsizetype n = std::min<qsizetype>(kMaxFrames, frames.size());
    for (qsizetype i = 0; i < n; ++i) {
        const QJsonObject f = frames.at(i).toObject();
        const QJsonValue imageName = f.value(QLatin1String("imageName"));
        QString image = VisibleText::cutField(imageName.isString() ? imageName.toString()
                                                                   : usedImageName(usedImages, f.value(QLatin1String("imageIndex"))));
        if (image.isEmpty() && !imageName.isString())
            image = QStringLiteral("???");
        const QJsonValue symbol = f.value(QLatin1String("symbol"));
        // Newer reports give the offset into the symbol; the image offset is
        // only meaningful beside the image's address form.
        const std::optional<qint64> symbolOffset = jsonInteger(f.value(QLatin1String("symbolLocation")));
        const qint64 offset = symbol.isString() && symbolOffset
                                  ? *symbolOffset
                                  : jsonInteger(f.value(QLatin1String("imageOffset"))).value_or(0);
        // "  %2d  %-30s  %@ + %d"
        lines.append(QStringLiteral("  %1  %2  %3 + %4")
                         .arg(i, 2)
                         .arg(padRight(image, 30),
                              symbol.isString() ? VisibleText::cutField(symbol.toString()) : QStringLiteral("???"))
                         .arg(offset));
    }
    return lines.join(QLatin1Char('\n'));
}

std::optional<QDateTime> parseInternetDateTime(const QString& text)
{
    // yyyy-MM-ddTHH:mm:ss.f...(Z|+hh:mm|-hh:mm), fraction required.
    const QStringView s(text);
    int year, month, day, hour, minute, second;
    if (!readDigits(s, 0, 4, &year) || !charAt(s, 4, u'-') || !readDigits(s, 5, 2, &month) || !charAt(s, 7, u'-') || !readDigits(s, 8, 2, &day) || !charAt(s, 10, u'T') || !readDigits(s, 11, 2, &hour) || !charAt(s, 13, u':') || !readDigits(s, 14, 2, &minute) || !charAt(s, 16, u':') || !readDigits(s, 17, 2, &second) || !charAt(s, 19, u'.'))
        return std::nullopt;
    qsizetype pos = 20;
    int msec = 0, fracDigits = 0;
    while (pos < s.size() && s[pos].unicode() >= u'0' && s[pos].unicode() <= u'9') {
        if (fracDigits < 3)
            msec = msec * 10 + (s[pos].unicode() - u'0');
        ++fracDigits;
        ++pos;
    }
    if (fracDigits == 0)
        return std::nullopt;
    for (int i = fracDigits; i < 3; ++i)
        msec *= 10;

    int offsetSeconds = 0;
    if (charAt(s, pos, u'Z')) {
        ++pos;
    } else if (charAt(s, pos, u'+') || charAt(s, pos, u'-')) {
        const int sign = charAt(s, pos, u'-') ? -1 : 1;
        int oh, om;
        if (!readDigits(s, pos + 1, 2, &oh) || !charAt(s, pos + 3, u':') || !readDigits(s, pos + 4, 2, &om) || oh > 23 || om > 59)
            return std::nullopt;
        offsetSeconds = sign * (oh * 3600 + om * 60);
        pos += 6;
    } else {
        return std::nullopt;
    }
    if (pos != s.size())
        return std::nullopt;

    const QDate date(year, month, day);
    if (!date.isValid() || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    const QDateTime local(date, QTime(hour, minute, second, msec), Qt::UTC);
    return local.addSecs(-offsetSeconds);
}

std::optional<QDateTime> parseSpacedDateTime(const QString& text)
{
    // yyyy-MM-dd HH:mm:ss[.f{1,6}] ±hhmm
    const QStringView s(text);
    int year, month, day, hour, minute, second;
    if (!readDigits(s, 0, 4, &year) || !charAt(s, 4, u'-') || !readDigits(s, 5, 2, &month) || !charAt(s, 7, u'-') || !readDigits(s, 8, 2, &day) || !charAt(s, 10, u' ') || !readDigits(s, 11, 2, &hour) || !charAt(s, 13, u':') || !readDigits(s, 14, 2, &minute) || !charAt(s, 16, u':') || !readDigits(s, 17, 2, &second))
        return std::nullopt;
    qsizetype pos = 19;
    int msec = 0;
    if (charAt(s, pos, u'.')) {
        int digits = 0;
        for (++pos; pos < s.size() && s[pos].unicode() >= u'0' && s[pos].unicode() <= u'9'; ++pos, ++digits) {
            if (digits < 3)
                msec = msec * 10 + (s[pos].unicode() - u'0');
        }
        if (digits == 0 || digits > 6)
            return std::nullopt;
        for (int i = digits; i < 3; ++i)
            msec *= 10;
    }
    int oh, om;
    if (!charAt(s, pos, u' ') || !(charAt(s, pos + 1, u'+') || charAt(s, pos + 1, u'-')) || !readDigits(s, pos + 2, 2, &oh) || !readDigits(s, pos + 4, 2, &om) || pos + 6 != s.size() || oh > 23 || om > 59)
        return std::nullopt;
    const int offsetSeconds = (charAt(s, pos + 1, u'-') ? -1 : 1) * (oh * 3600 + om * 60);
    const QDate date(year, month, day);
    if (!date.isValid() || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    return QDateTime(date, QTime(hour, minute, second, msec), Qt::UTC).addSecs(-offsetSeconds);
}

CrashReport parsePlainReport(const QString& text, const QString& fileName, const QString& filePath,
                             const QDateTime& fallbackDate, bool isRetired)
{
    CrashReport r;
    r.id = QUuid::createUuid();
    r.fileName = fileName;
    r.filePath = filePath;
    r.date = fallbackDate;
    r.appName = fileName;

    // Walk the first lines in place: a huge report is never split whole.
    bool named = false;
    const QStringView all(text);
    qsizetype start = 0;
    for (int lineNo = 0; lineNo < kMaxPlainLines && start <= all.size(); ++lineNo) {
        qsizetype end = all.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = all.size();
        const QString line = trimmedHorizontal(all.mid(start, end - start));
        start = end + 1;

        named |= readPlainLine(line, r);
    }

    // The crashed thread and its backtrace come later; zero codes say
    // nothing, so the exception's own reason stands in for them.
    const CrashedThread::Found found = CrashedThread::read(all, kMaxFrames);
    r.faultingThread = found.thread;
    r.stackTrace = found.stackTrace;
    if ((r.crashReason.isEmpty() || CrashedThread::isOnlyZeroCodes(r.crashReason)) && !found.applicationReason.isEmpty())
        r.crashReason = found.applicationReason;

    cutFields(r);
    r.nothingParsed = nothingParsed(r, named);
    r.rawContent = text;
    r.isRetired = isRetired;
    return r;
}

}  // namespace CrashParser
