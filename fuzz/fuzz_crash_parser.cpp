// Hostile crash report files, parsed in memory the way parseReport does after
// reading: the structured parser must never crash, and whatever it declines
// the plain-text parser must still turn into exactly one report.

#include "crashes/CrashParser.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        abort();
}

void checkCommon(const CrashReport& r, const QString& text)
{
    check(!r.id.isNull());
    check(r.fileName == QLatin1String("fuzz.ips"));
    check(r.rawContent == text);
    check(r.date.isValid());
    check(!r.crashTypeLabel().isEmpty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    // parseReport skips invalid UTF-8; the parsers are still fed the lossy
    // text so the byte-level header search sees every input.
    const QString fileName = QStringLiteral("fuzz.ips");
    const QString filePath = QStringLiteral("/nonexistent/fuzz.ips");
    const QDateTime fallback = CrashReport::distantPast();

    const auto structured = CrashParser::parseStructuredReport(text, bytes, fileName, filePath, fallback, false);
    if (structured) {
        checkCommon(*structured, text);
        check(!structured->appName.isEmpty());  // fileName stands in for a missing name
        check(!structured->stackTrace.isEmpty());
        check(structured->stackTrace == CrashParser::noStackTraceText() || structured->stackTrace.startsWith(QLatin1String("Thread ")));
    }
    const CrashReport plain = CrashParser::parsePlainReport(text, fileName, filePath, fallback, true);
    checkCommon(plain, text);
    // A text report's trace is its crashed thread's, laid out as for .ips, at most 30 frames.
    check(plain.isRetired && (plain.stackTrace.isEmpty() || plain.stackTrace.startsWith(QLatin1String("Thread "))));
    check(plain.stackTrace.count(QLatin1Char('\n')) <= 30);
    // Labelled values come from one line each.
    for (const QString* v : {&plain.appVersion, &plain.osVersion, &plain.deviceModel})
        check(!v->contains(QLatin1Char('\n')));

    // The date parser on the start of the text.
    if (auto d = CrashParser::parseInternetDateTime(text.left(64)))
        check(d->isValid());
    // The trace builder on any object body, with the first byte as thread index.
    const QJsonDocument doc = QJsonDocument::fromJson(bytes);
    if (doc.isObject() && size > 0)
        (void)CrashParser::stackTraceText(doc.object(), qint64(int8_t(data[0])));
    return 0;
}
