#include "support/TWXMLValues.h"
#include "TestHelpers.h"
#include "TestSwatch.h"
#include "support/AttributedString.h"
#include "support/CalendarDate.h"
#include "support/Color.h"
#include "support/Font.h"
#include "support/OrderedDictionary.h"
#include "support/ParagraphStyle.h"
#include "support/Shadow.h"
#include "support/TWXMLProtocol.h"

#include <clocale>
#include <cmath>

using namespace XMLTest;

namespace {

const QString kNotCreated = QStringLiteral("Object could not be created from XML element: %1");

// Integral values are written as integers, others with six decimals unless
// that loses them.
TEST(NumberXML, Text)
{
    const std::pair<QVariant, const char *> cases[] = {
        {2.0, "2"},
        {-0.0, "0"},
        {true, "1"},
        {123456789012LL, "123456789012"},
        {123456789012.0, "123456789012"},
        {QVariant::fromValue(18446744073709551615ULL), "18446744073709551615"},
        {2.5, "2.500000"},
        {-0.25, "-0.250000"},
        {0.1f, "0.100000"},
        {1e-7, "0.0000001"},
        {3.0000001, "3.0000001"},
        {1e20, "100000000000000000000.000000"}};
    for (const auto &[value, text] : cases)
        EXPECT_EQ(TWXML::numberText(value), text) << text;
    EXPECT_EQ(compact(TWXML::numberFreshXMLElement(3)), "<NSNumber>3</NSNumber>");

    // Read as an integer when both readings agree.
    const std::tuple<const char *, QMetaType::Type, double> readings[] = {
        {"2.000000", QMetaType::Int, 2},
        {"0.100000", QMetaType::Double, 0.1},
        {"123456789012", QMetaType::LongLong, 123456789012.0},
        {"-2147483649", QMetaType::LongLong, -2147483649.0},
        {" 7 ", QMetaType::Int, 7},
        {"abc", QMetaType::Int, 0},
        {"", QMetaType::Int, 0},
        {"-99999999999999999999", QMetaType::Double, -1e20}};
    for (const auto &[text, type, value] : readings) {
        const QVariant v = TWXML::numberFromText(text);
        EXPECT_EQ(v.typeId(), type) << text;
        EXPECT_EQ(v.toDouble(), value) << text;
    }
    EXPECT_FALSE(TWXML::numberWithXMLElement(XMLElement()).isValid());
}

TEST(NumberXML, RoundTripKeepsEveryValue)
{
    const QVariant values[] = {1.0 / 3.0,          M_PI,    1e-300,       -1234.5678, 1e300,
                               9007199254740993LL, INT_MIN, 4294967296.0, 2.5e-5};
    for (const QVariant &v : values) {
        const QVariant back = TWXML::numberWithXMLElement(TWXML::numberFreshXMLElement(v));
        if (v.typeId() == QMetaType::LongLong)
            EXPECT_EQ(back.toLongLong(), v.toLongLong());
        else
            EXPECT_EQ(back.toDouble(), v.toDouble()) << v.toString().toStdString();
    }
    EXPECT_EQ(TWXML::numberFromText(TWXML::numberText(QVariant(0.3f))).toFloat(), 0.3f);
}

TEST(NumberXML, TextDoesNotFollowTheProcessLocale)
{
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "de_DE"))
        GTEST_SKIP() << "no German locale installed";
    EXPECT_EQ(TWXML::numberText(2.5), "2.500000");
    EXPECT_EQ(TWXML::numberFromText("2.500000").toDouble(), 2.5);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(DataXML, Base64BothWaysAndDamageIsLogged)
{
    EXPECT_EQ(compact(TWXML::dataFreshXMLElement("Hello")), "<NSData>SGVsbG8=</NSData>");
    EXPECT_EQ(compact(TWXML::dataFreshXMLElement(QByteArray())), "<NSData/>");
    EXPECT_EQ(TWXML::dataWithXMLElement(element("<NSData/>")), QByteArray(""));
    EXPECT_EQ(TWXML::dataWithXMLElement(element("<NSData>\n SGVs\n bG8=\n</NSData>")), "Hello");
    LogCapture log;
    EXPECT_EQ(TWXML::dataWithXMLElement(element("<NSData>SGVsbG8</NSData>")), std::nullopt);
    EXPECT_EQ(log.lines(), QStringList{"Base64Error: Premature end of Base64 string"});
    EXPECT_EQ(TWXML::dataWithXMLElement(element("<NSData>SGVs\xC3\xA9</NSData>")), std::nullopt);
    EXPECT_EQ(TWXML::dataWithXMLElement(XMLElement()), std::nullopt);
}

TEST(ArrayXML, OneItemPerValueInOrder)
{
    const QVariantList list{QString("text"), QVariant::fromValue(TestSwatch{0.5}), 3,
                            QByteArray("ab"), QVariantList{QString("inner")}};
    EXPECT_EQ(compact(TWXML::arrayFreshXMLElement(list)),
              "<NSArray><arrayItem>text</arrayItem>"
              "<arrayItem><TestSwatch><level>0.500000</level></TestSwatch></arrayItem>"
              "<arrayItem><NSNumber>3</NSNumber></arrayItem>"
              "<arrayItem><NSData>YWI=</NSData></arrayItem>"
              "<arrayItem><NSArray><arrayItem>inner</arrayItem></NSArray></arrayItem></NSArray>");
    EXPECT_EQ(TWXML::arrayWithXMLElement(TWXML::arrayFreshXMLElement(list)), list);
}

TEST(ArrayXML, UnreadableItemsAreDroppedAndTheRestRead)
{
    LogCapture log;
    EXPECT_EQ(TWXML::arrayWithXMLElement(
                  element("<NSArray><arrayItem><NoSuchClass>1</NoSuchClass></arrayItem>"
                          "<arrayItem>after</arrayItem><arrayItem><TestSwatch/></arrayItem>"
                          "<arrayItem><NSData>QQ</NSData></arrayItem><other>ignored</other>"
                          "<arrayItem><TestSwatchAlias><level>2</level></TestSwatchAlias>"
                          "</arrayItem><arrayItem/><arrayItem>text<TestSwatch/></arrayItem>"
                          "</NSArray>")),
              (QVariantList{QString("after"), QVariant::fromValue(TestSwatch{2}), QString(""),
                            QString("text")}));
    EXPECT_EQ(
        log.lines(),
        (QStringList{kNotCreated.arg("NoSuchClass"), kNotCreated.arg("TestSwatch"),
                     "Base64Error: Premature end of Base64 string", kNotCreated.arg("NSData")}));
    EXPECT_TRUE(TWXML::arrayWithXMLElement(XMLElement()).isEmpty());
}

TEST(DictionaryXML, ElementRouteKeepsKeyOrderAndNests)
{
    const OrderedDictionary d{{"zeta", QString("z")},
                              {"alpha", 1},
                              {"inner", QVariant::fromValue(OrderedDictionary{{"k", 2.5}})},
                              {"swatch", QVariant::fromValue(TestSwatch{1})}};
    EXPECT_EQ(
        compact(d.freshXMLElement()),
        "<NSDictionary><dictionaryItem><key>zeta</key><value>z</value></dictionaryItem>"
        "<dictionaryItem><key>alpha</key><value><NSNumber>1</NSNumber></value></dictionaryItem>"
        "<dictionaryItem><key>inner</key><value><NSDictionary><dictionaryItem><key>k</key>"
        "<value><NSNumber>2.500000</NSNumber></value></dictionaryItem></NSDictionary></value>"
        "</dictionaryItem><dictionaryItem><key>swatch</key><value><TestSwatch><level>1.000000"
        "</level></TestSwatch></value></dictionaryItem></NSDictionary>");
    const std::optional<OrderedDictionary> back =
        OrderedDictionary::objectWithXMLElement(d.freshXMLElement());
    EXPECT_EQ(back, d);
    EXPECT_EQ(back->keys(), d.keys());

    // Bad items are skipped, a later key replaces an earlier one in place.
    LogCapture log;
    const std::optional<OrderedDictionary> bad = OrderedDictionary::objectWithXMLElement(
        element("<NSDictionary><dictionaryItem><key>a</key><value>first</value></dictionaryItem>"
                "<dictionaryItem><key>nil</key><value><TestSwatch/></value></dictionaryItem>"
                "<dictionaryItem><value>no key</value></dictionaryItem>"
                "<dictionaryItem><key>novalue</key></dictionaryItem><dictionaryItem><key>b</key>"
                "<value>one</value><value>two</value></dictionaryItem>"
                "<dictionaryItem><key>a</key><value>second</value></dictionaryItem>"
                "</NSDictionary>"));
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->keys(), (QStringList{"a", "b"}));
    EXPECT_EQ(*bad, (OrderedDictionary{{"a", QString("second")}, {"b", QString("one")}}));
    EXPECT_EQ(log.lines(), (QStringList{kNotCreated.arg("TestSwatch"),
                                        "Warning: dictionary item without key ignored",
                                        "Warning: element dictionaryItem has multiple children "
                                        "with name value, the first will be used"}));
    EXPECT_FALSE(OrderedDictionary::objectWithXMLElement(XMLElement()));
    EXPECT_TRUE(OrderedDictionary::objectWithXMLElement(element("<NSDictionary/>"))->isEmpty());
}

// The libxml2 route writes descriptions of plain values and of value
// objects, and reads them back as text; what has no text form is logged.
TEST(DictionaryXML, Libxml2Route)
{
    LogCapture log;
    const OrderedDictionary d{
        {"n", 5},
        {"s", QString("a<b")},
        {"sub", QVariant::fromValue(OrderedDictionary{{"x", 2.5}})},
        {"map", QVariantMap{{"m", true}}},
        {"hash", QVariantHash{{"h", 1}}},
        {"font", QVariant::fromValue(Font("Helvetica", 12))},
        {"colour", QVariant::fromValue(Color::colorWithCalibratedRed(1, 0, 0.5, 1))},
        {"list", QVariantList{1, QString("two"), QVariant::fromValue(Font("Courier", 9.5))}},
        {"shadow", QVariant::fromValue(Shadow())}};
    const QString xml = XMLTest::written(d);
    const auto item = [](const QString &key, const QString &value) {
        return "<dictionaryItem><key>" + key + "</key>" + value + "</dictionaryItem>";
    };
    EXPECT_EQ(
        xml,
        "<NSDictionary>" + item("n", "<value>5</value>") + item("s", "<value>a&lt;b</value>") +
            item("sub", "<dictionaryValue><NSDictionary>" + item("x", "<value>2.5</value>") +
                            "</NSDictionary></dictionaryValue>") +
            item("map", "<dictionaryValue><NSDictionary>" + item("m", "<value>1</value>") +
                            "</NSDictionary></dictionaryValue>") +
            item("hash", "<dictionaryValue><NSDictionary>" + item("h", "<value>1</value>") +
                             "</NSDictionary></dictionaryValue>") +
            item("font", "<value>Helvetica 12.00 pt.</value>") +
            item("colour", "<value>" + Color::colorWithCalibratedRed(1, 0, 0.5, 1).description() +
                               "</value>") +
            item("list", "<value>(1, two, Courier 9.50 pt.)</value>") +
            item("shadow", "<value></value>") + "</NSDictionary>");
    EXPECT_EQ(log.lines(), QStringList{"Dictionary value of key shadow (Shadow) has no text form; "
                                       "not kept"});
    const OrderedDictionary back = XMLTest::readFrom(xml, &OrderedDictionary::withXMLNode);
    EXPECT_EQ(back.keys(),
              (QStringList{"n", "s", "sub", "map", "hash", "font", "colour", "list", "shadow"}));
    EXPECT_EQ(back.value("n"), QString("5"));
    EXPECT_EQ(back.value("sub"), QVariant::fromValue(OrderedDictionary{{"x", QString("2.5")}}));
    EXPECT_EQ(back.value("font"), QString("Helvetica 12.00 pt."));

    // A missing value reads as an empty text; a missing key skips the item.
    EXPECT_EQ(XMLTest::readFrom("<NSDictionary><dictionaryItem><key>empty</key><value/>"
                                "</dictionaryItem><dictionaryItem><key>neither</key>"
                                "</dictionaryItem><dictionaryItem><value>keyless</value>"
                                "</dictionaryItem></NSDictionary>",
                                &OrderedDictionary::withXMLNode),
              (OrderedDictionary{{"empty", QString("")}, {"neither", QString("")}}));
    EXPECT_TRUE(XMLTest::readFrom("", &OrderedDictionary::withXMLNode).isEmpty());
}

TEST(TWXMLProtocol, ValueClassesAreFoundByValueAndByElementName)
{
    const QVariant values[] = {
        QVariant::fromValue(Color::colorWithCalibratedRed(1, 0.5, 0, 0.25)),
        QVariant::fromValue(Font("Zapfino", 30)),
        QVariant::fromValue(Shadow(Size(1, 2), 3, Color::colorWithCalibratedRed(0, 0, 1, 1))),
        QVariant::fromValue(*CalendarDate::dateWithYear(2010, 10, 10, 10, 10, 10,
                                                        *TimeZone::timeZoneWithName("GMT+0100"))),
        QVariant::fromValue(ParagraphStyle()),
        QVariant::fromValue(TextTab(1, 2)),
        QVariant::fromValue(AttributedString("text", {{NSKernAttributeName, 2.0}})),
        QVariant::fromValue(TestSwatch{0.25})};
    for (const QVariant &v : values) {
        const XMLElement e = TWXMLProtocol::freshXMLElement(v);
        EXPECT_EQ(TWXMLProtocol::classForValue(v)->elementName, e.name());
        EXPECT_EQ(TWXMLProtocol::objectWithXMLElement(e), v) << e.name().toStdString();
    }
    // A mutable paragraph style reads too and is written under the plain name.
    XMLElement style = ParagraphStyle().freshXMLElement();
    style.setName("NSMutableParagraphStyle");
    EXPECT_EQ(TWXMLProtocol::objectWithXMLElement(style), QVariant::fromValue(ParagraphStyle()));
    EXPECT_EQ(TWXMLProtocol::classForElementName(u"TestSwatchAlias")->metaType,
              QMetaType::fromType<TestSwatch>());
    EXPECT_FALSE(TWXMLProtocol::objectWithXMLElement(element("<NSFont/>")).isValid());
    // Subclass names of the plain classes read like their superclass.
    const std::pair<const char *, QVariant> subclasses[] = {
        {"<NSDecimalNumber>2.5</NSDecimalNumber>", 2.5},
        {"<NSMutableData>YWI=</NSMutableData>", QByteArray("ab")},
        {"<NSMutableArray><arrayItem>a</arrayItem></NSMutableArray>", QVariantList{QString("a")}},
        {"<NSMutableDictionary><dictionaryItem><key>k</key><value>v</value></dictionaryItem>"
         "</NSMutableDictionary>",
         QVariant::fromValue(OrderedDictionary{{"k", QString("v")}})}};
    for (const auto &[xml, value] : subclasses)
        EXPECT_EQ(TWXMLProtocol::objectWithXMLElement(element(xml)), value) << xml;
    EXPECT_EQ(TWXMLProtocol::classForValue(QVariantList())->elementName, "NSArray");

    const std::pair<QVariant, const char *> plain[] = {{7, "NSNumber"},
                                                       {true, "NSNumber"},
                                                       {QByteArray("x"), "NSData"},
                                                       {QStringList{"a"}, "NSArray"},
                                                       {QVariantMap{}, "NSDictionary"}};
    for (const auto &[v, name] : plain)
        EXPECT_EQ(TWXMLProtocol::classForValue(v)->elementName, name);
    EXPECT_EQ(TWXMLProtocol::classForValue(QString("s")), nullptr);
    EXPECT_EQ(TWXMLProtocol::classForValue(QVariant()), nullptr);
    EXPECT_EQ(TWXMLProtocol::classForElementName(u"Nothing"), nullptr);
}

TEST(TWXMLProtocol, Libxml2RouteOfPlainValues)
{
    // Plain containers write nothing of their own; strings are no class.
    XMLElement p = XMLElement::create("p");
    EXPECT_TRUE(TWXMLProtocol::addXmlDataToNode(5, p.node()));
    EXPECT_TRUE(TWXMLProtocol::addXmlDataToNode(QVariantList{1}, p.node()));
    EXPECT_FALSE(TWXMLProtocol::addXmlDataToNode(QString("s"), p.node()));
    EXPECT_EQ(p.childElementCount(), 0);
    EXPECT_TRUE(TWXMLProtocol::addXmlDataToNode(QVariant::fromValue(TestSwatch{0.25}), p.node()));
    EXPECT_EQ(p.stringForPath("TestSwatch/level"), "0.250000");

    const std::pair<QVariant, const char *> descriptions[] = {
        {5, "5"},
        {2.5, "2.5"},
        {100000.0, "100000"},
        {0.0001, "0.0001"},
        {1e-5, "1e-05"},
        {1e16, "1e+16"},
        {0.1 + 0.2, "0.30000000000000004"},
        {0.1f, "0.1"},
        {1e6f, "1000000"},
        {true, "1"},
        {QByteArray("abcde"), "<61626364 65>"},
        {QString("as is"), "as is"},
        {QVariant(), ""}};
    for (const auto &[v, text] : descriptions)
        EXPECT_EQ(TWXMLProtocol::description(v), text);
}

} // namespace
