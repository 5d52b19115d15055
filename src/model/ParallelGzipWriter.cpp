#include "ParallelGzipWriter.h"

#include <QThread>

#include <zlib.h>

#include <algorithm>
#include <climits>

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
        job.block = QByteArray();
        lock.lock();
        m_done.emplace(job.number, std::move(member));
        m_blockDone.notify_all();
    }
}

QByteArray ParallelGzipWriter::compressMember(const char *data, qint64 size, int level)
{
    z_stream stream{};
    // 16 + MAX_WBITS: a gzip header and trailer around the deflate data.
    if (deflateInit2(&stream, level, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    QByteArray out(qsizetype(deflateBound(&stream, uLong(size))), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data));
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    qint64 left = size;
    int status = Z_OK;
    // Blocks are far below 4 GiB; the loop only guards against a narrow uInt.
    while (status == Z_OK) {
        const uInt chunk = uInt(std::min<qint64>(left, UINT_MAX / 2));
        stream.avail_in = chunk;
        stream.avail_out = uInt(out.size() - qsizetype(stream.total_out));
        left -= chunk;
        status = deflate(&stream, left > 0 ? Z_NO_FLUSH : Z_FINISH);
        left += stream.avail_in;
    }
    const bool ok = status == Z_STREAM_END;
    const qsizetype produced = qsizetype(stream.total_out);
    deflateEnd(&stream);
    if (!ok)
        return {};
    out.truncate(produced);
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
    m_block.reserve(m_blockSize);
    {
        const std::lock_guard lock(m_mutex);
        m_jobs.push_back(Job{m_submitted++, std::move(block)});
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
