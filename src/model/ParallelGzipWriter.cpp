#include "ParallelGzipWriter.h"

#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include <zlib.h>

#include <algorithm>
#include <climits>

ParallelGzipWriter::ParallelGzipWriter(Output output, int level, qint64 blockSize, int threads)
    : m_output(std::move(output)), m_level(std::clamp(level, 0, 9)),
      m_blockSize(std::clamp<qint64>(blockSize, 4096, qint64(64) << 20))
{
    const int count = threads > 0 ? threads : std::max(1, QThread::idealThreadCount());
    m_pool.setMaxThreadCount(count);
    // Enough blocks in flight to keep every thread busy while the oldest is written.
    m_maxPending = std::size_t(count) * 2;
    m_block.reserve(m_blockSize);
}

ParallelGzipWriter::~ParallelGzipWriter()
{
    for (QFuture<QByteArray> &future : m_pending)
        future.waitForFinished();
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
    const int level = m_level;
    m_pending.push_back(QtConcurrent::run(&m_pool, [level, block = std::move(block)] {
        return compressMember(block.constData(), block.size(), level);
    }));
}

bool ParallelGzipWriter::drain(std::size_t keep)
{
    while (m_pending.size() > keep) {
        QFuture<QByteArray> future = std::move(m_pending.front());
        m_pending.pop_front();
        emitMember(future.result());
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
