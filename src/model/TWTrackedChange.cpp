#include "model/TWTrackedChange.h"
#include "model/TWRecordSupport.h"
#include "support/TWXMLUtils.h"

#include <QDebug>

TWTrackedChange::TWTrackedChange(const std::optional<TWPerson> &byWhom,
                                 const std::optional<CalendarDate> &date,
                                 const std::optional<AttributedString> &comment)
    : m_byWhom(byWhom), m_date(date), m_comment(comment)
{}

void TWTrackedChange::addXmlDataToNode(xmlNodePtr parent) const
{
    if (!parent)
        return;
    xmlNodePtr node = TWXMLUtils::addElementChild(parent, "TWTrackedChange");
    xmlNodePtr byWhom = TWXMLUtils::addElementChild(node, "byWhom");
    if (m_byWhom)
        m_byWhom->addXmlDataToNode(byWhom);
    xmlNodePtr date = TWXMLUtils::addElementChild(node, "date");
    if (m_date)
        m_date->addXmlDataToNode(date);
    xmlNodePtr comment = TWXMLUtils::addElementChild(node, "comment");
    if (m_comment)
        m_comment->addXmlDataToNode(comment);
}

std::optional<TWTrackedChange> TWTrackedChange::initWithXMLNode(xmlNodePtr parent, xmlDocPtr doc)
{
    const TWXMLUtils::XPathReader reader(parent, doc);
    if (!reader.node("TWTrackedChange"))
        return std::nullopt;
    TWTrackedChange change;
    if (xmlNodePtr byWhom = reader.node("TWTrackedChange/byWhom"))
        change.m_byWhom = TWPerson::initWithXMLNode(byWhom, doc);
    if (xmlNodePtr date = reader.node("TWTrackedChange/date"))
        change.m_date = CalendarDate::withXMLNode(date, doc);
    if (xmlNodePtr comment = reader.node("TWTrackedChange/comment"))
        change.m_comment = AttributedString::initWithXMLNode(comment, doc);
    return change;
}

XMLElement TWTrackedChange::freshXMLElement() const
{
    return TWRecord::elementFromNodeWriter([this](xmlNodePtr parent) { addXmlDataToNode(parent); });
}

std::optional<TWTrackedChange> TWTrackedChange::objectWithXMLElement(const XMLElement &element)
{
    if (element.isNull() || element.name() != QLatin1String("TWTrackedChange")) {
        if (!element.isNull())
            qWarning().noquote() << "TWTrackedChange: cannot read a" << element.name() << "element";
        return std::nullopt;
    }
    std::optional<TWTrackedChange> change;
    TWRecord::readElementWithNodeReader(element, [&change](xmlNodePtr parent, xmlDocPtr doc) {
        change = initWithXMLNode(parent, doc);
    });
    return change;
}
