#include "support/ReadAheadStream.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <atomic>

namespace {

QByteArray pattern(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char(i * 31 + i / 251);
    return bytes;
}

} // namespace

TEST(ReadAheadStream, GivesTheSourceInOrderWhateverTheSizes)
{
    struct Case
    {
        const char *what;
        qint64 size;
        qint64 sourcePiece; // the most the source gives a call
        qint64 chunk;
        qint64 readSize;
        qint64 failAfter; // -1: the source ends cleanly
    };
    const Case cases[] = {
        {"empty", 0, 100, 4096, 100, -1},
        {"smaller than a chunk", 1000, 7, 4096, 13, -1},
        {"exactly a chunk", 4096, 4096, 4096, 4096, -1},
        {"many chunks, small reads", 100000, 333, 4096, 1, -1},
        {"many chunks, large reads", 100000, 5000, 4096, 70000, -1},
        {"a failure after the start", 50000, 1000, 4096, 999, 20000},
        {"a failure at once", 50000, 1000, 4096, 999, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray source = pattern(c.size);
        qint64 given = 0;
        bool calledAfterEnd = false, ended = false;
        ReadAheadStream stream(
            [&](char *data, qint64 max) -> qint64 {
                calledAfterEnd = calledAfterEnd || ended;
                if (c.failAfter >= 0 && given >= c.failAfter) {
                    ended = true;
                    return -1;
                }
                qint64 n = std::min({max, c.sourcePiece, qint64(source.size()) - given});
                if (c.failAfter >= 0)
                    n = std::min(n, c.failAfter - given);
                std::memcpy(data, source.constData() + given, size_t(n));
                given += n;
                ended = n == 0;
                return n;
            },
            c.chunk, 3);
        QByteArray got;
        QByteArray buffer(c.readSize, Qt::Uninitialized);
        qint64 n;
        while ((n = stream.read(buffer.data(), c.readSize)) > 0)
            got.append(buffer.constData(), n);
        EXPECT_EQ(n, c.failAfter >= 0 ? -1 : 0);
        // Every byte before a failure arrives, and the end stays the end.
        EXPECT_EQ(got, source.left(c.failAfter >= 0 ? c.failAfter : c.size));
        EXPECT_EQ(stream.read(buffer.data(), c.readSize), n);
        EXPECT_FALSE(calledAfterEnd);
    }
}

TEST(ReadAheadStream, StopsReadingWhenDroppedEarly)
{
    // An endless source: the stream reads only a few chunks ahead and its end
    // stops the thread.
    std::atomic<qint64> given = 0;
    {
        ReadAheadStream stream(
            [&](char *data, qint64 max) {
                std::memset(data, 'x', size_t(max));
                given += max;
                return max;
            },
            4096, 2);
        char byte = 0;
        ASSERT_EQ(stream.read(&byte, 1), 1);
        EXPECT_EQ(byte, 'x');
    }
    EXPECT_LE(given.load(), 4 * 4096);
}
