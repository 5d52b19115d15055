#include "model/TWResource.h"
#include "model/TWRecordSupport.h"
#include "platform/CFormat.h"
#include "platform/KeyValueTable.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "platform/Uuid.h"
#include "support/TWXMLUtils.h"

#include <QDebug>
#include <cmath>
#include <functional>
#include <mutex>
#include <tuple>
#include <utility>

namespace {

const char *const weekdayKeys[7] = {"availableSunday",    "availableMonday",   "availableTuesday",
                                    "availableWednesday", "availableThursday", "availableFriday",
                                    "availableSaturday"};

CalendarDate timeOfDay(long long hour, long long minute, const CalendarDate &fallback,
                       const TimeZone &zone = TimeZone::systemTimeZone())
{
    return CalendarDate::dateWithYear(2000, 1, 1, hour, minute, 0, zone).value_or(fallback);
}

QVariant textVariant(const QString &text)
{
    return text.isEmpty() ? QVariant() : QVariant(text);
}

// Costs that are no number would spread into every sum; they read as 0.
float finiteOrZero(double value)
{
    return std::isfinite(value) ? float(value) : 0.0f;
}

// The working hours a new resource starts with, in the system zone: worked
// out once per zone, as an import makes a resource per name and task.
std::pair<CalendarDate, CalendarDate> defaultWorkingHours()
{
    struct Known
    {
        TimeZone zone;
        CalendarDate start, finish;
    };
    // Never released: zones must not outlive the application. Any thread
    // may make a resource.
    static Known *known = nullptr;
    static std::mutex guard;
    const TimeZone zone = TimeZone::systemTimeZone();
    const std::lock_guard lock(guard);
    if (!known || known->zone != zone) {
        const CalendarDate start = timeOfDay(9, 0, CalendarDate(), zone);
        const CalendarDate finish = timeOfDay(17, 0, CalendarDate(), start.timeZone());
        delete known;
        known = new Known{zone, start, finish};
    }
    return {known->start, known->finish};
}

} // namespace

TWResource::TWResource()
    : TWResource(TWLocalizedString(StringTable::DadoZiz, QStringLiteral("New Resource")), nullptr,
                 defaultWorkingHours())
{}

// An importer makes one per name it reads: the default name and times are
// not made only to be replaced.
TWResource::TWResource(const QString &resourceName, UndoManager *undoManager)
    : TWResource(resourceName, undoManager, defaultWorkingHours())
{}

TWResource::TWResource(const QString &resourceName, UndoManager *undoManager,
                       const std::pair<CalendarDate, CalendarDate> &workingHours)
    : m_resourceIdentifier(newUUIDString()), m_resourceName(resourceName),
      m_dailyStartTime(workingHours.first), m_dailyFinishTime(workingHours.second),
      m_undoManager(undoManager)
{}

std::shared_ptr<TWResource> TWResource::copy() const
{
    return objectWithXMLElement(freshXMLElement());
}

int TWResource::availableDays() const
{
    int bits = 0;
    for (int day = Sunday; day <= Saturday; ++day) {
        if (m_available[day])
            bits |= 1 << day;
    }
    return bits;
}

// --- setters ---

void TWResource::changed(const QString &key)
{
    TWRecord::postValueDidChange(this, key);
}

template <class V, class Set>
void TWResource::setValue(V &field, const V &value, Set set, const char *key)
{
    if (field == value)
        return;
    if (auto self = weak_from_this().lock()) {
        UndoManager::registerUndo(m_undoManager,
                                  [self, old = field, set] { std::invoke(set, *self, old); });
    }
    field = value;
    changed(QString::fromLatin1(key));
}

void TWResource::setResourceName(const QString &name)
{
    if (name == m_resourceName)
        return;
    setValue(m_resourceName, name, &TWResource::setResourceName, "resourceName");
    // Undo and redo replay the short name's own step; deriving it again
    // there would leave initials that were not there before.
    if (m_shortName.isEmpty() && !TWRecord::isReplaying(m_undoManager))
        setShortName(initials(name));
}

void TWResource::setShortName(const QString &shortName)
{
    setValue(m_shortName, shortName, &TWResource::setShortName, "shortName");
}

void TWResource::setRole(const QString &role)
{
    setValue(m_role, role, &TWResource::setRole, "role");
}

void TWResource::setUnitCost(float unitCost)
{
    setValue(m_unitCost, unitCost, &TWResource::setUnitCost, "unitCost");
    renewCostString();
}

void TWResource::setHourlyRate(bool hourlyRate)
{
    setValue(m_hourlyRate, hourlyRate, &TWResource::setHourlyRate, "hourlyRate");
    renewCostString();
}

void TWResource::setOvertimeRate(float overtimeRate)
{
    setValue(m_overtimeRate, overtimeRate, &TWResource::setOvertimeRate, "overtimeRate");
    renewOvertimeString();
}

void TWResource::setDaysPerWeekAvailable(float days)
{
    setValue(m_daysPerWeekAvailable, days, &TWResource::setDaysPerWeekAvailable,
             "daysPerWeekAvailable");
}

void TWResource::setAvailable(Weekday day, bool available)
{
    if (day < Sunday || day > Saturday)
        return;
    setValue(
        m_available[day], available,
        [day](TWResource &resource, bool old) { resource.setAvailable(day, old); },
        weekdayKeys[day]);
}

void TWResource::setDailyStartTime(const CalendarDate &time)
{
    setValue(m_dailyStartTime, time, &TWResource::setDailyStartTime, "dailyStartTime");
}

void TWResource::setDailyFinishTime(const CalendarDate &time)
{
    setValue(m_dailyFinishTime, time, &TWResource::setDailyFinishTime, "dailyFinishTime");
}

void TWResource::setWorkingDownTime(int downTime)
{
    setValue(m_workingDownTime, downTime, &TWResource::setWorkingDownTime, "workingDownTime");
}

void TWResource::setResourceIdentifier(const std::optional<QString> &identifier)
{
    if (identifier == m_resourceIdentifier)
        return;
    m_resourceIdentifier = identifier;
    changed(QStringLiteral("resourceIdentifier"));
}

void TWResource::renewCostString()
{
    const QString text = costText(m_unitCost, m_hourlyRate, QLocale());
    if (text == m_costString)
        return;
    m_costString = text;
    changed(QStringLiteral("costString"));
}

void TWResource::renewOvertimeString()
{
    const QString text = overtimeText(m_overtimeRate, QLocale());
    if (text == m_overtimeString)
        return;
    m_overtimeString = text;
    changed(QStringLiteral("overtimeString"));
}

// --- by key ---

const KeyValueTable<TWResource> &TWResource::keyTable()
{
    static const KeyValueTable<TWResource> table = [] {
        using R = TWResource;
        KeyValueTable<R> t;
        const auto text = [&t](const char *key, QString R::*field,
                               void (R::*set)(const QString &)) {
            t.add(
                QString::fromLatin1(key), [field](const R &r) { return textVariant(r.*field); },
                [set](R &r, const QVariant &v) {
                    if (v.isValid() && !v.canConvert<QString>())
                        return false;
                    (r.*set)(v.toString());
                    return true;
                });
        };
        t.add(
            QStringLiteral("resourceIdentifier"),
            [](const R &r) {
                return r.m_resourceIdentifier ? QVariant(*r.m_resourceIdentifier) : QVariant();
            },
            [](R &r, const QVariant &v) {
                if (v.isValid() && !v.canConvert<QString>())
                    return false;
                r.setResourceIdentifier(v.isValid() ? std::optional<QString>(v.toString())
                                                    : std::nullopt);
                return true;
            });
        text("resourceName", &R::m_resourceName, &R::setResourceName);
        text("shortName", &R::m_shortName, &R::setShortName);
        text("role", &R::m_role, &R::setRole);
        t.property(QStringLiteral("unitCost"), &R::unitCost, &R::setUnitCost);
        t.property(QStringLiteral("overtimeRate"), &R::overtimeRate, &R::setOvertimeRate);
        t.property(QStringLiteral("hourlyRate"), &R::hourlyRate, &R::setHourlyRate);
        t.add(
            QStringLiteral("daysAvailableMode"), [](const R &r) { return r.m_daysAvailableMode; },
            [](R &r, const QVariant &v) {
                bool ok = false;
                const int mode = v.toInt(&ok);
                if (ok && mode != r.m_daysAvailableMode) {
                    r.m_daysAvailableMode = mode;
                    r.changed(QStringLiteral("daysAvailableMode"));
                }
                return ok;
            });
        t.property(QStringLiteral("daysPerWeekAvailable"), &R::daysPerWeekAvailable,
                   &R::setDaysPerWeekAvailable);
        for (int day = Sunday; day <= Saturday; ++day) {
            t.add(
                QString::fromLatin1(weekdayKeys[day]),
                [day](const R &r) { return r.m_available[day]; },
                [day](R &r, const QVariant &v) {
                    if (!v.canConvert<bool>())
                        return false;
                    r.setAvailable(Weekday(day), v.toBool());
                    return true;
                });
        }
        t.property(QStringLiteral("dailyStartTime"), &R::dailyStartTime, &R::setDailyStartTime);
        t.property(QStringLiteral("dailyFinishTime"), &R::dailyFinishTime, &R::setDailyFinishTime);
        t.property(QStringLiteral("workingDownTime"), &R::workingDownTime, &R::setWorkingDownTime);
        const auto display = [&t](const char *key, QString R::*field) {
            const QString name = QString::fromLatin1(key);
            t.add(
                name, [field](const R &r) { return textVariant(r.*field); },
                [field, name](R &r, const QVariant &v) {
                    if (v.isValid() && !v.canConvert<QString>())
                        return false;
                    if (v.toString() != r.*field) {
                        r.*field = v.toString();
                        r.changed(name);
                    }
                    return true;
                });
        };
        display("costString", &R::m_costString);
        display("overtimeString", &R::m_overtimeString);
        return t;
    }();
    return table;
}

QVariant TWResource::valueForKey(const QString &key) const
{
    return keyTable().valueForKey(*this, key);
}

bool TWResource::setValueForKey(const QVariant &value, const QString &key)
{
    return keyTable().setValueForKey(*this, value, key);
}

// --- display texts ---

QString TWResource::initials(const QString &name)
{
    QString result;
    for (const QString &word : name.split(u' ', Qt::SkipEmptyParts)) {
        // A whole character, also beyond the 16-bit range.
        const qsizetype length =
            word.size() > 1 && word.at(0).isHighSurrogate() && word.at(1).isLowSurrogate() ? 2 : 1;
        result += word.left(length).toUpper();
    }
    return result;
}

QString TWResource::withCurrencySymbol(QString text, const QLocale &locale)
{
    QString symbol = locale.currencySymbol(QLocale::CurrencySymbol);
    if (symbol.isEmpty())
        symbol = QStringLiteral("$");
    return text.replace(u'$', symbol);
}

namespace {
// The number goes where the format says, always with a point: the text is
// the one the resource panel always showed.
QString filled(const char *format, float value, const QLocale &locale)
{
    QString text = TWLocalizedString(StringTable::DadoZiz, QString::fromLatin1(format));
    text.replace(QLatin1String("%.2f"), CFormat::format("%.2f", double(value)));
    return TWResource::withCurrencySymbol(text, locale);
}
} // namespace

QString TWResource::costText(float unitCost, bool hourlyRate, const QLocale &locale)
{
    return filled(hourlyRate ? "Hourly cost: $%.2f" : "Cost per use: $%.2f", unitCost, locale);
}

QString TWResource::overtimeText(float overtimeRate, const QLocale &locale)
{
    return filled("Overtime rate: $%.2f", overtimeRate, locale);
}

// --- elements ---

XMLElement TWResource::freshXMLElement() const
{
    TWRecord::ChildWriter w(m_readElement.isNull() ? XMLElement::create("TWResource")
                                                   : m_readElement.copy());
    w.text(u"resourceIdentifier", m_resourceIdentifier);
    w.text(u"resourceName", m_resourceName);
    w.text(u"shortName", m_shortName);
    w.text(u"role", m_role);
    w.text(u"unitCost", CFormat::f(m_unitCost));
    w.text(u"overtimeRate", CFormat::f(m_overtimeRate));
    w.text(u"hourlyRate", m_hourlyRate ? QStringLiteral("YES") : QStringLiteral("NO"));
    // No days a week reads back as weekday mode either way; one text for both
    // keeps a saved file the same through every later load and save.
    const bool byWeekdays = m_daysAvailableMode != 0 || m_daysPerWeekAvailable == 0;
    w.text(u"daysPerWeekAvailable",
           byWeekdays ? QStringLiteral("0") : CFormat::f(m_daysPerWeekAvailable));
    w.text(u"availableDays", CFormat::d(availableDays()));
    w.text(u"workingHourStart", CFormat::d(m_dailyStartTime.hourOfDay()));
    w.text(u"workingMinuteStart", CFormat::d(m_dailyStartTime.minuteOfHour()));
    w.text(u"workingHourFinish", CFormat::d(m_dailyFinishTime.hourOfDay()));
    w.text(u"workingMinuteFinish", CFormat::d(m_dailyFinishTime.minuteOfHour()));
    w.text(u"workingDownTime", CFormat::d(m_workingDownTime));
    return w.element();
}

std::shared_ptr<TWResource> TWResource::objectWithXMLElement(const XMLElement &element)
{
    if (element.isNull())
        return nullptr;
    if (element.name() != QLatin1String("TWResource")) {
        qWarning().noquote() << "TWResource: cannot read a" << element.name() << "element";
        return nullptr;
    }
    const auto text = [&element](QAnyStringView name) {
        return TWRecord::childText(element, name);
    };
    const auto number = [&element](QAnyStringView name) {
        return CFormat::doubleValue(TWRecord::firstChild(element, name).stringValue());
    };
    const auto integer = [&element](QAnyStringView name) {
        return CFormat::longLongValue(TWRecord::firstChild(element, name).stringValue());
    };

    auto resource = std::make_shared<TWResource>();
    resource->m_readElement = element.copy();
    resource->setResourceIdentifier(text(u"resourceIdentifier"));
    resource->setResourceName(text(u"resourceName").value_or(QString()));
    resource->setShortName(text(u"shortName").value_or(QString()));
    resource->setRole(text(u"role").value_or(QString()));

    resource->setOvertimeRate(finiteOrZero(number(u"overtimeRate")));
    resource->setUnitCost(finiteOrZero(number(u"unitCost")));
    resource->setHourlyRate(
        xmlBoolValue(TWRecord::firstChild(element, u"hourlyRate").stringValue()));
    resource->setDaysPerWeekAvailable(finiteOrZero(number(u"daysPerWeekAvailable")));
    resource->setValueForKey(resource->m_daysPerWeekAvailable == 0 ? 1 : 0,
                             QStringLiteral("daysAvailableMode"));

    const long long days = integer(u"availableDays");
    for (int day = Sunday; day <= Saturday; ++day)
        resource->setValueForKey(bool(days & (1LL << day)), QString::fromLatin1(weekdayKeys[day]));

    resource->setWorkingDownTime(int(integer(u"workingDownTime")));
    resource->setDailyStartTime(timeOfDay(
        integer(u"workingHourStart"), integer(u"workingMinuteStart"), resource->m_dailyStartTime));
    resource->setDailyFinishTime(timeOfDay(integer(u"workingHourFinish"),
                                           integer(u"workingMinuteFinish"),
                                           resource->m_dailyFinishTime));
    return resource;
}

void TWResource::addXmlDataToNode(xmlNodePtr parent) const
{
    TWRecord::appendElementCopy(parent, freshXMLElement());
}

std::shared_ptr<TWResource> TWResource::initWithXMLNode(xmlNodePtr parent, xmlDocPtr doc)
{
    xmlNodePtr node = TWXMLUtils::XPathReader(parent, doc).node("TWResource");
    return node ? objectWithXMLElement(TWRecord::elementCopyOfNode(node)) : nullptr;
}

bool TWResource::isEqual(const TWResource &other) const
{
    const auto sameTime = [](const CalendarDate &a, const CalendarDate &b) {
        return a.hourOfDay() == b.hourOfDay() && a.minuteOfHour() == b.minuteOfHour();
    };
    return m_resourceIdentifier == other.m_resourceIdentifier &&
           m_resourceName == other.m_resourceName && m_shortName == other.m_shortName &&
           m_role == other.m_role && m_unitCost == other.m_unitCost &&
           m_hourlyRate == other.m_hourlyRate && m_overtimeRate == other.m_overtimeRate &&
           m_daysPerWeekAvailable == other.m_daysPerWeekAvailable &&
           m_available == other.m_available && sameTime(m_dailyStartTime, other.m_dailyStartTime) &&
           sameTime(m_dailyFinishTime, other.m_dailyFinishTime) &&
           m_workingDownTime == other.m_workingDownTime;
}
