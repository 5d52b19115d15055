#pragma once

#include "platform/Geometry.h"
#include "support/Color.h"
#include "support/TWXMLProtocol.h"
#include "support/XMLElement.h"

#include <QMetaType>
#include <optional>

#include <libxml/tree.h>

class XMLOut;

// A drop shadow: offset, blur radius and an optional colour. Without a colour
// it draws in defaultShadowColor().
class Shadow
{
public:
    Shadow() = default;
    Shadow(Size offset, double blurRadius, std::optional<Color> color)
        : m_offset(offset), m_blurRadius(blurRadius), m_color(std::move(color))
    {}

    Size shadowOffset() const { return m_offset; }
    void setShadowOffset(Size offset) { m_offset = offset; }
    double shadowBlurRadius() const { return m_blurRadius; }
    void setShadowBlurRadius(double radius) { m_blurRadius = radius; }
    const std::optional<Color> &shadowColor() const { return m_color; }
    void setShadowColor(std::optional<Color> color) { m_color = std::move(color); }

    // The colour the shadow is drawn in: its own or the default.
    Color effectiveColor() const { return m_color.value_or(defaultShadowColor()); }
    // Black at one third opacity.
    static Color defaultShadowColor() { return Color::colorWithCalibratedWhite(0.0, 1.0 / 3.0); }

    // <NSShadow>. Element route: `shadowOffset` {`width`, `height`},
    // `shadowBlurRadius`, `shadowColor` {<NSColor>}, the colour always (a
    // shadow without one writes the colour it is drawn in). Libxml2 route:
    // `shadowBlurRadius`, `shadowColor` only when the shadow has one, then
    // `shadowOffset`.
    XMLElement freshXMLElement() const;
    // Missing parts read as 0 and a fully transparent colour.
    static Shadow objectWithXMLElement(const XMLElement &element);
    void addXmlDataToNode(xmlNodePtr parent) const;
    // The same element into a tree or a stream.
    void writeXml(XMLOut &out) const;
    // `parent` is the node holding <NSShadow>. Missing parts read as blur 5,
    // opaque black and offset (5, -5).
    static Shadow withXMLNode(xmlNodePtr parent, xmlDocPtr doc);

    friend bool operator==(const Shadow &a, const Shadow &b)
    {
        return a.m_offset == b.m_offset && a.m_blurRadius == b.m_blurRadius &&
               a.m_color == b.m_color;
    }
    friend bool operator!=(const Shadow &a, const Shadow &b) { return !(a == b); }

private:
    Size m_offset;
    double m_blurRadius = 0.0;
    std::optional<Color> m_color;
};

Q_DECLARE_METATYPE(Shadow)
