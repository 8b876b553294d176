#pragma once

#include <QtTest>

// Writes a report file (creating its folder); a valid `mtime` becomes its modification time.
inline void writeReportFile(const QString& path, const QByteArray& data, const QDateTime& mtime = {})
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(data), data.size());
    QVERIFY(f.flush());  // a later flush would move the modification time again
    if (mtime.isValid())
        QVERIFY(f.setFileTime(mtime, QFileDevice::FileModificationTime));
}
