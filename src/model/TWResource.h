#pragma once

#include "support/CalendarDate.h"
#include "support/XMLElement.h"

#include <QLocale>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <array>
#include <memory>
#include <optional>

#include <libxml/tree.h>

class UndoManager;
template <typename T> class KeyValueTable;

// A task resource of the document: a person or anything else that work is
// allocated to, named by its identifier, with its costs, availability and
// working hours. Once in the document's list its setters register their
// inverses with the document's undo manager. A resource read from a file
// keeps its element, so that children written by other versions survive a
// load and a save where they stood.
//
// Texts: an empty text is no text, so that what is written reads back equal.
class TWResource : public std::enable_shared_from_this<TWResource>
{
public:
    enum Weekday { Sunday, Monday, Tuesday, Wednesday, Thursday, Friday, Saturday };

    // A fresh identifier, the name "New Resource", 9:00 to 17:00.
    TWResource();
    // The same with this name (no short name derived) and undo manager.
    TWResource(const QString &resourceName, UndoManager *undoManager);
    TWResource(const TWResource &) = delete;
    TWResource &operator=(const TWResource &) = delete;

    // Through the element: the same identifier, no undo manager.
    std::shared_ptr<TWResource> copy() const;

    // --- values ---
    std::optional<QString> resourceIdentifier() const { return m_resourceIdentifier; }
    QString resourceName() const { return m_resourceName; }
    QString shortName() const { return m_shortName; }
    QString role() const { return m_role; }
    float unitCost() const { return m_unitCost; }
    float overtimeRate() const { return m_overtimeRate; }
    bool hourlyRate() const { return m_hourlyRate; }
    // 0: availability by days per week; otherwise by the weekday flags.
    int daysAvailableMode() const { return m_daysAvailableMode; }
    float daysPerWeekAvailable() const { return m_daysPerWeekAvailable; }
    bool isAvailableOn(Weekday day) const { return m_available[day]; }
    // The weekday flags as bits, Sunday 1 up to Saturday 64.
    int availableDays() const;
    // Only the hour and the minute count.
    const CalendarDate &dailyStartTime() const { return m_dailyStartTime; }
    const CalendarDate &dailyFinishTime() const { return m_dailyFinishTime; }
    int workingDownTime() const { return m_workingDownTime; }
    // "Cost per use: €12.50" and the like; empty until a cost is set.
    QString costString() const { return m_costString; }
    QString overtimeString() const { return m_overtimeString; }

    UndoManager *undoManager() const { return m_undoManager; }
    // Not undoable.
    void setUndoManager(UndoManager *undoManager) { m_undoManager = undoManager; }

    // --- undoable setters: an unchanged value registers nothing ---
    // Derives the short name from the initials while there is none.
    void setResourceName(const QString &name);
    void setShortName(const QString &shortName);
    void setRole(const QString &role);
    // These three renew the display texts even when the value is unchanged.
    void setUnitCost(float unitCost);
    void setHourlyRate(bool hourlyRate);
    void setOvertimeRate(float overtimeRate);
    void setDaysPerWeekAvailable(float days);
    void setAvailable(Weekday day, bool available);
    void setAvailableSunday(bool available) { setAvailable(Sunday, available); }
    void setAvailableMonday(bool available) { setAvailable(Monday, available); }
    void setAvailableTuesday(bool available) { setAvailable(Tuesday, available); }
    void setAvailableWednesday(bool available) { setAvailable(Wednesday, available); }
    void setAvailableThursday(bool available) { setAvailable(Thursday, available); }
    void setAvailableFriday(bool available) { setAvailable(Friday, available); }
    void setAvailableSaturday(bool available) { setAvailable(Saturday, available); }
    void setDailyStartTime(const CalendarDate &time);
    void setDailyFinishTime(const CalendarDate &time);
    void setWorkingDownTime(int downTime);

    // Written by key only, without undo.
    void setResourceIdentifier(const std::optional<QString> &identifier);

    // Every field by its name ("availableSunday", "daysAvailableMode",
    // "costString", ...). Keys with a setter above go through it; the others
    // are stored directly. Texts that are not set read as an invalid value.
    QVariant valueForKey(const QString &key) const;
    bool setValueForKey(const QVariant &value, const QString &key);

    // --- display texts ---
    // The initials of a name: the first character of each word, upper case.
    static QString initials(const QString &name);
    // "$" replaced by the locale's currency symbol ("$" when it has none).
    static QString withCurrencySymbol(QString text, const QLocale &locale);
    static QString costText(float unitCost, bool hourlyRate, const QLocale &locale);
    static QString overtimeText(float overtimeRate, const QLocale &locale);

    // --- elements ---
    // <TWResource> with every field; the reader takes the element itself and
    // gives null for a null element or one of another name.
    XMLElement freshXMLElement() const;
    static std::shared_ptr<TWResource> objectWithXMLElement(const XMLElement &element);
    // The same element under a libxml2 node; the reader takes the node that
    // holds it.
    void addXmlDataToNode(xmlNodePtr parent) const;
    static std::shared_ptr<TWResource> initWithXMLNode(xmlNodePtr parent, xmlDocPtr doc);

    // Identifier, texts, costs, availability, the hours and minutes of the
    // working day and the down time.
    bool isEqual(const TWResource &other) const;

private:
    TWResource(const QString &resourceName, UndoManager *undoManager,
               const std::pair<CalendarDate, CalendarDate> &workingHours);
    static const KeyValueTable<TWResource> &keyTable();
    template <class V, class Set> void setValue(V &field, const V &value, Set set, const char *key);
    void changed(const QString &key);
    void renewCostString();
    void renewOvertimeString();

    std::optional<QString> m_resourceIdentifier;
    QString m_resourceName;
    QString m_shortName;
    QString m_role;
    float m_unitCost = 0;
    float m_overtimeRate = 0;
    bool m_hourlyRate = false;
    int m_daysAvailableMode = 0;
    float m_daysPerWeekAvailable = 0;
    std::array<bool, 7> m_available{};
    CalendarDate m_dailyStartTime;
    CalendarDate m_dailyFinishTime;
    int m_workingDownTime = 0;
    // The document's manager may go first; the resource must not reach it then.
    QPointer<UndoManager> m_undoManager;
    QString m_costString;
    QString m_overtimeString;
    XMLElement m_readElement; // as read, for the children of other versions
};
