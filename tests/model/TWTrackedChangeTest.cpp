#include "model/TWTrackedChange.h"
#include "RecordTestSupport.h"

using namespace RecordTest;

TEST(TWPersonTest, ElementsOnBothRoutes)
{
    const TWPerson full("Ann", QString::fromUtf8("Lée & Co"), "s3cr&t", "ann", "ann@example.org");
    const TWPerson names("Bob", std::nullopt, std::nullopt, std::nullopt, std::nullopt);
    EXPECT_EQ(TWPerson("Bob", "", "", std::nullopt, std::nullopt).freshXMLElement().xmlString(),
              names.freshXMLElement().xmlString());

    EXPECT_EQ(names.freshXMLElement().xmlString(), "<TWPerson>\n  <firstName>Bob</firstName>\n"
                                                   "  <lastName/>\n</TWPerson>");
    const XMLElement fullElement = full.freshXMLElement();
    QStringList order;
    for (const XMLElement &child : fullElement.elements())
        order << child.name();
    EXPECT_EQ(order, (QStringList{"firstName", "lastName", "password", "screenName", "email"}));
    // Stored files carry the password; it travels as it came.
    EXPECT_EQ(fullElement.stringForPath(u"password"), QString("s3cr&t"));

    for (const TWPerson &person : {full, names}) {
        const QByteArray first =
            writtenUnder("byWhom", [&](xmlNodePtr parent) { person.addXmlDataToNode(parent); });
        const std::optional<TWPerson> read = readFrom(first, &TWPerson::initWithXMLNode);
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(*read, person);
        EXPECT_EQ(
            writtenUnder("byWhom", [&](xmlNodePtr parent) { read->addXmlDataToNode(parent); }),
            first);
        EXPECT_EQ(TWPerson::objectWithXMLElement(person.freshXMLElement()), person);
    }

    // Empty or missing children are no value; no element is no person.
    const auto sparse = readFrom("<byWhom><TWPerson><firstName/><email></email>"
                                 "<screenName>s</screenName></TWPerson></byWhom>",
                                 &TWPerson::initWithXMLNode);
    ASSERT_TRUE(sparse.has_value());
    EXPECT_EQ(*sparse, TWPerson(std::nullopt, std::nullopt, std::nullopt, "s", std::nullopt));
    EXPECT_EQ(readFrom("<byWhom/>", &TWPerson::initWithXMLNode), std::nullopt);
}

TEST(TWTrackedChangeTest, ElementsOnBothRoutes)
{
    const TWPerson ann("Ann", "Lee", std::nullopt, std::nullopt, "ann@example.org");
    const CalendarDate date = *CalendarDate::dateWithYear(
        2008, 3, 14, 15, 9, 26, *TimeZone::timeZoneWithName("Europe/Berlin"));
    const TWTrackedChange full(ann, date, AttributedString(QString::fromUtf8("Moved “Goals” up")));
    const TWTrackedChange empty;

    EXPECT_EQ(empty.freshXMLElement().xmlString(),
              "<TWTrackedChange>\n  <byWhom/>\n  <date/>\n  <comment/>\n</TWTrackedChange>");
    QStringList order;
    for (const XMLElement &child : full.freshXMLElement().elements())
        order << child.name() + "/" + child.firstChildIfElement().name();
    EXPECT_EQ(order, (QStringList{"byWhom/TWPerson", "date/NSCalendarDate",
                                  "comment/NSAttributedString"}));

    MapsDocTest::WarningCapture warnings; // an empty date says so in the log
    for (const TWTrackedChange &change : {full, empty}) {
        const QByteArray first = writtenUnder(
            "trackedChange", [&](xmlNodePtr parent) { change.addXmlDataToNode(parent); });
        const auto read = readFrom(first, &TWTrackedChange::initWithXMLNode);
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(*read, change);
        EXPECT_EQ(writtenUnder("trackedChange",
                               [&](xmlNodePtr parent) { read->addXmlDataToNode(parent); }),
                  first);
        EXPECT_EQ(TWTrackedChange::objectWithXMLElement(change.freshXMLElement()), change);
    }

    const auto partial = readFrom("<trackedChange><TWTrackedChange><comment/></TWTrackedChange>"
                                  "</trackedChange>",
                                  &TWTrackedChange::initWithXMLNode);
    ASSERT_TRUE(partial.has_value());
    EXPECT_EQ(partial->byWhom(), std::nullopt);
    EXPECT_EQ(partial->date(), std::nullopt);
    EXPECT_EQ(partial->comment(), std::nullopt);
    EXPECT_EQ(readFrom("<trackedChange/>", &TWTrackedChange::initWithXMLNode), std::nullopt);
}
