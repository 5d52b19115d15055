#include "ParallelGzipWriter.h"

#include <QThread>

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <limits>

ParallelGzipWriter::ParallelGzipWriter(Output output, int level, qint64 blockSize, int threads)
    : m_output(std::move(output)), m_level(std::clamp(level, 0, 9)),
      m_blockSize(std::clamp<qint64>(blockSize, 4096, qint64(64) << 20))
{
    m_maxThreads = threads > 0 ? threads : std::max(1, QThread::idealThreadCount());
    // Enough blocks in flight to keep every thread busy while the oldest is written.
    m_maxPending = std::size_t(m_maxThreads) * 2;
    m_block.reserve(m_blockSize);
}

ParallelGzipWriter::~ParallelGzipWriter()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_jobs.clear(); // what was not flushed is not wanted
    }
    m_jobReady.notify_all();
    for (std::thread &thread : m_threads)
        thread.join();
}

void ParallelGzipWriter::compressBlocks()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        ++m_idle;
        m_jobReady.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
        --m_idle;
        if (m_jobs.empty())
            return; // stopping
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        lock.unlock();
        QByteArray member = compressMember(job.block.constData(), job.block.size(), m_level);
        if (job.spare)
            job.block.resize(0);
        else
            job.block = QByteArray();
        lock.lock();
        if (job.spare)
            m_spare.push_back(std::move(job.block));
        m_done.emplace(job.number, std::move(member));
        m_blockDone.notify_all();
    }
}

namespace {

// A compressor holds its tables (some hundred kilobytes): each thread keeps
// one per level for the blocks it is given.
libdeflate_compressor *compressorOf(int level)
{
    struct Compressors
    {
        std::array<libdeflate_compressor *, 10> byLevel{};
        ~Compressors()
        {
            for (libdeflate_compressor *c : byLevel)
                libdeflate_free_compressor(c);
        }
    };
    thread_local Compressors compressors;
    libdeflate_compressor *&compressor = compressors.byLevel[std::size_t(level)];
    if (!compressor)
        compressor = libdeflate_alloc_compressor(level);
    return compressor;
}

} // namespace

QByteArray ParallelGzipWriter::compressMember(const char *data, qint64 size, int level)
{
    libdeflate_compressor *compressor = compressorOf(std::clamp(level, 0, 9));
    if (!compressor || size < 0)
        return {};
    const std::size_t bound = libdeflate_gzip_compress_bound(compressor, std::size_t(size));
    if (bound > std::size_t(std::numeric_limits<qsizetype>::max()))
        return {};
    QByteArray out(qsizetype(bound), Qt::Uninitialized);
    const std::size_t produced =
        libdeflate_gzip_compress(compressor, data, std::size_t(size), out.data(), bound);
    if (produced == 0)
        return {};
    out.truncate(qsizetype(produced));
    return out;
}

bool ParallelGzipWriter::emitMember(const QByteArray &member)
{
    if (m_failed)
        return false;
    if (member.isEmpty() || !m_output(member.constData(), member.size())) {
        m_failed = true;
        return false;
    }
    m_bytesOut += member.size();
    ++m_members;
    return true;
}

void ParallelGzipWriter::submit()
{
    if (m_block.isEmpty())
        return;
    QByteArray block;
    block.swap(m_block);
    enqueue(std::move(block), true);
    {
        const std::lock_guard lock(m_mutex);
        if (!m_spare.empty()) {
            m_block.swap(m_spare.back());
            m_spare.pop_back();
        }
    }
    m_block.reserve(m_blockSize);
}

void ParallelGzipWriter::enqueue(QByteArray block, bool spare)
{
    {
        const std::lock_guard lock(m_mutex);
        m_jobs.push_back(Job{m_submitted++, std::move(block), spare});
        // A thread more only while every one is busy.
        if (m_idle == 0 && int(m_threads.size()) < m_maxThreads)
            m_threads.emplace_back([this] { compressBlocks(); });
    }
    m_jobReady.notify_one();
}

bool ParallelGzipWriter::drain(std::size_t keep)
{
    while (m_submitted - m_emitted > keep) {
        QByteArray member;
        {
            std::unique_lock lock(m_mutex);
            m_blockDone.wait(lock, [this] { return m_done.count(m_emitted) != 0; });
            auto it = m_done.find(m_emitted);
            member = std::move(it->second);
            m_done.erase(it);
        }
        ++m_emitted;
        emitMember(member);
    }
    return !m_failed;
}

bool ParallelGzipWriter::write(const char *data, qint64 size)
{
    while (size > 0 && !m_failed) {
        const qint64 n = std::min(size, m_blockSize - m_block.size());
        m_block.append(data, qsizetype(n));
        m_bytesIn += n;
        data += n;
        size -= n;
        if (m_block.size() == m_blockSize) {
            submit();
            drain(m_maxPending);
        }
    }
    return !m_failed;
}

bool ParallelGzipWriter::writeShared(const QByteArray &bytes)
{
    if (bytes.size() < m_blockSize / 4 || m_failed)
        return write(bytes);
    submit();
    enqueue(bytes, false);
    m_bytesIn += bytes.size();
    return drain(m_maxPending);
}

bool ParallelGzipWriter::flush()
{
    submit();
    return drain(0);
}

bool ParallelGzipWriter::finish()
{
    if (!flush())
        return false;
    if (m_members == 0)
        return emitMember(compressMember("", 0, m_level));
    return true;
}
