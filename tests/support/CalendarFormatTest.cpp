#include "support/CalendarFormat.h"

#include <gtest/gtest.h>

namespace {

// The moment in UTC, or "none".
QString utc(const std::optional<CalendarDate> &date)
{
    return date ? date->instant().toUTC().toString(Qt::ISODate) : QStringLiteral("none");
}

TEST(CalendarFormatTest, ParsesOnlyWholeTextsWithValidFields)
{
    struct Case
    {
        const char *text;
        const char *pattern;
        const char *expected;
    };
    const Case cases[] = {
        {"Tue, 03 Mar 2009 14:05:00 +0100", "%a, %d %b %Y %H:%M:%S %z", "2009-03-03T13:05:00Z"},
        // A four-digit year or a numeric zone fails the earlier forms.
        {"Tue, 03 Mar 2009 14:05:00 +0100", "%a, %d %b %y %H:%M:%S %Z", "none"},
        {"Tue, 03 Mar 2009 14:05:00 +0100", "%a, %d %b %Y %H:%M:%S %Z", "none"},
        {"Tue, 03 Mar 09 14:05:00 GMT", "%a, %d %b %y %H:%M:%S %Z", "2009-03-03T14:05:00Z"},
        {"3 Mar 99 08:30 EST", "%e %b %y %H:%M %Z", "1999-03-03T13:30:00Z"},
        {"3 Mar 68 08:30 UT", "%e %b %y %H:%M %Z", "2068-03-03T08:30:00Z"},
        {"tue, 03 MAR 2009 14:05 -0230", "%a, %d %b %Y %H:%M %z", "2009-03-03T16:35:00Z"},
        {"03 Mar 2009 14:05 Europe/Berlin", "%d %b %Y %H:%M %Z", "2009-03-03T13:05:00Z"},
        {"3 Mar 2009 14:05 +0100", "%d %b %Y %H:%M %z", "none"}, // %d wants two digits
        {"31 Feb 2009 14:05 +0100", "%d %b %Y %H:%M %z", "none"},
        {"29 Feb 2008 23:59 +0000", "%d %b %Y %H:%M %z", "2008-02-29T23:59:00Z"},
        {"03 Mar 2009 24:00 +0100", "%d %b %Y %H:%M %z", "none"},
        {"03 Mar 2009 14:60 +0100", "%d %b %Y %H:%M %z", "none"},
        {"03 Mar 2009 14:05 +0100 extra", "%d %b %Y %H:%M %z", "none"},
        {"03 Mar 2009 14:05 +01", "%d %b %Y %H:%M %z", "none"},
        {"03 Mar 2009 14:05 Nowhere/Else", "%d %b %Y %H:%M %Z", "none"},
        {"03 Mrz 2009 14:05 +0100", "%d %b %Y %H:%M %z", "none"},
        {"", "%d %b %Y %H:%M %z", "none"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(
            utc(CalendarFormat::parse(QString::fromUtf8(c.text), QString::fromUtf8(c.pattern))),
            QString::fromUtf8(c.expected))
            << c.text << " / " << c.pattern;
}

TEST(CalendarFormatTest, WritesEnglishNamesAndReadsBackItsOwnText)
{
    const TimeZone plusOne = *TimeZone::timeZoneForSecondsFromGMT(3600);
    const TimeZone minusHalf = *TimeZone::timeZoneForSecondsFromGMT(-(3 * 3600 + 1800));
    struct Case
    {
        CalendarDate date;
        const char *pattern;
        const char *expected;
    };
    const Case cases[] = {
        {*CalendarDate::dateWithYear(2009, 3, 3, 14, 5, 9, plusOne), "%a, %d %b %Y %H:%M:%S %z",
         "Tue, 03 Mar 2009 14:05:09 +0100"},
        {*CalendarDate::dateWithYear(2024, 12, 1, 0, 0, 0, minusHalf), "%a, %e %b %y %H:%M %z",
         "Sun, 1 Dec 24 00:00 -0330"},
        {*CalendarDate::dateWithYear(2001, 1, 7, 9, 0, 0, TimeZone()), "%Z 100%% %q",
         "GMT 100% %q"},
    };
    for (const Case &c : cases) {
        const QString text = CalendarFormat::format(c.date, QString::fromUtf8(c.pattern));
        EXPECT_EQ(text, QString::fromUtf8(c.expected));
        if (!QByteArray(c.pattern).contains("%q"))
            EXPECT_EQ(utc(CalendarFormat::parse(text, QString::fromUtf8(c.pattern))), utc(c.date))
                << c.expected;
    }
}

} // namespace
