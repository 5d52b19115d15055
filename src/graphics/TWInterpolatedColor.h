#pragma once

#include "support/Color.h"

#include <optional>

#include <libxml/tree.h>

// A colour stop of a direction-dependent colouring: a colour at an angle.
class TWInterpolatedColor
{
public:
    TWInterpolatedColor(std::optional<Color> color, float angle)
        : m_color(std::move(color)), m_angle(angle)
    {}

    const std::optional<Color> &color() const { return m_color; }
    float angle() const { return m_angle; }

    // Appends a "TWInterpolatedColor" element with "color" and "angle" ("%f").
    void addXmlDataToNode(xmlNodePtr parent) const;
    // Reads the element below `node`; missing parts read as no colour and 0.
    static TWInterpolatedColor initWithXMLNode(xmlNodePtr node, xmlDocPtr doc);

private:
    std::optional<Color> m_color;
    float m_angle = 0;
};
