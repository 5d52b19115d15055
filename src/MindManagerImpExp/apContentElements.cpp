#include "MindManagerImpExp/apContentElements.h"

#include "MindManagerImpExp/MMNamespaces.h"

#include <QDebug>

using T = MMValueType;

namespace {

void readIcon(MMXMLBaseObject &icon, const XMLTree &tree)
{
    const std::optional<QString> type = icon.string("xsiType");
    if (!type) {
        qWarning("ap:Icon error - no type specified");
    } else if (*type == QLatin1String(MMIconTypes::kStockIcon)) {
        const QString value = tree.attributeNamed("IconType");
        if (!value.isNull())
            icon.setString("iconType", value);
    } else if (*type == QLatin1String(MMIconTypes::kCustomIcon)) {
        const QString value = tree.attributeNamed("IconSignature");
        if (!value.isNull())
            icon.setString("iconSignature", value);
    } else {
        qWarning().noquote()
            << QStringLiteral("ap:Icon error - type %1 is not recognized").arg(*type);
    }
}

void fillIcon(const MMXMLBaseObject &icon, QHash<QString, QString> &attributes, QStringList &order)
{
    auto add = [&](const QString &name, const std::optional<QString> &value) {
        if (!value)
            return;
        order.append(name);
        attributes.insert(name, *value);
    };
    const std::optional<QString> type = icon.string("xsiType");
    if (!type)
        qWarning("ap:Icon error - no type specified");
    else if (*type == QLatin1String(MMIconTypes::kStockIcon))
        add(QStringLiteral("IconType"), icon.string("iconType"));
    else if (*type == QLatin1String(MMIconTypes::kCustomIcon))
        add(QStringLiteral("IconSignature"), icon.string("iconSignature"));
    else
        qWarning().noquote()
            << QStringLiteral("ap:Icon error - type %1 is not recognized").arg(*type);
}

// Points the copied elements at the html element's namespace and drops
// the declarations of it that the copy brought along.
void adoptNamespace(xmlNodePtr node, xmlNsPtr ns)
{
    for (; node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE)
            continue;
        if (node->ns && !node->ns->prefix && xmlStrEqual(node->ns->href, ns->href))
            node->ns = ns;
        adoptNamespace(node->children, ns);
        // No element below refers to these any more.
        for (xmlNsPtr *link = &node->nsDef; *link;) {
            xmlNsPtr def = *link;
            if (!def->prefix && xmlStrEqual(def->href, ns->href)) {
                *link = def->next;
                def->next = nullptr;
                xmlFreeNs(def);
            } else {
                link = &def->next;
            }
        }
    }
}

XMLTree bodyOf(const XMLTree &html)
{
    return html.isNull() ? XMLTree() : html.childNamed(QStringLiteral("body"));
}

// The html child in the XHTML namespace, holding a copy of the notes' body:
// from xhtmlData when set, else from the html the element was read with.
void writeNotesXhtml(const MMXMLBaseObject &notes, XMLTree &element)
{
    const std::optional<QString> data = notes.string("xhtmlData");
    const XMLTree read = notes.tree("xhtmlTree");
    if (!data && read.isNull())
        return;
    XMLTree html = element.addSubtree(QStringLiteral("html"));
    if (html.isNull())
        return;
    xmlNodePtr htmlNode = html.rootNode();
    xmlNsPtr ns = xmlNewNs(htmlNode, BAD_CAST MMNamespaces::xhtml().toUtf8().constData(), nullptr);
    xmlSetNs(htmlNode, ns);
    XMLTree body;
    XMLTree parsed;
    if (data) {
        parsed = XMLTree::initWithString(*data);
        body = bodyOf(parsed);
    } else {
        body = bodyOf(read);
    }
    if (!body.isNull()) {
        html.addXmlChild(body);
        adoptNamespace(htmlNode->children, ns);
    }
}

} // namespace

MM_TABLE_BEGIN(apText)
static const MMFieldRule fields[] = {
    {"plainText", "PlainText", T::String},
    {"textAlignment", "TextAlignment", T::String},
    {"verticalTextAlignment", "VerticalTextAlignment", T::String},
    {"textCapitalization", "TextCapitalization", T::String},
};
static const MMChildRule children[] = {
    {"font", "ap:Font", &apFont::staticClass},
    {"fontRanges", "ap:FontRange", &apFontRange::staticClass, true},
    {"ignoreSpellingRanges", "ap:IgnoreSpellingRange", &apIgnoreSpellingRange::staticClass, true},
};
MM_TABLE_END(apText, "ap:Text", corValue, fields, children)

MM_TABLE_BEGIN(apFont)
static const MMFieldRule fields[] = {
    {"bold", "Bold", T::Bool, 0},
    {"italic", "Italic", T::Bool, 0},
    {"underline", "Underline", T::Bool, 0},
    {"name", "Name", T::String},
    {"size", "Size", T::Float, 0},
    {"color", "Color", T::String},
    {"strikethrough", "Strikethrough", T::Bool, 0},
};
MM_TABLE_END(apFont, "ap:Font", MMXMLBaseObject, fields, {})

MM_TABLE_BEGIN(apFontRange)
static const MMFieldRule fields[] = {
    {"from", "From", T::UInt, 0},
    {"to", "To", T::UInt, 0},
};
MM_TABLE_END(apFontRange, "ap:FontRange", apFont, fields, {})

MM_TABLE_BEGIN(apIgnoreSpellingRange)
static const MMFieldRule fields[] = {
    {"from", "From", T::UInt, 0},
    {"to", "To", T::UInt, 0},
};
MM_TABLE_END(apIgnoreSpellingRange, "ap:IgnoreSpellingRange", MMXMLBaseObject, fields, {})

MM_TABLE_BEGIN(apNotesGroup)
static const MMChildRule children[] = {
    {"notesXhtmlData", "ap:NotesXhtmlData", &apNotesXhtmlData::staticClass},
    {"notesData", "ap:NotesData", &apNotesData::staticClass, true},
};
MM_TABLE_END(apNotesGroup, "ap:NotesGroup", corGroup, {}, children)

MM_TABLE_BEGIN(apNotesXhtmlData)
// Stored as the parser gives it: entities are decoded once, by libxml2.
static const MMFieldRule fields[] = {{"previewPlainText", "PreviewPlainText", T::String}};
MM_TABLE_END_HOOKS(apNotesXhtmlData, "ap:NotesXhtmlData", corXhtmlData, fields, {}, nullptr,
                   nullptr, &writeNotesXhtml)

MM_TABLE_BEGIN(apNotesData)
static const MMFieldRule fields[] = {{"index", "Index", T::UInt, 0}};
MM_TABLE_END(apNotesData, "ap:NotesData", corBinaryData, fields, {})

MM_TABLE_BEGIN(apHyperlink)
static const MMFieldRule fields[] = {
    {"url", "Url", T::String},
    {"name", "Name", T::String},
    {"hidden", "Hidden", T::Bool, 0},
    {"target", "Target", T::String},
    {"absolute", "Absolute", T::Bool, 0},
    {"cachedName", "CachedName", T::String},
    {"hyperlinkType", "HyperlinkType", T::String},
    {"hyperlinkSourceHandling", "HyperlinkSourceHandling", T::String},
};
MM_TABLE_END(apHyperlink, "ap:Hyperlink", corValue, fields, {})

MM_TABLE_BEGIN(apBookmark)
static const MMFieldRule fields[] = {{"name", "Name", T::String}};
MM_TABLE_END(apBookmark, "ap:Bookmark", corValue, fields, {})

MM_TABLE_BEGIN(apIconsGroup)
static const MMChildRule children[] = {
    {"icons", "ap:Icons", &apIcons::staticClass},
    {"customIconImageData", "ap:CustomIconImageData", &apCustomIconImageData::staticClass, true},
};
MM_TABLE_END(apIconsGroup, "ap:IconsGroup", corGroup, {}, children)

MM_TABLE_BEGIN(apIcons)
static const MMChildRule children[] = {{"icons", "ap:Icon", &apIcon::staticClass, true}};
MM_TABLE_END(apIcons, "ap:Icons", corValue, {}, children)

MM_TABLE_BEGIN(apIcon)
static const MMFieldRule fields[] = {
    {"xsiType", "xsi:type", T::String},
    {"iconType", nullptr, T::String},
    {"iconSignature", nullptr, T::String},
};
MM_TABLE_END_HOOKS(apIcon, "ap:Icon", MMXMLBaseObject, fields, {}, &readIcon, &fillIcon, nullptr)

MM_TABLE_BEGIN(apCustomIconImageData)
static const MMFieldRule fields[] = {{"iconSignature", "IconSignature", T::String}};
MM_TABLE_END(apCustomIconImageData, "ap:CustomIconImageData", apImageData, fields, {})

MM_TABLE_BEGIN(apOneImage)
static const MMChildRule children[] = {{"image", "ap:Image", &apImage::staticClass}};
MM_TABLE_END(apOneImage, "ap:OneImage", corOneObject, {}, children)

MM_TABLE_BEGIN(apImage)
static const MMChildRule children[] = {
    {"apImageViewGroups", "ap:ImageViewGroup", &apImageViewGroup::staticClass, true},
    {"imageData", "ap:ImageData", &apImageData::staticClass},
    {"imageSize", "ap:ImageSize", &apImageSize::staticClass},
};
MM_TABLE_END(apImage, "ap:Image", corObject, {}, children)

MM_TABLE_BEGIN(apImageSize)
static const MMFieldRule fields[] = {
    {"width", "Width", T::FloatNumber},
    {"height", "Height", T::FloatNumber},
};
MM_TABLE_END(apImageSize, "ap:ImageSize", corValue, fields, {})

MM_TABLE_BEGIN(apTask)
static const MMFieldRule fields[] = {
    {"taskPriority", "TaskPriority", T::String},
    {"durationHours", "DurationHours", T::IntNumber},
    {"startDate", "StartDate", T::Date},
    {"deadlineDate", "DeadlineDate", T::Date},
    {"taskPercentage", "TaskPercentage", T::IntNumber},
    {"categories", "Categories", T::String},
    {"resources", "Resources", T::String},
    {"durationUnit", "DurationUnit", T::String},
};
MM_TABLE_END(apTask, "ap:Task", corValue, fields, {})

MM_TABLE_BEGIN(apInkGroup)
static const MMChildRule children[] = {
    {"inkData", "ap:InkData", &apInkData::staticClass},
    {"inkRecognitionResult", "ap:InkRecognitionResult", &apInkRecognitionResult::staticClass},
};
MM_TABLE_END(apInkGroup, "ap:InkGroup", corGroup, {}, children)

MM_RENAME(apInkData, "ap:InkData", corBinaryData)

MM_TABLE_BEGIN(apInkRecognitionResult)
static const MMFieldRule fields[] = {{"plainText", "PlainText", T::String}};
MM_TABLE_END(apInkRecognitionResult, "ap:InkRecognitionResult", corValue, fields, {})

MM_TABLE_BEGIN(apOneInkSketch)
static const MMChildRule children[] = {{"inkSketch", "ap:InkSketch", &apInkSketch::staticClass}};
MM_TABLE_END(apOneInkSketch, "ap:OneInkSketch", corOneObject, {}, children)

MM_TABLE_BEGIN(apInkSketch)
static const MMChildRule children[] = {
    {"inkSketchViewGroups", "ap:InkSketchViewGroup", &apInkSketchViewGroup::staticClass, true},
    {"inkData", "ap:InkData", &apInkData::staticClass},
    {"inkScaleFactors", "ap:InkScaleFactors", &apInkScaleFactors::staticClass},
};
MM_TABLE_END(apInkSketch, "ap:InkSketch", corObject, {}, children)

MM_TABLE_BEGIN(apInkScaleFactors)
static const MMFieldRule fields[] = {
    {"horizontalInkScaleFactor", "HorizontalInkScaleFactor", T::FloatNumber},
    {"verticalInkScaleFactor", "VerticalInkScaleFactor", T::FloatNumber},
};
MM_TABLE_END(apInkScaleFactors, "ap:InkScaleFactors", corValue, fields, {})

MM_TABLE_BEGIN(apComments)
static const MMChildRule children[] = {{"comments", "ap:Comment", &apComment::staticClass, true}};
MM_TABLE_END(apComments, "ap:Comments", corValue, {}, children)

MM_TABLE_BEGIN(apComment)
static const MMFieldRule fields[] = {
    {"text", "Text", T::String},
    {"dateTime", "DateTime", T::Date},
    {"authorName", "AuthorName", T::String},
    {"authorEmail", "AuthorEmail", T::String},
};
MM_TABLE_END(apComment, "ap:Comment", MMXMLBaseObject, fields, {})

MM_TABLE_BEGIN(apSpellingOptions)
static const MMFieldRule fields[] = {
    {"spellText", "SpellText", T::Bool, 1},
    {"spellNotes", "SpellNotes", T::Bool, 1},
};
MM_TABLE_END(apSpellingOptions, "ap:SpellingOptions", corValue, fields, {})
