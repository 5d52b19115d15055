#include "support/CalendarDate.h"

#include <gtest/gtest.h>

namespace {

TimeZone zone(const char *name)
{
    const auto z = TimeZone::timeZoneWithName(name);
    EXPECT_TRUE(z.has_value()) << name;
    return z.value_or(TimeZone::systemTimeZone());
}

TEST(TimeZone, FromUTCTruncatesTowardZero)
{
    EXPECT_EQ(TimeZone::timeZoneWithUTC(5.75)->secondsFromGMT(), 20700);
    EXPECT_EQ(TimeZone::timeZoneWithUTC(-0.0001)->secondsFromGMT(), 0);
    EXPECT_EQ(TimeZone::timeZoneWithUTC(-3.5)->secondsFromGMT(), -12600);
    EXPECT_EQ(TimeZone::timeZoneWithUTC(5.8)->secondsFromGMT(), 20880);
    EXPECT_EQ(TimeZone::timeZoneWithUTC(1.00001)->secondsFromGMT(), 3600);
    EXPECT_EQ(TimeZone::timeZoneWithUTC(-1.00001)->secondsFromGMT(), -3600);
}

TEST(TimeZone, OffsetZonesAreNamedLikeGMTPlusHoursMinutes)
{
    EXPECT_EQ(TimeZone::timeZoneWithUTC(5.75)->name(), "GMT+0545");
    EXPECT_EQ(TimeZone::timeZoneWithUTC(-3.5)->name(), "GMT-0330");
    EXPECT_EQ(TimeZone::timeZoneWithUTC(0)->name(), "GMT");
    EXPECT_EQ(TimeZone::timeZoneForSecondsFromGMT(3601)->name(), "GMT+010001");
    EXPECT_EQ(TimeZone::timeZoneForSecondsFromGMT(-36000)->name(), "GMT-1000");
}

TEST(TimeZone, OffsetNamesReadBackWithTheSameNameAndOffset)
{
    for (const char *name : {"GMT+0545", "GMT-0330", "GMT", "GMT+010001", "GMT+05:45", "GMT-7"}) {
        SCOPED_TRACE(name);
        const auto z = TimeZone::timeZoneWithName(name);
        ASSERT_TRUE(z);
        EXPECT_EQ(z->name(), name);
        EXPECT_TRUE(z->isFixedOffset());
    }
    EXPECT_EQ(zone("GMT+05:45").secondsFromGMT(), 20700);
    EXPECT_EQ(zone("GMT-7").secondsFromGMT(), -25200);
    EXPECT_EQ(zone("GMT+010001").secondsFromGMT(), 3601);
}

TEST(TimeZone, UTCIsTheOffsetInHours)
{
    EXPECT_FLOAT_EQ(TimeZone::timeZoneWithUTC(-3.5)->utc(), -3.5);
    EXPECT_FLOAT_EQ(TimeZone::timeZoneWithUTC(5.75)->utc(), 5.75);
}

TEST(TimeZone, NamedZonesFollowSummerTime)
{
    const TimeZone berlin = zone("Europe/Berlin");
    EXPECT_EQ(berlin.name(), "Europe/Berlin");
    EXPECT_FALSE(berlin.isFixedOffset());
    EXPECT_EQ(berlin.secondsFromGMTForDate(QDateTime(QDate(2020, 1, 15), QTime(12, 0), Qt::UTC)),
              3600);
    EXPECT_EQ(berlin.secondsFromGMTForDate(QDateTime(QDate(2020, 7, 15), QTime(12, 0), Qt::UTC)),
              7200);
}

TEST(TimeZone, RefusesNamesThatNameNoZone)
{
    for (const char *name : {"", "Mars/Olympus", "GMT+19", "GMT+1x", "../../../etc/passwd",
                             "/etc/localtime", "Europe/Berlin\n", "Europe\\Berlin"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(TimeZone::timeZoneWithName(name));
    }
    EXPECT_FALSE(TimeZone::timeZoneWithUTC(18.5));
    EXPECT_FALSE(TimeZone::timeZoneWithUTC(-1e30f));
    EXPECT_FALSE(TimeZone::timeZoneWithUTC(std::nan("")));
    EXPECT_FALSE(TimeZone::timeZoneForSecondsFromGMT(18 * 3600 + 1));
    EXPECT_TRUE(TimeZone::timeZoneForSecondsFromGMT(-18 * 3600));
}

TEST(TimeZone, SystemZoneHasAName)
{
    EXPECT_FALSE(TimeZone::systemTimeZone().name().isEmpty());
}

TEST(CalendarDate, FieldsAreThoseOfItsZone)
{
    const auto d = CalendarDate::dateWithYear(2021, 3, 4, 9, 5, 3, zone("GMT-0330"));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->yearOfCommonEra(), 2021);
    EXPECT_EQ(d->monthOfYear(), 3);
    EXPECT_EQ(d->dayOfMonth(), 4);
    EXPECT_EQ(d->hourOfDay(), 9);
    EXPECT_EQ(d->minuteOfHour(), 5);
    EXPECT_EQ(d->secondOfMinute(), 3);
    EXPECT_EQ(d->instant(), QDateTime(QDate(2021, 3, 4), QTime(12, 35, 3), Qt::UTC));

    const CalendarDate inTokyo = d->withTimeZone(zone("Asia/Tokyo"));
    EXPECT_EQ(inTokyo.hourOfDay(), 21);
    EXPECT_EQ(inTokyo.minuteOfHour(), 35);
    EXPECT_NE(inTokyo, *d); // same moment, other zone
    EXPECT_EQ(inTokyo.instant(), d->instant());
}

TEST(CalendarDate, NamedZoneUsesTheOffsetOfTheDate)
{
    const auto summer = CalendarDate::dateWithYear(2020, 7, 1, 12, 0, 0, zone("Europe/Berlin"));
    ASSERT_TRUE(summer);
    EXPECT_EQ(summer->instant(), QDateTime(QDate(2020, 7, 1), QTime(10, 0), Qt::UTC));
    EXPECT_EQ(summer->secondsFromGMT(), 7200);
}

TEST(CalendarDate, FieldsOutOfRangeCarryOver)
{
    const TimeZone gmt = zone("GMT");
    EXPECT_EQ(CalendarDate::dateWithYear(2020, 13, 1, 0, 0, 0, gmt),
              CalendarDate::dateWithYear(2021, 1, 1, 0, 0, 0, gmt));
    EXPECT_EQ(CalendarDate::dateWithYear(2020, 3, 0, 0, 0, 0, gmt),
              CalendarDate::dateWithYear(2020, 2, 29, 0, 0, 0, gmt));
    EXPECT_EQ(CalendarDate::dateWithYear(2020, 1, 1, 0, -1, 0, gmt),
              CalendarDate::dateWithYear(2019, 12, 31, 23, 59, 0, gmt));
    EXPECT_EQ(CalendarDate::dateWithYear(2020, -1, 1, 0, 0, 0, gmt),
              CalendarDate::dateWithYear(2019, 11, 1, 0, 0, 0, gmt));
    EXPECT_EQ(CalendarDate::dateWithYear(2020, 1, 1, 48, 0, 0, gmt),
              CalendarDate::dateWithYear(2020, 1, 3, 0, 0, 0, gmt));
}

TEST(CalendarDate, YearZeroIsTheYearBeforeYearOne)
{
    const TimeZone gmt = zone("GMT");
    const auto zero = CalendarDate::dateWithYear(0, 12, 31, 0, 0, 0, gmt);
    ASSERT_TRUE(zero);
    EXPECT_EQ(zero->yearOfCommonEra(), 0);
    EXPECT_EQ(zero->dateByAddingSeconds(86400).yearOfCommonEra(), 1);
    const auto negative = CalendarDate::dateWithYear(-44, 3, 15, 0, 0, 0, gmt);
    ASSERT_TRUE(negative);
    EXPECT_EQ(negative->yearOfCommonEra(), -44);
    EXPECT_EQ(negative->monthOfYear(), 3);
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
    const auto far = CalendarDate::dateWithYear(2020, 1, 1, 2147483647, 0, 0, gmt);
    ASSERT_TRUE(far); // 245,000 years on is still within reach
    EXPECT_EQ(far->yearOfCommonEra(), 2020 + 244983);
    EXPECT_TRUE(CalendarDate::dateWithYear(2020, 1, 1, 0, 0, 2147483647, gmt)); // 68 years on
}

TEST(CalendarDate, EqualityNeedsTheSameMomentAndZoneName)
{
    const auto a = CalendarDate::dateWithYear(2020, 1, 1, 10, 0, 0, zone("GMT+0100"));
    const auto b = CalendarDate::dateWithYear(2020, 1, 1, 10, 0, 0, zone("GMT+01:00"));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->instant(), b->instant());
    EXPECT_NE(*a, *b);
    EXPECT_EQ(*a, *CalendarDate::dateWithYear(2020, 1, 1, 10, 0, 0, zone("GMT+0100")));
}

} // namespace
