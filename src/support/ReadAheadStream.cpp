#include "support/ReadAheadStream.h"

#include <algorithm>
#include <cstring>

ReadAheadStream::ReadAheadStream(ReadFunction read, qint64 chunkSize, int chunks)
    : m_read(std::move(read)), m_chunkSize(std::max<qint64>(chunkSize, 4096))
{
    for (int i = 0; i < std::max(chunks, 2); ++i)
        m_free.push_back({std::vector<char>(size_t(m_chunkSize)), 0, 1});
    m_current.status = 1;
    m_thread = std::thread([this] { run(); });
}

ReadAheadStream::~ReadAheadStream()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void ReadAheadStream::run()
{
    for (;;) {
        Chunk chunk;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_stop || !m_free.empty(); });
            if (m_stop)
                return;
            chunk = std::move(m_free.back());
            m_free.pop_back();
        }
        // A whole chunk, so that the consumer wakes once a chunk.
        chunk.size = 0;
        chunk.status = 1;
        while (chunk.size < m_chunkSize) {
            const qint64 n = m_read(chunk.bytes.data() + chunk.size, m_chunkSize - chunk.size);
            if (n <= 0) {
                chunk.status = n < 0 ? -1 : 0;
                break;
            }
            chunk.size += n;
        }
        const bool last = chunk.status <= 0;
        {
            const std::lock_guard lock(m_mutex);
            m_full.push_back(std::move(chunk));
        }
        m_changed.notify_all();
        if (last)
            return;
    }
}

qint64 ReadAheadStream::read(char *data, qint64 max)
{
    if (max <= 0)
        return 0;
    while (m_offset == m_current.size) {
        if (m_ended || m_current.status <= 0) {
            m_ended = true;
            return m_current.status < 0 ? -1 : 0;
        }
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_full.empty(); });
        if (!m_current.bytes.empty())
            m_free.push_back(std::move(m_current));
        m_current = std::move(m_full.front());
        m_full.pop_front();
        m_offset = 0;
        lock.unlock();
        m_changed.notify_all();
    }
    const qint64 n = std::min(max, m_current.size - m_offset);
    std::memcpy(data, m_current.bytes.data() + m_offset, size_t(n));
    m_offset += n;
    return n;
}
