#include "crashes/CrashedThread.h"

#include "logs/VisibleText.h"

#include <QStringList>

#include <cctype>

namespace {

// A field of the report, cut before it is copied: one line may be the whole file.
QString field(QStringView s)
{
    return VisibleText::cutField(s.left(VisibleText::maxFieldChars + 1).toString());
}

// The whole number starting `s` (at most nine digits) and its length; 0 when none.
qsizetype leadingNumber(QStringView s, qint64* value)
{
    qsizetype n = 0;
    qint64 v = 0;
    for (; n < s.size() && s[n] >= u'0' && s[n] <= u'9'; ++n) {
        if (n == 9)
            return 0;
        v = v * 10 + (s[n].unicode() - u'0');
    }
    *value = v;
    return n;
}

bool isAddress(QStringView token)
{
    if (token.size() < 3 || !token.startsWith(u"0x"))
        return false;
    for (QChar c : token.mid(2))
        if (!std::isxdigit(c.unicode() < 128 ? int(c.unicode()) : 0))
            return false;
    return true;
}

// "Thread 3 Crashed:: Dispatch queue: …" (or "Thread 3 Crashed:"): 3. Not
// "Thread 3 crashed with ARM Thread State", which is the registers.
std::optional<qint64> crashedHeader(QStringView line)
{
    if (!line.startsWith(u"Thread "))
        return std::nullopt;
    qint64 n = 0;
    const qsizetype digits = leadingNumber(line.mid(7), &n);
    const QStringView after = line.mid(7 + digits);
    if (digits == 0 || !(after == u" Crashed" || after.startsWith(u" Crashed:")))
        return std::nullopt;
    return n;
}

// "12  libsystem_c.dylib   0x00007ff80a0d2b3e abort + 123" in the layout of
// structured reports' frames; absent when the line is no frame.
std::optional<QString> frameLine(QStringView line)
{
    qint64 index = 0;
    const qsizetype digits = leadingNumber(line, &index);
    if (digits == 0 || digits == line.size() || !line[digits].isSpace())
        return std::nullopt;
    const QStringView rest = line.mid(digits).trimmed();
    // The image name may hold spaces; the address after it never does.
    for (qsizetype start = 0; start < rest.size();) {
        qsizetype end = start;
        while (end < rest.size() && !rest[end].isSpace())
            ++end;
        if (start > 0 && isAddress(rest.mid(start, end - start))) {
            const QString symbol = field(rest.mid(end).trimmed());
            return QStringLiteral("  %1  %2  %3")
                .arg(index, 2)
                .arg(field(rest.left(start).trimmed()).leftJustified(30),
                     symbol.isEmpty() ? QStringLiteral("???") : symbol);
        }
        start = end;
        while (start < rest.size() && rest[start].isSpace())
            ++start;
    }
    return QStringLiteral("  %1  %2").arg(index, 2).arg(field(rest));
}

// The quoted reason of "*** Terminating app due to uncaught exception 'X',
// reason: '…'"; any other line whole.
QString exceptionReason(QStringView line)
{
    static const QString kReason = QStringLiteral("reason: '");
    const qsizetype at = line.indexOf(kReason);
    if (at >= 0) {
        QStringView quoted = line.mid(at + kReason.size());
        const qsizetype close = quoted.lastIndexOf(u'\'');
        if (close >= 0)
            quoted = quoted.left(close);
        if (!quoted.trimmed().isEmpty())
            return field(quoted.trimmed());
    }
    return field(line);
}

}  // namespace

namespace CrashedThread {

namespace {

enum class In { header,
                application,
                frames };

// What read() has found so far, and where in the report it is.
struct State {
    In in = In::header;
    Found found;
    QStringList frames;
    bool applicationSeen = false;
};

// "Crashed Thread:", "Application Specific Information:" or the crashed
// thread's backtrace header.
void headerLine(QStringView line, State& s)
{
    static const QString kCrashedThread = QStringLiteral("Crashed Thread:");
    static const QString kApplication = QStringLiteral("Application Specific Information:");
    if (!s.found.thread && line.startsWith(kCrashedThread)) {
        qint64 n = 0;
        if (leadingNumber(line.mid(kCrashedThread.size()).trimmed(), &n) > 0)
            s.found.thread = n;
    } else if (!s.applicationSeen && line.startsWith(kApplication)) {
        s.applicationSeen = true;
        const QStringView rest = line.mid(kApplication.size()).trimmed();
        if (rest.isEmpty())
            s.in = In::application;
        else
            s.found.applicationReason = exceptionReason(rest);
    } else if (const std::optional<qint64> n = crashedHeader(line); n && (!s.found.thread || *s.found.thread == *n)) {
        s.found.thread = n;
        s.frames << QStringLiteral("Thread %1 (Faulting Thread):").arg(*n);
        s.in = In::frames;
    }
}

// A line after an "Application Specific Information:" line that had no reason.
void applicationLine(QStringView line, State& s)
{
    if (line.isEmpty()) {
        s.in = In::header;
    } else if (s.found.applicationReason.isEmpty()) {
        s.found.applicationReason = exceptionReason(line);
        s.in = In::header;
    }
}

}  // namespace

Found read(QStringView text, int maxFrames)
{
    State s;
    for (qsizetype start = 0; start <= text.size();) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = text.size();
        const QStringView line = text.mid(start, end - start).trimmed();
        start = end + 1;

        if (s.in == In::frames) {
            const std::optional<QString> frame = frameLine(line);
            if (!frame)
                break;                         // the backtrace ends at its blank line; nothing after it is read
            if (s.frames.size() <= maxFrames)  // the header line and the frames
                s.frames << *frame;
        } else if (s.in == In::application) {
            applicationLine(line, s);
        } else {
            headerLine(line, s);
        }
    }
    s.found.stackTrace = s.frames.join(QLatin1Char('\n'));
    return s.found;
}

bool isOnlyZeroCodes(QStringView value)
{
    bool any = false;
    for (QStringView token : value.tokenize(QLatin1Char(','))) {
        token = token.trimmed();
        if (token.startsWith(u"0x"))
            token = token.mid(2);
        if (token.isEmpty())
            return false;
        for (QChar c : token)
            if (c != u'0')
                return false;
        any = true;
    }
    return any;
}

}  // namespace CrashedThread
