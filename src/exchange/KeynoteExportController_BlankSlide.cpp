#include "exchange/KeynoteExportController.h"
#include "exchange/TWKeynoteXML.h"

using namespace TWKeynoteXML;

namespace {

// Every list level is indented a half inch further.
constexpr const char *kListIndents[9] = {"0", "36", "72", "108", "144", "180", "216", "252", "288"};

// The default paragraph style's properties, in the order slides carry them;
// those marked hold an sf:null.
struct PropertyName
{
    const char *name;
    bool holdsNull;
};
constexpr PropertyName kDefaultParagraphProperties[] = {
    {"defaultTabStops", false},
    {"firstTopicNumber", false},
    {"tabs", false},
    {"leftIndent", false},
    {"lineSpacing", false},
    {"paragraphFill", true},
    {"paragraphBorders", false},
    {"italic", false},
    {"baselineShift", false},
    {"tocStyle", true},
    {"fontName", false},
    {"fontColor", false},
    {"rightIndent", false},
    {"outlineLevel", false},
    {"strikethru", false},
    {"outline", false},
    {"dropCap", false},
    {"textShadow", false},
    {"capitalization", false},
    {"ligatures", false},
    {"listStyle", true},
    {"keepWithNext", false},
    {"keepLinesTogether", false},
    {"textBorders", false},
    {"strikethruWidth", false},
    {"widowControl", false},
    {"word_underline", false},
    {"followingParagraphStyle", true},
    {"superscript", false},
    {"effectColor", true},
    {"spaceBefore", false},
    {"firstLineIndent", false},
    {"bold", false},
    {"showInTOC", false},
    {"fontSize", false},
    {"hidden", false},
    {"underline", false},
    {"effect", true},
    {"hyphenate", false},
    {"word_strikethrough", false},
    {"outlineColor", true},
    {"spaceAfter", false},
    {"language", false},
    {"tracking", false},
    {"decimalTab", false},
    {"strikethruColor", true},
    {"atsuFontFeatures", false},
    {"pageBreakBefore", false},
    {"kerning", false},
    {"paragraphStroke", true},
    {"underlineColor", true},
    {"alignment", false},
    {"underlineWidth", false},
};

constexpr const char *kHeadlineLevels[6] = {"title",  "level1", "level2",
                                            "level3", "level4", "level5"};

// Builds one slide: ids carry the slide number and the running counter.
class SlideBuilder
{
public:
    SlideBuilder(const KeynoteNamespaces &ns, int slideNumber) : ns(ns), slide(slideNumber) {}

    QString id(const char *kind) const
    {
        return KeynoteExportController::makeId(kind, slide, KeynoteExportController::takeCounter());
    }
    xmlNodePtr add(xmlNodePtr parent, xmlNsPtr space, const char *name,
                   const char *idKind = nullptr)
    {
        xmlNodePtr node = addElement(parent, space, name);
        if (idKind)
            setAttribute(node, ns.sfa, "ID", id(idKind));
        return node;
    }
    xmlNodePtr sf(xmlNodePtr parent, const char *name, const char *idKind = nullptr)
    {
        return add(parent, ns.sf, name, idKind);
    }
    void identAndParent(xmlNodePtr node, const char *ident)
    {
        setAttribute(node, ns.sf, "ident", QLatin1String(ident));
        setAttribute(node, ns.sf, "parent-ident", QLatin1String(ident));
    }
    xmlNodePtr propertyMap(xmlNodePtr style) { return sf(style, "property-map"); }

    const KeynoteNamespaces &ns;
    int slide;
};

} // namespace

xmlNodePtr KeynoteExportController::createBlank(bool blank, const QString &masterSlideRef,
                                                const QString &masterLayerInfo,
                                                const QString &styleSheetId, xmlNodePtr slideList,
                                                bool isTextSlide, int keynoteVersion)
{
    if (!slideList)
        return nullptr;
    const KeynoteNamespaces ns = KeynoteNamespaces::forDocument(slideList->doc);
    ++m_slideNumber;
    SlideBuilder b(ns, m_slideNumber);
    auto lookup = [&](xmlNodePtr from, const char *type, const char *attribute, const char *value) {
        return findValueOfPropertyNamed(
            QStringLiteral("ID"), QStringLiteral("sfa"), from, QLatin1String(type),
            attribute ? QString(QLatin1String(attribute)) : QString(), QStringLiteral("sf"),
            value ? QString(QLatin1String(value)) : QString());
    };

    xmlNodePtr slide = b.add(slideList, ns.key, "slide", "Slide");
    setAttribute(slide, ns.key, "depth", QStringLiteral("0"));

    // The slide's own stylesheet.
    xmlNodePtr stylesheet = b.add(slide, ns.key, "stylesheet", "Stylesheet");
    xmlNodePtr styles = b.sf(stylesheet, "styles");
    {
        xmlNodePtr slideStyle = b.sf(styles, "slide-style", "SlideStyle");
        setAttribute(slideStyle, ns.sfa, "sfclass", QString());
        b.identAndParent(slideStyle, "slideStyleID");
        b.propertyMap(slideStyle);

        xmlNodePtr layout = b.sf(styles, "layoutstyle", "LayoutStyle");
        setAttribute(layout, ns.sf, "name", QStringLiteral("Normal"));
        setAttribute(layout, ns.sf, "ident", QStringLiteral("layout-style-default"));
        xmlNodePtr layoutMap = b.propertyMap(layout);
        for (const char *name : {"padding", "followingLayoutStyle", "layoutMargins", "columns",
                                 "layoutParagraphStyle", "layoutContinuous", "verticalAlignment"}) {
            xmlNodePtr property = b.sf(layoutMap, name);
            if (qstrcmp(name, "followingLayoutStyle") == 0 ||
                qstrcmp(name, "layoutParagraphStyle") == 0)
                b.sf(property, "null");
        }

        xmlNodePtr paragraph = b.sf(styles, "paragraphstyle", "ParagraphStyle");
        setAttribute(paragraph, ns.sf, "name", QStringLiteral("Free Form"));
        setAttribute(paragraph, ns.sf, "ident", QStringLiteral("paragraph-style-default"));
        xmlNodePtr paragraphMap = b.propertyMap(paragraph);
        for (const PropertyName &property : kDefaultParagraphProperties) {
            xmlNodePtr element = b.sf(paragraphMap, property.name);
            if (property.holdsNull)
                b.sf(element, "null");
        }

        xmlNodePtr character = b.sf(styles, "characterstyle", "CharacterStyle");
        setAttribute(character, ns.sf, "name", QStringLiteral("None"));
        setAttribute(character, ns.sf, "ident", QStringLiteral("character-style-null"));
        b.propertyMap(character);

        xmlNodePtr numberPlaceholder = b.sf(styles, "placeholder-style", "PlaceholderStyle");
        setAttribute(numberPlaceholder, ns.sfa, "sfclass", QString());
        b.identAndParent(numberPlaceholder, "slideNumberPlaceholderStyleID");
        xmlNodePtr numberLayout = b.sf(b.sf(b.propertyMap(numberPlaceholder), "layoutStyle"),
                                       "layoutstyle", "LayoutStyle");
        b.identAndParent(numberLayout, "kBGSlideNumberPlaceholderLayoutStyleID");
        xmlNodePtr numberParagraph = b.sf(b.sf(b.propertyMap(numberLayout), "layoutParagraphStyle"),
                                          "paragraphstyle", "ParagraphStyle");
        b.identAndParent(numberParagraph, "kBGSlideNumberPlaceholderParagraphStyleID");
        b.propertyMap(numberParagraph);

        xmlNodePtr objectLayout = b.sf(styles, "layoutstyle", "LayoutStyle");
        b.identAndParent(objectLayout, "kBGObjectPlaceholderLayoutStyleID");
        xmlNodePtr objectParagraph = b.sf(b.sf(b.propertyMap(objectLayout), "layoutParagraphStyle"),
                                          "paragraphstyle", "ParagraphStyle");
        b.identAndParent(objectParagraph, "kBGObjectPlaceholderParagraphStyleID");
        b.propertyMap(objectParagraph);

        xmlNodePtr titlePlaceholder = b.sf(styles, "placeholder-style", "PlaceholderStyle");
        setAttribute(titlePlaceholder, ns.sfa, "sfclass", QString());
        b.identAndParent(titlePlaceholder, "titlePlaceholderStyleID");
        b.propertyMap(titlePlaceholder);

        setAttribute(b.sf(styles, "paragraphstyle-ref"), ns.sfa, "IDREF",
                     lookup(slide, "sf:paragraphstyle", "ident",
                            "kBGSlideNumberPlaceholderParagraphStyleID"));
        setAttribute(
            b.sf(styles, "layoutstyle-ref"), ns.sfa, "IDREF",
            lookup(slide, "sf:layoutstyle", "ident", "kBGSlideNumberPlaceholderLayoutStyleID"));

        xmlNodePtr list = b.sf(styles, "liststyle", "ListStyle");
        setAttribute(list, ns.sf, "name", QStringLiteral("None"));
        setAttribute(list, ns.sf, "ident", QStringLiteral("list-style-default"));
        xmlNodePtr listMap = b.propertyMap(list);
        if (keynoteVersion == 2) {
            xmlNodePtr array = b.sf(b.sf(listMap, "listLevels"), "array", "Array");
            for (const char *indent : kListIndents) {
                xmlNodePtr level = b.sf(array, "list-level", "ListLevel");
                setAttribute(level, ns.sf, "type", QStringLiteral("none"));
                setAttribute(level, ns.sf, "align", QStringLiteral("left"));
                setAttribute(level, ns.sf, "text-pos", QLatin1String(indent));
                setAttribute(level, ns.sf, "label-pos", QStringLiteral("0"));
                setAttribute(level, ns.sf, "scale", QStringLiteral("1"));
                setAttribute(level, ns.sf, "offset", QStringLiteral("0"));
                setAttribute(level, ns.sf, "scale-with-text", QStringLiteral("true"));
            }
        } else {
            xmlNodePtr textIndents = b.sf(b.sf(listMap, "listTextIndents"), "array", "Array");
            for (const char *indent : kListIndents) {
                xmlNodePtr number = b.sf(textIndents, "number");
                setAttribute(number, ns.sfa, "number", QLatin1String(indent));
                setAttribute(number, ns.sfa, "type", QStringLiteral("f"));
            }
            xmlNodePtr labelIndents = b.sf(b.sf(listMap, "listLabelIndents"), "array", "Array");
            for (int i = 0; i < 9; ++i) {
                xmlNodePtr number = b.sf(labelIndents, "number");
                setAttribute(number, ns.sfa, "number", QStringLiteral("0"));
                setAttribute(number, ns.sfa, "type", QStringLiteral("f"));
            }
            xmlNodePtr types = b.sf(b.sf(listMap, "listLabelTypes"), "array", "Array");
            for (int i = 0; i < 9; ++i)
                setAttribute(b.sf(types, "list-label-typeinfo", "ListLabelTypeInfo"), ns.sf, "type",
                             QStringLiteral("none"));
            xmlNodePtr geometries = b.sf(b.sf(listMap, "listLabelGeometries"), "array", "Array");
            for (int i = 0; i < 9; ++i) {
                xmlNodePtr geometry = b.sf(geometries, "list-label-geometry", "ListLabelGeometry");
                setAttribute(geometry, ns.sf, "align", QStringLiteral("left"));
                setAttribute(geometry, ns.sf, "scale", QStringLiteral("1"));
                setAttribute(geometry, ns.sf, "offset", QStringLiteral("0"));
                setAttribute(geometry, ns.sf, "scale-with-text", QStringLiteral("true"));
            }
        }

        for (const char *ident : {"bodyPlaceholderStyleID", "objectPlaceholderStyleID"}) {
            xmlNodePtr placeholder = b.sf(styles, "placeholder-style", "PlaceholderStyle");
            setAttribute(placeholder, ns.sfa, "sfclass", QString());
            b.identAndParent(placeholder, ident);
            xmlNodePtr map = b.propertyMap(placeholder);
            if (qstrcmp(ident, "objectPlaceholderStyleID") == 0)
                setAttribute(
                    b.sf(b.sf(map, "layoutStyle"), "layoutstyle-ref"), ns.sfa, "IDREF",
                    lookup(slide, "sf:layoutstyle", "ident", "kBGObjectPlaceholderLayoutStyleID"));
        }
        setAttribute(
            b.sf(styles, "paragraphstyle-ref"), ns.sfa, "IDREF",
            lookup(slide, "sf:paragraphstyle", "ident", "kBGObjectPlaceholderParagraphStyleID"));
    }

    // Anonymous styles: the parents of the text and the content writers' own.
    xmlNodePtr anon = b.sf(stylesheet, "anon-styles");
    auto anonStyle = [&](const char *name, const char *idKind, const QString &parent,
                         bool sfclass = false) {
        xmlNodePtr style = b.sf(anon, name, idKind);
        if (sfclass)
            setAttribute(style, ns.sfa, "sfclass", QString());
        setAttribute(style, ns.sf, "parent-ident", parent);
        b.propertyMap(style);
    };
    for (const char *level : kHeadlineLevels)
        anonStyle("paragraphstyle", "ParagraphStyle",
                  QLatin1String(level) + QLatin1String("HeadlineParagraphStyleID"));
    if (keynoteVersion <= 2)
        for (const char *level : kHeadlineLevels)
            anonStyle("headline-style", "HeadlineStyle",
                      QLatin1String(level) + QLatin1String("HeadlineStyleID"), true);
    anonStyle("paragraphstyle", "ParagraphStyle", QStringLiteral("slideNotesParagraphStyleID"));
    anonStyle("paragraphstyle", "ParagraphStyle", QStringLiteral("textboxParagraphStyleID"));
    anonStyle("layoutstyle", "LayoutStyle", QStringLiteral("textboxLayoutStyleID"));
    if (keynoteVersion >= 3) {
        anonStyle("layoutstyle", "LayoutStyle", QStringLiteral("titlePlaceholderLayoutStyleID"));
        anonStyle("layoutstyle", "LayoutStyle", QStringLiteral("bodyPlaceholderLayoutStyleID"));
    }
    setAttribute(b.sf(stylesheet, "parent-ref"), ns.sfa, "IDREF", styleSheetId);

    setAttribute(b.add(slide, ns.key, "style-ref"), ns.sfa, "IDREF",
                 lookup(slide, "sf:slide-style", "ident", "slideStyleID"));

    // The placeholders.
    struct Placeholder
    {
        const char *element;
        const char *idKind;
        const char *style;
    };
    constexpr Placeholder placeholders[] = {
        {"title-placeholder", "TitlePlaceholderInfo", "titlePlaceholderStyleID"},
        {"body-placeholder", "BodyPlaceholderInfo", "bodyPlaceholderStyleID"},
        {"object-placeholder", "ObjectPlaceholderInfo", "objectPlaceholderStyleID"},
        {"slide-number-placeholder", "SlideNumberPlaceholderInfo", "slideNumberPlaceholderStyleID"},
    };
    for (const Placeholder &p : placeholders) {
        xmlNodePtr placeholder = b.add(slide, ns.key, p.element, p.idKind);
        xmlNodePtr geometry = b.sf(placeholder, "geometry", "AffineGeometryTxtImg");
        setAttribute(geometry, ns.sf, "sizesLocked", QStringLiteral("true"));
        for (const char *sizeName : {"naturalSize", "size"}) {
            xmlNodePtr size = b.sf(geometry, sizeName);
            setAttribute(size, ns.sfa, "w", QStringLiteral("100"));
            setAttribute(size, ns.sfa, "h", QStringLiteral("100"));
        }
        xmlNodePtr position = b.sf(geometry, "position");
        setAttribute(position, ns.sfa, "x", QStringLiteral("0"));
        setAttribute(position, ns.sfa, "y", QStringLiteral("0"));
        setAttribute(b.sf(b.sf(placeholder, "style"), "placeholder-style-ref"), ns.sfa, "IDREF",
                     lookup(slide, "sf:placeholder-style", "ident", p.style));

        const bool title = qstrcmp(p.element, "title-placeholder") == 0;
        const bool body = qstrcmp(p.element, "body-placeholder") == 0;
        if (keynoteVersion >= 3 && !isTextSlide && (title || body)) {
            // Keynote 3 expects the text frames even when they stay empty.
            xmlNodePtr frame = b.add(placeholder, ns.key, "text");
            setAttribute(frame, ns.sfa, "ID", makeId("Frame", takeCounter()));
            xmlNodePtr storage = b.sf(frame, "text-storage");
            setAttribute(storage, ns.sfa, "ID", makeId("Storage", takeCounter()));
            setAttribute(storage, ns.sf, "kind", QStringLiteral("textbox"));
            for (const char *flag :
                 {"exclude-shapes", "exclude-tables", "exclude-charts", "exclude-attachments"})
                setAttribute(storage, ns.sf, flag, QStringLiteral("true"));
            setAttribute(b.sf(storage, "stylesheet-ref"), ns.sfa, "IDREF",
                         findValueOfPropertyNamed(QStringLiteral("ID"), QStringLiteral("sfa"),
                                                  slide, QStringLiteral("key:stylesheet"),
                                                  QString(), QStringLiteral("sf"), QString()));
            xmlNodePtr layout = b.sf(b.sf(storage, "text-body"), "layout");
            setAttribute(layout, ns.sf, "style", QStringLiteral("layout-style-default"));
            xmlNodePtr paragraph = b.sf(layout, "p");
            setAttribute(
                paragraph, ns.sf, "style",
                lookup(slide, "sf:paragraphstyle", "parent-ident",
                       title ? "titleHeadlineParagraphStyleID" : "level1HeadlineParagraphStyleID"));
            if (body)
                setAttribute(paragraph, ns.sf, "list-level", QStringLiteral("1"));
        }
    }

    // The page: background, the master's layer, foreground.
    xmlNodePtr page = b.add(slide, ns.key, "page", "PageInfo");
    xmlNodePtr pageSize = b.sf(page, "size");
    setAttribute(pageSize, ns.sfa, "w", QStringLiteral("0"));
    setAttribute(pageSize, ns.sfa, "h", QStringLiteral("0"));
    xmlNodePtr layers = b.sf(page, "layers", "MutableArray");
    auto layerType = [&](xmlNodePtr layer, const char *kind) {
        setAttribute(b.sf(b.sf(layer, "type", "Array"), "string"), ns.sfa, "string",
                     QLatin1String(kind));
    };
    xmlNodePtr background = b.sf(layers, "layer", "LayerInfo");
    layerType(background, "BGSlideBackgroundLayer");
    b.sf(background, "drawables", "MutableArray");
    b.sf(background, "guides", "MutableSet");

    xmlNodePtr proxy = b.sf(layers, "proxy-master-layer", "ProxyMasterLayerInfo");
    layerType(proxy, "BGMasterSlideLayer");
    setAttribute(b.sf(proxy, "layer-ref"), ns.sfa, "IDREF", masterLayerInfo);

    xmlNodePtr foreground = b.sf(layers, "layer", "LayerInfo");
    layerType(foreground, "BGSlideForegroundLayer");
    xmlNodePtr drawables = b.sf(foreground, "drawables", "MutableArray");
    if (!blank) {
        setAttribute(b.sf(drawables, "title-placeholder-ref"), ns.sfa, "IDREF",
                     lookup(slide, "key:title-placeholder", nullptr, nullptr));
        setAttribute(b.sf(drawables, "body-placeholder-ref"), ns.sfa, "IDREF",
                     lookup(slide, "key:body-placeholder", nullptr, nullptr));
    }

    b.add(slide, ns.key, "thumbnails", "Array");
    setAttribute(b.add(slide, ns.key, "master-ref"), ns.sfa, "IDREF", masterSlideRef);
    for (const char *name : {"events", "sticky-notes", "build-chunks"})
        b.add(slide, ns.key, name, "MutableArray");
    return slide;
}
