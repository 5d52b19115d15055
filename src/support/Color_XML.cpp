#include "platform/CFormat.h"
#include "support/Color.h"
#include "support/TWXMLUtils.h"
#include "support/XMLStreamWriter.h"

namespace {

const char *const componentNames[4] = {"redComponent", "greenComponent", "blueComponent",
                                       "alphaComponent"};

} // namespace

XMLElement Color::freshXMLElement() const
{
    const Color rgb = toCalibratedRGB();
    const double c[4] = {rgb.redComponent(), rgb.greenComponent(), rgb.blueComponent(),
                         rgb.alphaComponent()};
    XMLElement element = XMLElement::create("NSColor");
    for (int i = 0; i < 4; ++i)
        element.setFloat(c[i], componentNames[i]);
    return element;
}

Color Color::objectWithXMLElement(const XMLElement &element)
{
    double c[4];
    for (int i = 0; i < 4; ++i)
        c[i] = CFormat::asWrittenF(element.elementForName(componentNames[i]).floatValue());
    return colorWithCalibratedRed(c[0], c[1], c[2], c[3]);
}

void Color::addXmlDataToNode(xmlNodePtr parent) const
{
    if (!parent)
        return;
    XMLNodeOut out(parent);
    writeXml(out);
}

void Color::writeXml(XMLOut &out) const
{
    const Color rgb = toCalibratedRGB();
    const double c[4] = {rgb.redComponent(), rgb.greenComponent(), rgb.blueComponent(),
                         rgb.alphaComponent()};
    out.startElement("NSColor");
    for (int i = 0; i < 4; ++i)
        out.realElement(componentNames[i], c[i]);
    out.endElement();
}

Color Color::colorWithXMLNode(xmlNodePtr parent, xmlDocPtr doc)
{
    static const char *const paths[4] = {"NSColor/redComponent", "NSColor/greenComponent",
                                         "NSColor/blueComponent", "NSColor/alphaComponent"};
    const TWXMLUtils::XPathReader reader(parent, doc);
    double c[4];
    for (int i = 0; i < 4; ++i)
        c[i] = CFormat::asWrittenF(reader.floatValue(paths[i]).value_or(0.0));
    return colorWithCalibratedRed(c[0], c[1], c[2], c[3]);
}

QString Color::xmlRepresentation() const
{
    return TWXMLUtils::xmlRepresentation([this](xmlNodePtr root) { addXmlDataToNode(root); });
}

std::optional<Color> Color::colorFromXMLRepresentation(const QString &text)
{
    return TWXMLUtils::fromXMLRepresentation(text, &Color::colorWithXMLNode);
}
