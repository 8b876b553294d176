#include "tests/support/JournalFixture.h"

#include <QDir>
#include <QProcess>
#include <QTest>
#include <QtEndian>

namespace JournalFixture {

Record message(double date, const QByteArray& identifier, const QByteArray& text, int priority)
{
    Record r;
    r.realtimeUsec = qint64(date * 1e6);
    r.set("MESSAGE", text);
    if (priority >= 0)
        r.set("PRIORITY", QByteArray::number(priority));
    if (!identifier.isEmpty())
        r.set("SYSLOG_IDENTIFIER", identifier);
    return r;
}

// Every value in the binary form of the export format, so any bytes survive.
static QByteArray exportText(const QList<Record>& records)
{
    QByteArray out;
    qint64 mono = 1000;
    for (const Record& r : records) {
        out += "__REALTIME_TIMESTAMP=" + QByteArray::number(r.realtimeUsec) + "\n__MONOTONIC_TIMESTAMP=" + QByteArray::number(mono++) + "\n_BOOT_ID=0123456789abcdef0123456789abcdef\n";
        for (const auto& [k, v] : r.fields) {
            char len[8];
            qToLittleEndian<quint64>(quint64(v.size()), len);
            out += k + '\n' + QByteArray(len, 8) + v + '\n';
        }
        out += '\n';
    }
    return out;
}

QString writeJournal(const QString& dir, const QList<Record>& records, const QString& fileName)
{
    QDir().mkpath(dir);
    QProcess p;
    p.start(QStringLiteral(VELLACORD_JOURNAL_REMOTE), {QStringLiteral("--output=") + dir + QLatin1Char('/') + fileName,
                                                       QStringLiteral("-")});
    if (!p.waitForStarted())
        return QStringLiteral("cannot start systemd-journal-remote: ") + p.errorString();
    p.write(exportText(records));
    p.closeWriteChannel();
    if (!p.waitForFinished(120000))
        return QStringLiteral("systemd-journal-remote did not finish");
    if (p.exitCode() != 0)
        return QStringLiteral("systemd-journal-remote failed: ") + QString::fromLocal8Bit(p.readAllStandardError());
    return {};
}

QString makeArchive(const QString& parent, const QString& name, const QList<Record>& records)
{
    const QString path = parent + QLatin1Char('/') + name;
    const QString error = writeJournal(path, records);
    if (!error.isEmpty())
        QTest::qFail(qPrintable(error), __FILE__, __LINE__);
    return path;
}

}  // namespace JournalFixture
