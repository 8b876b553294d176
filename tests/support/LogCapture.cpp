#include "tests/support/LogCapture.h"

#include <QLoggingCategory>

namespace {
QMutex g_mutex;
QStringList g_messages;
LogCapture* g_active = nullptr;
}

LogCapture::LogCapture()
{
    QLoggingCategory::setFilterRules(QStringLiteral("com.corvistra.Vellacord.*=true"));
    QMutexLocker lock(&g_mutex);
    g_messages.clear();
    g_active = this;
    m_previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_previous);
    QMutexLocker lock(&g_mutex);
    g_active = nullptr;
}

void LogCapture::handler(QtMsgType, const QMessageLogContext& ctx, const QString& msg)
{
    if (!ctx.category || !QByteArray(ctx.category).startsWith("com.corvistra.Vellacord"))
        return;
    QMutexLocker lock(&g_mutex);
    g_messages.append(msg);
}

QStringList LogCapture::messages() const
{
    QMutexLocker lock(&g_mutex);
    return g_messages;
}

bool LogCapture::anyStartsWith(const QString& prefix) const
{
    for (const QString& m : messages())
        if (m.startsWith(prefix))
            return true;
    return false;
}

void LogCapture::clear()
{
    QMutexLocker lock(&g_mutex);
    g_messages.clear();
}
