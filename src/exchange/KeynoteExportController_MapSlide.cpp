#include "exchange/KeynoteExportController_Shapes.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"

using namespace TWKeynoteXML;

namespace {

using KeynoteShapes::lookupId;
using KeynoteShapes::stylesheetId;

QString counterId(const char *kind)
{
    return KeynoteExportController::makeId(kind, KeynoteExportController::takeCounter());
}

// The fixed shape style every map slide carries; nothing refers to it.
void addFixedShapeStyle(const KeynoteNamespaces &ns, xmlNodePtr anonStyles)
{
    auto color = [&](xmlNodePtr parent, const char *r, const char *g, const char *b) {
        xmlNodePtr element = addElement(parent, ns.sf, "color");
        setAttribute(element, ns.xsi, "type", QStringLiteral("sfa:calibrated-rgb-color-type"));
        setAttribute(element, ns.sfa, "r", QLatin1String(r));
        setAttribute(element, ns.sfa, "g", QLatin1String(g));
        setAttribute(element, ns.sfa, "b", QLatin1String(b));
        setAttribute(element, ns.sfa, "a", QStringLiteral("1"));
    };
    xmlNodePtr style = addElement(anonStyles, ns.sf, "graphic-style");
    setAttribute(style, ns.sfa, "ID", counterId("GraphicStyle"));
    setAttribute(style, ns.sf, "parent-ident", QStringLiteral("shapeStyleID"));
    xmlNodePtr properties = addElement(style, ns.sf, "property-map");
    xmlNodePtr shadow = addElement(addElement(properties, ns.sf, "shadow"), ns.sf, "shadow");
    setAttribute(shadow, ns.sfa, "ID", counterId("Shadow"));
    setAttribute(shadow, ns.sf, "angle", QStringLiteral("45"));
    setAttribute(shadow, ns.sf, "offset", QStringLiteral("6"));
    setAttribute(shadow, ns.sf, "radius", QStringLiteral("10"));
    setAttribute(shadow, ns.sf, "opacity", QStringLiteral("0.75"));
    color(shadow, "1", "1", "1");
    color(addElement(properties, ns.sf, "fill"), "0.43539530038833618", "1", "0.27748769521713257");
    xmlNodePtr stroke = addElement(addElement(properties, ns.sf, "stroke"), ns.sf, "stroke");
    setAttribute(stroke, ns.sfa, "ID", counterId("Stroke"));
    setAttribute(stroke, ns.sf, "miter-limit", QStringLiteral("4"));
    setAttribute(stroke, ns.sf, "width", QStringLiteral("4"));
    setAttribute(stroke, ns.sf, "cap", QStringLiteral("butt"));
    setAttribute(stroke, ns.sf, "join", QStringLiteral("miter"));
    color(stroke, "0.71739131212234497", "0", "0");
    xmlNodePtr pattern = addElement(stroke, ns.sf, "pattern");
    setAttribute(pattern, ns.sfa, "ID", counterId("StrokePattern"));
    setAttribute(pattern, ns.sf, "phase", QStringLiteral("0"));
    setAttribute(pattern, ns.sf, "type", QStringLiteral("solid"));
    addElement(pattern, ns.sf, "pattern");
}

// A text frame with storage, stylesheet reference and one empty paragraph;
// returns the paragraph.
xmlNodePtr addEmptyFrame(const KeynoteNamespaces &ns, xmlNodePtr holder, xmlNsPtr frameSpace,
                         const char *frameName, xmlNodePtr slide, const char *kind,
                         bool excludeCharts, const QString &paragraphStyle)
{
    xmlNodePtr frame = addElement(holder, frameSpace, frameName);
    setAttribute(frame, ns.sfa, "ID", counterId("Frame"));
    xmlNodePtr storage = addElement(frame, ns.sf, "text-storage");
    setAttribute(storage, ns.sfa, "ID", counterId("Storage"));
    setAttribute(storage, ns.sf, "kind", QLatin1String(kind));
    setAttribute(storage, ns.sf, "exclude-shapes", QStringLiteral("true"));
    setAttribute(storage, ns.sf, "exclude-tables", QStringLiteral("true"));
    if (excludeCharts)
        setAttribute(storage, ns.sf, "exclude-charts", QStringLiteral("true"));
    setAttribute(storage, ns.sf, "exclude-attachments", QStringLiteral("true"));
    setAttribute(addElement(storage, ns.sf, "stylesheet-ref"), ns.sfa, "IDREF",
                 stylesheetId(slide));
    xmlNodePtr layout = addElement(addElement(storage, ns.sf, "text-body"), ns.sf, "layout");
    setAttribute(layout, ns.sf, "style", QStringLiteral("layout-style-default"));
    xmlNodePtr paragraph = addElement(layout, ns.sf, "p");
    setAttribute(paragraph, ns.sf, "style", paragraphStyle);
    return paragraph;
}

xmlNodePtr addHeadline(const KeynoteNamespaces &ns, xmlNodePtr parent, const char *name,
                       xmlNodePtr slide, bool withDepth, const char *paragraphIdent)
{
    xmlNodePtr headline = addElement(parent, ns.key, name);
    setAttribute(headline, ns.sfa, "ID", counterId("Headline"));
    if (withDepth)
        setAttribute(headline, ns.key, "depth", QStringLiteral("0"));
    setAttribute(addElement(headline, ns.key, "style-ref"), ns.sfa, "IDREF",
                 lookupId(slide, "sf:headline-style", QStringLiteral("titleHeadlineStyleID")));
    addEmptyFrame(ns, headline, ns.key, "text", slide, "textbox", false,
                  lookupId(slide, "sf:paragraphstyle", QLatin1String(paragraphIdent)));
    return headline;
}

} // namespace

bool KeynoteExportController::createMapSlide(const QString &masterSlideRef,
                                             const QString &masterLayerInfo,
                                             const QString &styleSheetId, xmlNodePtr slideList,
                                             xmlNodePtr presentation, float zoom, float xOffset,
                                             float yOffset, int keynoteVersion, TWMap &map,
                                             KeynotePackage &package)
{
    Q_UNUSED(presentation);
    const KeynoteNamespaces ns = KeynoteShapes::namespacesOf(slideList);
    xmlNodePtr slide = createBlank(true, masterSlideRef, masterLayerInfo, styleSheetId, slideList,
                                   false, keynoteVersion);
    if (!slide)
        return false;
    auto first = [&](xmlNodePtr from, const char *type) {
        return findNodeFromNode(from, QLatin1String(type), QString(), QStringLiteral("sf"),
                                QString());
    };
    xmlNodePtr anonStyles = first(slide, "sf:anon-styles");
    if (!anonStyles) {
        qWarning("Could not find anonymous styles");
        return false;
    }
    if (!first(slide, "key:page/sf:layers")) {
        qWarning("Could not find layers");
        return false;
    }
    xmlNodePtr string = findNodeFromNode(slide, QStringLiteral("sf:layer/sf:type/sf:string"),
                                         QStringLiteral("string"), QStringLiteral("sfa"),
                                         QStringLiteral("BGSlideForegroundLayer"));
    xmlNodePtr foreground = string && string->parent ? string->parent->parent : nullptr;
    xmlNodePtr group = foreground ? first(foreground, "sf:drawables") : nullptr;
    if (!group) {
        // Without it no shape has a place to go.
        qWarning("Could not find layers");
        return false;
    }

    addFixedShapeStyle(ns, anonStyles);
    setAttribute(addElement(foreground, ns.sf, "guides"), ns.sfa, "ID",
                 QStringLiteral("NSMutableSet-%1").arg(takeCounter()));

    // Last in printing order first, so the link lines end up last.
    m_slideTextBoxStyles = KeynoteTextBoxStyles::forSlideOf(group);
    const TWMap::GraphicList graphics = map.graphicsOrderedForPrinting(false);
    for (qsizetype i = graphics.size() - 1; i >= 0; --i) {
        const std::shared_ptr<TWGraphic> &graphic = graphics[i];
        if (!graphic)
            continue;
        const std::optional<KeynotePicture> picture = pictureOfGraphic(*graphic);
        insertGraphicInstructions(*graphic, group, anonStyles, zoom, xOffset, yOffset,
                                  keynoteVersion, picture);
        if (picture && !picture->data.isEmpty())
            package.addRegularFile(picture->data, picture->packageName);
        TWMapBranch *branch = graphic->branch();
        if (branch && branch->enclosedTextArea().get() == graphic.get())
            insertOverlays(*branch, *graphic, group, anonStyles, zoom, xOffset, yOffset,
                           keynoteVersion, package);
    }
    m_slideTextBoxStyles.reset();

    const bool version2 = keynoteVersion == 2;
    if (version2) {
        xmlNodePtr tree = addElement(slide, ns.key, "bullets");
        setAttribute(tree, ns.sfa, "ID", counterId("HeadlineTree"));
        addHeadline(ns, tree, "headline", slide, true, "titleHeadlineParagraphStyleID");
    }

    AttributedString notes;
    if (const auto root = map.root())
        addNotesOfBranch(*root, notes);

    if (version2)
        addHeadline(ns, slide, "dummy_body_headline", slide, false, "slideNotesParagraphStyleID");

    xmlNodePtr notesParagraph = addEmptyFrame(
        ns, slide, ns.key, "notes", slide, "note", true,
        lookupId(slide, "sf:paragraphstyle", QStringLiteral("slideNotesParagraphStyleID")));
    insertAttributedString(notes, notesParagraph, anonStyles, 1.0f);
    return true;
}
