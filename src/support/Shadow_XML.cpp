#include "platform/CFormat.h"
#include "support/Shadow.h"
#include "support/TWXMLUtils.h"
#include "support/XMLStreamWriter.h"

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
    const Size offset(float(CFormat::asWrittenF(element.floatForPath("shadowOffset/width"))),
                      float(CFormat::asWrittenF(element.floatForPath("shadowOffset/height"))));
    const double blur = CFormat::asWrittenF(element.floatForPath("shadowBlurRadius"));
    const Color color = Color::objectWithXMLElement(element.elementForPath("shadowColor/NSColor"));
    return Shadow(offset, blur, color);
}

void Shadow::addXmlDataToNode(xmlNodePtr parent) const
{
    if (!parent)
        return;
    XMLNodeOut out(parent);
    writeXml(out);
}

void Shadow::writeXml(XMLOut &out) const
{
    out.startElement("NSShadow");
    out.realElement("shadowBlurRadius", m_blurRadius);
    if (m_color) {
        out.startElement("shadowColor");
        m_color->writeXml(out);
        out.endElement();
    }
    out.startElement("shadowOffset");
    out.realElement("width", m_offset.width);
    out.realElement("height", m_offset.height);
    out.endElement();
    out.endElement();
}

Shadow Shadow::withXMLNode(xmlNodePtr parent, xmlDocPtr doc)
{
    const TWXMLUtils::XPathReader reader(parent, doc);
    const double blur =
        CFormat::asWrittenF(reader.floatValue("NSShadow/shadowBlurRadius").value_or(5.0));
    const xmlNodePtr colorNode = reader.node("NSShadow/shadowColor");
    // Black in the form a save writes it and reads it back.
    const Color color = colorNode ? Color::colorWithXMLNode(colorNode, doc)
                                  : Color::colorWithCalibratedRed(0, 0, 0, 1);
    const auto component = [&reader](const char *path, double missing) {
        return float(CFormat::asWrittenF(reader.floatValue(path).value_or(missing)));
    };
    const Size offset(component("NSShadow/shadowOffset/width", 5.0),
                      component("NSShadow/shadowOffset/height", -5.0));
    return Shadow(offset, blur, color);
}
