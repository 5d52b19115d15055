#include "support/CalendarDate.h"

#include <QDate>
#include <cstdlib>

namespace {

constexpr long long yearLimit = 1000000;

// Qt's calendar has no year 0: 1 BC is year -1. Files count 0 before 1.
int toQtYear(long long year)
{
    return int(year <= 0 ? year - 1 : year);
}

int fromQtYear(int year)
{
    return year < 0 ? year + 1 : year;
}

long long floorDiv(long long a, long long b)
{
    long long q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

bool inRange(long long v, long long limit)
{
    return v >= -limit && v <= limit;
}

} // namespace

CalendarDate::CalendarDate() : m_instant(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC) {}

CalendarDate::CalendarDate(const QDateTime &instant, TimeZone zone)
    : m_instant(instant.toUTC()), m_zone(std::move(zone))
{}

std::optional<CalendarDate> CalendarDate::dateWithYear(long long year, long long month,
                                                       long long day, long long hour,
                                                       long long minute, long long second,
                                                       const TimeZone &zone)
{
    // Bounded first, so that none of the sums below can overflow.
    constexpr long long fieldLimit = 1LL << 40;
    if (!inRange(year, yearLimit) || !inRange(month, fieldLimit) || !inRange(day, fieldLimit) ||
        !inRange(hour, fieldLimit) || !inRange(minute, fieldLimit) || !inRange(second, fieldLimit))
        return std::nullopt;
    const long long months = year * 12 + (month - 1);
    const long long y = floorDiv(months, 12);
    const int m = int(months - y * 12) + 1;
    if (!inRange(y, yearLimit))
        return std::nullopt;
    const QDate first(toQtYear(y), m, 1);
    const QDate date = first.addDays(day - 1);
    if (!date.isValid() || !inRange(fromQtYear(date.year()), yearLimit))
        return std::nullopt;
    const QDateTime wall =
        QDateTime(date, QTime(0, 0), Qt::UTC).addSecs(hour * 3600 + minute * 60 + second);
    if (!wall.isValid() || !inRange(fromQtYear(wall.date().year()), yearLimit))
        return std::nullopt;
    const QDateTime instant = zone.instantForWallClock(wall);
    if (!instant.isValid())
        return std::nullopt;
    return CalendarDate(instant, zone);
}

CalendarDate CalendarDate::now(const TimeZone &zone)
{
    return CalendarDate(QDateTime::currentDateTimeUtc(), zone);
}

CalendarDate CalendarDate::dateByAddingSeconds(qint64 seconds) const
{
    return CalendarDate(m_instant.addSecs(seconds), m_zone);
}

int CalendarDate::yearOfCommonEra() const
{
    return fromQtYear(wallClock().date().year());
}

int CalendarDate::monthOfYear() const
{
    return wallClock().date().month();
}

int CalendarDate::dayOfMonth() const
{
    return wallClock().date().day();
}

int CalendarDate::hourOfDay() const
{
    return wallClock().time().hour();
}

int CalendarDate::minuteOfHour() const
{
    return wallClock().time().minute();
}

int CalendarDate::secondOfMinute() const
{
    return wallClock().time().second();
}
