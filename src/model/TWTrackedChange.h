#pragma once

#include "model/TWPerson.h"
#include "support/AttributedString.h"
#include "support/CalendarDate.h"
#include "support/XMLElement.h"

#include <optional>

#include <libxml/tree.h>

// A change of a branch recorded by a person at a date with a comment.
class TWTrackedChange
{
public:
    TWTrackedChange() = default;
    TWTrackedChange(const std::optional<TWPerson> &byWhom, const std::optional<CalendarDate> &date,
                    const std::optional<AttributedString> &comment);

    const std::optional<TWPerson> &byWhom() const { return m_byWhom; }
    const std::optional<CalendarDate> &date() const { return m_date; }
    const std::optional<AttributedString> &comment() const { return m_comment; }

    // <TWTrackedChange> with byWhom, date and comment, always in this order,
    // each holding its value's element (empty for a value not set).
    void addXmlDataToNode(xmlNodePtr parent) const;
    // `parent` holds the <TWTrackedChange> element; nothing without one.
    static std::optional<TWTrackedChange> initWithXMLNode(xmlNodePtr parent, xmlDocPtr doc);
    XMLElement freshXMLElement() const;
    static std::optional<TWTrackedChange> objectWithXMLElement(const XMLElement &element);

    friend bool operator==(const TWTrackedChange &, const TWTrackedChange &) = default;

private:
    std::optional<TWPerson> m_byWhom;
    std::optional<CalendarDate> m_date;
    std::optional<AttributedString> m_comment;
};
