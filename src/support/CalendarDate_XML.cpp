#include "platform/CFormat.h"
#include "support/CalendarDate.h"
#include "support/TWXMLUtils.h"

#include <QDebug>

namespace {

struct Fields
{
    QString year, month, day, hour, minute, second, timeZone, utc;
};

Fields fieldsOf(const CalendarDate &date)
{
    return {CFormat::format("%4d", date.yearOfCommonEra()),
            CFormat::format("%d", date.monthOfYear()), CFormat::format("%d", date.dayOfMonth()),
            CFormat::format("%2d", date.hourOfDay()), CFormat::format("%2d", date.minuteOfHour()),
            CFormat::format("%2d", date.secondOfMinute()), date.timeZone().name(),
            // Hours in single precision, like TimeZone::utc(): the rounding
            // of the one decimal (0.45 as 0.4) depends on it.
            CFormat::format("%0.1f", double(float(date.secondsFromGMT() / 3600.0)))};
}

const char *const fieldNames[6] = {"year", "month", "day", "hour", "minute", "second"};

void logMissing(const char *field)
{
    qWarning().noquote() << QStringLiteral("Invalid NSCalendarDate: missing ") +
                                QLatin1String(field);
}

std::optional<CalendarDate> makeDate(const long long f[6], const TimeZone &zone)
{
    auto date = CalendarDate::dateWithYear(f[0], f[1], f[2], f[3], f[4], f[5], zone);
    if (!date)
        qWarning("Invalid NSCalendarDate: %lld-%lld-%lld %lld:%lld:%lld is out of range", f[0],
                 f[1], f[2], f[3], f[4], f[5]);
    return date;
}

TimeZone zoneOrSystem(const std::optional<TimeZone> &zone)
{
    return zone ? *zone : TimeZone::systemTimeZone();
}

} // namespace

XMLElement CalendarDate::freshXMLElement() const
{
    const Fields f = fieldsOf(*this);
    XMLElement element = XMLElement::create("NSCalendarDate");
    element.setString(f.year, "year");
    element.setString(f.month, "month");
    element.setString(f.day, "day");
    element.setString(f.hour, "hour");
    element.setString(f.minute, "minute");
    element.setString(f.second, "second");
    element.setString(f.timeZone, "timeZone");
    element.setString(f.utc, "utc");
    return element;
}

void CalendarDate::addXmlDataToNode(xmlNodePtr parent) const
{
    if (!parent)
        return;
    const Fields f = fieldsOf(*this);
    xmlNodePtr node = TWXMLUtils::addElementChild(parent, "NSCalendarDate");
    TWXMLUtils::addTextChild(node, "year", f.year);
    TWXMLUtils::addTextChild(node, "month", f.month);
    TWXMLUtils::addTextChild(node, "day", f.day);
    TWXMLUtils::addTextChild(node, "hour", f.hour);
    TWXMLUtils::addTextChild(node, "minute", f.minute);
    TWXMLUtils::addTextChild(node, "second", f.second);
    TWXMLUtils::addTextChild(node, "timeZone", f.timeZone);
    TWXMLUtils::addTextChild(node, "utc", f.utc);
}

std::optional<CalendarDate> CalendarDate::objectWithXMLElement(const XMLElement &element)
{
    if (element.isNull())
        return std::nullopt;

    std::optional<TimeZone> zone;
    if (const XMLElement name = element.elementForName("timeZone"))
        zone = TimeZone::timeZoneWithName(name.stringValue());
    else if (const XMLElement utc = element.elementForName("utc"))
        zone = TimeZone::timeZoneWithUTC(float(utc.floatValue()));

    long long f[6];
    for (int i = 0; i < 6; ++i) {
        const XMLElement child = element.elementForName(fieldNames[i]);
        // A date without its day is no date; a missing time of day is midnight.
        if (child.isNull() && i < 3) {
            logMissing(fieldNames[i]);
            return std::nullopt;
        }
        f[i] = child.longLongValue();
    }
    return makeDate(f, zoneOrSystem(zone));
}

std::optional<CalendarDate> CalendarDate::withXMLNode(xmlNodePtr parent, xmlDocPtr doc)
{
    const TWXMLUtils::XPathReader reader(parent, doc);
    long long f[6];
    for (int i = 0; i < 6; ++i) {
        const QByteArray path = QByteArray("NSCalendarDate/") + fieldNames[i];
        const std::optional<qint64> value = reader.longLongValue(path.constData());
        if (!value) {
            logMissing(fieldNames[i]);
            return std::nullopt;
        }
        f[i] = *value;
    }

    std::optional<TimeZone> zone;
    const std::optional<QString> name = reader.text("NSCalendarDate/timeZone");
    const std::optional<QString> utc = reader.text("NSCalendarDate/utc");
    if (name && !name->isEmpty()) {
        zone = TimeZone::timeZoneWithName(*name);
    } else if (utc && !utc->isEmpty()) {
        zone = TimeZone::timeZoneWithUTC(CFormat::floatValue(*utc));
    } else {
        qWarning("Warning: Invalid NSCalendarDate: missing timeZone");
    }
    return makeDate(f, zoneOrSystem(zone));
}
