#include "logs/ArchiveError.h"

QString ArchiveError::description() const
{
    if (m_case == Case::notReadable)
        return QStringLiteral("Cannot read archive \"") + m_name
            + QStringLiteral("\". If it was created with sudo, run:\nsudo chmod -R a+r ") + m_name;
    if (m_underlying.contains(QLatin1String("corrupt")) || m_underlying.contains(QLatin1String("incomplete")))
        return QStringLiteral("Unable to read archive \"") + m_name
            + QStringLiteral("\". The archive may have permission issues.\n\nTry: sudo chmod -R a+r ~/Desktop/")
            + m_name + QStringLiteral("\n\nUnderlying error: ") + m_underlying;
    return QStringLiteral("Failed to open archive \"") + m_name + QStringLiteral("\": ") + m_underlying;
}
