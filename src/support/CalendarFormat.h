#pragma once

#include "support/CalendarDate.h"

#include <QString>
#include <QStringView>
#include <optional>

// Dates written and read with calendar-format strings ("%a, %d %b %Y
// %H:%M:%S %z"), always with English day and month names whatever the user's
// language, so that files read the same everywhere. Conversions: %a weekday
// and %b month abbreviations, %d day 01-31, %e day 1-31, %Y four-digit year,
// %y year 00-99, %H %M %S, %z "+hhmm", %Z the zone's name, %% a percent
// sign; every other character stands for itself.
namespace CalendarFormat {

QString format(const CalendarDate &date, QStringView pattern);

// The date when the pattern matches the whole text with valid fields;
// weekday and month names in any case. %y reads 69-99 as 19xx and 00-68 as
// 20xx; %Z takes GMT, UT, UTC, Z, the North American zone abbreviations,
// "GMT+hhmm" forms and zone identifiers such as "Europe/Berlin".
std::optional<CalendarDate> parse(QStringView text, QStringView pattern);

} // namespace CalendarFormat
