#pragma once

#include <QDateTime>
#include <QString>
#include <QTimeZone>
#include <optional>

// A time zone that keeps the name it was made with: an IANA name, or for a
// zone made from a fixed offset the "GMT+hhmm" form, so that it is written
// back exactly as it was read.
class TimeZone
{
public:
    // GMT.
    TimeZone() : m_name(QStringLiteral("GMT")), m_fixedOffset(0) {}

    // The machine's zone.
    static TimeZone systemTimeZone();
    // A zone named like "Europe/Berlin", "GMT", "GMT+0545" or "GMT-03:30";
    // nothing for a name that names no zone.
    static std::optional<TimeZone> timeZoneWithName(const QString &name);
    // A fixed zone; nothing beyond 18 hours either way. Its name is "GMT" for
    // no offset, else "GMT" with sign, hours and minutes (and seconds if any).
    static std::optional<TimeZone> timeZoneForSecondsFromGMT(qint64 seconds);
    // The fixed zone of 3600 x hours seconds, truncated toward zero.
    static std::optional<TimeZone> timeZoneWithUTC(float hours);

    const QString &name() const { return m_name; }
    bool isFixedOffset() const { return m_fixedOffset.has_value(); }

    // Offset now, and at a given instant (summer time differs).
    int secondsFromGMT() const;
    int secondsFromGMTForDate(const QDateTime &instant) const;
    // The offset now in hours.
    float utc() const { return float(secondsFromGMT() / 3600.0); }

    // Wall-clock time in this zone of an instant, as a QDateTime in UTC.
    QDateTime wallClock(const QDateTime &instant) const;
    // The instant whose wall-clock time here is the given one (the fields
    // held in a QDateTime in UTC).
    QDateTime instantForWallClock(const QDateTime &wallClock) const;

    friend bool operator==(const TimeZone &a, const TimeZone &b) { return a.m_name == b.m_name; }
    friend bool operator!=(const TimeZone &a, const TimeZone &b) { return !(a == b); }

private:
    TimeZone(QString name, QTimeZone zone) : m_name(std::move(name)), m_zone(std::move(zone)) {}
    TimeZone(QString name, int offset) : m_name(std::move(name)), m_fixedOffset(offset) {}

    QString m_name;
    QTimeZone m_zone;
    std::optional<int> m_fixedOffset;
};
