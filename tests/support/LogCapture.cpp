#include "tests/support/LogCapture.h"

#include <QLoggingCategory>

namespace {
QMutex g_mutex;
QStringList g_messages;
}

LogCapture::LogCapture()
{
    QLoggingCategory::setFilterRules(QStringLiteral("com.corvistra.Vellacord.*=true"));
    clear();
    m_previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture() { qInstallMessageHandler(m_previous); }

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
    const QStringList all = messages();
    return std::any_of(all.begin(), all.end(), [&](const QString& m) { return m.startsWith(prefix); });
}

void LogCapture::clear()
{
    QMutexLocker lock(&g_mutex);
    g_messages.clear();
}
