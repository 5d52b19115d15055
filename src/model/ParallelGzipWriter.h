#pragma once

#include <QByteArray>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

// Compresses a byte stream into independent gzip members of one block each,
// deflated on several threads and written in order. Concatenated members are
// one gzip stream to gunzip, tar and libarchive (pigz writes the same), and a
// writer may insert members made elsewhere between two flush() calls.
class ParallelGzipWriter
{
public:
    // Takes bytes in order; false stops the writer.
    using Output = std::function<bool(const char *data, qint64 size)>;

    static constexpr qint64 defaultBlockSize = qint64(1) << 20;

    // threads 0: one per core.
    explicit ParallelGzipWriter(Output output, int level = 6, qint64 blockSize = defaultBlockSize,
                                int threads = 0);
    ~ParallelGzipWriter();
    ParallelGzipWriter(const ParallelGzipWriter &) = delete;
    ParallelGzipWriter &operator=(const ParallelGzipWriter &) = delete;

    bool write(const char *data, qint64 size);
    bool write(const QByteArray &bytes) { return write(bytes.constData(), bytes.size()); }
    // As write(), but a large array is compressed as a member of its own,
    // shared rather than copied (what was written before it ends a member).
    bool writeShared(const QByteArray &bytes);
    // Ends the current member and starts compressing it without waiting:
    // work can go on beside it until flush().
    void endMember() { submit(); }
    // Ends the current member and hands every member made so far to the output.
    bool flush();
    // flush(), and an empty member when nothing at all was written, so that
    // the output is a gzip stream on its own.
    bool finish();

    qint64 bytesIn() const { return m_bytesIn; }
    qint64 bytesOut() const { return m_bytesOut; }
    bool failed() const { return m_failed; }

    // One gzip member holding the bytes; empty on failure.
    static QByteArray compressMember(const char *data, qint64 size, int level);

private:
    void submit();
    bool drain(std::size_t keep);
    bool emitMember(const QByteArray &member);
    void compressBlocks();

    // Blocks wait in `m_jobs` and come back, compressed, in `m_done` under
    // their number; the threads are the writer's own, with standard locks
    // that thread checkers see through.
    struct Job
    {
        std::uint64_t number;
        QByteArray block;
        bool spare; // the writer's own block, kept for reuse once compressed
    };
    void enqueue(QByteArray block, bool spare);

    Output m_output;
    int m_level;
    qint64 m_blockSize;
    std::size_t m_maxPending;
    int m_maxThreads;
    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::condition_variable m_jobReady, m_blockDone;
    std::deque<Job> m_jobs;
    std::map<std::uint64_t, QByteArray> m_done;
    // Blocks compressed and emptied, their memory kept: a fresh megabyte
    // for each block costs more in page faults than the copy into it.
    std::vector<QByteArray> m_spare;
    int m_idle = 0;
    bool m_stopping = false;
    std::uint64_t m_submitted = 0, m_emitted = 0;
    QByteArray m_block;
    qint64 m_bytesIn = 0;
    qint64 m_bytesOut = 0;
    qint64 m_members = 0;
    bool m_failed = false;
};
