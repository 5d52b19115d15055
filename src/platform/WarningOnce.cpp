#include "platform/WarningOnce.h"

#include <QtGlobal>

bool WarningOnce::warn(const char *message)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        const QByteArray key(message);
        if (m_written.contains(key))
            return false;
        m_written.insert(key);
    }
    qWarning("%s", message);
    return true;
}

WarningOnce &WarningOnce::shared()
{
    static WarningOnce log;
    return log;
}
