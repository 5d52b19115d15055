#pragma once

#include "support/TWXMLProtocol.h"
#include "support/XMLElement.h"

#include <QMetaType>

#include <libxml/tree.h>

class XMLOut;

// Text alignment numbers as files store them.
enum TextAlignment : int {
    LeftTextAlignment = 0,
    RightTextAlignment = 1,
    CenterTextAlignment = 2,
    JustifiedTextAlignment = 3,
    NaturalTextAlignment = 4,
};

// One tab stop: an alignment (kept as the number read, so unknown values
// survive) and a location in points. Tab stops carry no options.
class TextTab
{
public:
    TextTab() = default;
    TextTab(int alignment, double location) : m_alignment(alignment), m_location(location) {}

    int alignment() const { return m_alignment; }
    double location() const { return m_location; }

    // <NSTextTab> on both routes: `alignment` ("%d"), `location` ("%f").
    XMLElement freshXMLElement() const;
    // Missing children read as 0; a null element gives a left tab at 0.
    static TextTab objectWithXMLElement(const XMLElement &element);
    void addXmlDataToNode(xmlNodePtr parent) const;
    // The same element into a tree or a stream.
    void writeXml(XMLOut &out) const;
    // `parent` is the node holding <NSTextTab>; a missing location is 10.
    static TextTab withXMLNode(xmlNodePtr parent, xmlDocPtr doc);

    friend bool operator==(const TextTab &a, const TextTab &b)
    {
        return a.m_alignment == b.m_alignment && a.m_location == b.m_location;
    }
    friend bool operator!=(const TextTab &a, const TextTab &b) { return !(a == b); }

private:
    int m_alignment = LeftTextAlignment;
    double m_location = 0.0;
};

Q_DECLARE_METATYPE(TextTab)
