#pragma once

// Collects the diagnostic messages of the application's categories while alive.

#include <QMutex>
#include <QStringList>
#include <QtGlobal>

class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    QStringList messages() const;
    bool contains(const QString& text) const { return messages().contains(text); }
    bool anyStartsWith(const QString& prefix) const;
    void clear();

private:
    static void handler(QtMsgType, const QMessageLogContext&, const QString&);
    QtMessageHandler m_previous;
};
