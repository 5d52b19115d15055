#include "model/TWMap.h"
#include "model/TWMapBranch_Private.h"
#include "model/TWMapsDoc.h"
#include "model/TWRecordSupport.h"
#include "model/TWResource.h"
#include "platform/CFormat.h"
#include "platform/NotificationCenter.h"
#include "platform/TWLocalizedString.h"

#include <QDebug>
#include <QSet>
#include <cmath>
#include <functional>

namespace {

// Task data changes stand in for key-value observing the way the records do.
void announce(const TWMapBranch *branch, std::initializer_list<const char *> keys)
{
    // Keys are spelt out only for someone who could hear them.
    static const ObservedName heard(TWRecord::ValueDidChangeNotification);
    if (!heard())
        return;
    for (const char *key : keys)
        TWRecord::postValueDidChange(branch, QString::fromLatin1(key));
}

TWMapsDoc *mapsDocumentOf(const TWMapBranch &branch)
{
    const TWMap *map = branch.map();
    return map ? map->document() : nullptr;
}

// Seconds from a to b, with the milliseconds the instants keep.
double secondsBetween(const CalendarDate &a, const QDateTime &b)
{
    return double(a.instant().msecsTo(b)) / 1000.0;
}

// Nothing for a shift no calendar holds (a duration of a billion years).
std::optional<CalendarDate> movedBy(const CalendarDate &date, double seconds)
{
    constexpr double MaximumShift = 1e13; // about 300,000 years
    if (!(std::abs(seconds) <= MaximumShift)) {
        qWarning().noquote() << "Task duration too long to move a date by";
        return std::nullopt;
    }
    return CalendarDate(date.instant().addMSecs(qint64(std::llround(seconds * 1000.0))),
                        date.timeZone());
}

// Dates are kept in the zone the user works in, whatever zone they came with.
std::optional<CalendarDate> inDefaultZone(const std::optional<CalendarDate> &date)
{
    if (!date)
        return std::nullopt;
    return date->withTimeZone(TimeZone::systemTimeZone());
}

struct DurationUnit
{
    const char *label;
    float seconds;
};

const DurationUnit *durationUnit(int units)
{
    static const DurationUnit table[] = {
        {"Minutes", 60},   {"Hours", 3600},     {"Days", 86400},
        {"Weeks", 604800}, {"Months", 2592000}, {"Years", 31536000},
    };
    return units >= 1 && units <= 6 ? &table[units - 1] : nullptr;
}

} // namespace

// --- task setters ---

void TWMapBranch::setPriority(int priority)
{
    const int old = s().priority;
    if (priority == old)
        return;
    registerUndo([old](TWMapBranch &b) { b.setPriority(old); });
    nameUndoAction("Set priority");
    settings().priority = priority;
    announce(this, {"hasPriority"});
    // The priority icon comes or goes.
    if (old == 0 || priority == 0)
        refit();
    postBranch(BranchNeedsRedrawNotification);
    announce(this, {"priority"});
}

void TWMapBranch::setStartDate(const std::optional<CalendarDate> &date)
{
    const std::optional<CalendarDate> value = inDefaultZone(date);
    if (value == s().startDate)
        return;
    const std::optional<CalendarDate> old = s().startDate;
    registerUndo([old](TWMapBranch &b) { b.setStartDate(old); });
    nameUndoAction("Set start date");
    settings().startDate = value;
    announce(this, {"startDateEnabled", "hasSchedule", "startDate"});
}

void TWMapBranch::setEndDate(const std::optional<CalendarDate> &date)
{
    const std::optional<CalendarDate> value = inDefaultZone(date);
    if (value == s().endDate)
        return;
    const std::optional<CalendarDate> old = s().endDate;
    registerUndo([old](TWMapBranch &b) { b.setEndDate(old); });
    nameUndoAction("Set end date");
    settings().endDate = value;
    announce(this, {"endDateEnabled", "hasSchedule", "endDate"});
}

void TWMapBranch::setPercentageComplete(float percentage)
{
    const float old = s().percentageComplete;
    if (percentage == old)
        return;
    registerUndo([old](TWMapBranch &b) { b.setPercentageComplete(old); });
    nameUndoAction("Set percentage complete");
    settings().percentageComplete = percentage;
    announce(this, {"hasCompletion", "isComplete"});
    // -1 is "no completion data": the indicator comes or goes.
    if (old == -1 || percentage == -1)
        refit();
    postBranch(BranchNeedsRedrawNotification);
    announce(this, {"percentageComplete"});
}

void TWMapBranch::setDuration(float duration)
{
    const float old = s().duration;
    if (duration == old)
        return;
    registerUndo([old](TWMapBranch &b) { b.setDuration(old); });
    nameUndoAction("Set task duration");
    settings().duration = duration;
    announce(this, {"hasDuration", "duration"});
}

void TWMapBranch::setDurationUnits(int units)
{
    const int old = s().durationUnits;
    if (units == old)
        return;
    registerUndo([old](TWMapBranch &b) { b.setDurationUnits(old); });
    nameUndoAction("Set task duration units");
    settings().durationUnits = units;
    announce(this, {"durationUnits"});
}

void TWMapBranch::setStartDateEnabled(bool enabled)
{
    if (!enabled)
        setStartDate(std::nullopt);
    else if (!startDate())
        setStartDate(CalendarDate::now());
}

void TWMapBranch::setEndDateEnabled(bool enabled)
{
    if (!enabled)
        setEndDate(std::nullopt);
    else if (!endDate())
        setEndDate(CalendarDate::now());
}

// --- task states ---

bool TWMapBranch::hasSchedule() const
{
    const std::optional<CalendarDate> &start = s().startDate, &end = s().endDate;
    return start && end && secondsBetween(*start, end->instant()) > 1.0;
}

bool TWMapBranch::isInProgress(const Instant &now) const
{
    if (hasCompletion()) {
        if (isComplete())
            return false;
        if (percentageComplete() > 0)
            return true;
    }
    return hasSchedule() && secondsBetween(*s().startDate, now) > 0;
}

bool TWMapBranch::isInProgress() const
{
    return isInProgress(QDateTime::currentDateTimeUtc());
}

bool TWMapBranch::isOverdue(const Instant &now) const
{
    return hasCompletion() && !isComplete() && hasSchedule() && isInProgress(now) &&
           secondsBetween(*s().endDate, now) > 0;
}

bool TWMapBranch::isOverdue() const
{
    return isOverdue(QDateTime::currentDateTimeUtc());
}

bool TWMapBranch::isScheduledToStartIn(float days, const Instant &now) const
{
    if (!hasSchedule())
        return false;
    const double d = -secondsBetween(*s().startDate, now);
    return d > 0 && float(days * 24 * 60 * 60) > d;
}

bool TWMapBranch::isScheduledToStartIn(float days) const
{
    return isScheduledToStartIn(days, QDateTime::currentDateTimeUtc());
}

// --- durations ---

QString TWMapBranch::durationUnitLabel(int units)
{
    const DurationUnit *unit = durationUnit(units);
    return unit ? TWLocalizedString(StringTable::DadoZiz, QString::fromLatin1(unit->label))
                : QString();
}

float TWMapBranch::secondsPerDurationUnit(int units)
{
    const DurationUnit *unit = durationUnit(units);
    return unit ? unit->seconds : 0;
}

double TWMapBranch::durationInSeconds() const
{
    return double(duration() * secondsPerDurationUnit(durationUnits()));
}

QString TWMapBranch::durationString() const
{
    if (duration() <= 0)
        return QString();
    return CFormat::format("%0.1f ", double(duration())) + durationUnitLabel(durationUnits());
}

void TWMapBranch::calculateDuration()
{
    const std::optional<CalendarDate> start = startDate(), end = endDate();
    if (!start || !end)
        return;
    const float minutes = float(secondsBetween(*start, end->instant())) / 60;
    const float hours = minutes / 60;
    const float days = hours / 24;
    if (days > 1) {
        setDuration(days);
        setDurationUnits(3);
    } else if (hours > 1) {
        setDuration(hours);
        setDurationUnits(2);
    } else {
        setDuration(minutes);
        setDurationUnits(1);
    }
}

void TWMapBranch::calculateStartDate()
{
    const std::optional<CalendarDate> end = endDate();
    if (!end || !hasDuration())
        return;
    if (const std::optional<CalendarDate> start = movedBy(*end, -durationInSeconds()))
        setStartDate(start);
}

void TWMapBranch::calculateEndDate()
{
    const std::optional<CalendarDate> start = startDate();
    if (!start || !hasDuration())
        return;
    if (const std::optional<CalendarDate> end = movedBy(*start, durationInSeconds()))
        setEndDate(end);
}

// --- allocation ---

void TWMapBranch::insertObjectInResourcesAllocatedAtIndex(const QString &identifier, int index)
{
    const QStringList &list = s().resourcesAllocated;
    if (list.contains(identifier))
        return;
    if (index < 0 || index > list.size()) {
        qWarning().noquote() << "Resource allocation index" << index << "out of range";
        return;
    }
    const qsizetype before = list.size();
    registerUndo([index](TWMapBranch &b) { b.removeObjectFromResourcesAllocatedAtIndex(index); });
    nameUndoAction("Allocate resource");
    settings().resourcesAllocated.insert(index, identifier);
    announce(this, {"hasAllocatedResources"});
    if (before > 0)
        postBranch(BranchNeedsRedrawNotification);
    else
        refit(); // the resource indicator appears
    announce(this, {"resourcesAllocated"});
}

void TWMapBranch::removeObjectFromResourcesAllocatedAtIndex(int index)
{
    const QStringList &list = s().resourcesAllocated;
    if (index < 0 || index >= list.size()) {
        qWarning().noquote() << "Resource allocation index" << index << "out of range";
        return;
    }
    const QString identifier = list.at(index);
    registerUndo([identifier, index](TWMapBranch &b) {
        b.insertObjectInResourcesAllocatedAtIndex(identifier, index);
    });
    nameUndoAction("Remove resource");
    settings().resourcesAllocated.removeAt(index);
    announce(this, {"hasAllocatedResources"});
    if (hasAllocatedResources())
        postBranch(BranchNeedsRedrawNotification);
    else
        refit(); // the resource indicator goes
    announce(this, {"resourcesAllocated"});
}

void TWMapBranch::allocateResource(const std::shared_ptr<TWResource> &resource)
{
    const std::optional<QString> identifier =
        resource ? resource->resourceIdentifier() : std::nullopt;
    if (!identifier) {
        qWarning().noquote() << "A resource without identifier cannot be allocated";
        return;
    }
    if (TWMapsDoc *document = mapsDocumentOf(*this);
        document && !document->resourceWithIdentifier(*identifier))
        document->addResource(resource->copy());
    insertObjectInResourcesAllocatedAtIndex(*identifier, int(resourcesAllocated().size()));
}

void TWMapBranch::allocateResources(const ResourceList &resources)
{
    for (const std::shared_ptr<TWResource> &resource : resources)
        allocateResource(resource);
}

void TWMapBranch::allocateResourceFromXMLString(const QString &xml)
{
    const std::shared_ptr<TWResource> resource =
        TWResource::objectWithXMLElement(XMLElement::parse(xml.toUtf8()));
    if (!resource) {
        qWarning().noquote() << "Text to allocate holds no TWResource element";
        return;
    }
    allocateResource(resource);
}

void TWMapBranch::allocateResourcesFromXMLStrings(const QStringList &xml)
{
    for (const QString &text : xml)
        allocateResourceFromXMLString(text);
}

void TWMapBranch::allocateResourcesFromPasteboard(const QMimeData *pasteboard)
{
    if (TWMapsDoc *document = mapsDocumentOf(*this))
        allocateResources(document->addResourcesFromPasteboard(pasteboard));
}

void TWMapBranch::unallocateResource(const std::shared_ptr<TWResource> &resource)
{
    const std::optional<QString> identifier =
        resource ? resource->resourceIdentifier() : std::nullopt;
    if (!identifier)
        return;
    for (qsizetype i; (i = resourcesAllocated().indexOf(*identifier)) >= 0;)
        removeObjectFromResourcesAllocatedAtIndex(int(i));
}

void TWMapBranch::unallocateResources(const ResourceList &resources)
{
    for (const std::shared_ptr<TWResource> &resource : resources)
        unallocateResource(resource);
}

bool TWMapBranch::hasAllocatedResource(const std::shared_ptr<TWResource> &resource) const
{
    const std::optional<QString> identifier =
        resource ? resource->resourceIdentifier() : std::nullopt;
    return identifier && resourcesAllocated().contains(*identifier);
}

bool TWMapBranch::usesResourceInArray(const ResourceList &resources) const
{
    for (const std::shared_ptr<TWResource> &resource : resources) {
        if (hasAllocatedResource(resource))
            return true;
    }
    return false;
}

QString TWMapBranch::allocatedResourcesTooltipString() const
{
    const TWMapsDoc *document = mapsDocumentOf(*this);
    QStringList names;
    for (const QString &identifier : resourcesAllocated()) {
        if (const std::shared_ptr<TWResource> resource =
                document ? document->resourceWithIdentifier(identifier) : nullptr)
            names.append(resource->resourceName());
    }
    // Joined, so that a missing last resource leaves no empty line behind.
    return names.join(QLatin1Char('\n'));
}

// --- reports ---

bool TWMapBranch::matchesReport(const QVariantMap &report, const Instant &now) const
{
    const auto on = [&report](const char *key) {
        return report.value(QString::fromLatin1(key)).toBool();
    };
    const auto value = [&report](const char *key) {
        return report.value(QString::fromLatin1(key));
    };

    if (on("reportComplete") &&
        !(hasCompletion() && isComplete() == value("reportCompleteValue").toBool()))
        return false;
    if (on("reportOverdue") &&
        !(hasSchedule() && isOverdue(now) == value("reportOverdueValue").toBool()))
        return false;
    if (on("reportInProgress") && !((hasCompletion() || hasSchedule()) &&
                                    isInProgress(now) == value("reportInProgressValue").toBool()))
        return false;
    if (on("reportToStartWithin") &&
        !(hasSchedule() &&
          isScheduledToStartIn(float(value("reportToStartWithinValue").toInt()), now)))
        return false;
    if (on("reportMinimumPriority") &&
        !(hasPriority() && priority() >= value("reportMinimumPriorityValue").toInt()))
        return false;
    if (on("reportMaximumPriority") &&
        !(hasPriority() && priority() <= value("reportMaximumPriorityValue").toInt()))
        return false;
    if (on("reportResourceAllocation") &&
        !(hasAllocatedResources() && usesResourceInArray(value("resources").value<ResourceList>())))
        return false;
    return true;
}

bool TWMapBranch::matchesReport(const QVariantMap &report) const
{
    return matchesReport(report, QDateTime::currentDateTimeUtc());
}

void TWMapBranch::addBranchesMatchingReport(const QVariantMap &report, BranchList &array,
                                            const Instant &now)
{
    // A set of what the array holds keeps large trees from a scan per branch.
    QSet<const TWMapBranch *> listed;
    for (const std::shared_ptr<TWMapBranch> &branch : std::as_const(array))
        listed.insert(branch.get());
    const std::function<void(TWMapBranch &)> walk = [&](TWMapBranch &branch) {
        if (branch.matchesReport(report, now) && !listed.contains(&branch)) {
            listed.insert(&branch);
            array.append(branch.shared_from_this());
        }
        for (const std::shared_ptr<TWMapBranch> &child : branch.children())
            walk(*child);
    };
    walk(*this);
}

void TWMapBranch::addBranchesMatchingReport(const QVariantMap &report, BranchList &array)
{
    addBranchesMatchingReport(report, array, QDateTime::currentDateTimeUtc());
}
