#include "exchange/KeynoteExportController.h"
#include "exchange/TWKeynoteXML.h"
#include "support/Color.h"
#include "support/Font.h"
#include "support/FontRegistry.h"
#include "support/Shadow.h"

#include "platform/CFormat.h"

#include <cmath>

using namespace TWKeynoteXML;

namespace {

constexpr const char *kXSINamespace = "http://www.w3.org/2001/XMLSchema-instance";

// The namespace typed colours need. A template without it gets it declared
// on its root, so that the colour's type stays readable.
xmlNsPtr schemaInstanceNamespace(xmlDocPtr doc, KeynoteNamespaces &ns)
{
    if (!ns.xsi) {
        xmlNodePtr root = xmlDocGetRootElement(doc);
        if (root)
            ns.xsi = xmlNewNs(root, BAD_CAST kXSINamespace, BAD_CAST "xsi");
    }
    return ns.xsi;
}

void addNumber(const KeynoteNamespaces &ns, xmlNodePtr map, const char *property,
               const QString &number, const char *type)
{
    xmlNodePtr element = addElement(addElement(map, ns.sf, property), ns.sf, "number");
    setAttribute(element, ns.sfa, "number", number);
    setAttribute(element, ns.sfa, "type", QLatin1String(type));
}

// sf:color with its space as the schema type; anything but RGB goes to
// device RGB first. Returns the element.
xmlNodePtr addColor(xmlDocPtr doc, KeynoteNamespaces &ns, xmlNodePtr parent, const Color &color,
                    bool opaque)
{
    const bool calibrated = color.colorSpace() == Color::Space::CalibratedRGB;
    const Color rgb = color.isRGB() ? color : color.colorUsingColorSpace(Color::Space::DeviceRGB);
    xmlNodePtr element = addElement(parent, ns.sf, "color");
    setAttribute(element, schemaInstanceNamespace(doc, ns), "type",
                 calibrated ? QStringLiteral("sfa:calibrated-rgb-color-type")
                            : QStringLiteral("sfa:device-rgb-color-type"));
    setAttribute(element, ns.sfa, "r", CFormat::f(float(rgb.redComponent())));
    setAttribute(element, ns.sfa, "g", CFormat::f(float(rgb.greenComponent())));
    setAttribute(element, ns.sfa, "b", CFormat::f(float(rgb.blueComponent())));
    setAttribute(element, ns.sfa, "a",
                 opaque ? QStringLiteral("1") : CFormat::f(float(rgb.alphaComponent())));
    return element;
}

// A numeric attribute that is present and not `neutral`.
std::optional<double> numberAttribute(const TextAttributes &attributes, const QString &key,
                                      double neutral)
{
    const auto found = attributes.constFind(key);
    if (found == attributes.cend() || !found->isValid())
        return std::nullopt;
    bool ok = false;
    const double value = found->toDouble(&ok);
    if (!ok || value == neutral)
        return std::nullopt;
    return value;
}

} // namespace

QString KeynoteExportController::populateAnonStyles(xmlNodePtr anonStyles,
                                                    const TextAttributes &attributes,
                                                    float sizeMultiplier)
{
    if (!anonStyles)
        return QString();
    xmlDocPtr doc = anonStyles->doc;
    KeynoteNamespaces ns = KeynoteNamespaces::forDocument(doc);

    const QString id = makeId("CharacterStyle", takeCounter());
    xmlNodePtr style = addElement(anonStyles, ns.sf, "characterstyle");
    setAttribute(style, ns.sfa, "ID", id);
    setAttribute(style, ns.sf, "parent-ident", QStringLiteral("character-style-null"));
    xmlNodePtr map = addElement(style, ns.sf, "property-map");

    Font font(QStringLiteral("Helvetica"), 12.0);
    if (const QVariant value = attributes.value(NSFontAttributeName); value.canConvert<Font>()) {
        const Font given = value.value<Font>();
        if (!given.isNull())
            font = given;
    }
    setAttribute(addElement(addElement(map, ns.sf, "fontName"), ns.sf, "string"), ns.sfa, "string",
                 font.fontName());
    addNumber(ns, map, "fontSize", CFormat::f(float(font.pointSize()) * sizeMultiplier), "f");
    const FontRegistry::Traits traits = FontRegistry::shared().traits(font.fontName());
    if (traits & FontRegistry::BoldTrait)
        addNumber(ns, map, "bold", QStringLiteral("1"), "c");
    if (traits & FontRegistry::ItalicTrait)
        addNumber(ns, map, "italic", QStringLiteral("1"), "c");

    Color foreground = Color::blackColor();
    if (const QVariant value = attributes.value(NSForegroundColorAttributeName);
        value.canConvert<Color>())
        foreground = value.value<Color>();
    addColor(doc, ns, addElement(map, ns.sf, "fontColor"), foreground, false);

    if (const auto baseline = numberAttribute(attributes, NSBaselineOffsetAttributeName, 0))
        addNumber(ns, map, "baselineShift", CFormat::f(float(*baseline)), "f");
    if (const auto superscript = numberAttribute(attributes, NSSuperscriptAttributeName, 0))
        addNumber(ns, map, "superscript", CFormat::d((long long)*superscript), "i");
    if (const auto kern = numberAttribute(attributes, NSKernAttributeName, 0))
        addNumber(ns, map, "tracking", CFormat::f(float(*kern)), "f");
    if (const auto underline = numberAttribute(attributes, NSUnderlineStyleAttributeName, 0))
        addNumber(ns, map, "underline", CFormat::d((long long)*underline), "i");
    if (const auto ligatures = numberAttribute(attributes, NSLigatureAttributeName, 1))
        addNumber(ns, map, "ligatures", CFormat::d((long long)*ligatures), "i");

    if (const QVariant value = attributes.value(NSShadowAttributeName);
        value.canConvert<Shadow>()) {
        const Shadow shadow = value.value<Shadow>();
        if (shadow.shadowColor()) {
            const float width = float(shadow.shadowOffset().width);
            const float height = float(shadow.shadowOffset().height);
            xmlNodePtr element = addElement(addElement(map, ns.sf, "textShadow"), ns.sf, "shadow");
            setAttribute(element, ns.sfa, "ID", makeId("Shadow", takeCounter()));
            setAttribute(element, ns.sf, "angle",
                         CFormat::f(float(std::atan2(-height, width) * 57.2957795f)));
            setAttribute(element, ns.sf, "offset",
                         CFormat::f(sizeMultiplier * std::sqrt(width * width + height * height)));
            setAttribute(element, ns.sf, "radius",
                         CFormat::f(sizeMultiplier * float(shadow.shadowBlurRadius())));
            setAttribute(element, ns.sf, "opacity",
                         CFormat::f(float(shadow.shadowColor()->alphaComponent())));
            addColor(doc, ns, element, *shadow.shadowColor(), true);
        }
    }
    if (const auto strike = numberAttribute(attributes, NSStrikethroughStyleAttributeName, 0))
        addNumber(ns, map, "strikethru", CFormat::d((long long)*strike), "i");
    return id;
}

void KeynoteExportController::insertAttributedString(const AttributedString &string,
                                                     xmlNodePtr paragraph, xmlNodePtr anonStyles,
                                                     float sizeMultiplier)
{
    if (string.isEmpty() || !paragraph)
        return;
    const KeynoteNamespaces ns = KeynoteNamespaces::forDocument(paragraph->doc);
    for (qsizetype run = 0; run < string.runCount(); ++run) {
        const AttributedString::Range range = string.runRange(run);
        const QString styleId =
            populateAnonStyles(anonStyles, string.runAttributes(run), sizeMultiplier);
        const QStringList lines = string.string().mid(range.location, range.length).split(u'\n');
        xmlNodePtr lastSpan = nullptr;
        for (qsizetype l = 0; l < lines.size(); ++l) {
            const QStringList pieces = lines[l].split(u'\t');
            for (qsizetype p = 0; p < pieces.size(); ++p) {
                lastSpan = addElement(paragraph, ns.sf, "span");
                setAttribute(lastSpan, ns.sf, "style", styleId);
                addText(lastSpan, pieces[p]);
                if (p + 1 < pieces.size())
                    addElement(lastSpan, ns.sf, "tab");
            }
            if (l + 1 < lines.size())
                addElement(lastSpan, ns.sf, "br");
        }
    }
}
