#include "support/CalendarDate.h"
#include "TestHelpers.h"
#include "support/SystemTimeZoneScope.h"

#include <cmath>
#include <limits>
#include <thread>

using namespace XMLTest;

namespace {

TimeZone zone(const char *name)
{
    const auto z = TimeZone::timeZoneWithName(name);
    EXPECT_TRUE(z.has_value()) << name;
    return z.value_or(TimeZone::systemTimeZone());
}

CalendarDate date(long long y, long long mo, long long d, long long h, long long mi, long long s,
                  const char *zoneName = "GMT")
{
    const auto date = CalendarDate::dateWithYear(y, mo, d, h, mi, s, zone(zoneName));
    EXPECT_TRUE(date.has_value());
    return date.value_or(CalendarDate());
}

QString dateXML(const char *year, const char *month, const char *day, const char *hour,
                const char *minute, const char *second, const char *zoneName, const char *utc)
{
    return QString("<NSCalendarDate><year>%1</year><month>%2</month><day>%3</day>"
                   "<hour>%4</hour><minute>%5</minute><second>%6</second>"
                   "<timeZone>%7</timeZone><utc>%8</utc></NSCalendarDate>")
        .arg(year, month, day, hour, minute, second, zoneName, utc);
}

std::optional<CalendarDate> viaLibxml2Route(const QString &xml)
{
    return readFrom(xml, &CalendarDate::withXMLNode);
}

TEST(TimeZone, OffsetZonesTruncateToTheSecondAndAreNamedByTheirOffset)
{
    const std::tuple<float, int, const char *> cases[] = {
        {5.75f, 20700, "GMT+0545"}, {-3.5f, -12600, "GMT-0330"},  {5.8f, 20880, "GMT+0548"},
        {-0.0001f, 0, "GMT"},       {1.00001f, 3600, "GMT+0100"}, {-1.00001f, -3600, "GMT-0100"}};
    for (const auto &[utc, seconds, name] : cases) {
        const auto z = TimeZone::timeZoneWithUTC(utc);
        ASSERT_TRUE(z) << utc;
        EXPECT_EQ(std::pair(z->secondsFromGMT(), z->name()), std::pair(seconds, QString(name)));
    }
    EXPECT_FLOAT_EQ(TimeZone::timeZoneWithUTC(-3.5)->utc(), -3.5);
    EXPECT_EQ(TimeZone::timeZoneForSecondsFromGMT(3601)->name(), "GMT+010001");
    // Offset names read back with their own name.
    for (const auto &[name, seconds] : {std::pair{"GMT+0545", 20700},
                                        {"GMT", 0},
                                        {"GMT+010001", 3601},
                                        {"GMT+05:45", 20700},
                                        {"GMT-7", -25200}}) {
        EXPECT_EQ(std::pair(zone(name).secondsFromGMT(), zone(name).name()),
                  std::pair(seconds, QString(name)));
        EXPECT_TRUE(zone(name).isFixedOffset());
    }
}

TEST(TimeZone, NamedZonesFollowSummerTime)
{
    const TimeZone berlin = zone("Europe/Berlin");
    EXPECT_FALSE(berlin.isFixedOffset());
    EXPECT_EQ(berlin.secondsFromGMTForDate(QDateTime(QDate(2020, 1, 15), QTime(12, 0), Qt::UTC)),
              3600);
    EXPECT_EQ(berlin.secondsFromGMTForDate(QDateTime(QDate(2020, 7, 15), QTime(12, 0), Qt::UTC)),
              7200);
    EXPECT_EQ(date(2020, 7, 1, 12, 0, 0, "Europe/Berlin").instant(),
              QDateTime(QDate(2020, 7, 1), QTime(10, 0), Qt::UTC));
    EXPECT_FALSE(TimeZone::systemTimeZone().name().isEmpty());
}

TEST(TimeZone, RefusesWhatNamesNoZone)
{
    for (const char *name : {"", "Mars/Olympus", "GMT+19", "GMT+1x", "../../../etc/passwd",
                             "/etc/localtime", "Europe/Berlin\n", "Europe\\Berlin"})
        EXPECT_FALSE(TimeZone::timeZoneWithName(name)) << name;
    EXPECT_FALSE(TimeZone::timeZoneWithUTC(18.5));
    EXPECT_FALSE(TimeZone::timeZoneWithUTC(-1e30f));
    EXPECT_FALSE(TimeZone::timeZoneWithUTC(std::nan("")));
    EXPECT_FALSE(TimeZone::timeZoneForSecondsFromGMT(18 * 3600 + 1));
    EXPECT_TRUE(TimeZone::timeZoneForSecondsFromGMT(-18 * 3600));
}

TEST(CalendarDate, FieldsAreThoseOfItsZone)
{
    const CalendarDate d = date(2021, 3, 4, 9, 5, 3, "GMT-0330");
    EXPECT_EQ(d.instant(), QDateTime(QDate(2021, 3, 4), QTime(12, 35, 3), Qt::UTC));
    const CalendarDate inTokyo = d.withTimeZone(zone("Asia/Tokyo"));
    EXPECT_EQ(inTokyo.hourOfDay(), 21);
    EXPECT_EQ(inTokyo.minuteOfHour(), 35);
    EXPECT_EQ(inTokyo.instant(), d.instant());
    // Equal needs the same moment and the same zone name.
    EXPECT_NE(inTokyo, d);
    EXPECT_NE(date(2020, 1, 1, 10, 0, 0, "GMT+0100"), date(2020, 1, 1, 10, 0, 0, "GMT+01:00"));
    EXPECT_EQ(date(2020, 1, 1, 10, 0, 0, "GMT+0100"), date(2020, 1, 1, 10, 0, 0, "GMT+0100"));
}

TEST(CalendarDate, FieldsOutOfRangeCarryOver)
{
    EXPECT_EQ(date(2020, 13, 1, 0, 0, 0), date(2021, 1, 1, 0, 0, 0));
    EXPECT_EQ(date(2020, 3, 0, 0, 0, 0), date(2020, 2, 29, 0, 0, 0));
    EXPECT_EQ(date(2020, 1, 1, 0, -1, 0), date(2019, 12, 31, 23, 59, 0));
    EXPECT_EQ(date(2020, -1, 1, 0, 0, 0), date(2019, 11, 1, 0, 0, 0));
    EXPECT_EQ(date(2020, 1, 1, 48, 0, 0), date(2020, 1, 3, 0, 0, 0));

    // Year 0 is the year before year 1.
    EXPECT_EQ(date(0, 12, 31, 0, 0, 0).dateByAddingSeconds(86400).yearOfCommonEra(), 1);
    EXPECT_EQ(date(-44, 3, 15, 0, 0, 0).yearOfCommonEra(), -44);
    EXPECT_EQ(date(-44, 3, 15, 0, 0, 0).monthOfYear(), 3);
}

TEST(CalendarDate, HugeFieldsGiveNothingInsteadOfOverflowing)
{
    const TimeZone gmt = zone("GMT");
    const long long big = std::numeric_limits<long long>::max();
    const long long small = std::numeric_limits<long long>::min();
    EXPECT_FALSE(CalendarDate::dateWithYear(2147483647, 1, 1, 0, 0, 0, gmt));
    EXPECT_FALSE(CalendarDate::dateWithYear(2020, big, 1, 0, 0, 0, gmt));
    EXPECT_FALSE(CalendarDate::dateWithYear(2020, 1, small, 0, 0, 0, gmt));
    EXPECT_FALSE(CalendarDate::dateWithYear(2020, 1, 1, 2147483647LL * 1000, 0, 0, gmt));
    EXPECT_FALSE(CalendarDate::dateWithYear(2020, 1, 1, 0, 0, small, gmt));
    // 245,000 years on is still within reach.
    EXPECT_EQ(date(2020, 1, 1, 2147483647, 0, 0).yearOfCommonEra(), 2020 + 244983);
}

// Time fields are padded to two places and the year to four, with blanks;
// utc is the offset at the date.
TEST(CalendarDateXML, ExactTextOnBothRoutes)
{
    const std::pair<CalendarDate, QString> cases[] = {
        {date(2021, 3, 4, 9, 5, 3, "GMT-0330"),
         dateXML("2021", "3", "4", " 9", " 5", " 3", "GMT-0330", "-3.5")},
        {date(7, 1, 1, 0, 0, 0, "GMT+0545"),
         dateXML("   7", "1", "1", " 0", " 0", " 0", "GMT+0545", "5.8")},
        {date(2020, 7, 1, 12, 0, 0, "Europe/Berlin"),
         dateXML("2020", "7", "1", "12", " 0", " 0", "Europe/Berlin", "2.0")},
        {date(2020, 1, 1, 12, 0, 0, "Europe/Berlin"),
         dateXML("2020", "1", "1", "12", " 0", " 0", "Europe/Berlin", "1.0")},
        // 0.45 hours is just below the half in single precision.
        {date(2020, 1, 1, 0, 0, 0, "GMT+0027"),
         dateXML("2020", "1", "1", " 0", " 0", " 0", "GMT+0027", "0.4")}};
    for (const auto &[d, xml] : cases) {
        EXPECT_EQ(compact(d.freshXMLElement()), xml);
        EXPECT_EQ(written(d), xml);
        EXPECT_EQ(CalendarDate::objectWithXMLElement(element(xml)), d) << xml.toStdString();
        EXPECT_EQ(viaLibxml2Route(xml), d) << xml.toStdString();
    }
}

// The libxml2 route needs every field and reports the first missing one; the
// element route needs the day but not the time.
TEST(CalendarDateXML, MissingFields)
{
    const char *fields[6] = {"year", "month", "day", "hour", "minute", "second"};
    for (int missing = 0; missing < 6; ++missing) {
        XMLElement e = date(2020, 5, 6, 7, 8, 9).freshXMLElement();
        e.removeChild(e.elementForName(fields[missing]));
        const QString expectedLog = QString("Invalid NSCalendarDate: missing ") + fields[missing];
        LogCapture log;
        EXPECT_EQ(viaLibxml2Route(compact(e)), std::nullopt);
        if (missing < 3)
            EXPECT_EQ(CalendarDate::objectWithXMLElement(e), std::nullopt);
        else
            EXPECT_TRUE(CalendarDate::objectWithXMLElement(e).has_value());
        EXPECT_EQ(log.count(expectedLog), missing < 3 ? 2 : 1) << fields[missing];
        EXPECT_EQ(log.lines().size(), missing < 3 ? 2 : 1);
    }
    XMLElement e = date(2020, 5, 6, 7, 8, 9).freshXMLElement();
    for (const char *field : {"hour", "minute", "second"})
        e.removeChild(e.elementForName(field));
    EXPECT_EQ(CalendarDate::objectWithXMLElement(e), date(2020, 5, 6, 0, 0, 0));
    EXPECT_EQ(CalendarDate::objectWithXMLElement(XMLElement()), std::nullopt);

    LogCapture log;
    EXPECT_EQ(viaLibxml2Route("<NSCalendarDate/>"), std::nullopt);
    EXPECT_EQ(log.lines(), QStringList{"Invalid NSCalendarDate: missing year"});
}

// A zone name that names nothing gives the system zone on both routes; the
// libxml2 route takes an empty name as no name and falls back on utc.
TEST(CalendarDateXML, ZoneRules)
{
    const std::tuple<const char *, const char *, const char *> cases[] = {
        // children, then the zone on each route (nullptr: the system zone)
        {"<timeZone>Asia/Tokyo</timeZone><utc>-5</utc>", "Asia/Tokyo", "Asia/Tokyo"},
        {"<utc>-3.5</utc>", "GMT-0330", "GMT-0330"},
        {"<utc>5.8</utc>", "GMT+0548", "GMT+0548"},
        {"<timeZone></timeZone><utc>-3.5</utc>", "GMT-0330", nullptr},
        {"<timeZone>Mars/Olympus</timeZone><utc>2</utc>", nullptr, nullptr},
        {"<utc>99</utc>", nullptr, nullptr},
        {"<utc>nonsense</utc>", "GMT", "GMT"},
        {"<timeZone/><utc/>", nullptr, nullptr},
        {"", nullptr, nullptr}};
    const QString system = TimeZone::systemTimeZone().name();
    for (const auto &[children, libxml2Route, elementRoute] : cases) {
        const QString xml = dateXML("2020", "1", "1", "0", "0", "0", "", "")
                                .replace("<timeZone></timeZone><utc></utc>", children);
        LogCapture quiet;
        const auto a = viaLibxml2Route(xml);
        const auto b = CalendarDate::objectWithXMLElement(element(xml));
        ASSERT_TRUE(a && b) << children;
        EXPECT_EQ(a->timeZone().name(), libxml2Route ? libxml2Route : system) << children;
        EXPECT_EQ(b->timeZone().name(), elementRoute ? elementRoute : system) << children;
    }
    LogCapture log;
    viaLibxml2Route(dateXML("2020", "1", "1", "0", "0", "0", "", ""));
    EXPECT_EQ(log.lines(), QStringList{"Warning: Invalid NSCalendarDate: missing timeZone"});
}

TEST(CalendarDateXML, OddNumbers)
{
    // Padding and junk after the digits are read past; fields beyond their
    // range carry over.
    for (const auto &[xml, expected] :
         {std::pair{dateXML("  2021", " 03", "4 ", " 9", "  5", " 3abc", "GMT", "0.0"),
                    date(2021, 3, 4, 9, 5, 3)},
          std::pair{dateXML("2020", "14", "-1", "25", "61", "-5", "GMT", "0"),
                    date(2021, 1, 31, 2, 0, 55)}}) {
        EXPECT_EQ(viaLibxml2Route(xml), expected);
        EXPECT_EQ(CalendarDate::objectWithXMLElement(element(xml)), expected);
    }
    // Huge numbers give nothing, with a log line per route.
    for (const QString &xml :
         {dateXML("99999999999999999999", "1", "1", "0", "0", "0", "GMT", "0"),
          dateXML("2020", "-9223372036854775808", "1", "0", "0", "0", "GMT", "0"),
          dateXML("2020", "1", "9223372036854775807", "0", "0", "0", "GMT", "0"),
          dateXML("2020", "1", "1", "0", "0", "-99999999999999999999", "GMT", "0")}) {
        LogCapture log;
        EXPECT_EQ(viaLibxml2Route(xml), std::nullopt);
        EXPECT_EQ(CalendarDate::objectWithXMLElement(element(xml)), std::nullopt);
        EXPECT_EQ(log.lines().size(), 2) << xml.toStdString();
    }
    // Of duplicated fields the first wins.
    const QString duplicated =
        "<NSCalendarDate><year>2020</year><year>1990</year><month>2</month><day>3</day>"
        "<hour>4</hour><minute>5</minute><second>6</second><timeZone>GMT</timeZone>"
        "<timeZone>Asia/Tokyo</timeZone></NSCalendarDate>";
    EXPECT_EQ(viaLibxml2Route(duplicated), date(2020, 2, 3, 4, 5, 6));
    LogCapture log;
    EXPECT_EQ(CalendarDate::objectWithXMLElement(element(duplicated)), date(2020, 2, 3, 4, 5, 6));
}

} // namespace

// While a scope lives, the machine's zone is the one it found, whatever
// the machine changes to meanwhile; scopes nest, and after the last one the
// zone is read afresh.
TEST(TimeZone, ASystemZoneScopeAnswersTheZoneItFound)
{
    const QByteArray saved = qgetenv("TZ");
    const bool had = qEnvironmentVariableIsSet("TZ");
    const auto setZone = [](const char *name) { qputenv("TZ", name); };
    const struct
    {
        const char *atStart;
        const char *meanwhile;
    } cases[] = {{"Asia/Tokyo", "Europe/Berlin"}, {"America/New_York", "Asia/Kolkata"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.atStart);
        setZone(c.atStart);
        ASSERT_EQ(TimeZone::systemTimeZone().name(), c.atStart);
        {
            const SystemTimeZoneScope outer;
            setZone(c.meanwhile);
            EXPECT_EQ(TimeZone::systemTimeZone().name(), c.atStart);
            {
                const SystemTimeZoneScope inner;
                EXPECT_EQ(TimeZone::systemTimeZone().name(), c.atStart);
            }
            EXPECT_EQ(TimeZone::systemTimeZone().name(), c.atStart);
            // Another thread reads the machine's zone.
            QString elsewhere;
            std::thread([&elsewhere] { elsewhere = TimeZone::systemTimeZone().name(); }).join();
            EXPECT_EQ(elsewhere, c.meanwhile);
        }
        EXPECT_EQ(TimeZone::systemTimeZone().name(), c.meanwhile);
        EXPECT_EQ(SystemTimeZoneScope::current(), nullptr);
    }
    if (had)
        qputenv("TZ", saved);
    else
        qunsetenv("TZ");
}
