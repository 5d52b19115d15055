#pragma once

#include <QByteArray>
#include <QSet>
#include <mutex>

// Writes each warning it is given to the log the first time only. Drawing
// meets the same unsupported setting at every paint of every graphic that
// has it; once per kind says all there is to say.
class WarningOnce
{
public:
    // Logs the message unless this log already wrote it; true when it wrote it.
    bool warn(const char *message);

    // The run-wide log.
    static WarningOnce &shared();

private:
    std::mutex m_mutex;
    QSet<QByteArray> m_written;
};
