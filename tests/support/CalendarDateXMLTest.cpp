#include "XMLTestHelpers.h"
#include "support/CalendarDate.h"
#include "support/TWXMLProtocol.h"

#include <gtest/gtest.h>

using XMLTest::compact;
using XMLTest::element;
using XMLTest::Parent;

namespace {

TimeZone zone(const char *name)
{
    return TimeZone::timeZoneWithName(name).value();
}

CalendarDate date(int y, int mo, int d, int h, int mi, int s, const char *zoneName)
{
    return CalendarDate::dateWithYear(y, mo, d, h, mi, s, zone(zoneName)).value();
}

// The text of a date element as the two writers make it.
QString dateXML(const char *year, const char *month, const char *day, const char *hour,
                const char *minute, const char *second, const char *zoneName, const char *utc)
{
    return QString("<NSCalendarDate><year>%1</year><month>%2</month><day>%3</day>"
                   "<hour>%4</hour><minute>%5</minute><second>%6</second>"
                   "<timeZone>%7</timeZone><utc>%8</utc></NSCalendarDate>")
        .arg(year, month, day, hour, minute, second, zoneName, utc);
}

TEST(CalendarDateXML, FieldsArePaddedWithBlanks)
{
    const CalendarDate d = date(2021, 3, 4, 9, 5, 3, "GMT-0330");
    const QString expected = dateXML("2021", "3", "4", " 9", " 5", " 3", "GMT-0330", "-3.5");
    EXPECT_EQ(compact(d.freshXMLElement()), expected);
    EXPECT_EQ(XMLTest::writtenByLibxml2Route(d), expected);

    EXPECT_EQ(compact(date(999, 12, 31, 23, 59, 58, "GMT").freshXMLElement()),
              dateXML(" 999", "12", "31", "23", "59", "58", "GMT", "0.0"));
    EXPECT_EQ(compact(date(7, 1, 1, 0, 0, 0, "GMT+0545").freshXMLElement()),
              dateXML("   7", "1", "1", " 0", " 0", " 0", "GMT+0545", "5.8"));
}

TEST(CalendarDateXML, UTCIsTheOffsetAtTheDate)
{
    EXPECT_EQ(compact(date(2020, 7, 1, 12, 0, 0, "Europe/Berlin").freshXMLElement()),
              dateXML("2020", "7", "1", "12", " 0", " 0", "Europe/Berlin", "2.0"));
    EXPECT_EQ(XMLTest::writtenByLibxml2Route(date(2020, 1, 1, 12, 0, 0, "Europe/Berlin")),
              dateXML("2020", "1", "1", "12", " 0", " 0", "Europe/Berlin", "1.0"));
}

TEST(CalendarDateXML, RoundTripsOnBothRoutesWithTheZoneName)
{
    for (const CalendarDate &d :
         {date(2021, 3, 4, 9, 5, 3, "GMT-0330"), date(1999, 12, 31, 23, 59, 59, "Asia/Kathmandu"),
          date(2020, 7, 1, 0, 0, 0, "Europe/Berlin"), date(5, 6, 7, 8, 9, 10, "GMT+0545"),
          date(2000, 2, 29, 12, 0, 0, "GMT")}) {
        SCOPED_TRACE(d.timeZone().name().toStdString());
        EXPECT_EQ(CalendarDate::objectWithXMLElement(d.freshXMLElement()), d);
        const Parent p(XMLTest::writtenByLibxml2Route(d));
        EXPECT_EQ(CalendarDate::withXMLNode(p.node(), p.xmlDoc()), d);
    }
}

TEST(CalendarDateXML, Libxml2RouteNeedsEveryField)
{
    const char *fields[6] = {"year", "month", "day", "hour", "minute", "second"};
    for (int missing = 0; missing < 6; ++missing) {
        QString xml = "<NSCalendarDate>";
        for (int i = 0; i < 6; ++i) {
            if (i != missing)
                xml += QString("<%1>1</%1>").arg(fields[i]);
        }
        xml += "<timeZone>GMT</timeZone></NSCalendarDate>";
        const Parent p(xml);
        LogCapture log;
        EXPECT_EQ(CalendarDate::withXMLNode(p.node(), p.xmlDoc()), std::nullopt);
        EXPECT_EQ(log.lines(),
                  QStringList{QString("Invalid NSCalendarDate: missing ") + fields[missing]});
    }
    // Only the first missing field is reported.
    const Parent empty("<NSCalendarDate/>");
    LogCapture log;
    EXPECT_EQ(CalendarDate::withXMLNode(empty.node(), empty.xmlDoc()), std::nullopt);
    EXPECT_EQ(log.lines(), QStringList{"Invalid NSCalendarDate: missing year"});
}

TEST(CalendarDateXML, ElementRouteNeedsTheDayButNotTheTime)
{
    for (const char *field : {"year", "month", "day"}) {
        SCOPED_TRACE(field);
        XMLElement e = date(2020, 5, 6, 7, 8, 9, "GMT").freshXMLElement();
        e.removeChild(e.elementForName(field));
        LogCapture log;
        EXPECT_EQ(CalendarDate::objectWithXMLElement(e), std::nullopt);
        EXPECT_EQ(log.lines(), QStringList{QString("Invalid NSCalendarDate: missing ") + field});
    }
    XMLElement e = date(2020, 5, 6, 7, 8, 9, "GMT").freshXMLElement();
    for (const char *field : {"hour", "minute", "second"})
        e.removeChild(e.elementForName(field));
    LogCapture log;
    EXPECT_EQ(CalendarDate::objectWithXMLElement(e), date(2020, 5, 6, 0, 0, 0, "GMT"));
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(CalendarDate::objectWithXMLElement(XMLElement()), std::nullopt);
}

TEST(CalendarDateXML, Libxml2RouteFallsBackOnUTCThenOnTheSystemZone)
{
    const Parent withUTC("<NSCalendarDate><year>2020</year><month>1</month><day>1</day>"
                         "<hour>0</hour><minute>0</minute><second>0</second>"
                         "<timeZone></timeZone><utc>-3.5</utc></NSCalendarDate>");
    const auto d = CalendarDate::withXMLNode(withUTC.node(), withUTC.xmlDoc());
    ASSERT_TRUE(d);
    EXPECT_EQ(d->secondsFromGMT(), -12600);
    EXPECT_EQ(d->timeZone().name(), "GMT-0330");

    const Parent oneDecimal("<NSCalendarDate><year>2020</year><month>1</month><day>1</day>"
                            "<hour>0</hour><minute>0</minute><second>0</second>"
                            "<utc>5.8</utc></NSCalendarDate>");
    EXPECT_EQ(CalendarDate::withXMLNode(oneDecimal.node(), oneDecimal.xmlDoc())->secondsFromGMT(),
              20880);

    const Parent noZone("<NSCalendarDate><year>2020</year><month>1</month><day>1</day>"
                        "<hour>0</hour><minute>0</minute><second>0</second>"
                        "<timeZone/><utc/></NSCalendarDate>");
    LogCapture log;
    const auto system = CalendarDate::withXMLNode(noZone.node(), noZone.xmlDoc());
    ASSERT_TRUE(system);
    EXPECT_EQ(system->timeZone(), TimeZone::systemTimeZone());
    EXPECT_EQ(log.lines(), QStringList{"Warning: Invalid NSCalendarDate: missing timeZone"});
}

TEST(CalendarDateXML, ElementRouteZoneRules)
{
    auto read = [](const QString &zoneChildren) {
        return CalendarDate::objectWithXMLElement(
            element("<NSCalendarDate><year>2020</year><month>1</month><day>1</day>" + zoneChildren +
                    "</NSCalendarDate>"));
    };
    EXPECT_EQ(read("<timeZone>Asia/Tokyo</timeZone><utc>-5</utc>")->timeZone().name(),
              "Asia/Tokyo");
    EXPECT_EQ(read("<utc>-3.5</utc>")->secondsFromGMT(), -12600);
    const TimeZone system = TimeZone::systemTimeZone();
    EXPECT_EQ(read("")->timeZone(), system);
    EXPECT_EQ(read("<timeZone>Mars/Olympus</timeZone><utc>2</utc>")->timeZone(), system);
    EXPECT_EQ(read("<timeZone></timeZone><utc>2</utc>")->timeZone(), system);
    EXPECT_EQ(read("<utc>99</utc>")->timeZone(), system); // beyond any real offset
    EXPECT_EQ(read("<utc>nonsense</utc>")->timeZone().name(), "GMT");
}

TEST(CalendarDateXML, PaddedAndOddNumbersAreRead)
{
    const QString xml = dateXML("  2021", " 03", "4 ", " 9", "  5", " 3abc", "GMT", "0.0");
    const Parent p(xml);
    EXPECT_EQ(CalendarDate::withXMLNode(p.node(), p.xmlDoc()), date(2021, 3, 4, 9, 5, 3, "GMT"));
    EXPECT_EQ(CalendarDate::objectWithXMLElement(element(xml)), date(2021, 3, 4, 9, 5, 3, "GMT"));
    // Fields beyond their range carry over, on both routes.
    const QString over = dateXML("2020", "14", "-1", "25", "61", "-5", "GMT", "0");
    const CalendarDate expected = date(2021, 1, 31, 2, 0, 55, "GMT");
    const Parent po(over);
    EXPECT_EQ(CalendarDate::withXMLNode(po.node(), po.xmlDoc()), expected);
    EXPECT_EQ(CalendarDate::objectWithXMLElement(element(over)), expected);
}

TEST(CalendarDateXML, HugeNumbersGiveNothingAndNeverCrash)
{
    for (const QString &xml :
         {dateXML("99999999999999999999", "1", "1", "0", "0", "0", "GMT", "0"),
          dateXML("2020", "-9223372036854775808", "1", "0", "0", "0", "GMT", "0"),
          dateXML("2020", "1", "9223372036854775807", "0", "0", "0", "GMT", "0"),
          dateXML("2020", "1", "1", "0", "0", "-99999999999999999999", "GMT", "0")}) {
        SCOPED_TRACE(xml.toStdString());
        const Parent p(xml);
        LogCapture log;
        EXPECT_EQ(CalendarDate::withXMLNode(p.node(), p.xmlDoc()), std::nullopt);
        EXPECT_EQ(CalendarDate::objectWithXMLElement(element(xml)), std::nullopt);
        EXPECT_EQ(log.lines().size(), 2);
    }
}

TEST(CalendarDateXML, DuplicatedFieldsTakeTheFirst)
{
    const QString xml = "<NSCalendarDate><year>2020</year><year>1990</year><month>2</month>"
                        "<day>3</day><hour>4</hour><minute>5</minute><second>6</second>"
                        "<timeZone>GMT</timeZone><timeZone>Asia/Tokyo</timeZone></NSCalendarDate>";
    const CalendarDate expected = date(2020, 2, 3, 4, 5, 6, "GMT");
    const Parent p(xml);
    EXPECT_EQ(CalendarDate::withXMLNode(p.node(), p.xmlDoc()), expected);
    LogCapture log;
    EXPECT_EQ(CalendarDate::objectWithXMLElement(element(xml)), expected);
}

TEST(CalendarDateXML, ContainersFindTheClassByElementName)
{
    const CalendarDate d = date(2010, 10, 10, 10, 10, 10, "GMT+0100");
    const QVariant v = TWXMLProtocol::objectWithXMLElement(d.freshXMLElement());
    ASSERT_TRUE(v.canConvert<CalendarDate>());
    EXPECT_EQ(v.value<CalendarDate>(), d);
}

} // namespace
