#include "platform/CFormat.h"
#include "support/ParagraphStyle.h"
#include "support/TWXMLUtils.h"
#include "support/XMLStreamWriter.h"

#include <variant>

namespace {

struct Property
{
    const char *name;
    const char *path; // below the parent of <NSParagraphStyle>
    std::variant<int ParagraphStyle::*, double ParagraphStyle::*> field;
};

// In written order; the libxml2 route puts the tab stops before `tailIndent`.
const Property properties[] = {
    {"alignment", "NSParagraphStyle/alignment", &ParagraphStyle::alignment},
    {"baseWritingDirection", "NSParagraphStyle/baseWritingDirection",
     &ParagraphStyle::baseWritingDirection},
    {"defaultTabInterval", "NSParagraphStyle/defaultTabInterval",
     &ParagraphStyle::defaultTabInterval},
    {"firstLineHeadIndent", "NSParagraphStyle/firstLineHeadIndent",
     &ParagraphStyle::firstLineHeadIndent},
    {"headerLevel", "NSParagraphStyle/headerLevel", &ParagraphStyle::headerLevel},
    {"headIndent", "NSParagraphStyle/headIndent", &ParagraphStyle::headIndent},
    {"hyphenationFactor", "NSParagraphStyle/hyphenationFactor", &ParagraphStyle::hyphenationFactor},
    {"lineBreakMode", "NSParagraphStyle/lineBreakMode", &ParagraphStyle::lineBreakMode},
    {"lineHeightMultiple", "NSParagraphStyle/lineHeightMultiple",
     &ParagraphStyle::lineHeightMultiple},
    {"lineSpacing", "NSParagraphStyle/lineSpacing", &ParagraphStyle::lineSpacing},
    {"maximumLineHeight", "NSParagraphStyle/maximumLineHeight", &ParagraphStyle::maximumLineHeight},
    {"minimumLineHeight", "NSParagraphStyle/minimumLineHeight", &ParagraphStyle::minimumLineHeight},
    {"paragraphSpacing", "NSParagraphStyle/paragraphSpacing", &ParagraphStyle::paragraphSpacing},
    {"paragraphSpacingBefore", "NSParagraphStyle/paragraphSpacingBefore",
     &ParagraphStyle::paragraphSpacingBefore},
    {"tailIndent", "NSParagraphStyle/tailIndent", &ParagraphStyle::tailIndent},
    {"tighteningFactorForTruncation", "NSParagraphStyle/tighteningFactorForTruncation",
     &ParagraphStyle::tighteningFactorForTruncation},
};

bool comesAfterTabStops(const Property &p)
{
    return std::string_view(p.name) == "tailIndent";
}

} // namespace

XMLElement ParagraphStyle::freshXMLElement() const
{
    XMLElement element = XMLElement::create("NSParagraphStyle");
    for (const Property &p : properties) {
        if (const auto *i = std::get_if<int ParagraphStyle::*>(&p.field))
            element.setInt(this->**i, p.name);
        else
            element.setFloat(this->*std::get<double ParagraphStyle::*>(p.field), p.name);
    }
    // Appended one by one: setElement would keep only the last tab stop.
    for (const TextTab &tab : tabStops) {
        XMLElement holder = element.addChild(XMLElement::create("tabStop"));
        holder.addChild(tab.freshXMLElement());
    }
    return element;
}

void ParagraphStyle::addXmlDataToNode(xmlNodePtr parent) const
{
    if (!parent)
        return;
    XMLNodeOut out(parent);
    writeXml(out);
}

void ParagraphStyle::writeXml(XMLOut &out) const
{
    out.startElement("NSParagraphStyle");
    // A style without tab stops reads back with the default twelve, so those
    // are left out: written, they were a fifth of every branch in a file.
    static const QList<TextTab> defaults = defaultTabStops();
    const bool tabsWritten = tabStops != defaults;
    for (const Property &p : properties) {
        if (comesAfterTabStops(p) && tabsWritten) {
            for (const TextTab &tab : tabStops) {
                out.startElement("tabStop");
                tab.writeXml(out);
                out.endElement();
            }
        }
        if (const auto *i = std::get_if<int ParagraphStyle::*>(&p.field))
            out.integerElement(p.name, this->**i);
        else
            out.realElement(p.name, this->*std::get<double ParagraphStyle::*>(p.field));
    }
    out.endElement();
}

ParagraphStyle ParagraphStyle::objectWithXMLElement(const XMLElement &element)
{
    ParagraphStyle style;
    for (const Property &p : properties) {
        const XMLElement child = element.elementForName(p.name);
        if (const auto *i = std::get_if<int ParagraphStyle::*>(&p.field))
            style.**i = child.intValue();
        else
            style.*std::get<double ParagraphStyle::*>(p.field) =
                CFormat::asWrittenF(child.floatValue());
    }
    const QList<XMLElement> tabs = element.elementsForName("tabStop");
    if (!tabs.isEmpty()) {
        style.tabStops.clear();
        for (const XMLElement &tab : tabs)
            style.tabStops.append(TextTab::objectWithXMLElement(tab.elementForName("NSTextTab")));
    }
    return style;
}

ParagraphStyle ParagraphStyle::withXMLNode(xmlNodePtr parent, xmlDocPtr doc)
{
    ParagraphStyle style;
    const TWXMLUtils::XPathReader reader(parent, doc);
    for (const Property &p : properties) {
        if (const auto *i = std::get_if<int ParagraphStyle::*>(&p.field)) {
            if (const std::optional<int> v = reader.intValue(p.path))
                style.**i = *v;
        } else if (const std::optional<double> v = reader.floatValue(p.path)) {
            style.*std::get<double ParagraphStyle::*>(p.field) = CFormat::asWrittenF(*v);
        }
    }
    if (!reader.isValid())
        return style;
    // Tab stops of the first style only, should a parent hold two.
    if (xmlXPathObjectPtr result =
            TWXMLUtils::getNodeSetForXPath("NSParagraphStyle[1]/tabStop", doc, reader.context())) {
        style.tabStops.clear();
        const xmlNodeSetPtr nodes = result->nodesetval;
        for (int i = 0; nodes && i < nodes->nodeNr; ++i)
            style.tabStops.append(TextTab::withXMLNode(nodes->nodeTab[i], doc));
        xmlXPathFreeObject(result);
    }
    return style;
}
