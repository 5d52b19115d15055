#pragma once

#include "support/TimeZone.h"

// While one lives, TimeZone::systemTimeZone() on its thread answers the zone
// the machine had when it was made: a task that makes many dated records
// reads the zone once. Scopes nest; made and ended on one thread.
class SystemTimeZoneScope
{
public:
    SystemTimeZoneScope();
    ~SystemTimeZoneScope();
    SystemTimeZoneScope(const SystemTimeZoneScope &) = delete;
    SystemTimeZoneScope &operator=(const SystemTimeZoneScope &) = delete;

    // The zone answered, if a scope lives on this thread.
    static const TimeZone *current();

private:
    TimeZone m_zone;
    const SystemTimeZoneScope *m_previous;
};
