#include "support/TWXMLValues.h"
#include "LogCapture.h"
#include "QtPrinters.h"
#include "TestSwatch.h"
#include "support/OrderedDictionary.h"
#include "support/TWXMLProtocol.h"
#include "support/XMLDocument.h"

#include <clocale>
#include <cmath>
#include <gtest/gtest.h>

namespace {

QByteArray compact(const XMLElement &e)
{
    QByteArray s = e.xmlString();
    s.replace("\n", "");
    s.replace("  ", "");
    return s;
}

XMLElement parsed(const char *xml)
{
    XMLElement e = XMLElement::parse(QByteArray(xml));
    EXPECT_FALSE(e.isNull()) << xml;
    return e;
}

const QString kNotCreated = QStringLiteral("Object could not be created from XML element: %1");

} // namespace

// --- numbers ---

TEST(NumberXML, IntegralValuesAreWrittenAsIntegers)
{
    EXPECT_EQ(compact(TWXML::numberFreshXMLElement(3)), "<NSNumber>3</NSNumber>");
    EXPECT_EQ(TWXML::numberText(2.0), "2");
    EXPECT_EQ(TWXML::numberText(-0.0), "0");
    EXPECT_EQ(TWXML::numberText(true), "1");
    EXPECT_EQ(TWXML::numberText(false), "0");
    EXPECT_EQ(TWXML::numberText(-17), "-17");
    EXPECT_EQ(TWXML::numberText(123456789012LL), "123456789012");
    EXPECT_EQ(TWXML::numberText(123456789012.0), "123456789012");
    EXPECT_EQ(TWXML::numberText(QVariant::fromValue(18446744073709551615ULL)),
              "18446744073709551615");
}

TEST(NumberXML, OtherValuesUseSixDecimalsUnlessThatLosesThem)
{
    EXPECT_EQ(TWXML::numberText(2.5), "2.500000");
    EXPECT_EQ(TWXML::numberText(0.1), "0.100000");
    EXPECT_EQ(TWXML::numberText(-0.25), "-0.250000");
    EXPECT_EQ(TWXML::numberText(QVariant(0.1f)), "0.100000");
    EXPECT_EQ(TWXML::numberText(1e-7), "0.0000001");
    EXPECT_EQ(TWXML::numberText(3.0000001), "3.0000001");
    EXPECT_EQ(TWXML::numberText(1e20), "100000000000000000000.000000");
}

TEST(NumberXML, ReadsIntegersWhenBothReadingsAgree)
{
    const auto read = [](const char *t) { return TWXML::numberFromText(QString::fromLatin1(t)); };
    EXPECT_EQ(read("2").typeId(), QMetaType::Int);
    EXPECT_EQ(read("2").toInt(), 2);
    EXPECT_EQ(read("2.000000").typeId(), QMetaType::Int);
    EXPECT_EQ(read("0.100000").typeId(), QMetaType::Double);
    EXPECT_EQ(read("0.100000").toDouble(), 0.1);
    EXPECT_EQ(read("123456789012").typeId(), QMetaType::LongLong);
    EXPECT_EQ(read("123456789012").toLongLong(), 123456789012LL);
    EXPECT_EQ(read("-2147483649").toLongLong(), -2147483649LL);
    EXPECT_EQ(read("0.0000001").toDouble(), 1e-7);
    EXPECT_EQ(read(" 7 ").toInt(), 7);
    EXPECT_EQ(read("abc").typeId(), QMetaType::Int);
    EXPECT_EQ(read("abc").toInt(), 0);
    EXPECT_EQ(read("").toInt(), 0);
    EXPECT_EQ(read("99999999999999999999").typeId(), QMetaType::Double);
    EXPECT_EQ(read("99999999999999999999").toDouble(), 1e20);
    EXPECT_EQ(read("-99999999999999999999").toDouble(), -1e20);
    EXPECT_FALSE(TWXML::numberWithXMLElement(XMLElement()).isValid());
}

TEST(NumberXML, RoundTripKeepsEveryValue)
{
    const QVariant values[] = {1.0 / 3.0,          M_PI,    1e-300,       -1234.5678, 1e300,
                               9007199254740993LL, INT_MIN, 4294967296.0, 2.5e-5};
    for (const QVariant &v : values) {
        const QVariant back = TWXML::numberWithXMLElement(TWXML::numberFreshXMLElement(v));
        if (v.typeId() == QMetaType::Double)
            EXPECT_EQ(back.toDouble(), v.toDouble()) << v.toString().toStdString();
        else
            EXPECT_EQ(back.toLongLong(), v.toLongLong()) << v.toString().toStdString();
    }
    EXPECT_EQ(TWXML::numberFromText(TWXML::numberText(QVariant(0.3f))).toFloat(), 0.3f);
}

TEST(NumberXML, TextDoesNotFollowTheProcessLocale)
{
    const char *previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "de_DE"))
        GTEST_SKIP() << "no German locale installed";
    EXPECT_EQ(TWXML::numberText(2.5), "2.500000");
    EXPECT_EQ(TWXML::numberFromText("2.500000").toDouble(), 2.5);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

// --- data ---

TEST(DataXML, WritesBase64AndReadsItBack)
{
    const XMLElement e = TWXML::dataFreshXMLElement("Hello");
    EXPECT_EQ(compact(e), "<NSData>SGVsbG8=</NSData>");
    EXPECT_EQ(TWXML::dataWithXMLElement(e), QByteArray("Hello"));
    EXPECT_EQ(compact(TWXML::dataFreshXMLElement(QByteArray())), "<NSData/>");
    EXPECT_EQ(TWXML::dataWithXMLElement(parsed("<NSData/>")), QByteArray(""));
    EXPECT_EQ(TWXML::dataWithXMLElement(parsed("<NSData>\n SGVs\n bG8=\n</NSData>")),
              QByteArray("Hello"));
}

TEST(DataXML, TruncatedBase64IsLoggedAndMissing)
{
    LogCapture log;
    EXPECT_EQ(TWXML::dataWithXMLElement(parsed("<NSData>SGVsbG8</NSData>")), std::nullopt);
    EXPECT_EQ(log.lines(), QStringList{"Base64Error: Premature end of Base64 string"});
    EXPECT_EQ(TWXML::dataWithXMLElement(parsed("<NSData>SGVs\xC3\xA9</NSData>")), std::nullopt);
    EXPECT_EQ(TWXML::dataWithXMLElement(XMLElement()), std::nullopt);
}

// --- arrays ---

TEST(ArrayXML, WritesOneItemPerValueInOrder)
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
    const QVariantList list = TWXML::arrayWithXMLElement(
        parsed("<NSArray><arrayItem><NoSuchClass>1</NoSuchClass></arrayItem>"
               "<arrayItem>after</arrayItem>"
               "<arrayItem><TestSwatch/></arrayItem>"
               "<arrayItem><NSData>QQ</NSData></arrayItem>"
               "<other>ignored</other>"
               "<arrayItem><TestSwatchAlias><level>2</level></TestSwatchAlias></arrayItem>"
               "<arrayItem/>"
               "<arrayItem>text<TestSwatch/></arrayItem></NSArray>"));
    EXPECT_EQ(list, (QVariantList{QString("after"), QVariant::fromValue(TestSwatch{2}), QString(""),
                                  QString("text")}));
    EXPECT_EQ(
        log.lines(),
        (QStringList{kNotCreated.arg("NoSuchClass"), kNotCreated.arg("TestSwatch"),
                     "Base64Error: Premature end of Base64 string", kNotCreated.arg("NSData")}));
    EXPECT_TRUE(TWXML::arrayWithXMLElement(XMLElement()).isEmpty());
}

// --- dictionaries, element route ---

TEST(DictionaryXML, ElementRouteKeepsKeyOrderAndNests)
{
    const OrderedDictionary d{{"zeta", QString("z")},
                              {"alpha", 1},
                              {"inner", QVariant::fromValue(OrderedDictionary{{"k", 2.5}})},
                              {"swatch", QVariant::fromValue(TestSwatch{1})}};
    const XMLElement e = d.freshXMLElement();
    EXPECT_EQ(
        compact(e),
        "<NSDictionary>"
        "<dictionaryItem><key>zeta</key><value>z</value></dictionaryItem>"
        "<dictionaryItem><key>alpha</key><value><NSNumber>1</NSNumber></value></dictionaryItem>"
        "<dictionaryItem><key>inner</key><value><NSDictionary><dictionaryItem><key>k</key>"
        "<value><NSNumber>2.500000</NSNumber></value></dictionaryItem></NSDictionary></value>"
        "</dictionaryItem>"
        "<dictionaryItem><key>swatch</key><value><TestSwatch><level>1.000000</level>"
        "</TestSwatch></value></dictionaryItem></NSDictionary>");
    const std::optional<OrderedDictionary> back = OrderedDictionary::objectWithXMLElement(e);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, d);
    EXPECT_EQ(back->keys(), (QStringList{"zeta", "alpha", "inner", "swatch"}));
}

TEST(DictionaryXML, ElementRouteReaderToleratesBadItems)
{
    LogCapture log;
    const std::optional<OrderedDictionary> d = OrderedDictionary::objectWithXMLElement(
        parsed("<NSDictionary>"
               "<dictionaryItem><key>a</key><value>first</value></dictionaryItem>"
               "<dictionaryItem><key>nil</key><value><TestSwatch/></value></dictionaryItem>"
               "<dictionaryItem><value>no key</value></dictionaryItem>"
               "<dictionaryItem><key>novalue</key></dictionaryItem>"
               "<dictionaryItem><key>b</key><value>one</value><value>two</value></dictionaryItem>"
               "<dictionaryItem><key>a</key><value>second</value></dictionaryItem>"
               "</NSDictionary>"));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->keys(), (QStringList{"a", "b"}));
    EXPECT_EQ(d->value("a"), QString("second"));
    EXPECT_EQ(d->value("b"), QString("one"));
    EXPECT_TRUE(log.contains(kNotCreated.arg("TestSwatch")));
    EXPECT_TRUE(log.contains("Warning: dictionary item without key ignored"));
    EXPECT_TRUE(log.contains("Warning: element dictionaryItem has multiple children with name "
                             "value, the first will be used"));
    EXPECT_FALSE(OrderedDictionary::objectWithXMLElement(XMLElement()));
    EXPECT_TRUE(OrderedDictionary::objectWithXMLElement(parsed("<NSDictionary/>"))->isEmpty());
}

// --- dictionaries, libxml2 route ---

TEST(DictionaryXML, Libxml2RouteWritesDescriptionsAndNestedDictionaries)
{
    const OrderedDictionary d{{"n", 5},
                              {"s", QString("a<b")},
                              {"sub", QVariant::fromValue(OrderedDictionary{{"x", 2.5}})},
                              {"map", QVariantMap{{"m", true}}}};
    XMLDocument doc(XMLElement::create("parent"));
    d.addXmlDataToNode(doc.rootElement().node());
    EXPECT_EQ(compact(doc.rootElement()),
              "<parent><NSDictionary>"
              "<dictionaryItem><key>n</key><value>5</value></dictionaryItem>"
              "<dictionaryItem><key>s</key><value>a&lt;b</value></dictionaryItem>"
              "<dictionaryItem><key>sub</key><dictionaryValue><NSDictionary><dictionaryItem>"
              "<key>x</key><value>2.5</value></dictionaryItem></NSDictionary></dictionaryValue>"
              "</dictionaryItem>"
              "<dictionaryItem><key>map</key><dictionaryValue><NSDictionary><dictionaryItem>"
              "<key>m</key><value>1</value></dictionaryItem></NSDictionary></dictionaryValue>"
              "</dictionaryItem></NSDictionary></parent>");

    const OrderedDictionary back =
        OrderedDictionary::withXMLNode(doc.rootElement().node(), doc.xmlDoc());
    EXPECT_EQ(back.keys(), (QStringList{"n", "s", "sub", "map"}));
    EXPECT_EQ(back.value("n"), QString("5")); // numbers come back as their text
    EXPECT_EQ(back.value("s"), QString("a<b"));
    EXPECT_EQ(back.value("sub").value<OrderedDictionary>(),
              (OrderedDictionary{{"x", QString("2.5")}}));
}

TEST(DictionaryXML, Libxml2RouteReaderDefaults)
{
    std::optional<XMLDocument> doc = XMLDocument::parse(
        "<p><NSDictionary><dictionaryItem><key>empty</key><value/></dictionaryItem>"
        "<dictionaryItem><key>neither</key></dictionaryItem>"
        "<dictionaryItem><value>keyless</value></dictionaryItem></NSDictionary></p>");
    ASSERT_TRUE(doc);
    LogCapture log;
    const OrderedDictionary d =
        OrderedDictionary::withXMLNode(doc->rootElement().node(), doc->xmlDoc());
    EXPECT_EQ(d, (OrderedDictionary{{"empty", QString("")}, {"neither", QString("")}}));
    EXPECT_TRUE(OrderedDictionary::withXMLNode(
                    doc->rootElement().elementForName("NSDictionary").node(), doc->xmlDoc())
                    .isEmpty());
}

// --- the registry ---

TEST(TWXMLProtocol, ClassesAreFoundByValueAndByName)
{
    EXPECT_EQ(TWXMLProtocol::classForValue(7)->elementName, "NSNumber");
    EXPECT_EQ(TWXMLProtocol::classForValue(true)->elementName, "NSNumber");
    EXPECT_EQ(TWXMLProtocol::classForValue(QByteArray("x"))->elementName, "NSData");
    EXPECT_EQ(TWXMLProtocol::classForValue(QStringList{"a"})->elementName, "NSArray");
    EXPECT_EQ(TWXMLProtocol::classForValue(QVariantMap{})->elementName, "NSDictionary");
    EXPECT_EQ(TWXMLProtocol::classForValue(QVariant::fromValue(TestSwatch{}))->elementName,
              "TestSwatch");
    EXPECT_EQ(TWXMLProtocol::classForValue(QString("s")), nullptr);
    EXPECT_EQ(TWXMLProtocol::classForValue(QVariant()), nullptr);
    EXPECT_EQ(TWXMLProtocol::classForElementName(u"TestSwatchAlias")->metaType,
              QMetaType::fromType<TestSwatch>());
    EXPECT_EQ(TWXMLProtocol::classForElementName(u"Nothing"), nullptr);
}

TEST(TWXMLProtocol, Libxml2RouteWritersOfPlainContainersWriteNothing)
{
    XMLDocument doc(XMLElement::create("p"));
    xmlNodePtr p = doc.rootElement().node();
    EXPECT_TRUE(TWXMLProtocol::addXmlDataToNode(5, p));
    EXPECT_TRUE(TWXMLProtocol::addXmlDataToNode(QByteArray("x"), p));
    EXPECT_TRUE(TWXMLProtocol::addXmlDataToNode(QVariantList{1}, p));
    EXPECT_FALSE(TWXMLProtocol::addXmlDataToNode(QString("s"), p));
    EXPECT_EQ(doc.rootElement().childElementCount(), 0);
    EXPECT_TRUE(TWXMLProtocol::addXmlDataToNode(QVariant::fromValue(TestSwatch{0.25}), p));
    EXPECT_EQ(doc.rootElement().stringForPath("TestSwatch/level"), "0.250000");
}

TEST(TWXMLProtocol, DescriptionsOfPlainValues)
{
    EXPECT_EQ(TWXMLProtocol::description(5), "5");
    EXPECT_EQ(TWXMLProtocol::description(2.5), "2.5");
    EXPECT_EQ(TWXMLProtocol::description(0.1f), "0.1");
    EXPECT_EQ(TWXMLProtocol::description(true), "1");
    EXPECT_EQ(TWXMLProtocol::description(QByteArray("abcde")), "<61626364 65>");
    EXPECT_EQ(TWXMLProtocol::description(QString("as is")), "as is");
    EXPECT_EQ(TWXMLProtocol::description(QVariant()), "");
}
