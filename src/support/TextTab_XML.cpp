#include "platform/CFormat.h"
#include "support/TWXMLUtils.h"
#include "support/TextTab.h"
#include "support/XMLStreamWriter.h"

XMLElement TextTab::freshXMLElement() const
{
    XMLElement element = XMLElement::create("NSTextTab");
    element.setInt(m_alignment, "alignment");
    element.setFloat(m_location, "location");
    return element;
}

TextTab TextTab::objectWithXMLElement(const XMLElement &element)
{
    return TextTab(element.elementForName("alignment").intValue(),
                   CFormat::asWrittenF(element.elementForName("location").floatValue()));
}

void TextTab::addXmlDataToNode(xmlNodePtr parent) const
{
    if (!parent)
        return;
    XMLNodeOut out(parent);
    writeXml(out);
}

void TextTab::writeXml(XMLOut &out) const
{
    out.startElement("NSTextTab");
    out.integerElement("alignment", m_alignment);
    out.realElement("location", m_location);
    out.endElement();
}

TextTab TextTab::withXMLNode(xmlNodePtr parent, xmlDocPtr doc)
{
    const TWXMLUtils::XPathReader reader(parent, doc);
    return TextTab(reader.intValue("NSTextTab/alignment").value_or(LeftTextAlignment),
                   CFormat::asWrittenF(reader.floatValue("NSTextTab/location").value_or(10.0)));
}
