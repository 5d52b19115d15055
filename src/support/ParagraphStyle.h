#pragma once

#include "support/TWXMLProtocol.h"
#include "support/TextTab.h"
#include "support/XMLElement.h"

#include <QList>
#include <QMetaType>

#include <libxml/tree.h>

class XMLOut;

// Writing direction and line break numbers as files store them.
enum WritingDirection : int {
    NaturalWritingDirection = -1,
    LeftToRightWritingDirection = 0,
    RightToLeftWritingDirection = 1,
};

enum LineBreakMode : int {
    LineBreakByWordWrapping = 0,
    LineBreakByCharWrapping = 1,
    LineBreakByClipping = 2,
    LineBreakByTruncatingHead = 3,
    LineBreakByTruncatingTail = 4,
    LineBreakByTruncatingMiddle = 5,
};

// Every stored property of a paragraph's layout. Numbers are kept as read, so
// values this program does not use still survive a load and a save. A
// default-constructed style is the platform's default paragraph style.
struct ParagraphStyle
{
    int alignment = NaturalTextAlignment;
    int baseWritingDirection = NaturalWritingDirection;
    double defaultTabInterval = 0.0;
    double firstLineHeadIndent = 0.0;
    int headerLevel = 0;
    double headIndent = 0.0;
    double hyphenationFactor = 0.0;
    int lineBreakMode = LineBreakByWordWrapping;
    double lineHeightMultiple = 0.0;
    double lineSpacing = 0.0;
    double maximumLineHeight = 0.0;
    double minimumLineHeight = 0.0;
    double paragraphSpacing = 0.0;
    double paragraphSpacingBefore = 0.0;
    QList<TextTab> tabStops = defaultTabStops();
    double tailIndent = 0.0;
    double tighteningFactorForTruncation = 0.05;

    static ParagraphStyle defaultParagraphStyle() { return ParagraphStyle(); }
    // Twelve left tab stops every 28 points, from 28 to 336.
    static QList<TextTab> defaultTabStops();

    // <NSParagraphStyle>, every property always written. Libxml2 route: the
    // properties in alphabetical order, the `tabStop`s in place of their
    // name. Element route: the same without the tab stops, which all follow
    // `tighteningFactorForTruncation`. Each `tabStop` holds one <NSTextTab>.
    XMLElement freshXMLElement() const;
    void addXmlDataToNode(xmlNodePtr parent) const;
    // The same element into a tree or a stream.
    void writeXml(XMLOut &out) const;
    // Starts from the default style; every missing property becomes 0. Tab
    // stops read replace the default ones; with none the defaults stay.
    static ParagraphStyle objectWithXMLElement(const XMLElement &element);
    // `parent` is the node holding <NSParagraphStyle>. Starts from the
    // default style and changes only what the element holds.
    static ParagraphStyle withXMLNode(xmlNodePtr parent, xmlDocPtr doc);

    friend bool operator==(const ParagraphStyle &a, const ParagraphStyle &b) = default;
};

Q_DECLARE_METATYPE(ParagraphStyle)
