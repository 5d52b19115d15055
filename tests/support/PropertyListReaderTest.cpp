#include "support/PropertyListReader.h"

#include "BinaryPlistWriter.h"
#include "TestHelpers.h"

#include <QDateTime>
#include <QStringEncoder>
#include <QTimeZone>
#include <QVariantList>
#include <QVariantMap>
#include <limits>

namespace {

using Format = PropertyListReader::Format;

std::optional<QVariant> read(const QByteArray &data, QString *error = nullptr,
                             Format *format = nullptr)
{
    return PropertyListReader::propertyListFromData(data, format, error);
}

QVariantMap map(std::initializer_list<std::pair<QString, QVariant>> entries)
{
    QVariantMap m;
    for (const auto &[k, v] : entries)
        m.insert(k, v);
    return m;
}

struct TextCase
{
    const char *name;
    QByteArray text;
    QVariant expected;
};

TEST(PropertyListReader, ReadsTheOldASCIIForm)
{
    const TextCase cases[] = {
        {"unquoted", "abc_$/:.-9", QStringLiteral("abc_$/:.-9")},
        {"quoted", "\"a b\"", QStringLiteral("a b")},
        {"single quoted", "'it\\'s'", QStringLiteral("it's")},
        {"escapes", R"("q\"\\\n\t\101\U00e9\U263A")", QStringLiteral("q\"\\\n\tA\u00e9\u263A")},
        {"dictionary", "{ a = b; \"c d\" = (1, 2,); e = {}; }",
         map({{"a", "b"}, {"c d", QVariantList{"1", "2"}}, {"e", QVariantMap()}})},
        {"data", "<0fA1 b2>", QByteArray("\x0f\xa1\xb2", 3)},
        {"empty data", "<>", QByteArray()},
        {"comments", "/* one */ ( a, // two\n b )", QVariantList{"a", "b"}},
        {"empty array", "( )", QVariantList()},
        {"UTF-8", "\"Gr\xc3\xbc\xc3\x9f\"", QStringLiteral("Grüß")},
        {"Mac Roman", "\"caf\x8e\"", QStringLiteral("café")},
        {"later key wins", "{a = 1; a = 2;}", map({{"a", "2"}})},
    };
    for (const TextCase &c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        Format format = Format::XML;
        const std::optional<QVariant> value = read(c.text, &error, &format);
        ASSERT_TRUE(value) << error.toStdString();
        EXPECT_EQ(format, Format::OpenStep);
        EXPECT_EQ(*value, c.expected);
    }

    // A UTF-16 file with its byte-order mark.
    QStringEncoder utf16(QStringEncoder::Utf16BE, QStringEncoder::Flag::WriteBom);
    const QByteArray wide = utf16(QStringLiteral("{ name = \"\u65e5\u672c\"; }"));
    EXPECT_EQ(read(wide), QVariant(map({{"name", QStringLiteral("\u65e5\u672c")}})));
}

TEST(PropertyListReader, RefusesMalformedASCIIWithTheLine)
{
    const struct
    {
        QByteArray text;
        const char *message;
    } cases[] = {
        {"", "holds no value"},
        {"\"open", "unterminated string on line 1"},
        {"{ a = b }", "missing \";\""},
        {"{ a b; }", "missing \"=\""},
        {"{ (a) = b; }", "key must be a string"},
        {"(a b)", "missing \",\""},
        {"(a,\n\n", "closing \")\" on line 3"},
        {"<abc>", "odd number of hex digits"},
        {"<zz>", "only hex digits"},
        {"/* never closed", "unterminated comment"},
        {"a b", "unexpected \"b\" after the value"},
        {"{ a = ; }", "where a value is expected"},
        {"\x04", "unexpected U+0004 where a value is expected"},
        {"\"\\U\"", "without hex digits"},
        {QByteArray(300, '('), "nested deeper than 256 levels"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.left(40).toStdString());
        QString error;
        EXPECT_FALSE(read(c.text, &error));
        EXPECT_TRUE(error.startsWith(QLatin1String("Malformed property list: ")))
            << error.toStdString();
        EXPECT_TRUE(error.contains(QLatin1String(c.message))) << error.toStdString();
    }
}

TEST(PropertyListReader, ReadsBinaryValuesOfEveryKind)
{
    const QDateTime date = QDateTime(QDate(2004, 2, 29), QTime(13, 14, 15, 500), QTimeZone::utc());
    const QVariant cases[] = {
        QVariant(true),
        QVariant(false),
        QVariant(qlonglong(7)),
        QVariant(qlonglong(300)),
        QVariant(qlonglong(70000)),
        QVariant(qlonglong(5000000000)),
        QVariant(qlonglong(-2)),
        QVariant(std::numeric_limits<qlonglong>::min()),
        QVariant(qulonglong(18000000000000000000ULL)),
        QVariant(2.5),
        QVariant(QDateTime(QDate(1999, 1, 1), QTime(0, 0), QTimeZone::utc())),
        QVariant(date),
        QVariant(QByteArray("\0\1\2", 3)),
        QVariant(QByteArray(40, 'x')), // a count after the marker
        QVariant(QStringLiteral("plain")),
        QVariant(QStringLiteral("\u00e9t\u00e9 \U0001F600")),
        QVariant(QString()),
        QVariant(QVariantList{1, QStringLiteral("two"), QVariantList{}}),
        QVariant(
            map({{"rootNode", map({{"children", QVariantList{map({{"x", 1}})}}})}, {"zoom", 1.5}})),
    };
    for (const QVariant &value : cases) {
        SCOPED_TRACE(value.toString().toStdString());
        QString error;
        Format format = Format::XML;
        const std::optional<QVariant> back =
            read(BinaryPlistWriter::encode(value), &error, &format);
        ASSERT_TRUE(back) << error.toStdString();
        EXPECT_EQ(format, Format::Binary);
        // Integers come back as 64-bit whatever their width in the file.
        if (value.metaType().id() == QMetaType::Int)
            EXPECT_EQ(back->toLongLong(), value.toLongLong());
        else
            EXPECT_EQ(*back, value);
    }
    // A float of four bytes reads as a double; a UID as the XML form writes it.
    EXPECT_EQ(read(BinaryPlistWriter::assemble({QByteArray::fromHex("2240200000")})),
              QVariant(2.5));
    EXPECT_EQ(read(BinaryPlistWriter::assemble({QByteArray::fromHex("810102")})),
              QVariant(map({{"CF$UID", qulonglong(258)}})));
}

TEST(PropertyListReader, ReadsABinaryListAnotherWriterMade)
{
    // Python's plistlib wrote this from {"a": [1, 2.5, "\u00e9t\u00e9", b"\0\1", True,
    // -7, 2**40], "date": 2003-05-06 07:08:09, "nested": {"k": "v"}}.
    const QByteArray file = QByteArray::fromHex(
        "62706c6973743030d3010203040c0d51615464617465566e6573746564a705060708090a0b10012340"
        "040000000000006300e9007400e94200010913fffffffffffffff91300000100000000003341919e5b"
        "64000000d10e0f516b5176080f11161d252730373a3b444d56595b0000000000000101000000000000"
        "00100000000000000000000000000000005d");
    const QVariantList a{qlonglong(1),          2.5,  QStringLiteral("\u00e9t\u00e9"),
                         QByteArray("\0\1", 2), true, qlonglong(-7),
                         qlonglong(1) << 40};
    EXPECT_EQ(
        read(file),
        QVariant(map({{"a", a},
                      {"date", QDateTime(QDate(2003, 5, 6), QTime(7, 8, 9), QTimeZone::utc())},
                      {"nested", map({{"k", "v"}})}})));
}

TEST(PropertyListReader, RefusesDamagedOrHostileBinaryLists)
{
    using namespace BinaryPlistWriter;
    const QByteArray string = marker(0x5, 1) + "a";
    QByteArray badTableOffset = assemble({string});
    badTableOffset[badTableOffset.size() - 1] = char(0xF0);
    QByteArray badCount = assemble({string});
    badCount[badCount.size() - 17] = char(0x7F);
    QByteArray badTop = assemble({string});
    badTop[badTop.size() - 9] = char(5);
    QByteArray badOffset = assemble({string});
    badOffset[badOffset.size() - 33] = char(0xEE);
    QByteArray wideRefs = assemble({string});
    wideRefs[wideRefs.size() - 25] = char(9);

    // Array i holds array i + 1 twice: 2^40 values from a few hundred bytes.
    QList<QByteArray> bomb;
    for (int i = 0; i < 40; ++i)
        bomb.append(marker(0xA, 2) + QByteArray(2, char(i + 1)));
    bomb.append(string);

    const struct
    {
        const char *name;
        QByteArray data;
        const char *message;
    } cases[] = {
        {"too short", "bplist00", "too short"},
        {"other version", "bplist15" + QByteArray(40, '\0'), "not supported"},
        {"table outside", badTableOffset, "offset table lies outside"},
        {"too many objects", badCount, "do not fit the offset table"},
        {"top missing", badTop, "top object 5 does not exist"},
        {"offset outside", badOffset, "lies outside the objects"},
        {"reference size", wideRefs, "references of 9 bytes"},
        {"reference beyond", assemble({marker(0xA, 1) + QByteArray(1, char(7)), string}),
         "reference to object 7 of 2"},
        {"contains itself", assemble({marker(0xA, 1) + QByteArray(1, char(0))}),
         "object 0 contains itself"},
        {"mutual containment",
         assemble({marker(0xA, 1) + QByteArray(1, char(1)),
                   marker(0xD, 1) + QByteArray("\x02\x00", 2), string}),
         "object 0 contains itself"},
        {"string past end", assemble({marker(0x5, 14) + "ab"}), "runs past the objects"},
        {"huge count", assemble({QByteArray::fromHex("5f13ffffffffffffffff")}),
         "runs past the objects"},
        {"count no integer", assemble({QByteArray::fromHex("5f2200000001")}),
         "count that is no integer"},
        {"key no string",
         assemble({marker(0xD, 1) + "\x01\x01", QByteArray(1, char(0x10)) + "\x01"}),
         "key that is no string"},
        {"null", assemble({QByteArray(1, '\0')}), "null or fill"},
        {"unknown marker", assemble({QByteArray(1, char(0x70))}), "unknown marker 0x70"},
        {"integer beyond 64 bits",
         assemble({QByteArray::fromHex("14") + bigEndian(1, 8) + bigEndian(0, 8)}),
         "beyond 64 bits"},
        {"date out of range", assemble({QByteArray::fromHex("337ff0000000000000")}),
         "out of range"},
        {"expansion bomb", assemble(bomb), "more than 4194304 values"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        EXPECT_FALSE(read(c.data, &error));
        EXPECT_TRUE(error.startsWith(QLatin1String("Malformed binary property list: ")))
            << error.toStdString();
        EXPECT_TRUE(error.contains(QLatin1String(c.message))) << error.toStdString();
    }
}

TEST(PropertyListReader, EveryCutOfABinaryListFailsCleanly)
{
    const QByteArray whole = BinaryPlistWriter::encode(
        map({{"a", QVariantList{1, 2.5, QStringLiteral("\u00e9")}}, {"b", QByteArray("xyz")}}));
    ASSERT_TRUE(read(whole));
    // Shorter than "bplist", the bytes are a word of the ASCII form.
    for (qsizetype n = 6; n < whole.size(); ++n) {
        QString error;
        EXPECT_FALSE(read(whole.left(n), &error)) << n;
        EXPECT_FALSE(error.isEmpty()) << n;
    }
}

TEST(PropertyListReader, HandsXMLToTheXMLReader)
{
    const QByteArray xml = "\xEF\xBB\xBF<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                           "<key>versionNumber</key><integer>3</integer></dict></plist>";
    Format format = Format::Binary;
    EXPECT_EQ(read(xml, nullptr, &format), QVariant(map({{"versionNumber", qlonglong(3)}})));
    EXPECT_EQ(format, Format::XML);
    QString error;
    EXPECT_FALSE(read("<plist><dict><key>a</key></dict></plist>", &error));
    EXPECT_TRUE(error.contains(QLatin1String("without a value"))) << error.toStdString();
    // Angle brackets alone begin data in the ASCII form.
    EXPECT_EQ(PropertyListReader::formatOfData("<00ff>"), Format::OpenStep);
}

} // namespace
