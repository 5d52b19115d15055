#include "support/XMLStreamWriter.h"

#include <functional>
#include <gtest/gtest.h>
#include <zlib.h>

namespace {

// The digest of a document's text written in pieces of `piece` bytes.
QByteArray digestOf(const QByteArray &text, qsizetype piece)
{
    XMLStreamWriter::Digest digest({"n", "ref"}, {"old"});
    for (qsizetype at = 0; at < text.size(); at += piece)
        digest.addText(text.constData() + at, std::min(piece, text.size() - at));
    return digest.toHex();
}

} // namespace

TEST(XMLStreamWriterDigest, ObjectsNumberedAfreshGiveTheSameDigest)
{
    const QByteArray base = "<g><n>17</n><old>0</old><x>5</x></g><g><n>4</n><ref>17</ref></g>";
    struct Case
    {
        const char *what;
        QByteArray text;
        bool same;
    };
    const Case cases[] = {
        {"numbered afresh", "<g><n>900</n><old>17</old><x>5</x></g><g><n>31</n><ref>900</ref></g>",
         true},
        {"another ignored value",
         "<g><n>17</n><old>99</old><x>5</x></g><g><n>4</n><ref>17</ref></g>", true},
        {"a reference to another object",
         "<g><n>17</n><old>0</old><x>5</x></g><g><n>4</n><ref>4</ref></g>", false},
        {"a value that is no identifier",
         "<g><n>17</n><old>0</old><x>6</x></g><g><n>4</n><ref>17</ref></g>", false},
        {"an element renamed", "<g><n>17</n><old>0</old><y>5</y></g><g><n>4</n><ref>17</ref></g>",
         false},
        {"words for numbers, one of them kept",
         "<g><n>x9</n><old>0</old><x>5</x></g><g><n>4</n><ref>x9</ref></g>", true},
        {"a reference with a leading zero",
         "<g><n>17</n><old>0</old><x>5</x></g><g><n>4</n><ref>017</ref></g>", false},
        {"a reference to minus zero", "<g><n>0</n><old>0</old><x>5</x></g><g><n>4</n><ref>-0</ref></g>",
         false},
        {"a number element that is not named",
         "<g><rn>17</rn><old>0</old><x>5</x></g><g><n>4</n><ref>17</ref></g>", false},
    };
    for (const qsizetype piece : {qsizetype(1), qsizetype(5), qsizetype(1000)}) {
        const QByteArray expected = digestOf(base, piece);
        EXPECT_EQ(expected, digestOf(base, 1000)) << "in pieces of " << piece;
        for (const Case &c : cases) {
            SCOPED_TRACE(testing::Message() << c.what << " in pieces of " << piece);
            EXPECT_EQ(digestOf(c.text, piece) == expected, c.same);
        }
    }
}

// Thousands of objects, numbered in ways that crowd one another or reach
// the longest numbers kept as numbers: every numbering gives one digest, and
// one reference moved gives another.
TEST(XMLStreamWriterDigest, ManyObjectsNumberedAnyWayGiveOneDigest)
{
    constexpr qint64 count = 5000;
    const auto text = [](const std::function<qint64(qint64)> &id, qint64 moved) {
        QByteArray t;
        for (qint64 i = 0; i < count; ++i) {
            // Forward references too: the first mention of a number sets its order.
            const qint64 ref = i == moved ? (i + 1) % count : (i * 7919 + 3) % count;
            t += "<g><n>" + QByteArray::number(id(i)) + "</n><ref>" + QByteArray::number(id(ref)) +
                 "</ref></g>";
        }
        return t;
    };
    const std::function<qint64(qint64)> numberings[] = {
        [](qint64 i) { return i; },
        [](qint64 i) { return -(i + 1) * 1048576; },
        [](qint64 i) { return 999999999999999999 - i * 1000003; },
        [](qint64 i) { return (count - i) * 4096; },
    };
    const QByteArray expected = digestOf(text(numberings[0], -1), 1000);
    for (const auto &id : numberings) {
        for (const qsizetype piece : {qsizetype(777), qsizetype(64 * 1024)}) {
            SCOPED_TRACE(testing::Message()
                         << "first number " << id(0) << " in pieces of " << piece);
            EXPECT_EQ(digestOf(text(id, -1), piece), expected);
            EXPECT_NE(digestOf(text(id, count / 2), piece), expected);
        }
    }
}

TEST(XMLStreamWriterDigest, StretchesCoverTheElementsNotTheirPlace)
{
    // The same elements written first or later, deeper or not, and with the
    // buffer flushed at other places within them give one digest.
    const auto digestOfStretch = [](int before, int depth, int padding) {
        XMLStreamWriter::Digest digest;
        XMLStreamWriter writer([](const char *, qint64) { return true; });
        writer.writeStartDocument();
        writer.writeStartElement(u"root");
        for (int i = 0; i < depth; ++i)
            writer.writeStartElement(u"deeper");
        for (int i = 0; i < before; ++i)
            writer.writeTextElement(u"before", QString(100, u'x'));
        writer.startDigest(&digest);
        for (int i = 0; i < padding; ++i)
            writer.writeTextElement(u"pad", QString(100, u'y'));
        writer.writeTextElement(u"b", QStringLiteral("value"));
        writer.stopDigest();
        writer.writeEndDocument();
        return digest.toHex();
    };
    EXPECT_EQ(digestOfStretch(3, 0, 0), digestOfStretch(0, 0, 0));
    EXPECT_EQ(digestOfStretch(0, 2, 0), digestOfStretch(0, 0, 0));
    EXPECT_NE(digestOfStretch(0, 0, 1), digestOfStretch(0, 0, 0));
    // Three thousand elements outgrow the buffer once or twice.
    EXPECT_EQ(digestOfStretch(1000, 0, 3000), digestOfStretch(0, 0, 3000));
    EXPECT_EQ(digestOfStretch(1777, 0, 3000), digestOfStretch(0, 0, 3000));

    // Nothing written in a stretch leaves the digest as it was.
    XMLStreamWriter::Digest empty, untouched;
    XMLStreamWriter writer([](const char *, qint64) { return true; });
    writer.writeStartElement(u"root");
    writer.startDigest(&empty);
    writer.stopDigest();
    EXPECT_EQ(empty.toHex(), untouched.toHex());
}

TEST(XMLStreamWriterDigest, LargePiecesTakenAsideGiveTheSameDigest)
{
    // Some 5 MB of numbered elements, a few with text longer than a piece,
    // given in pieces large enough to be taken on the worker in batches,
    // small ones between them, and raw bytes after: the digest of the same
    // text taken piece by piece at once.
    QByteArray text;
    for (int i = 0; i < 90000; ++i)
        text += "<g><n>" + QByteArray::number(i * 7 % 100003) + "</n><old>" + QByteArray::number(i) +
                "</old><x>" + QByteArray(i % 10000 == 7 ? 300000 : 20, char('a' + i % 26)) +
                "</x></g>";
    const QByteArray expected = digestOf(text, 1000);
    const QByteArray raw(70000, 'r');
    const auto withRaw = [&raw](XMLStreamWriter::Digest &digest) {
        digest.add(raw.constData(), raw.size());
        return digest.toHex();
    };
    XMLStreamWriter::Digest reference({"n", "ref"}, {"old"});
    for (qsizetype at = 0; at < text.size(); at += 1000)
        reference.addText(text.constData() + at, std::min<qsizetype>(1000, text.size() - at));
    const QByteArray expectedWithRaw = withRaw(reference);
    const std::vector<qsizetype> patterns[] = {
        {text.size()}, {16384}, {100000, 7, 300000, 3}, {20000, 1}, {262144}};
    for (const auto &pattern : patterns) {
        XMLStreamWriter::Digest digest({"n", "ref"}, {"old"});
        qsizetype at = 0;
        for (size_t k = 0; at < text.size(); ++k) {
            const qsizetype piece = std::min(pattern[k % pattern.size()], text.size() - at);
            digest.addText(text.constData() + at, piece);
            at += piece;
        }
        EXPECT_EQ(withRaw(digest), expectedWithRaw) << "first piece " << pattern.front();
    }
    EXPECT_NE(expected, digestOf(text.left(text.size() - 1), 1000));
}

// Long texts are checksummed in chunks apart and joined: the sums are those
// of the whole text, wherever the chunks and the pieces given fall.
TEST(XMLStreamWriterDigest, SumsTakenInPiecesAreTheSumsOfTheWhole)
{
    constexpr qsizetype chunk = 1024 * 1024;
    for (const qsizetype size : {qsizetype(0), qsizetype(1), chunk - 1, chunk, chunk + 1,
                                 5 * chunk + 3}) {
        SCOPED_TRACE(size);
        QByteArray text(size, Qt::Uninitialized);
        for (qsizetype i = 0; i < size; ++i)
            text[i] = char((i * 131 + i / 7) & 0xff);
        const auto *bytes = reinterpret_cast<const Bytef *>(text.constData());
        const QByteArray expected =
            QByteArray::number(quint32(crc32(0, bytes, uInt(size))), 16).rightJustified(8, '0') +
            QByteArray::number(quint32(adler32(1, bytes, uInt(size))), 16).rightJustified(8, '0') +
            '-' + QByteArray::number(size, 16);
        for (const qsizetype piece : {size + 1, qsizetype(4096), chunk / 3 + 1}) {
            XMLStreamWriter::Digest digest;
            for (qsizetype at = 0; at < size; at += piece)
                digest.add(text.constData() + at, std::min(piece, size - at));
            EXPECT_EQ(digest.toHex(), expected) << "pieces of " << piece;
        }
    }
}
