#pragma once

#include "support/TWXMLProtocol.h"
#include "support/TimeZone.h"
#include "support/XMLElement.h"

#include <QDateTime>
#include <QMetaType>
#include <optional>

#include <libxml/tree.h>

// A moment together with the zone it is shown in; its calendar fields are
// those of that zone.
class CalendarDate
{
public:
    // 1 January 2001, midnight GMT.
    CalendarDate();
    CalendarDate(const QDateTime &instant, TimeZone zone);

    // The date of the given fields in the zone. Fields out of their range
    // carry over (month 13 is January of the next year, minute -1 the last
    // minute of the hour before). Year 0 is the year before year 1. Nothing
    // when the result lies beyond a million years.
    static std::optional<CalendarDate> dateWithYear(long long year, long long month, long long day,
                                                    long long hour, long long minute,
                                                    long long second, const TimeZone &zone);
    static CalendarDate now(const TimeZone &zone = TimeZone::systemTimeZone());

    QDateTime instant() const { return m_instant; } // UTC
    const TimeZone &timeZone() const { return m_zone; }
    // The same moment shown in another zone.
    CalendarDate withTimeZone(const TimeZone &zone) const { return CalendarDate(m_instant, zone); }
    CalendarDate dateByAddingSeconds(qint64 seconds) const;

    // Fields in the date's zone; the year counts year 0 before year 1.
    int yearOfCommonEra() const;
    int monthOfYear() const;
    int dayOfMonth() const;
    int hourOfDay() const;
    int minuteOfHour() const;
    int secondOfMinute() const;
    // The zone's offset at this date.
    int secondsFromGMT() const { return m_zone.secondsFromGMTForDate(m_instant); }

    // <NSCalendarDate> on both routes: `year` ("%4d"), `month`, `day` ("%d"),
    // `hour`, `minute`, `second` ("%2d", blank-padded), `timeZone` (the
    // zone's name) and `utc` ("%0.1f" hours of the zone's offset at the date).
    XMLElement freshXMLElement() const;
    void addXmlDataToNode(xmlNodePtr parent) const;
    // Nothing for a null element or when year, month or day is missing (each
    // logged). The zone comes from `timeZone`, else from `utc`, else it is
    // the system zone; missing time fields are 0.
    static std::optional<CalendarDate> objectWithXMLElement(const XMLElement &element);
    // `parent` is the node holding <NSCalendarDate>. Nothing, with a log
    // line, at the first missing field; a missing zone only warns.
    static std::optional<CalendarDate> withXMLNode(xmlNodePtr parent, xmlDocPtr doc);

    // The same moment in the same-named zone.
    friend bool operator==(const CalendarDate &a, const CalendarDate &b)
    {
        return a.m_instant == b.m_instant && a.m_zone == b.m_zone;
    }
    friend bool operator!=(const CalendarDate &a, const CalendarDate &b) { return !(a == b); }

private:
    QDateTime wallClock() const { return m_zone.wallClock(m_instant); }

    QDateTime m_instant;
    TimeZone m_zone;
};

Q_DECLARE_METATYPE(CalendarDate)
