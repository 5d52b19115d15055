#include "model/ParallelGzipWriter.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace {

// Every member of a gzip stream inflated in turn; empty when any is damaged.
std::optional<QByteArray> gunzip(const QByteArray &data, int *members)
{
    QByteArray out;
    *members = 0;
    qsizetype at = 0;
    while (at < data.size()) {
        z_stream stream{};
        if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
            return std::nullopt;
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData() + at));
        stream.avail_in = uInt(data.size() - at);
        int status = Z_OK;
        char chunk[4096];
        while (status == Z_OK) {
            stream.next_out = reinterpret_cast<Bytef *>(chunk);
            stream.avail_out = sizeof chunk;
            status = inflate(&stream, Z_NO_FLUSH);
            out.append(chunk, qsizetype(sizeof chunk - stream.avail_out));
        }
        at += qsizetype(stream.total_in);
        inflateEnd(&stream);
        if (status != Z_STREAM_END)
            return std::nullopt;
        ++*members;
    }
    return out;
}

} // namespace

TEST(ParallelGzipWriter, MembersEndedEarlyStillMakeOneStreamOfTheText)
{
    struct Case
    {
        const char *what;
        qsizetype size;
        qint64 block;
        std::vector<qsizetype> ends; // where endMember() is called
        int members;
    };
    const Case cases[] = {
        {"one block, ended before the flush", 3000, 4096, {3000}, 1},
        {"ended twice in a row", 3000, 4096, {1000, 1000}, 2},
        {"ended mid-block, then the rest", 10000, 4096, {5000}, 4},
        {"ended on a block boundary", 8192, 4096, {4096}, 2},
        {"many blocks, ended at the end", 100000, 4096, {100000}, 25},
        {"nothing written", 0, 4096, {0}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray text(c.size, Qt::Uninitialized);
        for (qsizetype i = 0; i < text.size(); ++i)
            text[i] = char('a' + (i * 7 + i / 13) % 26);
        QByteArray out;
        ParallelGzipWriter gzip(
            [&out](const char *data, qint64 size) {
                out.append(data, qsizetype(size));
                return true;
            },
            6, c.block, 3);
        qsizetype written = 0;
        for (const qsizetype end : c.ends) {
            ASSERT_TRUE(gzip.write(text.constData() + written, end - written));
            written = end;
            gzip.endMember();
        }
        ASSERT_TRUE(gzip.write(text.constData() + written, text.size() - written));
        ASSERT_TRUE(gzip.flush());
        int members = 0;
        EXPECT_EQ(gunzip(out, &members), std::optional<QByteArray>(text));
        EXPECT_EQ(members, c.members);
        EXPECT_EQ(gzip.bytesIn(), c.size);
        EXPECT_EQ(gzip.bytesOut(), out.size());
    }
}

TEST(ParallelGzipWriter, SharedPiecesGoInOrderWithCopiedText)
{
    // Sizes written in turn; a negative one is handed over shared. Blocks of
    // 4096: a shared piece of 1024 or more is a member of its own.
    struct Case
    {
        const char *what;
        std::vector<qsizetype> writes;
        int members;
    };
    const Case cases[] = {
        {"a shared piece after copied text ends its member", {100, -2000, 50}, 3},
        {"a small shared piece is copied", {100, -500, 50}, 1},
        {"a shared piece larger than a block stays whole", {-10000, 4096}, 2},
        {"more pieces than are held in flight", std::vector<qsizetype>(40, -1500), 40},
        {"blocks taken again after compression", std::vector<qsizetype>(30, 4096), 30},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray out, text;
        ParallelGzipWriter gzip(
            [&out](const char *data, qint64 size) {
                out.append(data, qsizetype(size));
                return true;
            },
            6, 4096, 3);
        std::vector<std::pair<QByteArray, QByteArray>> shared; // piece, its copy
        for (const qsizetype write : c.writes) {
            QByteArray piece(std::abs(write), Qt::Uninitialized);
            for (qsizetype i = 0; i < piece.size(); ++i)
                piece[i] = char('a' + (text.size() + i * 7 + i / 13) % 26);
            text += piece;
            if (write < 0) {
                ASSERT_TRUE(gzip.writeShared(piece));
                shared.emplace_back(piece, QByteArray(piece.constData(), piece.size()));
            } else {
                ASSERT_TRUE(gzip.write(piece));
            }
        }
        ASSERT_TRUE(gzip.flush());
        int members = 0;
        EXPECT_EQ(gunzip(out, &members), std::optional<QByteArray>(text));
        EXPECT_EQ(members, c.members);
        EXPECT_EQ(gzip.bytesIn(), text.size());
        for (const auto &[piece, copy] : shared)
            EXPECT_EQ(piece, copy) << "a shared piece was changed";
    }
}
