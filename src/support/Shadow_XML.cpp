#include "platform/CFormat.h"
#include "support/Shadow.h"
#include "support/TWXMLUtils.h"

XMLElement Shadow::freshXMLElement() const
{
    XMLElement element = XMLElement::create("NSShadow");
    XMLElement offset = element.elementForName("shadowOffset", true);
    offset.setFloat(m_offset.width, "width");
    offset.setFloat(m_offset.height, "height");
    element.setFloat(m_blurRadius, "shadowBlurRadius");
    element.setElement(effectiveColor().freshXMLElement(), "shadowColor");
    return element;
}

Shadow Shadow::objectWithXMLElement(const XMLElement &element)
{
    const Size offset(float(element.floatForPath("shadowOffset/width")),
                      float(element.floatForPath("shadowOffset/height")));
    const double blur = element.floatForPath("shadowBlurRadius");
    const Color color = Color::objectWithXMLElement(element.elementForPath("shadowColor/NSColor"));
    return Shadow(offset, blur, color);
}

void Shadow::addXmlDataToNode(xmlNodePtr parent) const
{
    if (!parent)
        return;
    xmlNodePtr node = TWXMLUtils::addElementChild(parent, "NSShadow");
    TWXMLUtils::addTextChild(node, "shadowBlurRadius", CFormat::f(m_blurRadius));
    if (m_color)
        m_color->addXmlDataToNode(TWXMLUtils::addElementChild(node, "shadowColor"));
    xmlNodePtr offset = TWXMLUtils::addElementChild(node, "shadowOffset");
    TWXMLUtils::addTextChild(offset, "width", CFormat::f(m_offset.width));
    TWXMLUtils::addTextChild(offset, "height", CFormat::f(m_offset.height));
}

Shadow Shadow::withXMLNode(xmlNodePtr parent, xmlDocPtr doc)
{
    const TWXMLUtils::XPathReader reader(parent, doc);
    const double blur = reader.floatValue("NSShadow/shadowBlurRadius").value_or(5.0);
    const xmlNodePtr colorNode = reader.node("NSShadow/shadowColor");
    const Color color = colorNode ? Color::colorWithXMLNode(colorNode, doc) : Color::blackColor();
    const Size offset(float(reader.floatValue("NSShadow/shadowOffset/width").value_or(5.0)),
                      float(reader.floatValue("NSShadow/shadowOffset/height").value_or(-5.0)));
    return Shadow(offset, blur, color);
}
