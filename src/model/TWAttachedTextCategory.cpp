#include "model/TWAttachedTextCategory.h"

namespace {
std::optional<QString> childText(const XMLElement &element, const char16_t *name)
{
    const XMLElement child = element.elementForName(QStringView(name));
    if (child.isNull())
        return std::nullopt;
    return child.stringValue();
}
} // namespace

TWAttachedTextCategory::TWAttachedTextCategory(const std::optional<QString> &shortName,
                                               const std::optional<QString> &longName,
                                               const std::optional<Color> &iconColor)
    : m_element(XMLElement::create("TWAttachedTextCategory"))
{
    m_element.setString(shortName, u"shortName");
    m_element.setString(longName, u"longName");
    if (iconColor)
        m_element.setElement(iconColor->freshXMLElement(), u"iconColor");
}

std::shared_ptr<TWAttachedTextCategory>
TWAttachedTextCategory::objectWithXMLElement(const XMLElement &element)
{
    if (element.isNull())
        return nullptr;
    std::shared_ptr<TWAttachedTextCategory> category(new TWAttachedTextCategory());
    category->m_element = element.copy();
    return category;
}

std::shared_ptr<TWAttachedTextCategory> TWAttachedTextCategory::copy() const
{
    return objectWithXMLElement(m_element);
}

std::optional<QString> TWAttachedTextCategory::shortName() const
{
    return childText(m_element, u"shortName");
}

std::optional<QString> TWAttachedTextCategory::longName() const
{
    return childText(m_element, u"longName");
}

XMLElement TWAttachedTextCategory::freshXMLElement() const
{
    return m_element.copy();
}

bool TWAttachedTextCategory::isEqual(const TWAttachedTextCategory &other) const
{
    return m_element.xmlString() == other.m_element.xmlString();
}
