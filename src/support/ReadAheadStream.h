#pragma once

#include <QtGlobal>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Reads a stream ahead on a thread of its own, a few chunks at a time, so
// that making the bytes (inflating them) and taking them (parsing) overlap.
// The read function runs only on that thread until the stream is destroyed,
// and is never called again once it returned 0 or -1.
class ReadAheadStream
{
public:
    // Fills up to `max` bytes: the count, 0 at the end, -1 on failure.
    using ReadFunction = std::function<qint64(char *data, qint64 max)>;

    explicit ReadAheadStream(ReadFunction read, qint64 chunkSize = qint64(1) << 20, int chunks = 4);
    // Stops reading ahead; what the thread is reading is finished first.
    ~ReadAheadStream();
    ReadAheadStream(const ReadAheadStream &) = delete;
    ReadAheadStream &operator=(const ReadAheadStream &) = delete;

    // As the read function: the count, 0 at the end, -1 on failure (after
    // every byte read before it).
    qint64 read(char *data, qint64 max);

private:
    struct Chunk
    {
        std::vector<char> bytes;
        qint64 size = 0;   // bytes filled
        qint64 status = 0; // the last read: 0 end, -1 failure, else more follows
    };
    void run();

    ReadFunction m_read;
    qint64 m_chunkSize;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Chunk> m_full;
    std::vector<Chunk> m_free;
    Chunk m_current;
    qint64 m_offset = 0;
    bool m_stop = false;
    bool m_ended = false; // the consumer saw the end or a failure
    std::thread m_thread;
};
