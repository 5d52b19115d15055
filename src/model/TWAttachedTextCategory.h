#pragma once

#include "support/Color.h"
#include "support/XMLElement.h"

#include <QString>
#include <memory>
#include <optional>

// A category that attached texts are filed under, with a short and a long
// name and an icon colour. For now the category keeps its
// `TWAttachedTextCategory` element as it was read, so that it survives a load
// and a save unchanged; the names are read from it.
class TWAttachedTextCategory
{
public:
    TWAttachedTextCategory(const std::optional<QString> &shortName,
                           const std::optional<QString> &longName,
                           const std::optional<Color> &iconColor);
    // The category of a `TWAttachedTextCategory` element (kept as a copy);
    // null for a null element.
    static std::shared_ptr<TWAttachedTextCategory> objectWithXMLElement(const XMLElement &element);

    std::shared_ptr<TWAttachedTextCategory> copy() const;

    std::optional<QString> shortName() const;
    std::optional<QString> longName() const;

    XMLElement freshXMLElement() const;

    bool isEqual(const TWAttachedTextCategory &other) const;

private:
    TWAttachedTextCategory() = default;

    XMLElement m_element;
};
