#include "support/TimeZone.h"
#include "support/SystemTimeZoneScope.h"

#include "platform/CFormat.h"

#include <QRegularExpression>
#include <cmath>

namespace {

constexpr qint64 maxOffset = 18 * 3600;

QString nameForOffset(int seconds)
{
    if (seconds == 0)
        return QStringLiteral("GMT");
    const char sign = seconds < 0 ? '-' : '+';
    const int a = std::abs(seconds);
    if (a % 60)
        return CFormat::format("GMT%c%02d%02d%02d", sign, a / 3600, a / 60 % 60, a % 60);
    return CFormat::format("GMT%c%02d%02d", sign, a / 3600, a / 60 % 60);
}

// Names are handed to the zone database as file names below its folder;
// refuse anything that is not an ordinary zone name before it gets there.
bool isPlausibleZoneId(const QString &name)
{
    if (name.isEmpty() || name.size() > 64 || name.startsWith(u'/') ||
        name.contains(QLatin1String("..")))
        return false;
    for (QChar c : name) {
        const char16_t u = c.unicode();
        const bool ok = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') ||
                        (u >= '0' && u <= '9') || u == '/' || u == '_' || u == '-' || u == '+';
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

namespace {
thread_local const SystemTimeZoneScope *pinned = nullptr;
}

SystemTimeZoneScope::SystemTimeZoneScope() : m_zone(TimeZone::systemTimeZone()), m_previous(pinned)
{
    pinned = this;
}

SystemTimeZoneScope::~SystemTimeZoneScope()
{
    pinned = m_previous;
}

const TimeZone *SystemTimeZoneScope::current()
{
    return pinned ? &pinned->m_zone : nullptr;
}

TimeZone TimeZone::systemTimeZone()
{
    if (const TimeZone *zone = SystemTimeZoneScope::current())
        return *zone;
    const QTimeZone zone = QTimeZone::systemTimeZone();
    QString name = QString::fromLatin1(zone.id());
    if (name.isEmpty() || !zone.isValid())
        return TimeZone(QStringLiteral("GMT"), 0);
    return TimeZone(name, zone);
}

std::optional<TimeZone> TimeZone::timeZoneWithName(const QString &name)
{
    static const QRegularExpression gmtForm(
        QStringLiteral("^GMT(?:([+-])(\\d{1,2})(?::?(\\d{2})(?::?(\\d{2}))?)?)?$"));
    const QRegularExpressionMatch m = gmtForm.match(name);
    if (m.hasMatch()) {
        qint64 seconds = 0;
        if (m.hasCaptured(1)) {
            seconds = m.captured(2).toLongLong() * 3600 + m.captured(3).toLongLong() * 60 +
                      m.captured(4).toLongLong();
            if (m.captured(1) == QLatin1String("-"))
                seconds = -seconds;
        }
        if (seconds < -maxOffset || seconds > maxOffset)
            return std::nullopt;
        return TimeZone(name, int(seconds)); // the name exactly as given
    }
    if (!isPlausibleZoneId(name))
        return std::nullopt;
    QTimeZone zone(name.toLatin1());
    if (!zone.isValid())
        return std::nullopt;
    return TimeZone(name, zone);
}

std::optional<TimeZone> TimeZone::timeZoneForSecondsFromGMT(qint64 seconds)
{
    if (seconds < -maxOffset || seconds > maxOffset)
        return std::nullopt;
    return TimeZone(nameForOffset(int(seconds)), int(seconds));
}

std::optional<TimeZone> TimeZone::timeZoneWithUTC(float hours)
{
    const double seconds = std::trunc(3600.0 * double(hours));
    if (!std::isfinite(seconds) || std::fabs(seconds) > double(maxOffset))
        return std::nullopt;
    return timeZoneForSecondsFromGMT(qint64(seconds));
}

int TimeZone::secondsFromGMT() const
{
    return secondsFromGMTForDate(QDateTime::currentDateTimeUtc());
}

int TimeZone::secondsFromGMTForDate(const QDateTime &instant) const
{
    if (m_fixedOffset)
        return *m_fixedOffset;
    return m_zone.offsetFromUtc(instant);
}

QDateTime TimeZone::wallClock(const QDateTime &instant) const
{
    const QDateTime utc = instant.toUTC();
    return utc.addSecs(secondsFromGMTForDate(utc));
}

QDateTime TimeZone::instantForWallClock(const QDateTime &wallClock) const
{
    if (m_fixedOffset)
        return wallClock.addSecs(-*m_fixedOffset);
    return QDateTime(wallClock.date(), wallClock.time(), m_zone).toUTC();
}
