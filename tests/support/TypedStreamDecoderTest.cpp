#include "support/TypedStreamDecoder.h"

#include "ImageTestData.h"
#include "TestHelpers.h"
#include "TypedStreamWriter.h"
#include "support/Image.h"

#include <QVariantList>
#include <QVariantMap>
#include <functional>

namespace {

using Write = std::function<void(TypedStreamWriter &)>;

std::optional<QVariant> decode(const QByteArray &data, QString *error = nullptr,
                               const TypedStreamDecoder::Limits &limits = {})
{
    return TypedStreamDecoder::unarchiveObjectWithData(data, error, limits);
}

AttributedString styledText()
{
    AttributedString text(QStringLiteral("Bold, plain and linked \u00e9"));
    text.addAttribute(NSFontAttributeName, QVariant::fromValue(Font("Helvetica-Bold", 14)), {0, 4});
    text.addAttribute(NSForegroundColorAttributeName,
                      QVariant::fromValue(Color::colorWithCalibratedRed(1, 0, 0.5)), {0, 4});
    text.addAttribute(NSUnderlineStyleAttributeName, 1, {6, 5});
    text.addAttribute(NSKernAttributeName, 1.5, {12, 3});
    text.addAttribute(NSLinkAttributeName, QUrl(QStringLiteral("http://example.com/a")), {16, 6});
    // The same dictionary again, which the archive refers to by number.
    text.addAttribute(NSUnderlineStyleAttributeName, 1, {23, 1});
    ParagraphStyle centred;
    centred.alignment = CenterTextAlignment;
    centred.tabStops = {TextTab(LeftTextAlignment, 36), TextTab(RightTextAlignment, 72.5)};
    text.addAttribute(NSParagraphStyleAttributeName, QVariant::fromValue(centred), {0, 24});
    return text;
}

struct RoundTrip
{
    const char *name;
    Write write;
    QVariant expected;
};

TEST(TypedStreamDecoder, ReadsBackWhatTheArchiverWrote)
{
    const QByteArray tiff = ImageTestData::encoded("tiff");
    Image image = *Image::initWithData(tiff);
    image.setSize(Size(30, 20.5f));
    ParagraphStyle justified;
    justified.alignment = JustifiedTextAlignment;
    justified.tabStops = {};
    const Color grey = Color::colorWithCalibratedWhite(0.25, 0.5);
    const AttributedString styled = styledText();

    const RoundTrip cases[] = {
        {"string", [](auto &w) { w.string(QStringLiteral("Gr\u00fc\u00dfe \u263a")); },
         QStringLiteral("Gr\u00fc\u00dfe \u263a")},
        {"empty string", [](auto &w) { w.string(QString()); }, QString()},
        {"mutable string", [](auto &w) { w.string(QStringLiteral("m"), true); },
         QStringLiteral("m")},
        {"data", [](auto &w) { w.data(QByteArray("\0a\xff", 3)); }, QByteArray("\0a\xff", 3)},
        {"int", [](auto &w) { w.integerNumber(42); }, qlonglong(42)},
        {"two-byte int", [](auto &w) { w.integerNumber(-3000); }, qlonglong(-3000)},
        {"four-byte int", [](auto &w) { w.integerNumber(123456789); }, qlonglong(123456789)},
        {"BOOL", [](auto &w) { w.integerNumber(1, 'c'); }, qlonglong(1)},
        {"unsigned", [](auto &w) { w.integerNumber(4000000000LL, 'I'); }, qlonglong(4000000000LL)},
        {"float", [](auto &w) { w.realNumber(0.1, 'f'); }, double(0.1f)},
        {"double", [](auto &w) { w.realNumber(-2.75e10); }, -2.75e10},
        {"array",
         [](auto &w) {
             w.array({[](auto &w) { w.string(QStringLiteral("a")); },
                      [](auto &w) { w.integerNumber(2); }, [](auto &w) { w.array({}); }});
         },
         QVariantList{QStringLiteral("a"), qlonglong(2), QVariantList()}},
        {"dictionary",
         [](auto &w) {
             w.dictionary({{QStringLiteral("k"), [](auto &w) { w.string(QStringLiteral("v")); }},
                           {QStringLiteral("n"), [](auto &w) { w.realNumber(0.5); }}});
         },
         QVariantMap{{QStringLiteral("k"), QStringLiteral("v")}, {QStringLiteral("n"), 0.5}}},
        {"calibrated RGB",
         [](auto &w) { w.color(Color::colorWithCalibratedRed(0.2, 0.4, 1, 0.75)); },
         QVariant::fromValue(Color::colorWithCalibratedRed(double(0.2f), double(0.4f), 1, 0.75))},
        {"device RGB", [](auto &w) { w.color(Color::colorWithDeviceRed(1, 0, 0)); },
         QVariant::fromValue(Color::colorWithDeviceRed(1, 0, 0))},
        {"calibrated white", [grey](auto &w) { w.color(grey); }, QVariant::fromValue(grey)},
        {"device white", [](auto &w) { w.color(Color::colorWithDeviceWhite(1)); },
         QVariant::fromValue(Color::colorWithDeviceWhite(1))},
        {"CMYK", [](auto &w) { w.cmykColor(0, 1, 1, 0.5, 1); },
         QVariant::fromValue(Color::colorWithDeviceRed(0.5, 0, 0))},
        {"named with its colour", [grey](auto &w) { w.namedColor("Crayons", "Lead", &grey); },
         QVariant::fromValue(grey)},
        {"named from the catalog",
         [](auto &w) { w.namedColor("System", "textBackgroundColor", nullptr); },
         QVariant::fromValue(Color::whiteColor())},
        {"font", [](auto &w) { w.font(Font("Times-Roman", 13.5)); },
         QVariant::fromValue(Font("Times-Roman", 13.5))},
        {"paragraph style", [justified](auto &w) { w.paragraphStyle(justified); },
         QVariant::fromValue(justified)},
        {"attributed string", [styled](auto &w) { w.attributedString(styled); },
         QVariant::fromValue(styled)},
        {"mutable attributed string", [styled](auto &w) { w.attributedString(styled, true); },
         QVariant::fromValue(styled)},
        {"image", [tiff](auto &w) { w.image(tiff, 30, 20.5f); }, QVariant::fromValue(image)},
    };
    for (bool bigEndian : {false, true}) {
        for (const RoundTrip &c : cases) {
            SCOPED_TRACE(std::string(c.name) + (bigEndian ? " big-endian" : ""));
            QString error;
            const std::optional<QVariant> value =
                decode(TypedStreamWriter::archive(c.write, bigEndian), &error);
            ASSERT_TRUE(value) << error.toStdString();
            EXPECT_EQ(value->metaType(), c.expected.metaType()) << value->typeName();
            EXPECT_TRUE(*value == c.expected);
        }
    }
}

TEST(TypedStreamDecoder, ReadsAnArchiveThePlatformWrote)
{
    // An attributed string as the platform archived it: "Fesker" with one run
    // whose attribute is a number.
    // fromHex skips the spaces.
    const QByteArray archive = QByteArray::fromHex("04 0B 73 74 72 65 61 6D 74 79 70 65 64 81 E8 03"
                                                   "84 01 40 84 84 84 12 4E 53 41 74 74 72 69 62 75"
                                                   "74 65 64 53 74 72 69 6E 67 00 84 84 08 4E 53 4F"
                                                   "62 6A 65 63 74 00 85 92 84 84 84 08 4E 53 53 74"
                                                   "72 69 6E 67 01 94 84 01 2B 06 46 65 73 6B 65 72"
                                                   "86 84 02 69 49 01 06 92 84 84 84 0C 4E 53 44 69"
                                                   "63 74 69 6F 6E 61 72 79 00 94 84 01 69 01 92 84"
                                                   "96 96 1D 5F 5F 6B 49 4D 4D 65 73 73 61 67 65 50"
                                                   "61 72 74 41 74 74 72 69 62 75 74 65 4E 61 6D 65"
                                                   "86 92 84 84 84 08 4E 53 4E 75 6D 62 65 72 00 84"
                                                   "84 07 4E 53 56 61 6C 75 65 00 94 84 01 2A 84 99"
                                                   "99 00 86 86 86");
    QString error;
    const std::optional<QVariant> value = decode(archive, &error);
    ASSERT_TRUE(value) << error.toStdString();
    ASSERT_EQ(value->metaType(), QMetaType::fromType<AttributedString>());
    AttributedString expected(QStringLiteral("Fesker"));
    expected.addAttribute(QStringLiteral("__kIMMessagePartAttributeName"), 0.0, {0, 6});
    EXPECT_TRUE(value->value<AttributedString>() == expected);
}

TEST(TypedStreamDecoder, SkipsWhatItDoesNotRead)
{
    LogCapture log;
    const QByteArray unknown = TypedStreamWriter::archive([](TypedStreamWriter &w) {
        w.array({[](TypedStreamWriter &w) {
                     w.beginObject({"XYStrangeThing", "NSObject"});
                     w.types("i@{?=ff}");
                     w.integer(5);
                     w.string(QStringLiteral("inside"));
                     w.real(1.5, false);
                     w.real(2, false);
                     w.endObject();
                 },
                 [](TypedStreamWriter &w) { w.namedColor("System", "noSuchColor", nullptr); },
                 [](TypedStreamWriter &w) { w.string(QStringLiteral("after")); }});
    });
    const std::optional<QVariant> value = decode(unknown);
    ASSERT_TRUE(value);
    EXPECT_EQ(*value, QVariant(QVariantList{
                          QVariant::fromValue(ArchivedObject{QStringLiteral("XYStrangeThing")}),
                          QVariant::fromValue(ArchivedObject{QStringLiteral("NSColor")}),
                          QStringLiteral("after")}));
    EXPECT_EQ(log.containing(QStringLiteral("class XYStrangeThing, which is not read")), 1);
    EXPECT_EQ(log.containing(QStringLiteral("\"System noSuchColor\" is unknown")), 1);

    // The typed accessor answers only for the kind asked for.
    const QByteArray red = TypedStreamWriter::archive(
        [](TypedStreamWriter &w) { w.color(Color::colorWithDeviceRed(1, 0, 0)); });
    EXPECT_EQ(TypedStreamDecoder::unarchivedValue<Color>(red), Color::colorWithDeviceRed(1, 0, 0));
    EXPECT_FALSE(TypedStreamDecoder::unarchivedValue<Font>(red));
    EXPECT_EQ(log.containing(QStringLiteral("expected Font but the archive holds Color")), 1);
}

TEST(TypedStreamDecoder, ClipsRunsOutsideTheText)
{
    LogCapture log;
    const QByteArray archive = TypedStreamWriter::archive([](TypedStreamWriter &w) {
        w.beginObject({"NSAttributedString", "NSObject"});
        w.types("@");
        w.string(QStringLiteral("abc"));
        const auto underline = [](int style) {
            return [style](TypedStreamWriter &w) {
                w.dictionary({{NSUnderlineStyleAttributeName,
                               [style](TypedStreamWriter &w) { w.integerNumber(style); }}});
            };
        };
        w.types("iI");
        w.integer(1);
        w.integer(2);
        w.types("@");
        underline(1)(w);
        w.types("iI"); // runs past the end: clipped
        w.integer(2);
        w.integer(5);
        w.types("@");
        underline(2)(w);
        w.types("iI"); // a dictionary never defined
        w.integer(9);
        w.integer(1);
        w.endObject();
    });
    const std::optional<QVariant> value = decode(archive);
    ASSERT_TRUE(value);
    AttributedString expected(QStringLiteral("abc"));
    expected.addAttribute(NSUnderlineStyleAttributeName, 1, {0, 2});
    expected.addAttribute(NSUnderlineStyleAttributeName, 2, {2, 1});
    EXPECT_TRUE(value->value<AttributedString>() == expected);
    EXPECT_EQ(log.containing(QStringLiteral("does not fit a text of 3 characters")), 1);
}

TEST(TypedStreamDecoder, RefusesDamagedOrHostileArchives)
{
    const auto raw = [](const Write &write) {
        TypedStreamWriter w;
        write(w);
        return w.data();
    };
    QByteArray version3 = TypedStreamWriter::archive([](auto &w) { w.string("x"); });
    version3[0] = 3;
    QByteArray signature = version3;
    signature[0] = 4;
    signature[5] = 'X';

    // Each array holds the one before twice: 2^30 values in a few hundred bytes.
    const Write bomb = [](TypedStreamWriter &w) {
        TypedStreamWriter::Writes items;
        auto previous = std::make_shared<int>(-1);
        items.append([previous](TypedStreamWriter &w) {
            *previous = w.tableSize();
            w.string("leaf");
        });
        for (int i = 0; i < 30; ++i)
            items.append([previous](TypedStreamWriter &w) {
                const int before = *previous;
                *previous = w.tableSize();
                w.array({[before](auto &w) { w.objectReference(before); },
                         [before](auto &w) { w.objectReference(before); }});
            });
        w.array(items);
    };
    const Write deep = [](TypedStreamWriter &w) {
        std::function<void(TypedStreamWriter &, int)> nest = [&nest](TypedStreamWriter &w,
                                                                     int level) {
            if (level == 0)
                w.string("bottom");
            else
                w.array({[&nest, level](auto &w) { nest(w, level - 1); }});
        };
        nest(w, 200);
    };

    const struct
    {
        const char *name;
        QByteArray data;
        const char *message;
    } cases[] = {
        {"empty", QByteArray(), "ends early"},
        {"version", version3, "version 3 is not supported"},
        {"signature", signature, "no typedstream signature"},
        {"root no object", raw([](auto &w) {
             w.types("i");
             w.integer(1);
         }),
         "does not begin with an object"},
        {"contains itself", TypedStreamWriter::archive([](auto &w) {
             const int self = w.beginObject({"NSArray", "NSObject"});
             w.types("i@");
             w.integer(1);
             w.objectReference(self);
             w.endObject();
         }),
         "object 0 contains itself"},
        {"reference beyond", TypedStreamWriter::archive([](auto &w) { w.objectReference(50); }),
         "reference to object 50 of 0"},
        {"string reference beyond", raw([](auto &w) { w.label(3); }), "reference to string 3 of 0"},
        {"class loop", TypedStreamWriter::archive([](auto &w) {
             w.byte(0x84);
             w.byte(0x84);
             w.sharedString("Loop");
             w.integer(0);
             w.label(1);
             w.endObject();
         }),
         "looping superclass chain"},
        {"object as class", TypedStreamWriter::archive([](auto &w) {
             w.byte(0x84);
             w.label(0);
         }),
         "where a class is expected"},
        {"class without name", TypedStreamWriter::archive([](auto &w) {
             w.byte(0x84);
             w.byte(0x84);
             w.nil();
         }),
         "class without a name"},
        {"pointer type", TypedStreamWriter::archive([](auto &w) {
             w.beginObject({"NSObject"});
             w.types("^i");
         }),
         "type \"^i\" is not supported"},
        {"unclosed structure", TypedStreamWriter::archive([](auto &w) {
             w.beginObject({"NSObject"});
             w.types("{a=ii");
         }),
         "unclosed structure"},
        {"block past end", TypedStreamWriter::archive([](auto &w) {
             w.beginObject({"NSString", "NSObject"});
             w.types("+");
             w.integer(2000000000);
         }),
         "block of 2000000000 bytes runs past the end"},
        {"array past end", TypedStreamWriter::archive([](auto &w) {
             w.beginObject({"NSObject"});
             w.types("[99999i]");
         }),
         "array of 99999 elements runs past the end"},
        {"C string without tag", TypedStreamWriter::archive([](auto &w) {
             w.beginObject({"NSNumber", "NSValue", "NSObject"});
             w.types("*");
             w.byte(0x83);
         }),
         "where a C string is expected"},
        {"tag as number", TypedStreamWriter::archive([](auto &w) {
             w.beginObject({"NSData", "NSObject"});
             w.types("i");
             w.byte(0x86);
         }),
         "tag 0x86 where a number is expected"},
        {"too deep", TypedStreamWriter::archive(deep), "nested deeper than 128 levels"},
        {"expansion bomb", TypedStreamWriter::archive(bomb), "expands to more than"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        EXPECT_FALSE(decode(c.data, &error));
        EXPECT_TRUE(error.startsWith(QLatin1String("Malformed archive: "))) << error.toStdString();
        EXPECT_TRUE(error.contains(QLatin1String(c.message))) << error.toStdString();
    }

    QString error;
    TypedStreamDecoder::Limits small;
    small.maxBytes = 4;
    EXPECT_FALSE(
        decode(TypedStreamWriter::archive([](auto &w) { w.string("hello"); }), &error, small));
    EXPECT_TRUE(error.contains(QLatin1String("block of 5 bytes is too large")))
        << error.toStdString();
}

TEST(TypedStreamDecoder, EveryCutOfAnArchiveFailsCleanly)
{
    const QByteArray tiff = ImageTestData::encoded("tiff");
    const QByteArray whole = TypedStreamWriter::archive([&tiff](TypedStreamWriter &w) {
        w.array({[](auto &w) { w.attributedString(styledText()); },
                 [&tiff](auto &w) { w.image(tiff, 3, 2); }});
    });
    ASSERT_TRUE(decode(whole));
    LogCapture quiet;
    for (qsizetype n = 0; n < whole.size(); ++n) {
        QString error;
        EXPECT_FALSE(decode(whole.left(n), &error)) << n;
        EXPECT_FALSE(error.isEmpty()) << n;
    }
}

} // namespace
