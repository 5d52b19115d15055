#include "platform/CFormat.h"
#include "support/Font.h"
#include "support/TWXMLUtils.h"
#include "support/XMLStreamWriter.h"

XMLElement Font::freshXMLElement() const
{
    XMLElement element = XMLElement::create("NSFont");
    element.setString(m_fontName, "fontName");
    element.setFloat(m_pointSize, "size");
    return element;
}

std::optional<Font> Font::objectWithXMLElement(const XMLElement &element)
{
    const double size = CFormat::asWrittenF(element.elementForName("size").floatValue());
    const std::optional<QString> name = element.stringForPath("fontName");
    if (!name || size == 0.0)
        return std::nullopt;
    return Font(*name, size);
}

void Font::addXmlDataToNode(xmlNodePtr parent) const
{
    if (!parent)
        return;
    XMLNodeOut out(parent);
    writeXml(out);
}

void Font::writeXml(XMLOut &out) const
{
    out.startElement("NSFont");
    out.textElement("fontName", m_fontName);
    out.realElement("size", m_pointSize);
    out.endElement();
}

std::optional<Font> Font::fontWithXMLNode(xmlNodePtr parent, xmlDocPtr doc)
{
    const TWXMLUtils::XPathReader reader(parent, doc);
    const std::optional<QString> name = reader.text("NSFont/fontName");
    const double size = CFormat::asWrittenF(reader.floatValue("NSFont/size").value_or(10.0));
    if (!name || name->isEmpty())
        return std::nullopt;
    return Font(*name, size);
}

QString Font::xmlRepresentation() const
{
    return TWXMLUtils::xmlRepresentation([this](xmlNodePtr root) { addXmlDataToNode(root); });
}

std::optional<Font> Font::fontFromXMLRepresentation(const QString &text)
{
    return TWXMLUtils::fromXMLRepresentation(text, &Font::fontWithXMLNode);
}
