#include "model/TWAttachedTextCategory.h"
#include "model/TWRecordSupport.h"
#include "support/TWXMLUtils.h"

#include <QDebug>

TWAttachedTextCategory::TWAttachedTextCategory(const std::optional<QString> &shortName,
                                               const std::optional<QString> &longName,
                                               const std::optional<Color> &iconColor)
    : m_shortName(shortName), m_longName(longName), m_iconColor(iconColor)
{}

void TWAttachedTextCategory::generateCachedImageFromImage(const Image &image, const Image &overlay,
                                                          const ImageTinter &tint)
{
    m_cachedImage.reset();
    if (tint)
        m_cachedImage = tint(m_iconColor.value_or(Color::blackColor()), image, overlay);
}

std::shared_ptr<TWAttachedTextCategory> TWAttachedTextCategory::copy() const
{
    auto category = std::make_shared<TWAttachedTextCategory>(m_shortName, m_longName, m_iconColor);
    category->m_readElement = m_readElement.copy();
    return category;
}

bool TWAttachedTextCategory::isEqual(const TWAttachedTextCategory &other) const
{
    return m_shortName == other.m_shortName && m_longName == other.m_longName &&
           m_iconColor == other.m_iconColor;
}

XMLElement TWAttachedTextCategory::writtenElement(bool colorFirst) const
{
    TWRecord::ChildWriter writer(m_readElement.isNull()
                                     ? XMLElement::create("TWAttachedTextCategory")
                                     : m_readElement.copy());
    const XMLElement color = m_iconColor ? m_iconColor->freshXMLElement() : XMLElement();
    if (colorFirst)
        writer.value(u"iconColor", color);
    writer.text(u"shortName", m_shortName);
    writer.text(u"longName", m_longName);
    if (!colorFirst)
        writer.value(u"iconColor", color);
    return writer.element();
}

XMLElement TWAttachedTextCategory::freshXMLElement() const
{
    return writtenElement(false);
}

std::shared_ptr<TWAttachedTextCategory>
TWAttachedTextCategory::objectWithXMLElement(const XMLElement &element)
{
    if (element.isNull())
        return nullptr;
    if (element.name() != QLatin1String("TWAttachedTextCategory")) {
        qWarning().noquote() << "TWAttachedTextCategory: cannot read a" << element.name()
                             << "element";
        return nullptr;
    }
    std::optional<Color> color;
    const XMLElement colorElement =
        TWRecord::firstChild(TWRecord::firstChild(element, u"iconColor"), u"NSColor");
    if (!colorElement.isNull())
        color = Color::objectWithXMLElement(colorElement);
    const auto text = [&element](QAnyStringView name) -> std::optional<QString> {
        const XMLElement child = TWRecord::firstChild(element, name);
        return child.isNull() ? std::nullopt : std::optional<QString>(child.stringValue());
    };
    const std::optional<QString> longName = text(u"longName");
    const std::optional<QString> shortName = text(u"shortName");
    auto category = std::make_shared<TWAttachedTextCategory>(shortName, longName, color);
    category->m_readElement = element.copy();
    return category;
}

void TWAttachedTextCategory::addXmlDataToNode(xmlNodePtr parent) const
{
    TWRecord::appendElementCopy(parent, writtenElement(true));
}

std::shared_ptr<TWAttachedTextCategory> TWAttachedTextCategory::initWithXMLNode(xmlNodePtr parent,
                                                                                xmlDocPtr doc)
{
    const TWXMLUtils::XPathReader reader(parent, doc);
    xmlNodePtr node = reader.node("TWAttachedTextCategory");
    if (!node)
        return nullptr;
    std::optional<Color> color;
    if (xmlNodePtr colorNode = reader.node("TWAttachedTextCategory/iconColor"))
        color = Color::colorWithXMLNode(colorNode, doc);
    auto category = std::make_shared<TWAttachedTextCategory>(
        reader.text("TWAttachedTextCategory/shortName"),
        reader.text("TWAttachedTextCategory/longName"), color);
    category->m_readElement = TWRecord::elementCopyOfNode(node);
    return category;
}
