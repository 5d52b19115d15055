#include "graphics/TWInterpolatedColor.h"
#include "graphics/TWGraphic.h"
#include "platform/CFormat.h"
#include "support/TWXMLUtils.h"

void TWInterpolatedColor::addXmlDataToNode(xmlNodePtr parent) const
{
    xmlNodePtr element = TWXMLUtils::addElementChild(parent, "TWInterpolatedColor");
    xmlNodePtr color = TWXMLUtils::addElementChild(element, "color");
    if (m_color)
        m_color->addXmlDataToNode(color);
    TWXMLUtils::addTextChild(element, "angle", CFormat::f(m_angle));
}

TWInterpolatedColor TWInterpolatedColor::initWithXMLNode(xmlNodePtr node, xmlDocPtr doc)
{
    TWXMLUtils::XPathReader reader(node, doc);
    std::optional<Color> color;
    if (reader.node("TWInterpolatedColor/color/NSColor"))
        color = Color::colorWithXMLNode(reader.node("TWInterpolatedColor/color"), doc);
    return TWInterpolatedColor(
        color, TWGraphic::correctedReal(reader.floatValue("TWInterpolatedColor/angle"), 0));
}
