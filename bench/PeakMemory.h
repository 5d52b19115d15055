#pragma once

// What the memory figures of the benchmarks read: the resident size and its
// high-water mark from /proc/self/status.

#include <QFile>
#include <algorithm>
#include <malloc.h>

namespace BenchMemory {

// Resident memory in bytes from /proc/self/status ("VmRSS", "VmHWM").
inline qint64 statusBytes(const char *key)
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qstrlen(key) + 1).trimmed().split(' ').first().toLongLong() * 1024;
    return 0;
}

// Measures how far the resident high-water mark rises from here.
class PeakMemory
{
public:
    PeakMemory()
    {
        QFile clear("/proc/self/clear_refs");
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5"); // resets the high-water mark
        malloc_trim(0);       // freed memory is handed back, so reusing it counts
        m_start = statusBytes("VmRSS:");
    }
    qint64 rise() const { return std::max<qint64>(0, peak() - m_start); }
    // The process's resident high-water mark since then: what it held at
    // most, everything loaded before included.
    qint64 peak() const { return statusBytes("VmHWM:"); }

private:
    qint64 m_start;
};

} // namespace BenchMemory
