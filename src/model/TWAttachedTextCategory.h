#pragma once

#include "support/Color.h"
#include "support/Image.h"
#include "support/XMLElement.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include <libxml/tree.h>

// A category that attached texts are filed under, with a short and a long
// name and an icon colour. A category read from a file keeps its element, so
// that children written by other versions survive a load and a save where
// they stood.
class TWAttachedTextCategory
{
public:
    // Makes the tinted icon from the colour, a base picture and an overlay.
    using ImageTinter =
        std::function<Image(const Color &color, const Image &image, const Image &overlay)>;

    TWAttachedTextCategory(const std::optional<QString> &shortName,
                           const std::optional<QString> &longName,
                           const std::optional<Color> &iconColor);

    const std::optional<QString> &shortName() const { return m_shortName; }
    const std::optional<QString> &longName() const { return m_longName; }
    const std::optional<Color> &iconColor() const { return m_iconColor; }
    const std::optional<Image> &cachedImage() const { return m_cachedImage; }
    // Replaces the icon with the one the tinter makes from the icon colour
    // (black when the category has none).
    void generateCachedImageFromImage(const Image &image, const Image &overlay,
                                      const ImageTinter &tint);

    std::shared_ptr<TWAttachedTextCategory> copy() const;
    // The same names and colour.
    bool isEqual(const TWAttachedTextCategory &other) const;

    // Element route: shortName, longName, iconColor (a name or colour that
    // is not set is not written). The reader takes the element itself; null
    // for a null element or one of another name.
    XMLElement freshXMLElement() const;
    static std::shared_ptr<TWAttachedTextCategory> objectWithXMLElement(const XMLElement &element);
    // Libxml2 route: iconColor, shortName, longName, appended under parent.
    // The reader takes the node holding the element; null without one.
    void addXmlDataToNode(xmlNodePtr parent) const;
    static std::shared_ptr<TWAttachedTextCategory> initWithXMLNode(xmlNodePtr parent,
                                                                   xmlDocPtr doc);

private:
    XMLElement writtenElement(bool colorFirst) const;

    std::optional<QString> m_shortName;
    std::optional<QString> m_longName;
    std::optional<Color> m_iconColor;
    std::optional<Image> m_cachedImage;
    XMLElement m_readElement; // as read, for the children of other versions
};
