#include "support/CalendarFormat.h"

#include <QDate>
#include <array>

namespace {

constexpr std::array<const char *, 7> weekdays = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr std::array<const char *, 12> months = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

QString offsetText(int seconds)
{
    const QChar sign = seconds < 0 ? u'-' : u'+';
    const int minutes = std::abs(seconds) / 60;
    return sign + twoDigits(minutes / 60) + twoDigits(minutes % 60);
}

class Scanner
{
public:
    explicit Scanner(QStringView text) : m_text(text) {}

    bool atEnd() const { return m_pos >= m_text.size(); }
    bool literal(QChar c)
    {
        if (atEnd() || m_text[m_pos] != c)
            return false;
        ++m_pos;
        return true;
    }
    // Between minDigits and maxDigits decimal digits.
    std::optional<int> number(int minDigits, int maxDigits)
    {
        int value = 0;
        int count = 0;
        while (count < maxDigits && !atEnd() && m_text[m_pos] >= u'0' && m_text[m_pos] <= u'9') {
            value = value * 10 + (m_text[m_pos].unicode() - u'0');
            ++m_pos;
            ++count;
        }
        if (count < minDigits)
            return std::nullopt;
        return value;
    }
    // Index of the three-letter name matched, any case.
    template <size_t N> std::optional<int> name(const std::array<const char *, N> &names)
    {
        if (m_pos + 3 > m_text.size())
            return std::nullopt;
        const QStringView word = m_text.mid(m_pos, 3);
        for (size_t i = 0; i < N; ++i)
            if (word.compare(QLatin1String(names[i]), Qt::CaseInsensitive) == 0) {
                m_pos += 3;
                return int(i);
            }
        return std::nullopt;
    }
    std::optional<int> offset()
    {
        if (atEnd() || (m_text[m_pos] != u'+' && m_text[m_pos] != u'-'))
            return std::nullopt;
        const bool negative = m_text[m_pos] == u'-';
        ++m_pos;
        const std::optional<int> hours = number(2, 2);
        const std::optional<int> minutes = hours ? number(2, 2) : std::nullopt;
        if (!minutes || *hours > 18 || *minutes > 59)
            return std::nullopt;
        const int seconds = *hours * 3600 + *minutes * 60;
        return negative ? -seconds : seconds;
    }
    // The word up to the next blank.
    QStringView word()
    {
        const qsizetype start = m_pos;
        while (!atEnd() && !m_text[m_pos].isSpace())
            ++m_pos;
        return m_text.mid(start, m_pos - start);
    }

private:
    QStringView m_text;
    qsizetype m_pos = 0;
};

std::optional<TimeZone> zoneNamed(QStringView name)
{
    struct Abbreviation
    {
        const char *name;
        int hours;
    };
    static constexpr Abbreviation abbreviations[] = {
        {"GMT", 0},  {"UT", 0},   {"UTC", 0},  {"Z", 0},    {"EST", -5}, {"EDT", -4},
        {"CST", -6}, {"CDT", -5}, {"MST", -7}, {"MDT", -6}, {"PST", -8}, {"PDT", -7}};
    for (const Abbreviation &a : abbreviations)
        if (name.compare(QLatin1String(a.name), Qt::CaseInsensitive) == 0)
            return a.hours == 0 ? TimeZone() : TimeZone::timeZoneForSecondsFromGMT(a.hours * 3600);
    if (name.isEmpty())
        return std::nullopt;
    return TimeZone::timeZoneWithName(name.toString());
}

} // namespace

namespace CalendarFormat {

QString format(const CalendarDate &date, QStringView pattern)
{
    QString text;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c != u'%' || i + 1 == pattern.size()) {
            text += c;
            continue;
        }
        switch (pattern[++i].unicode()) {
        case 'a': {
            const QDate day(date.yearOfCommonEra(), date.monthOfYear(), date.dayOfMonth());
            text += QLatin1String(weekdays[size_t(std::max(day.dayOfWeek(), 1) - 1)]);
            break;
        }
        case 'b':
            text += QLatin1String(months[size_t(date.monthOfYear() - 1)]);
            break;
        case 'd':
            text += twoDigits(date.dayOfMonth());
            break;
        case 'e':
            text += QString::number(date.dayOfMonth());
            break;
        case 'Y':
            text += QString::number(date.yearOfCommonEra());
            break;
        case 'y':
            text += twoDigits(((date.yearOfCommonEra() % 100) + 100) % 100);
            break;
        case 'H':
            text += twoDigits(date.hourOfDay());
            break;
        case 'M':
            text += twoDigits(date.minuteOfHour());
            break;
        case 'S':
            text += twoDigits(date.secondOfMinute());
            break;
        case 'z':
            text += offsetText(date.secondsFromGMT());
            break;
        case 'Z':
            text += date.timeZone().name();
            break;
        case '%':
            text += u'%';
            break;
        default:
            text += c;
            text += pattern[i];
        }
    }
    return text;
}

std::optional<CalendarDate> parse(QStringView text, QStringView pattern)
{
    Scanner in(text);
    std::optional<int> year, month, day, hour = 0, minute = 0, second = 0;
    TimeZone zone = TimeZone::systemTimeZone();
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c != u'%' || i + 1 == pattern.size()) {
            if (!in.literal(c))
                return std::nullopt;
            continue;
        }
        bool ok = true;
        switch (pattern[++i].unicode()) {
        case 'a':
            ok = in.name(weekdays).has_value();
            break;
        case 'b':
            month = in.name(months);
            ok = month.has_value();
            if (ok)
                month = *month + 1;
            break;
        case 'd':
            day = in.number(2, 2);
            ok = day.has_value();
            break;
        case 'e':
            day = in.number(1, 2);
            ok = day.has_value();
            break;
        case 'Y':
            year = in.number(4, 4);
            ok = year.has_value();
            break;
        case 'y':
            year = in.number(2, 2);
            ok = year.has_value();
            if (ok)
                year = *year + (*year >= 69 ? 1900 : 2000);
            break;
        case 'H':
            hour = in.number(2, 2);
            ok = hour && *hour < 24;
            break;
        case 'M':
            minute = in.number(2, 2);
            ok = minute && *minute < 60;
            break;
        case 'S':
            second = in.number(2, 2);
            ok = second && *second < 60;
            break;
        case 'z': {
            const std::optional<int> seconds = in.offset();
            std::optional<TimeZone> fixed =
                seconds ? TimeZone::timeZoneForSecondsFromGMT(*seconds) : std::nullopt;
            ok = fixed.has_value();
            if (ok)
                zone = *fixed;
            break;
        }
        case 'Z': {
            std::optional<TimeZone> named = zoneNamed(in.word());
            ok = named.has_value();
            if (ok)
                zone = *named;
            break;
        }
        case '%':
            ok = in.literal(u'%');
            break;
        default:
            ok = in.literal(c) && in.literal(pattern[i]);
        }
        if (!ok)
            return std::nullopt;
    }
    if (!in.atEnd() || !year || !month || !day || *day < 1 ||
        *day > QDate(*year, *month, 1).daysInMonth())
        return std::nullopt;
    return CalendarDate::dateWithYear(*year, *month, *day, *hour, *minute, *second, zone);
}

} // namespace CalendarFormat
